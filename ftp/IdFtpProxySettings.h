#pragma once
// The proxy scheme of the FTP client and its credentials: a small copyable settings object.

#include <cstdint>
#include <string>

namespace pravik {

// Settings objects that copy from one another; copying from another class is refused
// with EConvertError "Cannot assign a %s to a %s".
class TIdPersistent {
 public:
  virtual ~TIdPersistent() = default;
  virtual std::string ClassName() const = 0;
  virtual void Assign(const TIdPersistent* source);

 protected:
  [[noreturn]] void AssignError(const TIdPersistent* source) const;
};

enum class TIdFtpProxyType : std::uint8_t {
  fpcmNone,
  fpcmUserSite,
  fpcmSite,
  fpcmOpen,
  fpcmUserPass,
  fpcmTransparent,
  fpcmHttpProxyWithFtp,
};

class TIdFtpProxySettings : public TIdPersistent {
 public:
  std::string ClassName() const override { return "TIdFtpProxySettings"; }
  // Copies the five settings of another TIdFtpProxySettings.
  void Assign(const TIdPersistent* source) override;

  TIdFtpProxyType ProxyType = TIdFtpProxyType::fpcmNone;
  std::string Host;
  std::string UserName;
  std::string Password;
  std::int32_t Port = 0;
};

}  // namespace pravik
