#include "cli/output/Json.h"

#include "cli/output/Text.h"

namespace lk24::cli::json {

namespace {

constexpr char kHex[] = "0123456789abcdef";

// Everything but '"', '\' and control characters goes out as it is, in UTF-8.
void writeString(const std::string& text, std::string& out) {
  out += '"';
  for (const char byte : validUtf8(text)) {
    const auto c = static_cast<unsigned char>(byte);
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
    void operator()(std::monostate) const { out += "null"; }
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
