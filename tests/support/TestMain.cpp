// The main of every GoogleTest program of the project.
//
// A test may skip itself where its machine lacks what it needs. In CI (PRAVIK_CI set, as
// .ci/run does) the machine has every package and runs as root, so nothing has a reason to
// skip there: a skip would only hide a test that no longer runs, and fails instead.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class SkipsFailInCi : public ::testing::EmptyTestEventListener {
  // Called before the result is printed, while the test is still the current one: the
  // failure counts for it, and it is reported as failed rather than skipped.
  void OnTestEnd(const ::testing::TestInfo& test) override {
    if (test.result()->Skipped()) ADD_FAILURE() << "skipped in CI (PRAVIK_CI is set), where nothing may skip";
  }
};

bool InCi() {
  const char* value = std::getenv("PRAVIK_CI");
  return value && *value && std::string(value) != "0";
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleMock(&argc, argv);
  if (InCi()) ::testing::UnitTest::GetInstance()->listeners().Append(new SkipsFailInCi);
  return RUN_ALL_TESTS();
}
