#include "app/ErrorDisplay.h"

#include <cstdio>

namespace pravik::app {

namespace {

// The first byte of a double-byte character in code page 949.
bool IsCp949LeadByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x81 && byte <= 0xFE;
}

}  // namespace

std::string ErrorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
    return message + ".";
  return message;
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ProgramTitle(const std::string& programFile) {
  std::string title = FileNameOf(programFile);
  title = title.substr(0, title.find('.'));
  // Lower case for single-byte letters only: the trail byte of a Korean character can lie
  // in A-Z, so a double-byte character is stepped over whole.
  bool first = true;
  for (std::size_t i = 0; i < title.size(); ++i) {
    if (IsCp949LeadByte(title[i]) && i + 1 < title.size()) {
      ++i;
    } else if (!first && title[i] >= 'A' && title[i] <= 'Z') {
      title[i] = static_cast<char>(title[i] - 'A' + 'a');
    }
    first = false;
  }
  return title;
}

std::string ApplicationErrorText(const std::string& className, const std::string& moduleName,
                                 std::uintptr_t offset, const std::string& message) {
  char address[2 * sizeof(std::uintptr_t) + 1];
  std::snprintf(address, sizeof address, "%0*llX", static_cast<int>(2 * sizeof(std::uintptr_t)),
                static_cast<unsigned long long>(offset));
  const bool addDot = !message.empty() && message.back() != '.';
  return "Exception " + className + " in module " + moduleName + " at " + address + ".\n" + message +
         (addDot ? "." : "");
}

}  // namespace pravik::app
