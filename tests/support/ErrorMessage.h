#pragma once
// Catching one error class and looking at its message.

#include <gtest/gtest.h>

#include <string>

namespace pravik::test {

// The message of the error of class E that `action` raises. No error fails the test; an error
// of another class escapes and fails it too.
template <typename E, typename Action>
std::string MessageOf(Action&& action) {
  try {
    action();
  } catch (const E& error) {
    return error.what();
  }
  ADD_FAILURE() << "no error was raised";
  return {};
}

}  // namespace pravik::test
