#pragma once
// The few file-system services the client needs beyond streams; paths are code page 949.

#include <string>

namespace pravik {

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// Removes the file if it is there; false when it is there and cannot be removed.
bool DeleteFileIfExists(const std::string& path);
// Puts `from` in the place of `to` in one step, replacing an existing `to` and writing
// through to the disk before it returns; false when that is not possible, with the system's
// error number in `systemError` when given.
bool ReplaceFileWith(const std::string& to, const std::string& from, int* systemError = nullptr);

}  // namespace pravik
