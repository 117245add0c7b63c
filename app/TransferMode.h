#pragma once
// The administrator's choice of the FTP data connection: active mode (the server connects
// back to the workstation, which needs the inbound firewall rule) or passive mode (the
// workstation connects to the server, which works behind NAT and needs no rule).

#include <optional>
#include <stdexcept>
#include <string>

namespace pravik::app {

// A setting of the code table that the download cannot follow: "<setting>: <what it holds and
// what it may hold>". The download is not tried.
class EUpdateMisconfigured : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Whether the download uses passive mode, from the code table's text: "PASV" (either case,
// blanks around it ignored) gives true; no row or NULL (nullopt), empty text or "PORT" give
// false, active mode as ever. Raises EUpdateMisconfigured for any other text.
bool PassiveModeSetting(const std::optional<std::string>& codeText);

}  // namespace pravik::app
