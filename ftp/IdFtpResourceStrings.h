#pragma once
// The FTP client's own texts, byte for byte.

namespace pravik::rs {

inline constexpr char NotConnected[] = "Not Connected";
inline constexpr char NotEnoughDataInBuffer[] = "Not enough data in buffer.";
inline constexpr char ReadTimeout[] = "Read Timeout";
inline constexpr char MaxLineLengthExceeded[] = "Max line length exceeded.";
inline constexpr char AlreadyConnected[] = "Already connected.";
inline constexpr char CannotCreateFile[] = "Cannot create file %s";
inline constexpr char CannotOpenFile[] = "Cannot open file %s";
inline constexpr char StreamWriteError[] = "Stream write error";
inline constexpr char StreamReadError[] = "Stream read error";

}  // namespace pravik::rs
