#include "app/ErrorDisplay.h"

#include <cstdio>

namespace pravik::app {

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
  // Lower case as ASCII goes: the bytes of a code page 949 name above 127 stay.
  for (std::size_t i = 1; i < title.size(); ++i) {
    if (title[i] >= 'A' && title[i] <= 'Z') title[i] = static_cast<char>(title[i] - 'A' + 'a');
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
