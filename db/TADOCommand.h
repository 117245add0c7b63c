#pragma once
// A statement with bound parameters (an ADO command): its values travel apart from its text,
// so no value, whoever wrote it, is ever read as SQL.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pravik {

class TADOConnection;

// The value of one "?" of a statement: code page 949 text or a whole number, or NULL.
class TParameter {
 public:
  enum class TKind { Text, Integer };

  static TParameter Text(std::optional<std::string> value);
  static TParameter Integer(std::optional<std::int64_t> value);

  TKind Kind() const { return kind_; }
  bool IsNull() const { return null_; }
  const std::string& AsText() const { return text_; }
  std::int64_t AsInteger() const { return integer_; }

 private:
  TParameter(TKind kind, bool null) : kind_(kind), null_(null) {}
  TKind kind_;
  bool null_;
  std::string text_;
  std::int64_t integer_ = 0;
};

class TADOCommand {
 public:
  // A command on `connection`, which must outlive it, with the statement `commandText`
  // (one line, sent as it is, its parameters marked "?").
  TADOCommand(TADOConnection& connection, std::string commandText);
  TADOCommand(const TADOCommand&) = delete;
  TADOCommand& operator=(const TADOCommand&) = delete;

  // The limit on each execution in whole seconds, 1 or more; the driver gives up after it
  // with SQLSTATE HYT00.
  int CommandTimeout = 30;

  // Opens the connection when it is not open, binds `parameters` to the markers in order
  // (text as wide text) and runs the statement once. Gives the rows it changed, -1 when the
  // driver does not tell. Raises EDatabaseError with the driver's text and SQLSTATE.
  long long Execute(const std::vector<TParameter>& parameters = {});

  const std::string& CommandText() const { return commandText_; }

 private:
  TADOConnection& connection_;
  std::string commandText_;
};

}  // namespace pravik
