#include "app/TransferMode.h"

#include <algorithm>

namespace pravik::app {

namespace {

std::string TrimmedUpperCase(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  std::string word = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
  // ASCII only: a Korean byte pair of code page 949 must not be changed into something else.
  std::transform(word.begin(), word.end(), word.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
  return word;
}

}  // namespace

bool PassiveModeSetting(const std::optional<std::string>& codeText) {
  if (!codeText) return false;
  const std::string word = TrimmedUpperCase(*codeText);
  if (word.empty() || word == "PORT") return false;
  if (word == "PASV") return true;
  throw EUpdateMisconfigured("Transfer mode setting: \"" + *codeText +
                             "\" is neither PASV (passive mode) nor PORT (active mode)");
}

}  // namespace pravik::app
