#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "net/IdException.h"

namespace pravik::fuzz {

void Violated(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant violated: %s\n", file, line, condition);
  std::abort();
}

FuzzInput::FuzzInput(const std::uint8_t* bytes, std::size_t size, std::size_t controlSize) {
  const char* text = reinterpret_cast<const char*>(bytes);
  const std::size_t control = std::min(size, controlSize);
  FControl = std::string_view(text, control);
  Data = std::string_view(text + control, size - control);
}

PieceTransport::PieceTransport(std::string_view data, std::string_view pieces)
    : FData(data), FPieces(pieces) {
  OpenTransport();
}

int PieceTransport::ReceiveBuf(void* buffer, int length) {
  const std::size_t left = FData.size() - FServed;
  if (left == 0 || length <= 0) return 0;
  std::size_t piece = left;
  if (!FPieces.empty()) {
    const auto wanted = static_cast<unsigned char>(FPieces[FNextPiece++ % FPieces.size()]);
    if (wanted != 0) piece = wanted;
  }
  piece = std::min({piece, left, static_cast<std::size_t>(length)});
  std::memcpy(buffer, FData.data() + FServed, piece);
  FServed += piece;
  return static_cast<int>(piece);
}

void ApplyLineLimit(TIdTCPConnection& connection, std::uint8_t selector, bool split) {
  switch (selector & 3) {
    case 0: break;
    case 1: connection.MaxLineLength = 0; break;
    default: connection.MaxLineLength = 1 + (selector >> 2) % 64; break;
  }
  connection.MaxLineAction = split ? TIdMaxLineAction::maSplit : TIdMaxLineAction::maException;
}

std::int32_t ReceiveSize(std::uint8_t selector) {
  const int choice = selector >> 5;
  return choice == 0 ? 4096 : 2 << choice;
}

namespace {

[[noreturn]] void RefuseLookup(TIdStack& stack, int& lookups) {
  ++lookups;
  throw EIdSocketError(Id_WSAHOST_NOT_FOUND, stack.SocketErrorText(Id_WSAHOST_NOT_FOUND));
}

NoLookupStack* gInstalled = nullptr;

std::unique_ptr<TIdStack> MakeNoLookupStack() {
  auto stack = std::make_unique<NoLookupStack>();
  gInstalled = stack.get();
  return stack;
}

}  // namespace

std::string NoLookupStack::SockResolveName(const std::string&) { RefuseLookup(*this, Lookups); }
std::string NoLookupStack::SockResolveAddress(const std::string&) { RefuseLookup(*this, Lookups); }
TIdStringList NoLookupStack::ResolveAllAddresses(const std::string&) { RefuseLookup(*this, Lookups); }

NoLookupStack& InstallNoLookupStack() {
  static test::ScopedStackClass guard(&MakeNoLookupStack);
  if (!gInstalled) AddStackUser();
  return *gInstalled;
}

}  // namespace pravik::fuzz
