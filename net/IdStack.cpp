#include "net/IdStack.h"

#include <stdexcept>

#include "net/IdException.h"
#include "net/IdGlobal.h"
#include "net/IdResourceStrings.h"

namespace pravik {

namespace {

struct ErrorTextRow {
  int Code;
  const char* Text;
};

constexpr ErrorTextRow kErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
};

// Reads one part of an address text; a text that is not an integer counts as -1.
std::int64_t AddressPart(const std::string& part) {
  std::int64_t value;
  return TryTextToInt64(part, value) ? value : -1;
}

bool InRange(std::int64_t value, std::int64_t max) { return value >= 0 && value <= max; }

std::int32_t gStackUserCount = 0;
std::unique_ptr<TIdStack> gStackObject;

}  // namespace

TIdStackClass StackClass = &CreatePlatformStack;
TIdStack* GlobalStack = nullptr;
std::mutex StackLock;

std::int32_t StackUserCount() {
  std::lock_guard<std::mutex> lock(StackLock);
  return gStackUserCount;
}

void AddStackUser() {
  std::lock_guard<std::mutex> lock(StackLock);
  if (++gStackUserCount == 1) {
    try {
      gStackObject = StackClass();
      GlobalStack = gStackObject.get();
    } catch (...) {
      // The component that failed to come up is no user; the next one tries again.
      --gStackUserCount;
      throw;
    }
  }
}

void RemoveStackUser() noexcept {
  std::lock_guard<std::mutex> lock(StackLock);
  if (--gStackUserCount == 0) {
    GlobalStack = nullptr;
    gStackObject.reset();
  }
}

bool TIdStack::CheckSocketResult(int result, std::initializer_list<int> ignored) {
  if (result != Id_SOCKET_ERROR) return false;
  LastSocketError = SockLastError();
  for (int code : ignored) {
    if (code == LastSocketError) return true;
  }
  RaiseSocketFailure(LastSocketError);
}

void TIdStack::RaiseSocketFailure(int code) { throw EIdSocketError(code, SocketErrorText(code)); }

TIdStackSocketHandle TIdStack::NewSocket(int socketType, int protocol) {
  const TIdStackSocketHandle socket = SockOpen(Id_PF_INET, socketType, protocol);
  if (socket == Id_INVALID_SOCKET) throw EIdInvalidSocket(rs::CannotAllocateSocket);
  return socket;
}

std::string TIdStack::HostToIP(const std::string& host) {
  if (UpperCaseAscii(host) == "LOCALHOST") return "127.0.0.1";
  if (IsIPText(host)) return host;
  return SockResolveName(host);
}

bool TIdStack::IsIPText(const std::string& text) {
  std::uint8_t bytes[4];
  return ParseIPText(text, bytes);
}

bool TIdStack::ParseIPText(const std::string& text, std::uint8_t (&bytes)[4]) {
  std::string rest = text;
  const std::string part1 = CutToken(rest, ".");
  const std::string part2 = CutToken(rest, ".");
  const std::string part3 = CutToken(rest, ".");
  const std::string& part4 = rest;
  const std::int64_t a = AddressPart(part1);

  // The first empty part decides the form; whatever follows it is not looked at.
  if (part2.empty()) {
    if (!InRange(a, 0xFFFFFFFFLL)) return false;
    bytes[0] = static_cast<std::uint8_t>(a >> 24);
    bytes[1] = static_cast<std::uint8_t>(a >> 16);
    bytes[2] = static_cast<std::uint8_t>(a >> 8);
    bytes[3] = static_cast<std::uint8_t>(a);
    return true;
  }
  const std::int64_t b = AddressPart(part2);
  if (part3.empty()) {
    if (!InRange(a, 255) || !InRange(b, 0xFFFFFF)) return false;
    bytes[0] = static_cast<std::uint8_t>(a);
    bytes[1] = static_cast<std::uint8_t>(b >> 16);
    bytes[2] = static_cast<std::uint8_t>(b >> 8);
    bytes[3] = static_cast<std::uint8_t>(b);
    return true;
  }
  const std::int64_t c = AddressPart(part3);
  if (part4.empty()) {
    if (!InRange(a, 255) || !InRange(b, 255) || !InRange(c, 0xFFFF)) return false;
    bytes[0] = static_cast<std::uint8_t>(a);
    bytes[1] = static_cast<std::uint8_t>(b);
    bytes[2] = static_cast<std::uint8_t>(c >> 8);
    bytes[3] = static_cast<std::uint8_t>(c);
    return true;
  }
  const std::int64_t d = AddressPart(part4);
  if (!InRange(a, 255) || !InRange(b, 255) || !InRange(c, 255) || !InRange(d, 255)) return false;
  bytes[0] = static_cast<std::uint8_t>(a);
  bytes[1] = static_cast<std::uint8_t>(b);
  bytes[2] = static_cast<std::uint8_t>(c);
  bytes[3] = static_cast<std::uint8_t>(d);
  return true;
}

void TIdStack::TextToInAddr(const std::string& text, std::uint8_t (&bytes)[4]) {
  FillInAddr(text, bytes);
}

void TIdStack::FillInAddr(const std::string& text, std::uint8_t (&bytes)[4]) {
  if (!ParseIPText(text, bytes)) throw EIdInvalidIPAddress(FormatText(rs::InvalidIPAddress, {text}));
}

std::string TIdStack::InAddrToText(const std::uint8_t (&bytes)[4]) {
  return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
         std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
}

std::string TIdStack::ErrorCodeText(int code) {
  for (const ErrorTextRow& row : kErrorTexts) {
    if (row.Code == code) return row.Text;
  }
  return {};
}

std::string TIdStack::SocketErrorText(int code) {
  return FormatText(rs::SocketError, {std::to_string(code), ErrorCodeText(code)});
}

void TIdStack::FillLocalAddresses() {
  if (!LocalAddressCache) LocalAddressCache = std::make_unique<TIdStringList>();
  LocalAddressCache->clear();
  *LocalAddressCache = ResolveAllAddresses(SockLocalHostName());
}

const TIdStringList& TIdStack::ListLocalAddresses() {
  FillLocalAddresses();
  return *LocalAddressCache;
}

std::string TIdStack::FirstLocalAddress() {
  const TIdStringList& addresses = ListLocalAddresses();
  if (addresses.empty()) throw std::out_of_range("List index out of bounds (0)");
  return addresses.front();
}

}  // namespace pravik
