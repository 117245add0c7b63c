#pragma once
// A folder of the running test's own under the system's temporary folder: made empty for the
// test and removed with it, so that a test meets nothing of another and leaves nothing behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace pravik::test {

class TTestFolder {
 public:
  // "pravik-<kind>-<test name>", a parameterised test's "/" written as "-".
  explicit TTestFolder(const std::string& kind)
      : Path(std::filesystem::temp_directory_path() / ("pravik-" + kind + "-" + TestName())) {
    std::filesystem::remove_all(Path);
    std::filesystem::create_directories(Path);
  }
  ~TTestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  TTestFolder(const TTestFolder&) = delete;
  TTestFolder& operator=(const TTestFolder&) = delete;

  const std::filesystem::path Path;

 private:
  static std::string TestName() {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) {
      if (c == '/' || c == '\\') c = '-';
    }
    return name;
  }
};

}  // namespace pravik::test
