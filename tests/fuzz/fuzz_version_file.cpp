// The version file's text: line breaks made uniform on loading, its first line read and
// replaced by the new version, the rest written back as it was.
//
// Control byte: how many bytes at the end of the data are the replacing line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/TextBuffer.h"
#include "tests/fuzz/FuzzSupport.h"

namespace pravik::fuzz {
namespace {

// Every line break as one LF, whether it was written CR LF, CR or LF.
std::string Breaks(std::string_view text) {
  std::string folded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    folded += text[i] == '\r' ? '\n' : text[i];
  }
  return folded;
}

bool OnlyCrLfBreaks(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
  }
  return true;
}

}  // namespace
}  // namespace pravik::fuzz

using namespace pravik;
using namespace pravik::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const FuzzInput input(bytes, size, 1);
  const std::size_t lineSize = std::min<std::size_t>(input.Control(0), input.Data.size());
  const std::string_view loaded = input.Data.substr(0, input.Data.size() - lineSize);
  const std::string replacement(input.Data.substr(loaded.size()));

  app::TTextBuffer buffer;
  buffer.SetText(std::string(loaded));
  const std::string normalised = buffer.Text();
  FUZZ_CHECK(OnlyCrLfBreaks(normalised));
  FUZZ_CHECK(Breaks(normalised) == Breaks(loaded));  // no text gained or lost, no break either

  const std::string first = buffer.FirstLine();
  FUZZ_CHECK(first.find_first_of("\r\n") == std::string::npos);
  FUZZ_CHECK(normalised.starts_with(first));
  const std::string rest = normalised.substr(first.size());
  FUZZ_CHECK(rest.empty() || rest.starts_with("\r\n"));

  buffer.SetText(normalised);
  FUZZ_CHECK(buffer.Text() == normalised);

  buffer.ReplaceFirstLine(replacement);
  FUZZ_CHECK(buffer.Text() == replacement + rest);
  if (replacement.find("\r\n") == std::string::npos) FUZZ_CHECK(buffer.FirstLine() == replacement);
  return 0;
}
