#pragma once
// Owned ODBC handles, and the one place where a failed ODBC call becomes an EDatabaseError.
// The ODBC headers stay out of this header: on Windows they need <windows.h>.

namespace pravik::odbc {

// An environment, connection or statement handle, freed with the object. Children must be
// destroyed before their parent.
class OdbcHandle {
 public:
  OdbcHandle() = default;
  ~OdbcHandle();
  OdbcHandle(OdbcHandle&& other) noexcept;
  OdbcHandle& operator=(OdbcHandle&& other) noexcept;
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;

  // A new environment for ODBC 3 behaviour; raises EDatabaseError.
  static OdbcHandle NewEnvironment();
  // A new connection handle under this environment; raises EDatabaseError.
  OdbcHandle NewConnection() const;
  // A new statement handle on this open connection; raises EDatabaseError.
  OdbcHandle NewStatement() const;

  void* Get() const { return handle_; }
  short Type() const { return type_; }

 private:
  OdbcHandle(short type, void* handle) : type_(type), handle_(handle) {}
  OdbcHandle NewChild(short type) const;

  short type_ = 0;
  void* handle_ = nullptr;
};

// Returns when `result` is a success (with or without information); otherwise raises
// EDatabaseError with the message of the first diagnostic record of `handle`.
void CheckOdbcResult(short result, const OdbcHandle& handle);

}  // namespace pravik::odbc
