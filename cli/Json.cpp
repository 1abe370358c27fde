#include "cli/Json.h"

namespace lk24::cli::json {

namespace {

constexpr char kHex[] = "0123456789abcdef";

// Length of the well-formed UTF-8 sequence at text[i], or 0 when it is not
// one (a stray byte, a cut sequence, an overlong form or a surrogate).
std::size_t sequenceLength(const std::string& text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
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

void writeString(const std::string& text, std::string& out) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      // Bytes that are no UTF-8 become U+FFFD, as in every text the tool shows.
      const std::size_t length = sequenceLength(text, i);
      out += length ? text.substr(i, length) : std::string("\xEF\xBF\xBD");
      i += length ? length : 1;
      continue;
    }
    ++i;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0x0F];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

}  // namespace

void Value::write(std::string& out) const {
  struct Writer {
    std::string& out;
    void operator()(std::nullptr_t) const { out += "null"; }
    void operator()(bool value) const { out += value ? "true" : "false"; }
    void operator()(std::int64_t value) const { out += std::to_string(value); }
    void operator()(const std::string& text) const { writeString(text, out); }
    void operator()(const Array& array) const {
      out += '[';
      for (std::size_t i = 0; i < array.size(); ++i) {
        if (i > 0) out += ',';
        array[i].write(out);
      }
      out += ']';
    }
    void operator()(const Object& object) const {
      out += '{';
      bool first = true;
      for (const auto& [key, value] : object) {
        if (!first) out += ',';
        first = false;
        writeString(key, out);
        out += ':';
        value.write(out);
      }
      out += '}';
    }
  };
  std::visit(Writer{out}, data_);
}

Value orNull(const std::string& text) { return text.empty() ? Value() : Value(text); }

std::string compact(const Value& document) {
  std::string out;
  document.write(out);
  return out;
}

}  // namespace lk24::cli::json
