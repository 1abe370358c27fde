#include "model/NumberText.h"

namespace lk24 {

namespace {

int digitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hex) return -1;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<NumberParts> splitNumber(std::string_view text, bool bareXIsHex) {
  NumberParts parts;
  std::size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    parts.negative = text[pos] == '-';
    ++pos;
  }
  if (pos < text.size() && text[pos] == '$') {
    parts.hex = true;
    ++pos;
  } else if (bareXIsHex && pos < text.size() && (text[pos] == 'x' || text[pos] == 'X')) {
    parts.hex = true;
    ++pos;
  } else if (pos + 1 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    parts.hex = true;
    pos += 2;
  }
  if (pos >= text.size()) return std::nullopt;
  parts.digits = text.substr(pos);
  return parts;
}

std::optional<std::uint64_t> digitsValue(const NumberParts& parts, std::uint64_t limit) {
  const unsigned base = parts.hex ? 16 : 10;
  std::uint64_t value = 0;
  for (const char c : parts.digits) {
    const int digit = digitValue(c, parts.hex);
    if (digit < 0) return std::nullopt;
    if (value > (limit - static_cast<unsigned>(digit)) / base) return std::nullopt;
    value = value * base + static_cast<unsigned>(digit);
  }
  return value;
}

std::optional<std::int32_t> parseInt32(std::string_view text) {
  const auto parts = splitNumber(text, /*bareXIsHex=*/true);
  if (!parts) return std::nullopt;
  // Hex takes the whole 32-bit pattern; decimal the signed range.
  const std::uint64_t limit = parts->hex ? 0xFFFFFFFFull : (parts->negative ? 0x80000000ull : 0x7FFFFFFFull);
  const auto value = digitsValue(*parts, limit);
  if (!value) return std::nullopt;
  const auto bits = static_cast<std::uint32_t>(*value);
  return static_cast<std::int32_t>(parts->negative ? 0u - bits : bits);
}

std::string zeroPadded(int value, int width) {
  const bool negative = value < 0;
  std::string digits = std::to_string(negative ? -static_cast<long long>(value) : value);
  const int digitWidth = negative ? width - 1 : width;
  if (static_cast<int>(digits.size()) < digitWidth) {
    digits.insert(0, static_cast<std::size_t>(digitWidth) - digits.size(), '0');
  }
  return negative ? '-' + digits : digits;
}

}  // namespace lk24
