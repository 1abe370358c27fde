#include "editor/NumberCodecs.h"

#include <cmath>
#include <limits>

namespace lk24 {

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int decimalDigit(char c) { return c >= '0' && c <= '9' ? c - '0' : -1; }

}  // namespace

std::string setString(int width, std::int64_t number) { return fillString(width, ' ', number); }

std::string fillString(int width, char fill, std::int64_t number) {
  std::string digits = std::to_string(number);
  if (static_cast<int>(digits.size()) < width) {
    digits.insert(0, static_cast<std::size_t>(width) - digits.size(), fill);
  }
  return digits;
}

std::optional<std::int64_t> parseTypedNumber(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  bool hex = false;
  if (pos < text.size() && text[pos] == '$') {
    hex = true;
    pos += 1;
  } else if (pos + 1 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    hex = true;
    pos += 2;
  }
  if (pos >= text.size()) return std::nullopt;

  // The magnitude may reach 2^63 only for the most negative value; stop as
  // soon as it leaves that range so a long run of digits stays cheap.
  const std::uint64_t limit =
      negative ? std::uint64_t{1} << 63 : static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  const unsigned base = hex ? 16 : 10;
  std::uint64_t value = 0;
  for (; pos < text.size(); ++pos) {
    const int digit = hex ? hexDigit(text[pos]) : decimalDigit(text[pos]);
    if (digit < 0) return std::nullopt;
    if (value > (limit - static_cast<unsigned>(digit)) / base) return std::nullopt;
    value = value * base + static_cast<unsigned>(digit);
  }
  if (negative) {
    return value == (std::uint64_t{1} << 63) ? std::numeric_limits<std::int64_t>::min()
                                              : -static_cast<std::int64_t>(value);
  }
  return static_cast<std::int64_t>(value);
}

std::int64_t checkin(std::string_view text, std::int64_t max) {
  const std::optional<std::int64_t> value = parseTypedNumber(text);
  if (!value || *value < 0) return 0;
  return *value > max ? max : *value;
}

std::int64_t roundHalfEven(double value) {
  const double lower = std::floor(value);
  const double fraction = value - lower;
  double result = lower;
  if (fraction > 0.5) {
    result = lower + 1.0;
  } else if (fraction == 0.5) {
    result = std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
  }
  return static_cast<std::int64_t>(result);
}

}  // namespace lk24
