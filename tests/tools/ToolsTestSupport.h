#pragma once
// Running and watching Windows programs from the tests of the end-to-end test tools.

#include <windows.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pravik::test {

// A program file named by the build, which under Wine gives Unix paths: those are on Z:.
std::filesystem::path BuildPath(const char* path);

std::wstring Wide(const std::string& utf8);

// Checks `condition` every few milliseconds until it holds or `limitMs` has passed;
// true when it held. The limit only bounds a broken test, nothing is timed.
bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs = 60000);

std::string ReadFileBytes(const std::filesystem::path& file);

// Complete lines of a text file, without their CRLF or LF.
std::vector<std::string> ReadLines(const std::filesystem::path& file);

// A new empty folder under the temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Sets an environment variable of this process (and so of the programs it starts, unless
// `value` is empty: then removes it) for its lifetime.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::wstring name, const std::wstring& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::wstring name_;
  std::optional<std::wstring> previous_;
};

// A program started with the given arguments; one still running at the end is terminated.
class Child {
 public:
  // With `output`, the program's standard output goes to that file.
  Child(const std::filesystem::path& program, const std::vector<std::wstring>& arguments,
        const std::filesystem::path& output = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return process_ != nullptr; }
  // The exit status, or nothing when the program still runs after `limitMs`.
  std::optional<DWORD> Wait(DWORD limitMs = 60000);

 private:
  HANDLE process_ = nullptr;
};

// Whether the process `id` has ended, waiting for it up to `limitMs`.
bool ProcessEnded(DWORD id, DWORD limitMs = 60000);

}  // namespace pravik::test
