// Shared by the fuzz targets: reading choices from the front of an input, and reporting a
// mismatch with the input printed as a C++ byte list that pastes straight into a regression test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/settings.h"
#include "tests/reference/answers.h"
#include "tests/reference/encoding.h"

namespace linepeek::fuzz {

// Prints `what`, then the input as a C++ array, and aborts so the fuzzer keeps the input.
[[noreturn]] inline void fail(const std::uint8_t* data, std::size_t size, const std::string& what) {
  std::fprintf(stderr, "\nlinepeek fuzz mismatch: %s\n", what.c_str());
  std::fprintf(stderr, "const unsigned char input[%zu] = {", size);
  for (std::size_t i = 0; i < size; ++i)
    std::fprintf(stderr, "%s0x%02x", i % 16 == 0 ? "\n    " : ", ", data[i]);
  std::fprintf(stderr, "};\n");
  std::abort();
}

// Takes choice bytes from the front of the input; what is left is the payload. Missing bytes
// read as 0, so every input, the empty one included, makes a complete set of choices.
class Input {
public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t byte() {
    if (position_ >= size_) return 0;
    return data_[position_++];
  }
  // A value in 0 .. count - 1.
  std::size_t pick(std::size_t count) { return count == 0 ? 0 : byte() % count; }
  std::string_view rest() const {
    return {reinterpret_cast<const char*>(data_) + position_, size_ - position_};
  }
  // Takes up to `length` payload bytes.
  std::string_view take(std::size_t length) {
    const std::size_t available = size_ - position_;
    const std::size_t taken = length < available ? length : available;
    const std::string_view piece{reinterpret_cast<const char*>(data_) + position_, taken};
    position_ += taken;
    return piece;
  }

private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// Bytes as UTF-16 units one to one (Latin-1), for feeding raw bytes to UTF-16 interfaces.
inline std::u16string widenBytes(std::string_view bytes) {
  std::u16string units;
  for (char c : bytes)
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return units;
}

// A printable form of a UTF-16 text for mismatch messages: ASCII as is, the rest as \uXXXX.
inline std::string show(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) {
    if (unit >= 0x20 && unit < 0x7F) {
      out.push_back(static_cast<char>(unit));
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
      out += escaped;
    }
  }
  return out;
}

inline std::string show(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    const unsigned b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F) {
      out.push_back(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
      out += escaped;
    }
  }
  return out;
}

// The kind and BOM length pairs that detection can produce.
struct KindChoice {
  int kind;
  int bomLength;
};
inline constexpr KindChoice DetectableKinds[] = {
    {reference::KindOther, 0},   {reference::KindUtf8, 0},    {reference::KindUtf8, 3},
    {reference::KindUtf16Le, 0}, {reference::KindUtf16Le, 2}, {reference::KindUtf16Be, 0},
    {reference::KindUtf16Be, 2}};

// The naming settings of the reference, copied from the module's record.
inline reference::NamingSettings namingOf(const Settings& config) {
  reference::NamingSettings naming;
  naming.textBufferSizeKB = config.textBufferSizeKB;
  naming.oemEnabled = config.oemEnabled;
  naming.oemBufferSizeKB = config.oemBufferSizeKB;
  naming.oemPercent = config.oemPercent;
  naming.rusEnabled = config.rusEnabled;
  naming.rusBufferSizeKB = config.rusBufferSizeKB;
  naming.rusMinSize = config.rusMinSize;
  naming.rusPercent = config.rusPercent;
  naming.rusWordLen = config.rusWordLen;
  naming.binaryIgnore = config.binaryIgnore;
  naming.oemIgnore = config.oemIgnore;
  return naming;
}

// The settings of a whole request in the reference's terms, copied from the module's record.
inline reference::RequestSettings requestOf(const Settings& config) {
  reference::RequestSettings request;
  request.utf8BufferSizeKB = config.utf8BufferSizeKB;
  request.skipEmpty = config.skipEmpty;
  request.lineEndings = config.lineEndings;
  request.charset = config.charset;
  request.naming = namingOf(config);
  for (const ReplacePair& pair : config.replaces)
    request.pairs.emplace_back(pair.from, pair.to);
  return request;
}

} // namespace linepeek::fuzz
