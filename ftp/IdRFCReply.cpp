#include "ftp/IdRFCReply.h"

#include "net/IdGlobal.h"

namespace pravik {

namespace {

bool IsControlOrBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string From5thByte(const std::string& line) { return line.size() > 4 ? line.substr(4) : std::string(); }

}  // namespace

std::string TrimControlAndBlanks(const std::string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && IsControlOrBlank(text[first])) ++first;
  while (last > first && IsControlOrBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

std::string TrimLeftControlAndBlanks(const std::string& text) {
  std::size_t first = 0;
  while (first < text.size() && IsControlOrBlank(text[first])) ++first;
  return text.substr(first);
}

void TIdRFCReply::SetTextCode(const std::string& code) {
  FTextCode = code;
  if (code.empty()) return;
  std::int64_t value = 0;
  const bool number = TryDecimalToInt64(code, value) && value >= INT32_MIN && value <= INT32_MAX;
  NumericCode = number ? static_cast<std::int32_t>(value) : 0;
}

void TIdRFCReply::ParseReply(const std::vector<std::string>& lines) {
  ClearReply();
  if (lines.empty()) return;
  std::string code = TrimControlAndBlanks(lines[0].substr(0, 4));
  if (code.size() == 4 && code[3] == '-') code.resize(3);
  SetTextCode(code);
  Text.push_back(From5thByte(lines[0]));
  const std::string upperCode = UpperCaseAscii(code);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (UpperCaseAscii(line.substr(0, 3)) == upperCode)
      Text.push_back(From5thByte(line));
    else
      Text.push_back(TrimLeftControlAndBlanks(line));
  }
}

void TIdRFCReply::ClearReply() {
  NumericCode = 0;
  Text.clear();
  FTextCode.clear();
}

void TIdRFCReply::CopyReplyFrom(const TIdRFCReply& source) {
  ClearReply();
  NumericCode = source.NumericCode;
  Text = source.Text;
  FTextCode = source.FTextCode;
}

}  // namespace pravik
