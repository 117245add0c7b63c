#include "tests/tools/ToolsTestSupport.h"

#include <fstream>
#include <iterator>

namespace pravik::test {

std::filesystem::path BuildPath(const char* path) {
  std::string text = path;
  if (!text.empty() && text.front() == '/') text = "Z:" + text;
  return std::filesystem::path(Wide(text)).make_preferred();
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                         static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring result(size, L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                        static_cast<int>(utf8.size()), result.data(), size);
  return result;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs) {
  const ULONGLONG deadline = ::GetTickCount64() + limitMs;
  for (;;) {
    if (condition()) return true;
    if (::GetTickCount64() >= deadline) return false;
    ::Sleep(20);
  }
}

std::string ReadFileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ReadLines(const std::filesystem::path& file) {
  const std::string text = ReadFileBytes(file);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

TempFolder::TempFolder() {
  static unsigned counter = 0;
  const auto base = std::filesystem::temp_directory_path();
  do {
    path_ = base / (L"pravik-tools-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                    std::to_wstring(++counter));
  } while (!std::filesystem::create_directory(path_));
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ScopedEnvironment::ScopedEnvironment(std::wstring name, const std::wstring& value)
    : name_(std::move(name)) {
  if (const DWORD size = ::GetEnvironmentVariableW(name_.c_str(), nullptr, 0)) {
    std::wstring previous(size, L'\0');
    previous.resize(::GetEnvironmentVariableW(name_.c_str(), previous.data(), size));
    previous_ = std::move(previous);
  }
  ::SetEnvironmentVariableW(name_.c_str(), value.empty() ? nullptr : value.c_str());
}

ScopedEnvironment::~ScopedEnvironment() {
  ::SetEnvironmentVariableW(name_.c_str(), previous_ ? previous_->c_str() : nullptr);
}

namespace {

// Quoted so that CommandLineToArgvW gives the argument back unchanged.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring result = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    result.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    result += c;
  }
  result.append(backslashes * 2, L'\\');
  return result + L"\"";
}

}  // namespace

Child::Child(const std::filesystem::path& program, const std::vector<std::wstring>& arguments,
             const std::filesystem::path& output) {
  std::wstring commandLine = Quoted(program.wstring());
  for (const auto& argument : arguments) commandLine += L" " + Quoted(argument);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  HANDLE outputFile = INVALID_HANDLE_VALUE;
  if (!output.empty()) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    outputFile = ::CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (outputFile == INVALID_HANDLE_VALUE) return;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outputFile;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  }
  PROCESS_INFORMATION info{};
  if (::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, !output.empty(),
                       0, nullptr, nullptr, &startup, &info)) {
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
  }
  if (outputFile != INVALID_HANDLE_VALUE) ::CloseHandle(outputFile);
}

Child::~Child() {
  if (!process_) return;
  if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process_, 255);
    ::WaitForSingleObject(process_, 10000);
  }
  ::CloseHandle(process_);
}

std::optional<DWORD> Child::Wait(DWORD limitMs) {
  if (!process_ || ::WaitForSingleObject(process_, limitMs) != WAIT_OBJECT_0) return {};
  DWORD status = 0;
  ::GetExitCodeProcess(process_, &status);
  return status;
}

bool ProcessEnded(DWORD id, DWORD limitMs) {
  const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, id);
  if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER;  // gone already
  const bool ended = ::WaitForSingleObject(process, limitMs) == WAIT_OBJECT_0;
  ::CloseHandle(process);
  return ended;
}

}  // namespace pravik::test
