// Linked into each test program that goes through a test driver: the whole program runs in a
// TestWorkplace with the driver registrations the build names in PRAVIK_TEST_ODBCSYSINI.

#include <gtest/gtest.h>

#include <exception>
#include <memory>

#include "tests/db/TestWorkplace.h"

namespace pravik::test {
namespace {

class DbTestEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    try {
      workplace_ = std::make_unique<TestWorkplace>(PRAVIK_TEST_ODBCSYSINI);
    } catch (const std::exception& error) {
      FAIL() << error.what();
    }
  }
  void TearDown() override { workplace_.reset(); }

 private:
  std::unique_ptr<TestWorkplace> workplace_;
};

// GoogleTest takes ownership of the environments it is given.
[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new DbTestEnvironment);

}  // namespace
}  // namespace pravik::test
