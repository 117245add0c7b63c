#pragma once
// Small well-formed Windows programs for the tests of the download's checks, and the same
// with one fault each.

#include <cstdint>
#include <string>

namespace pravik::test {

enum class TMachine : std::uint16_t { X86 = 0x014C, X64 = 0x8664, Arm64 = 0xAA64, Ia64 = 0x0200 };

// A PE executable image for `machine` of one section whose data holds `label`: headers in
// the first 512 bytes, the section in the next 512.
std::string WindowsProgram(const std::string& label, TMachine machine = TMachine::X64);

// Little-endian fields of such an image, for making faults at the offsets below.
void PutU16(std::string& image, std::size_t at, std::uint16_t value);
void PutU32(std::string& image, std::size_t at, std::uint32_t value);

inline constexpr std::size_t kPeOffset = 0x80;
inline constexpr std::size_t kCharacteristicsAt = kPeOffset + 4 + 18;
inline constexpr std::size_t kMagicAt = kPeOffset + 4 + 20;
// The section header's raw size and raw data offset, once the optional header's size is
// known: `SectionTableAt(image)`.
std::size_t SectionTableAt(const std::string& image);

}  // namespace pravik::test
