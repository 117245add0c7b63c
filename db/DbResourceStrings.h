#pragma once
// The database access layer's own texts, byte for byte. Driver errors carry the driver's text.

namespace pravik::rs {

inline constexpr char InvalidVariantTypeConversion[] = "Invalid variant type conversion";
inline constexpr char FieldNotFound[] = "Field '%s' not found";
inline constexpr char DriverGaveNoDiagnostic[] = "The database driver reported an error without a description";
inline constexpr char Cp949Unavailable[] = "Text conversion for code page 949 is not available";

}  // namespace pravik::rs
