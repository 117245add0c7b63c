#pragma once
// A query on the central database (the window's `qryTmp`) and the fields of its current row.
// An open query holds the first row of its result: nothing beyond it is ever read.

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pravik {

class TADOConnection;

// One column of the current row: its name and its value as code page 949 text, or NULL.
// Without a row every field is NULL.
class TField {
 public:
  TField(std::string fieldName, std::optional<std::string> value)
      : fieldName_(std::move(fieldName)), value_(std::move(value)) {}

  const std::string& FieldName() const { return fieldName_; }
  bool IsNull() const { return !value_; }
  // The value as text; NULL gives empty text.
  std::string AsString() const { return value_.value_or(std::string()); }

 private:
  std::string fieldName_;
  std::optional<std::string> value_;
};

class TADOQuery {
 public:
  // A closed query on `connection`, which must outlive it, with the statement `sql`, one
  // text per line.
  explicit TADOQuery(TADOConnection& connection, std::vector<std::string> sql = {});
  TADOQuery(const TADOQuery&) = delete;
  TADOQuery& operator=(const TADOQuery&) = delete;

  const std::vector<std::string>& SQL() const { return sql_; }
  // Replaces the statement; an open query is closed first.
  void SetSQL(std::vector<std::string> lines);

  // Sends the statement, each line followed by CR LF, opening the connection first when it
  // is not open, and holds the first row of the result. Nothing when already open.
  // Raises EDatabaseError with the driver's text.
  void Open();
  void Close();
  bool Active() const { return active_; }
  // True when the result has no row.
  bool IsEmpty() const { return empty_; }

  std::size_t FieldCount() const { return fields_.size(); }
  // The column at `index`, counted from 0; raises std::out_of_range.
  const TField& Fields(std::size_t index) const { return fields_.at(index); }
  // The column named `name`, in any letter case as SQL names go; raises EDatabaseError
  // "Field '%s' not found".
  const TField& FieldByName(const std::string& name) const;

 private:
  TADOConnection& connection_;
  std::vector<std::string> sql_;
  bool active_ = false;
  bool empty_ = true;
  std::vector<TField> fields_;
};

}  // namespace pravik
