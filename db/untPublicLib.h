#pragma once
// The program's shared database helpers: the single-value lookup.

#include <stdexcept>
#include <string>

namespace pravik {

class TADOQuery;

// A value that cannot be converted to text: the NULL a lookup meets.
class EVariantError : public std::runtime_error {
 public:
  explicit EVariantError(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// Closes `query`, makes `statement` its one line and opens it; `result` becomes the first
// column of the first row as text, or empty text when there is no row. The query stays open
// on that result. Raises EDatabaseError with the driver's text, and EVariantError "Invalid
// variant type conversion" for a NULL value, leaving `result` as it was.
void GetSqlValue(const std::string& statement, TADOQuery& query, std::string& result);

}  // namespace pravik
