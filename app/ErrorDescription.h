#pragma once
// What the administrator's log says of an error: its class, the numbers the system or the
// peer gave for its cause, and its whole message.

#include <exception>
#include <string>

namespace pravik::app {

// The error's class as the program names it ("EIdSocketError"), from the compiler's name
// for its type.
std::string ClassNameOf(const std::exception& error);

// "EIdSocketError (Winsock error 10061): Socket Error # 10061\r\nConnection refused.": the
// class, then in parentheses the Winsock, system, reply, I/O or database codes it carries
// (nothing when it carries none), then the whole message.
std::string DescribeError(const std::exception& error);

}  // namespace pravik::app
