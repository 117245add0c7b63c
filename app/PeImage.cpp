#include "app/PeImage.h"

#include <cstdio>

namespace pravik::app {

namespace {

constexpr std::uint16_t kMachineX86 = 0x014C;
constexpr std::uint16_t kMachineX64 = 0x8664;
constexpr std::uint16_t kMachineArm64 = 0xAA64;
constexpr std::uint16_t kExecutableImage = 0x0002;
constexpr std::uint16_t kDll = 0x2000;
constexpr std::uint16_t kMagicPe32 = 0x010B;
constexpr std::uint16_t kMagicPe32Plus = 0x020B;
constexpr std::uint64_t kHeaderOffsetField = 0x3C;
constexpr std::uint64_t kFileHeaderSize = 20;
constexpr std::uint64_t kSectionHeaderSize = 40;

// Little-endian fields at offsets that the caller has checked against the bytes at hand.
class THead {
 public:
  explicit THead(std::string_view bytes) : Bytes(bytes) {}
  bool Holds(std::uint64_t offset, std::uint64_t length) const {
    return offset <= Bytes.size() && length <= Bytes.size() - offset;
  }
  std::uint16_t U16(std::uint64_t at) const { return static_cast<std::uint16_t>(Byte(at) | Byte(at + 1) << 8); }
  std::uint32_t U32(std::uint64_t at) const {
    return static_cast<std::uint32_t>(U16(at)) | static_cast<std::uint32_t>(U16(at + 2)) << 16;
  }

 private:
  unsigned Byte(std::uint64_t at) const { return static_cast<unsigned char>(Bytes[static_cast<std::size_t>(at)]); }
  std::string_view Bytes;
};

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

}  // namespace

std::string PeImageFault(std::string_view bytes, std::int64_t fileSize) {
  const THead head(bytes);
  const auto size = static_cast<std::uint64_t>(fileSize < 0 ? 0 : fileSize);
  if (!head.Holds(0, 2) || bytes[0] != 'M' || bytes[1] != 'Z') return "no MZ header";
  if (!head.Holds(kHeaderOffsetField, 4)) return "the MZ header is cut short";
  const std::uint64_t pe = head.U32(kHeaderOffsetField);
  if (pe + 4 + kFileHeaderSize > size)
    return "the PE header offset " + Hex(static_cast<unsigned>(pe)) + " lies beyond the file";
  if (!head.Holds(pe, 4 + kFileHeaderSize)) return "the PE header lies too far into the file";
  if (bytes.substr(static_cast<std::size_t>(pe), 4) != std::string_view("PE\0\0", 4)) return "no PE signature";

  const std::uint64_t file = pe + 4;
  const std::uint16_t machine = head.U16(file);
  if (machine != kMachineX86 && machine != kMachineX64 && machine != kMachineArm64)
    return "machine " + Hex(machine) + " is not x86, x64 or ARM64";
  const std::uint16_t sections = head.U16(file + 2);
  const std::uint16_t optionalSize = head.U16(file + 16);
  const std::uint16_t characteristics = head.U16(file + 18);
  if (!(characteristics & kExecutableImage)) return "not an executable image";
  if (characteristics & kDll) return "a DLL, not a program";

  const std::uint64_t optional = file + kFileHeaderSize;
  if (optionalSize < 2 || !head.Holds(optional, 2) || optional + optionalSize > size)
    return "the optional header is missing or cut short";
  const std::uint16_t magic = head.U16(optional);
  const std::uint16_t expected = machine == kMachineX86 ? kMagicPe32 : kMagicPe32Plus;
  if (magic != expected)
    return "the optional header's magic " + Hex(magic) + " does not match machine " + Hex(machine);

  const std::uint64_t table = optional + optionalSize;
  if (table + sections * kSectionHeaderSize > size) return "the section table lies beyond the file";
  if (!head.Holds(table, sections * kSectionHeaderSize)) return "the section table lies too far into the file";
  for (std::uint16_t i = 0; i < sections; ++i) {
    const std::uint64_t section = table + i * kSectionHeaderSize;
    const std::uint64_t rawSize = head.U32(section + 16);
    const std::uint64_t rawStart = head.U32(section + 20);
    if (rawSize > 0 && rawStart + rawSize > size)
      return "section " + std::to_string(i + 1) + " ends beyond the file";
  }
  return {};
}

}  // namespace pravik::app
