#pragma once
// The FTP client's own texts, byte for byte.

namespace pravik::rs {

inline constexpr char NotConnected[] = "Not Connected";
inline constexpr char NotEnoughDataInBuffer[] = "Not enough data in buffer.";
inline constexpr char ReadTimeout[] = "Read Timeout";
inline constexpr char MaxLineLengthExceeded[] = "Max line length exceeded.";
inline constexpr char AlreadyConnected[] = "Already connected.";
inline constexpr char CommandTextUnsafe[] = "Command contains CR, LF or NUL.";
inline constexpr char CannotCreateFile[] = "Cannot create file %s";
inline constexpr char CannotOpenFile[] = "Cannot open file %s";
inline constexpr char StreamWriteError[] = "Stream write error";
inline constexpr char StreamReadError[] = "Stream read error";
inline constexpr char FileAlreadyExists[] = "Destination file already exists.";
inline constexpr char CommandNotSupported[] = "Command not supported.";
inline constexpr char SizeMismatch[] = "Size check: the server gave %s bytes, %s arrived.";
inline constexpr char AcceptTimeout[] = "Timed out waiting for the server's data connection.";
inline constexpr char InvalidInteger[] = "'%s' is not a valid integer value";
inline constexpr char AssignError[] = "Cannot assign a %s to a %s";
inline constexpr char StartingTransfer[] = "Starting FTP transfer";
inline constexpr char TransferComplete[] = "Transfer complete";
inline constexpr char TransferAborted[] = "Transfer aborted";
inline constexpr char ConnectionEstablished[] = "Connection established";
inline constexpr char UnknownSystem[] = "Unknown";

}  // namespace pravik::rs
