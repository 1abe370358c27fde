#pragma once
// The few text operations the command line needs on UTF-8 strings.

#include <string>
#include <string_view>
#include <vector>

namespace lk24::cli {

// Without leading and trailing white space.
std::string trimmed(std::string_view text);
bool startsWith(std::string_view text, std::string_view prefix);
std::string join(const std::vector<std::string>& parts, std::string_view separator);
std::string replaced(std::string text, std::string_view from, std::string_view to);
// The part before the first `separator`, or all of text.
std::string beforeFirst(std::string_view text, char separator);
// text filled with spaces to `width` characters: on the right for a
// negative width, on the left for a positive one; a longer text stays whole.
std::string padded(const std::string& text, int width);
// value with at least `digits` digits, leading zeros added ("04711").
std::string zeroPadded(int value, int digits);
// Bytes that are no UTF-8 replaced by U+FFFD, so every text shown is UTF-8.
std::string validUtf8(std::string_view text);

}  // namespace lk24::cli
