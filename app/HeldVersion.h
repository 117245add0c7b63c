#pragma once
// The notifier version that failed its start check on this workstation, kept in a small
// text file so that later runs do not download and install it again and again. A new
// version or a new published hash is tried; deleting the file makes the workstation try
// the same one again.

#include <optional>
#include <string>

namespace pravik::app {

struct THeldVersion {
  // CHKVERSION as the database gave it.
  std::string Version;
  // The published SHA-256 (64 lower-case hexadecimal digits), empty when none was published.
  std::string Sha256;
  // The local date and time of the failed start, "YYYY-MM-DD hh:mm:ss".
  std::string Date;

  // Whether `version` with the published `sha256` is this failed one.
  bool Holds(const std::string& version, const std::string& sha256) const {
    return version == Version && sha256 == Sha256;
  }
};

// The file's text: "version=...", "sha256=...", "date=..." lines, CR LF.
std::string HeldVersionText(const THeldVersion& held);
// The record in such a text; nullopt when it has no version line.
std::optional<THeldVersion> ParseHeldVersion(const std::string& text);

// The record in the file at `path`; nullopt when there is none or it cannot be read.
std::optional<THeldVersion> ReadHeldVersion(const std::string& path);
// Writes the file anew; raises what RewriteFile raises.
void WriteHeldVersion(const std::string& path, const THeldVersion& held);

}  // namespace pravik::app
