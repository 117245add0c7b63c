// The look at a downloaded program's headers: any bytes, cut anywhere, with any claimed
// file size, must give an answer without reading past what it was given; and an image it
// accepts must really start as a Windows program does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/PeImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte says how much of the file the check is shown: all of it, or a head with
  // the rest of the file beyond it, as when only the start of a download is kept.
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t shown = data[0] == 0 ? bytes.size() : bytes.size() * data[0] / 256;
  // A copy of exactly the bytes shown, so the sanitizer catches a read past them.
  const std::string head(bytes.substr(0, shown));
  const std::string fault = pravik::app::PeImageFault(head, static_cast<std::int64_t>(bytes.size()));
  if (fault.empty()) {
    if (head.size() < 0x40 || head[0] != 'M' || head[1] != 'Z') std::abort();
    const std::uint32_t pe = static_cast<std::uint8_t>(head[0x3C]) | static_cast<std::uint8_t>(head[0x3D]) << 8 |
                             static_cast<std::uint32_t>(static_cast<std::uint8_t>(head[0x3E])) << 16 |
                             static_cast<std::uint32_t>(static_cast<std::uint8_t>(head[0x3F])) << 24;
    if (pe > head.size() - 4 || head.compare(pe, 4, std::string("PE\0\0", 4)) != 0) std::abort();
  }
  return 0;
}
