#include "db/OdbcHandle.h"

#include <string>
#include <type_traits>
#include <utility>

#include "OdbcApi.h"
#include "db/Cp949Text.h"
#include "db/DbResourceStrings.h"
#include "db/EDatabaseError.h"

namespace pravik::odbc {

static_assert(std::is_same_v<SQLHANDLE, void*>);
static_assert(std::is_same_v<SQLSMALLINT, short> && std::is_same_v<SQLRETURN, short>);
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));

namespace {

// The first diagnostic record: its message, state and native error number; an empty
// message when there is none.
EDatabaseError FirstDiagnostic(const OdbcHandle& handle) {
  std::u16string message(512, u'\0');
  for (;;) {
    SQLWCHAR state[6] = {};
    SQLINTEGER nativeError = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN result = ::SQLGetDiagRecW(
        handle.Type(), handle.Get(), 1, state, &nativeError,
        reinterpret_cast<SQLWCHAR*>(message.data()), static_cast<SQLSMALLINT>(message.size()), &length);
    if (!SQL_SUCCEEDED(result) || length < 0) return EDatabaseError("");
    // A longer text is cut and reported with its full length; ask again with room for it.
    if (static_cast<std::size_t>(length) >= message.size()) {
      message.assign(static_cast<std::size_t>(length) + 1, u'\0');
      continue;
    }
    message.resize(static_cast<std::size_t>(length));
    std::u16string stateText;
    for (const SQLWCHAR c : state) {
      if (c == 0) break;
      stateText += static_cast<char16_t>(c);
    }
    return EDatabaseError(Cp949FromUtf16(message), Cp949FromUtf16(stateText), static_cast<long>(nativeError));
  }
}

}  // namespace

OdbcHandle::~OdbcHandle() {
  if (handle_) ::SQLFreeHandle(type_, handle_);
}

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept
    : type_(other.type_), handle_(std::exchange(other.handle_, nullptr)) {}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
  if (this != &other) {
    if (handle_) ::SQLFreeHandle(type_, handle_);
    type_ = other.type_;
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

OdbcHandle OdbcHandle::NewEnvironment() {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  // Without a parent there is no handle to ask for a diagnostic.
  if (!SQL_SUCCEEDED(::SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle)))
    throw EDatabaseError(rs::DriverGaveNoDiagnostic);
  OdbcHandle environment(SQL_HANDLE_ENV, handle);
  CheckOdbcResult(::SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION,
                                  reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_OV_ODBC3)), 0),
                  environment);
  return environment;
}

OdbcHandle OdbcHandle::NewConnection() const { return NewChild(SQL_HANDLE_DBC); }

OdbcHandle OdbcHandle::NewStatement() const { return NewChild(SQL_HANDLE_STMT); }

OdbcHandle OdbcHandle::NewChild(short type) const {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  CheckOdbcResult(::SQLAllocHandle(type, handle_, &handle), *this);
  return OdbcHandle(type, handle);
}

void CheckOdbcResult(short result, const OdbcHandle& handle) {
  if (SQL_SUCCEEDED(result)) return;
  EDatabaseError error = result == SQL_INVALID_HANDLE ? EDatabaseError("") : FirstDiagnostic(handle);
  if (error.Message().empty()) throw EDatabaseError(rs::DriverGaveNoDiagnostic);
  throw error;
}

}  // namespace pravik::odbc
