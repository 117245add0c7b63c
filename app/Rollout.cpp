#include "app/Rollout.h"

#include <cstdint>

#include "app/Sha256.h"

namespace pravik::app {

namespace {

constexpr int kBuckets = 100;
constexpr int kEverybody = 100;
constexpr char kBlanks[] = " \t\r\n";

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Only ASCII letters change: the bytes of a Korean name in code page 949 stay as they are.
std::string UpperAscii(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) c = UpperAscii(c);
  return upper;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

int HexValue(char c) { return c <= '9' ? c - '0' : c - 'a' + 10; }

}  // namespace

int RolloutBucket(const std::string& computerName, const std::string& serverVersion) {
  TSha256 hash;
  const std::string name = UpperAscii(computerName);
  const char separator = '\0';
  hash.Update(name.data(), name.size());
  hash.Update(&separator, 1);
  hash.Update(serverVersion.data(), serverVersion.size());
  const std::string digest = hash.HexDigest();
  std::uint32_t first = 0;
  for (int i = 0; i < 8; ++i) first = first << 4 | static_cast<std::uint32_t>(HexValue(digest[i]));
  return static_cast<int>(first % kBuckets);
}

bool NamedInList(const std::string& names, const std::string& computerName) {
  const std::string wanted = UpperAscii(Trimmed(computerName));
  if (wanted.empty()) return false;
  std::size_t at = 0;
  while (at < names.size()) {
    const std::size_t begin = names.find_first_not_of(", \t\r\n", at);
    if (begin == std::string::npos) break;
    std::size_t end = names.find_first_of(", \t\r\n", begin);
    if (end == std::string::npos) end = names.size();
    if (UpperAscii(names.substr(begin, end - begin)) == wanted) return true;
    at = end;
  }
  return false;
}

TRolloutShare RolloutShare(const std::optional<std::string>& codeText) {
  if (!codeText) return {};
  const std::string digits = Trimmed(*codeText);
  if (digits.empty()) return {};
  int value = 0;
  bool whole = digits.size() <= 3;
  for (const char c : digits) {
    whole = whole && c >= '0' && c <= '9';
    if (whole) value = value * 10 + (c - '0');
  }
  if (whole && value <= kEverybody) return {value, {}};
  return {0, "the rollout percentage \"" + *codeText + "\" is not a whole number from 0 to 100, taken as 0 %"};
}

TRolloutVerdict RolloutVerdict(const std::string& computerName, const std::string& serverVersion,
                               const std::optional<std::string>& shareText,
                               const std::optional<std::string>& namesText) {
  TRolloutVerdict verdict;
  verdict.Share = RolloutShare(shareText);
  verdict.Bucket = RolloutBucket(computerName, serverVersion);
  verdict.Named = namesText && NamedInList(*namesText, computerName);
  verdict.Takes = verdict.Named || verdict.Bucket < verdict.Share.Percentage;
  const std::string place =
      "bucket " + std::to_string(verdict.Bucket) + " at " + std::to_string(verdict.Share.Percentage) + " %";
  verdict.Reason = verdict.Named    ? "named in the rollout (" + place + ")"
                   : verdict.Takes  ? "in the rollout: " + place
                                    : "held back by the rollout: " + place;
  if (!verdict.Share.Fault.empty()) verdict.Reason += "; " + verdict.Share.Fault;
  return verdict;
}

}  // namespace pravik::app
