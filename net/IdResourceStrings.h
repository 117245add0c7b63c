#pragma once
// The socket layer's own texts, byte for byte.

namespace pravik::rs {

inline constexpr char SocketError[] = "Socket Error # %d\r\n%s";
inline constexpr char HostNotFound[] = "Host not found.";
inline constexpr char CannotAllocateSocket[] = "Cannot allocate socket.";
inline constexpr char InvalidIPAddress[] = "%s is not a valid IP address.";
inline constexpr char InvalidServiceName[] = "%s is not a valid service.";
inline constexpr char SetSizeExceeded[] = "Set Size Exceeded.";
inline constexpr char WinsockInitializationError[] = "Winsock Initialization Error.";
inline constexpr char WS2CallError[] = "Error on call Winsock2 library function %s";
inline constexpr char WS2LoadError[] = "Error on loading Winsock2 library (%s)";
inline constexpr char CouldNotBindSocket[] =
    "Could not bind socket. Address and port are already in use.";
inline constexpr char InvalidPortRange[] = "Invalid Port Range (%d - %d)";
inline constexpr char CanNotBindRange[] = "Can not bind in port range (%d - %d)";
inline constexpr char ConnectTimeout[] = "Connect timed out.";
inline constexpr char ConnectionClosedGracefully[] = "Connection Closed Gracefully.";
inline constexpr char NotConnectedTransport[] = "Disconnected.";

}  // namespace pravik::rs
