#pragma once
// The one translation of POSIX failures into Windows Sockets error numbers, so that
// every layer above reports the same numbers and texts on both platforms.

namespace pravik {

// errno value -> Windows Sockets error number (10107, WSASYSCALLFAILURE, when unknown).
int WinsockCodeFromErrno(int error);
// getaddrinfo() result -> Windows Sockets error number; EAI_SYSTEM takes `error` (errno).
int WinsockCodeFromResolver(int eaiCode, int error);

}  // namespace pravik
