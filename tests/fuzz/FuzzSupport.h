#pragma once
// What the fuzz targets share: the input cut into control bytes and data, a transport that
// serves the data in pieces, and a socket stack that refuses every name lookup, so that no
// input can make a target ask a resolver off this machine.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ftp/IdTCPConnection.h"
#include "net/IdIOHandler.h"
#include "tests/support/ForwardingStack.h"

// A violated invariant: libFuzzer records the input that led here as a crash.
#define FUZZ_CHECK(condition)                                                              \
  do {                                                                                     \
    if (!(condition)) ::pravik::fuzz::Violated(#condition, __FILE__, __LINE__);            \
  } while (0)

namespace pravik::fuzz {

[[noreturn]] void Violated(const char* condition, const char* file, int line);

// The first `controlSize` bytes steer the target (missing ones read as 0); the rest is the
// data under test. Control bytes in front keep the data itself free for the mutator.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* bytes, std::size_t size, std::size_t controlSize);
  std::uint8_t Control(std::size_t i) const { return i < FControl.size() ? FControl[i] : 0; }
  std::string_view Data;

 private:
  std::string_view FControl;
};

// Serves `data` in receives whose sizes cycle through `pieces` (a 0 there, or no pieces at
// all, hands over the whole rest), then reports the peer's close on every later receive.
class PieceTransport : public TIdIOHandler {
 public:
  PieceTransport(std::string_view data, std::string_view pieces);
  bool WaitReadable(int) override { return true; }
  int ReceiveBuf(void* buffer, int length) override;
  int SendBuf(const void*, int length) override { return length; }

  std::size_t Served() const { return FServed; }

 private:
  std::string_view FData;
  std::string_view FPieces;
  std::size_t FServed = 0;
  std::size_t FNextPiece = 0;
};

// The line limit a control byte chooses: the usual 16384, none at all (0), or a small one
// of 1 to 64 bytes that real lines overrun; `split` picks maSplit over maException.
void ApplyLineLimit(TIdTCPConnection& connection, std::uint8_t selector, bool split);

// The most one receive asks for, from the top three bits of a control byte: 4 to 256
// bytes, so that the receive and not the piece cuts the data, or 4096 for 0. The usual
// 32768 would read no input differently (libFuzzer's inputs stay within 4096 bytes) but
// costs the input queue's growth by that much on every receive.
std::int32_t ReceiveSize(std::uint8_t selector);

// A stack whose name and address lookups fail as an unknown host does, without asking
// anybody; every other call goes to the platform's stack.
class NoLookupStack : public test::ForwardingStack {
 public:
  std::string SockResolveName(const std::string& host) override;
  std::string SockResolveAddress(const std::string& ip) override;
  int Lookups = 0;

 protected:
  TIdStringList ResolveAllAddresses(const std::string& name) override;
};

// Makes NoLookupStack the process's stack and keeps it alive until the process ends, so
// that the components of each run neither create nor destroy a stack.
NoLookupStack& InstallNoLookupStack();

}  // namespace pravik::fuzz
