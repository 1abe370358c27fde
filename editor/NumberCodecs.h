#pragma once
// Number texts of the settings fields: padded decimal output, the tolerant
// reader for typed input, and the rounding every derived figure uses.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lk24 {

// Decimal digits of number (with "-" when negative), blank-padded on the
// left to at least width characters. Never cuts a longer number.
std::string setString(int width, std::int64_t number);

// The same, padded with fill instead of blanks.
std::string fillString(int width, char fill, std::int64_t number);

// A signed 64-bit integer as the user may type it: leading blanks, an
// optional sign, then decimal digits or hex digits behind "$", "0x" or "0X".
// Nothing may follow the digits. Empty text, stray characters and values
// outside the signed 64-bit range give no value.
std::optional<std::int64_t> parseTypedNumber(std::string_view text);

// Typed text as a field value: invalid text gives 0, anything else is
// clamped to 0..max. Never fails and never reports.
std::int64_t checkin(std::string_view text, std::int64_t max);

// Nearest integer, exact halves to the even neighbour (2.5 -> 2, 1.5 -> 2).
std::int64_t roundHalfEven(double value);

}  // namespace lk24
