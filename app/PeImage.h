#pragma once
// Whether a file is a well-formed Windows program: an executable PE image for x86, x64 or
// ARM64 whose headers and sections all lie inside the file. Reads only the given bytes, so
// any input is safe.

#include <cstdint>
#include <string>
#include <string_view>

namespace pravik::app {

// Why the file is no Windows program ("no MZ header", "section 2 ends beyond the file",
// ...), or empty text when it is one. `head` holds the file's first bytes, enough for its
// headers and section table; `fileSize` is the whole file's size.
std::string PeImageFault(std::string_view head, std::int64_t fileSize);

}  // namespace pravik::app
