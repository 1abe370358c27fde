#pragma once
// Number texts: reading a number line of the template and configuration
// files, and the zero-padded numbers of names and messages.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lk24 {

// A number text taken apart: its sign, its base and its run of digits.
struct NumberParts {
  bool negative = false;
  bool hex = false;
  std::string_view digits;  // never empty
};

// Leading blanks, an optional "+" or "-", then "$", "0x" or "0X" for hex
// (and a bare "x" or "X" when bareXIsHex). No value when no digit run follows.
std::optional<NumberParts> splitNumber(std::string_view text, bool bareXIsHex);

// The value of the digit run, or none when a character is not a digit of
// its base or the value exceeds limit. Stops at the first excess, so a
// run of a million digits costs no more than it must.
std::optional<std::uint64_t> digitsValue(const NumberParts& parts, std::uint64_t limit);

// A signed 32-bit integer: leading blanks, an optional "+" or "-", then
// decimal digits or hexadecimal digits behind "$", "x", "X", "0x" or "0X".
// Nothing may follow the digits. Hexadecimal takes the full 32-bit pattern
// ("$FFFFFFFF" is -1); decimal must lie in the signed 32-bit range.
// Empty text, trailing characters or a value out of range give no value.
std::optional<std::int32_t> parseInt32(std::string_view text);

// value in decimal, filled with leading zeros to width characters ("04711");
// a minus sign goes before the zeros and counts to the width.
std::string zeroPadded(int value, int width);

}  // namespace lk24
