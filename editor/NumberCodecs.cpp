#include "editor/NumberCodecs.h"

#include "model/NumberText.h"

#include <cmath>
#include <limits>

namespace lk24 {

std::string setString(int width, std::int64_t number) { return fillString(width, ' ', number); }

std::string fillString(int width, char fill, std::int64_t number) {
  std::string digits = std::to_string(number);
  if (static_cast<int>(digits.size()) < width) {
    digits.insert(0, static_cast<std::size_t>(width) - digits.size(), fill);
  }
  return digits;
}

std::optional<std::int64_t> parseTypedNumber(std::string_view text) {
  const auto parts = splitNumber(text, /*bareXIsHex=*/false);
  if (!parts) return std::nullopt;
  // The magnitude may reach 2^63 only for the most negative value.
  const std::uint64_t limit =
      parts->negative ? std::uint64_t{1} << 63 : static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  const auto value = digitsValue(*parts, limit);
  if (!value) return std::nullopt;
  if (parts->negative) {
    return *value == (std::uint64_t{1} << 63) ? std::numeric_limits<std::int64_t>::min()
                                               : -static_cast<std::int64_t>(*value);
  }
  return static_cast<std::int64_t>(*value);
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
