#include "db/TADOCommand.h"

#include <utility>

#include "OdbcApi.h"
#include "db/Cp949Text.h"
#include "db/OdbcHandle.h"
#include "db/TADOConnection.h"

namespace pravik {

namespace {

// What one marker is bound to; the driver reads these when the statement runs, so they stay
// in place until then.
struct TBoundValue {
  std::u16string Text;
  SQLBIGINT Integer = 0;
  SQLLEN Indicator = 0;
};

// An empty text still needs a buffer: some drivers take a null one for NULL.
char16_t kNoText[1] = {u'\0'};

void Bind(const odbc::OdbcHandle& statement, SQLUSMALLINT number, const TParameter& parameter, TBoundValue& value) {
  SQLRETURN result;
  if (parameter.Kind() == TParameter::TKind::Integer) {
    value.Integer = parameter.AsInteger();
    value.Indicator = parameter.IsNull() ? SQL_NULL_DATA : 0;
    result = ::SQLBindParameter(statement.Get(), number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                &value.Integer, 0, &value.Indicator);
  } else {
    value.Text = parameter.IsNull() ? std::u16string() : Utf16FromCp949(parameter.AsText());
    const SQLLEN bytes = static_cast<SQLLEN>(value.Text.size() * sizeof(char16_t));
    value.Indicator = parameter.IsNull() ? SQL_NULL_DATA : bytes;
    // The column size is the text's length in characters, at least one.
    const SQLULEN characters = value.Text.empty() ? 1 : value.Text.size();
    result = ::SQLBindParameter(statement.Get(), number, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, characters, 0,
                                value.Text.empty() ? kNoText : value.Text.data(), bytes, &value.Indicator);
  }
  odbc::CheckOdbcResult(result, statement);
}

}  // namespace

TParameter TParameter::Text(std::optional<std::string> value) {
  TParameter parameter(TKind::Text, !value);
  if (value) parameter.text_ = std::move(*value);
  return parameter;
}

TParameter TParameter::Integer(std::optional<std::int64_t> value) {
  TParameter parameter(TKind::Integer, !value);
  if (value) parameter.integer_ = *value;
  return parameter;
}

TADOCommand::TADOCommand(TADOConnection& connection, std::string commandText)
    : connection_(connection), commandText_(std::move(commandText)) {}

long long TADOCommand::Execute(const std::vector<TParameter>& parameters) {
  const odbc::OdbcHandle statement = connection_.NewStatement(CommandTimeout);
  // Sized once: the driver keeps the addresses of the bound values.
  std::vector<TBoundValue> values(parameters.size());
  for (std::size_t i = 0; i < parameters.size(); ++i)
    Bind(statement, static_cast<SQLUSMALLINT>(i + 1), parameters[i], values[i]);
  std::u16string text = Utf16FromCp949(commandText_);
  const SQLRETURN executed = ::SQLExecDirectW(statement.Get(), reinterpret_cast<SQLWCHAR*>(text.data()),
                                              static_cast<SQLINTEGER>(text.size()));
  // SQL_NO_DATA: a statement that touched no row.
  if (executed == SQL_NO_DATA) return 0;
  odbc::CheckOdbcResult(executed, statement);
  SQLLEN rows = -1;
  if (!SQL_SUCCEEDED(::SQLRowCount(statement.Get(), &rows))) rows = -1;
  return static_cast<long long>(rows);
}

}  // namespace pravik
