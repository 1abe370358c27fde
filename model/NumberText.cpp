#include "model/NumberText.h"

namespace lk24 {

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::int32_t> parseInt32(std::string_view text) {
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
    ++pos;
  } else if (pos < text.size() && (text[pos] == 'x' || text[pos] == 'X')) {
    hex = true;
    ++pos;
  } else if (pos + 1 < text.size() && text[pos] == '0' &&
             (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    hex = true;
    pos += 2;
  }
  if (pos >= text.size()) return std::nullopt;

  // Accumulate in 64 bits and stop as soon as the value leaves 32 bits,
  // so a line of a million digits costs no more than it must.
  const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  const unsigned base = hex ? 16 : 10;
  std::uint64_t value = 0;
  for (; pos < text.size(); ++pos) {
    const int digit = hex ? hexDigit(text[pos])
                          : (text[pos] >= '0' && text[pos] <= '9' ? text[pos] - '0' : -1);
    if (digit < 0) return std::nullopt;
    value = value * base + static_cast<unsigned>(digit);
    if (value > limit) return std::nullopt;
  }
  const auto bits = static_cast<std::uint32_t>(value);
  const auto magnitude = static_cast<std::int64_t>(hex ? static_cast<std::int32_t>(bits)
                                                       : static_cast<std::int64_t>(value));
  const std::int64_t signedValue = negative ? -magnitude : magnitude;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(signedValue));
}

}  // namespace lk24
