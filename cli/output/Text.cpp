#include "cli/output/Text.h"

#include <cstdio>

namespace lk24::cli {

namespace {

constexpr std::string_view kSpace = " \t\n\v\f\r";

// Length of the well-formed UTF-8 sequence at text[i], or 0 when it is not
// one (a stray byte, a cut sequence, an overlong form or a surrogate).
std::size_t sequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

// Characters in UTF-16 units, the unit the columns have always been counted in.
int characterCount(std::string_view text) {
  int count = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) count += c >= 0xF0 ? 2 : 1;
  }
  return count;
}

}  // namespace

std::string trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(kSpace) - first + 1));
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::string join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined += separator;
    joined += parts[i];
  }
  return joined;
}

std::string replaced(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string beforeFirst(std::string_view text, char separator) {
  return std::string(text.substr(0, text.find(separator)));
}

std::string padded(const std::string& text, int width) {
  const int missing = (width < 0 ? -width : width) - characterCount(text);
  if (missing <= 0) return text;
  return width < 0 ? text + std::string(missing, ' ') : std::string(missing, ' ') + text;
}

std::string zeroPadded(int value, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*d", digits, value);
  return text;
}

std::string validUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = sequenceLength(text, i);
    if (length == 0) {
      valid += "\xEF\xBF\xBD";
      ++i;
    } else {
      valid += text.substr(i, length);
      i += length;
    }
  }
  return valid;
}

}  // namespace lk24::cli
