#include "tests/app/TestPrograms.h"

namespace pravik::test {

void PutU16(std::string& image, std::size_t at, std::uint16_t value) {
  image[at] = static_cast<char>(value & 0xFF);
  image[at + 1] = static_cast<char>(value >> 8);
}

void PutU32(std::string& image, std::size_t at, std::uint32_t value) {
  PutU16(image, at, static_cast<std::uint16_t>(value & 0xFFFF));
  PutU16(image, at + 2, static_cast<std::uint16_t>(value >> 16));
}

std::size_t SectionTableAt(const std::string& image) {
  const auto optionalSize = static_cast<std::size_t>(static_cast<unsigned char>(image[kPeOffset + 4 + 16]) |
                                                     static_cast<unsigned char>(image[kPeOffset + 4 + 17]) << 8);
  return kPeOffset + 4 + 20 + optionalSize;
}

std::string WindowsProgram(const std::string& label, TMachine machine) {
  std::string image(0x400, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  PutU32(image, 0x3C, kPeOffset);
  image.replace(kPeOffset, 4, std::string("PE\0\0", 4));
  const bool pe32 = machine == TMachine::X86;
  const std::size_t file = kPeOffset + 4;
  PutU16(image, file, static_cast<std::uint16_t>(machine));
  PutU16(image, file + 2, 1);                         // sections
  PutU16(image, file + 16, pe32 ? 0xE0 : 0xF0);       // optional header size
  PutU16(image, file + 18, pe32 ? 0x0102 : 0x0022);   // executable image (32-bit machine, large addresses)
  PutU16(image, file + 20, pe32 ? 0x010B : 0x020B);   // optional header magic
  const std::size_t section = SectionTableAt(image);
  image.replace(section, 5, ".text");
  PutU32(image, section + 16, 0x200);  // raw size
  PutU32(image, section + 20, 0x200);  // raw data offset
  image.replace(0x200, label.size(), label);
  return image;
}

}  // namespace pravik::test
