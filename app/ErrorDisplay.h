#pragma once
// The texts of the program's two error displays.

#include <cstdint>
#include <string>

namespace pravik::app {

// The error box's text: the message, with "." appended when it is not empty and its last
// byte lies above ".", so nothing follows a ".", "!", ")" or a blank.
std::string ErrorBoxText(const std::string& message);

// The program title, the error box's caption: the file name without folder and without
// everything from its first ".", lower case after the first character ("Pravikftp").
std::string ProgramTitle(const std::string& programFile);

// The file name of a path without its folder (either kind of slash).
std::string FileNameOf(const std::string& path);

// The "Application Error" text for an error of `className` that arose at `offset` into
// the module `moduleName`.
std::string ApplicationErrorText(const std::string& className, const std::string& moduleName,
                                 std::uintptr_t offset, const std::string& message);

}  // namespace pravik::app
