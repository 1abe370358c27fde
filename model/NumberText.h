#pragma once
// Reading a number line of the template and configuration files.

#include <cstdint>
#include <optional>
#include <string_view>

namespace lk24 {

// A signed 32-bit integer: leading blanks, an optional "+" or "-", then
// decimal digits or hexadecimal digits behind "$", "x", "X", "0x" or "0X".
// Nothing may follow the digits. Hexadecimal takes the full 32-bit pattern
// ("$FFFFFFFF" is -1); decimal must lie in the signed 32-bit range.
// Empty text, trailing characters or a value out of range give no value.
std::optional<std::int32_t> parseInt32(std::string_view text);

}  // namespace lk24
