#pragma once
// Rewriting the version file in place, and knowing beforehand that the rewrite will work.
// Both open the file the same way (for writing, others may read it meanwhile, an existing
// file kept as it is until it is emptied), so a file the check accepts is one the rewrite
// can open: another program that reads the file and allows writes stops neither.

#include <string>

namespace pravik::app {

// Opens the file at `path`, creating it when absent, empties it and writes `bytes` as its
// whole content. EFCreateError "Cannot create file %s" when it cannot be opened,
// EStreamError when the write fails.
void RewriteFile(const std::string& path, const std::string& bytes);

// Raises the EFCreateError "Cannot create file %s" that RewriteFile would raise now. Changes
// nothing: an existing file keeps its content and a missing one stays missing.
void CheckCanWrite(const std::string& path);

}  // namespace pravik::app
