// One field value as the host received it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace linepeek::cli {

struct Value {
  enum class Kind { None, Text, Number };
  Kind kind = Kind::None; // None: the module answered no value (a negative or unknown code)
  std::string text;       // UTF-8, for Text
  std::int64_t number = 0;

  static Value ofText(std::string utf8) { return {Kind::Text, std::move(utf8), 0}; }
  static Value ofNumber(std::int64_t n) { return {Kind::Number, {}, n}; }
};

// The value as text: a number in decimal, nothing as the empty text.
inline std::string plainText(const Value& value) {
  switch (value.kind) {
  case Value::Kind::Text:
    return value.text;
  case Value::Kind::Number:
    return std::to_string(value.number);
  case Value::Kind::None:
    break;
  }
  return {};
}

} // namespace linepeek::cli
