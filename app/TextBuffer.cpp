#include "app/TextBuffer.h"

#include <cstdint>
#include <vector>

#include "app/FileRewrite.h"
#include "ftp/IdStream.h"
#include "net/IdGlobal.h"

namespace pravik::app {

namespace {

constexpr char kLineBreak[] = "\r\n";

std::string WithCrLfBreaks(const std::string& text) {
  std::string result;
  result.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      result += kLineBreak;
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      result += kLineBreak;
    } else {
      result += c;
    }
  }
  return result;
}

}  // namespace

void TTextBuffer::LoadFromFile(const std::string& path) {
  TIdFileStream file(path, TIdFileStream::TOpenMode::fmOpenRead);
  std::string bytes(static_cast<std::size_t>(file.Size()), '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    const std::int32_t n = file.Read(bytes.data() + got, static_cast<std::int32_t>(bytes.size() - got));
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  FText = WithCrLfBreaks(bytes);
}

void TTextBuffer::SaveToFile(const std::string& path) const { RewriteFile(path, FText); }

void TTextBuffer::SetText(const std::string& text) { FText = WithCrLfBreaks(text); }

std::string TTextBuffer::FirstLine() const { return FText.substr(0, FText.find(kLineBreak)); }

void TTextBuffer::ReplaceFirstLine(const std::string& line) {
  const std::size_t end = FText.find(kLineBreak);
  FText = line + (end == std::string::npos ? std::string() : FText.substr(end));
}

}  // namespace pravik::app
