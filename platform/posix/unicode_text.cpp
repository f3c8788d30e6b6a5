#include "platform/posix/unicode_text.h"

#include <cstdint>

namespace linepeek::platform::posix {
namespace {

// Collects output units, counting past the capacity so that one pass both sizes and converts.
template <typename Unit> class Sink {
public:
  Sink(Unit* output, std::size_t capacity) : output_(output), capacity_(output ? capacity : 0) {}
  void put(Unit unit) {
    if (count_ < capacity_) output_[count_] = unit;
    ++count_;
  }
  std::size_t count() const { return count_; }

private:
  Unit* output_;
  std::size_t capacity_;
  std::size_t count_ = 0;
};

void putCodePoint(Sink<char16_t>& sink, std::uint32_t codePoint) {
  if (codePoint >= 0x10000) {
    codePoint -= 0x10000;
    sink.put(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    sink.put(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
  } else {
    sink.put(static_cast<char16_t>(codePoint));
  }
}

void putCodePoint(Sink<char>& sink, std::uint32_t codePoint) {
  auto put = [&sink](std::uint32_t byte) { sink.put(static_cast<char>(byte)); };
  if (codePoint < 0x80) {
    put(codePoint);
  } else if (codePoint < 0x800) {
    put(0xC0 | (codePoint >> 6));
    put(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    put(0xE0 | (codePoint >> 12));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  } else {
    put(0xF0 | (codePoint >> 18));
    put(0x80 | ((codePoint >> 12) & 0x3F));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  }
}

bool isHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

std::size_t decodeUtf8(const char* input, std::size_t bytes, char16_t* output, std::size_t capacity,
                       bool* valid) {
  Sink<char16_t> sink(output, capacity);
  bool allValid = true;
  const auto* in = reinterpret_cast<const unsigned char*>(input);
  std::size_t i = 0;
  while (i < bytes) {
    const unsigned lead = in[i];
    if (lead < 0x80) {
      sink.put(static_cast<char16_t>(lead));
      ++i;
      continue;
    }
    // The well-formed sequences: the lead byte fixes the length and the range of the second
    // byte; every later byte is 80..BF. This excludes overlong forms, surrogates (ED A0..BF)
    // and code points above U+10FFFF.
    std::size_t length = 0;
    unsigned secondLow = 0x80;
    unsigned secondHigh = 0xBF;
    std::uint32_t codePoint = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      codePoint = lead & 0x0F;
      if (lead == 0xE0) secondLow = 0xA0;
      if (lead == 0xED) secondHigh = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      codePoint = lead & 0x07;
      if (lead == 0xF0) secondLow = 0x90;
      if (lead == 0xF4) secondHigh = 0x8F;
    }
    std::size_t taken = 1;
    if (length != 0) {
      while (taken < length && i + taken < bytes) {
        const unsigned next = in[i + taken];
        const unsigned low = taken == 1 ? secondLow : 0x80;
        const unsigned high = taken == 1 ? secondHigh : 0xBF;
        if (next < low || next > high) break;
        codePoint = (codePoint << 6) | (next & 0x3F);
        ++taken;
      }
    }
    if (length != 0 && taken == length) {
      putCodePoint(sink, codePoint);
    } else {
      sink.put(ReplacementCharacter);
      allValid = false;
    }
    i += taken;
  }
  if (valid) *valid = allValid;
  return sink.count();
}

std::size_t encodeUtf8(const char16_t* input, std::size_t units, char* output, std::size_t capacity,
                       bool* valid) {
  Sink<char> sink(output, capacity);
  bool allValid = true;
  for (std::size_t i = 0; i < units; ++i) {
    std::uint32_t codePoint = input[i];
    if (isHighSurrogate(input[i]) && i + 1 < units && isLowSurrogate(input[i + 1])) {
      codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (input[i + 1] - 0xDC00u);
      ++i;
    } else if (isHighSurrogate(input[i]) || isLowSurrogate(input[i])) {
      codePoint = ReplacementCharacter;
      allValid = false;
    }
    putCodePoint(sink, codePoint);
  }
  if (valid) *valid = allValid;
  return sink.count();
}

std::size_t wideLength(const char16_t* text) {
  std::size_t length = 0;
  while (text[length] != 0)
    ++length;
  return length;
}

bool fileSystemName(const char16_t* name, PathBuffer& utf8Name) {
  if (name == nullptr) return false;
  bool valid = false;
  const std::size_t bytes =
      encodeUtf8(name, wideLength(name), utf8Name.data(), utf8Name.size() - 1, &valid);
  if (!valid || bytes > utf8Name.size() - 1) return false;
  utf8Name[bytes] = '\0';
  return true;
}

} // namespace linepeek::platform::posix
