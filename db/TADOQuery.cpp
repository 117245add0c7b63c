#include "db/TADOQuery.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "OdbcApi.h"
#include "db/Cp949Text.h"
#include "db/DbResourceStrings.h"
#include "db/EDatabaseError.h"
#include "db/OdbcHandle.h"
#include "db/TADOConnection.h"

namespace pravik {

namespace {

constexpr char kLineEnd[] = "\r\n";
// Values are read in pieces of this many UTF-16 units, the terminator included.
constexpr std::size_t kChunkUnits = 1024;

std::string StatementText(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + kLineEnd;
  return text;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// SQL names are compared without regard to letter case, and only ASCII letters have one here.
bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

std::string ColumnName(const odbc::OdbcHandle& statement, SQLUSMALLINT column) {
  std::u16string name(128, u'\0');
  for (;;) {
    SQLSMALLINT length = 0;
    SQLSMALLINT dataType = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = 0;
    odbc::CheckOdbcResult(
        ::SQLDescribeColW(statement.Get(), column, reinterpret_cast<SQLWCHAR*>(name.data()),
                          static_cast<SQLSMALLINT>(name.size()), &length, &dataType, &size, &digits,
                          &nullable),
        statement);
    if (length < 0) length = 0;
    if (static_cast<std::size_t>(length) < name.size()) {
      name.resize(static_cast<std::size_t>(length));
      return Cp949FromUtf16(name);
    }
    name.assign(static_cast<std::size_t>(length) + 1, u'\0');
  }
}

// The value of `column` in the fetched row as the driver's wide text, or NULL. A value longer
// than a piece arrives in several calls, each but the last filling the piece.
std::optional<std::string> ColumnText(const odbc::OdbcHandle& statement, SQLUSMALLINT column) {
  std::u16string text;
  std::u16string piece(kChunkUnits, u'\0');
  const std::size_t room = piece.size() - 1;
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN result =
        ::SQLGetData(statement.Get(), column, SQL_C_WCHAR, piece.data(),
                     static_cast<SQLLEN>(piece.size() * sizeof(char16_t)), &indicator);
    if (result == SQL_NO_DATA) break;
    odbc::CheckOdbcResult(result, statement);
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    const bool cut = result == SQL_SUCCESS_WITH_INFO &&
                     (indicator == SQL_NO_TOTAL ||
                      static_cast<std::size_t>(indicator) / sizeof(char16_t) > room);
    if (cut) {
      text.append(piece.data(), room);
      continue;
    }
    text.append(piece.data(), std::min(room, static_cast<std::size_t>(indicator) / sizeof(char16_t)));
    break;
  }
  // Converted as a whole: a piece may end inside a surrogate pair.
  return Cp949FromUtf16(text);
}

}  // namespace

TADOQuery::TADOQuery(TADOConnection& connection, std::vector<std::string> sql)
    : connection_(connection), sql_(std::move(sql)) {}

void TADOQuery::SetSQL(std::vector<std::string> lines) {
  Close();
  sql_ = std::move(lines);
}

void TADOQuery::Open() {
  if (active_) return;
  const odbc::OdbcHandle statement = connection_.NewStatement();
  std::u16string text = Utf16FromCp949(StatementText(sql_));
  // The driver's default forward-only cursor reads the result once in the server's order,
  // as a client-side static cursor does when it fills itself.
  const SQLRETURN executed = ::SQLExecDirectW(
      statement.Get(), reinterpret_cast<SQLWCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
  // SQL_NO_DATA: a statement that touched no row and gave no result.
  if (executed != SQL_NO_DATA) odbc::CheckOdbcResult(executed, statement);

  SQLSMALLINT columns = 0;
  odbc::CheckOdbcResult(::SQLNumResultCols(statement.Get(), &columns), statement);
  bool hasRow = false;
  if (columns > 0) {
    const SQLRETURN fetched = ::SQLFetch(statement.Get());
    if (fetched != SQL_NO_DATA) odbc::CheckOdbcResult(fetched, statement);
    hasRow = fetched != SQL_NO_DATA;
  }
  std::vector<TField> fields;
  for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(columns); ++column) {
    std::string name = ColumnName(statement, column);
    fields.emplace_back(std::move(name), hasRow ? ColumnText(statement, column) : std::nullopt);
  }
  // Freeing the statement at the end of this scope drops the rest of the result, so the
  // server keeps no rows pending on the connection between queries.
  fields_ = std::move(fields);
  empty_ = !hasRow;
  active_ = true;
}

void TADOQuery::Close() {
  active_ = false;
  empty_ = true;
  fields_.clear();
}

const TField& TADOQuery::FieldByName(const std::string& name) const {
  for (const TField& field : fields_)
    if (SameName(field.FieldName(), name)) return field;
  const std::string_view pattern = rs::FieldNotFound;
  const std::size_t at = pattern.find("%s");
  throw EDatabaseError(std::string(pattern.substr(0, at)) + name + std::string(pattern.substr(at + 2)));
}

}  // namespace pravik
