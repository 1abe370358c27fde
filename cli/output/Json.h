#pragma once
// lk24ctl's JSON documents: values of a few kinds and the compact text of
// them, byte for byte as scripts have always read it: keys in byte order,
// no spaces, integers without a fraction, strings in UTF-8 with only '"',
// '\' and control characters escaped.

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace lk24::cli::json {

class Value;
// Keys are ASCII, so byte order is the order readers have always seen.
using Object = std::map<std::string, Value>;
using Array = std::vector<Value>;

class Value {
 public:
  Value() = default;  // null
  Value(std::nullptr_t) {}
  Value(bool value) : data_(value) {}
  Value(int value) : data_(std::int64_t{value}) {}
  Value(std::int64_t value) : data_(value) {}
  Value(const char* text) : data_(std::string(text)) {}
  Value(std::string text) : data_(std::move(text)) {}
  Value(Array array) : data_(std::move(array)) {}
  Value(Object object) : data_(std::move(object)) {}

  // Appends the compact text of this value to out.
  void write(std::string& out) const;

 private:
  std::variant<std::monostate, bool, std::int64_t, std::string, Array, Object> data_;
};

// null for an empty text, else the text.
Value orNull(const std::string& text);
// The compact document, without a line end.
std::string compact(const Value& document);

}  // namespace lk24::cli::json
