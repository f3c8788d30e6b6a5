// The encoding of a head sample, its name and the binary flag, written for clarity rather than
// speed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/reference/unicode.h"

namespace linepeek::reference {

// The kinds of detection, numbered as the module numbers them.
enum : int { KindOther = 0, KindUtf8 = 1, KindUtf16Le = 2, KindUtf16Be = 3 };

// UTF-8: each lead byte followed by its continuation bytes (a sequence cut by the end of the
// sample counts), at least one sequence of two bytes or more. No overlong or range checks.
inline bool looksUtf8(std::string_view bytes) {
  bool multiByte = false;
  std::size_t position = 0;
  while (position < bytes.size()) {
    const unsigned lead = byteAt(bytes, position++);
    int follow = 0;
    if (lead < 0x80) {
      follow = 0;
    } else if ((lead & 0xE0u) == 0xC0u) {
      follow = 1;
    } else if ((lead & 0xF0u) == 0xE0u) {
      follow = 2;
    } else if ((lead & 0xF8u) == 0xF0u) {
      follow = 3;
    } else {
      return false;
    }
    if (follow > 0) multiByte = true;
    for (int i = 0; i < follow; ++i) {
      if (position >= bytes.size()) return multiByte;
      if ((byteAt(bytes, position++) & 0xC0u) != 0x80u) return false;
    }
  }
  return multiByte;
}

// UTF-16 without a mark, from the zero bytes at even and odd offsets of the first 4,096 bytes.
inline bool guessUtf16(std::string_view sample, bool& bigEndian) {
  bigEndian = false;
  std::size_t n = sample.size() < 4096 ? sample.size() : 4096;
  n -= n % 2;
  const std::size_t units = n / 2;
  if (units == 0) return false;
  bool anyZero = false;
  for (std::size_t i = 0; i < n; ++i)
    anyZero = anyZero || byteAt(sample, i) == 0;
  if (!anyZero) return false;
  std::uint64_t even = 0;
  std::uint64_t odd = 0;
  for (std::size_t i = 0; i < units; ++i) {
    if (byteAt(sample, 2 * i) == 0) ++even;
    if (byteAt(sample, 2 * i + 1) == 0) ++odd;
  }
  if (units == 1) {
    if ((even == 1) != (odd == 1)) {
      bigEndian = even == 1;
      return true;
    }
    return false;
  }
  if (odd >= 2 && 4 * odd >= units && 4 * even < odd) return true;
  if (even >= 2 && 4 * even >= units && 4 * odd < even) {
    bigEndian = true;
    return true;
  }
  return false;
}

// The kind: a byte order mark, else the UTF-16 guess, else the UTF-8 test on the first
// `utf8BufferSizeKB` KB.
inline int detectEncoding(std::string_view sample, int& bomLength, int utf8BufferSizeKB) {
  bomLength = 0;
  const auto startsWith = [&](std::string_view mark) {
    return sample.size() >= mark.size() && sample.substr(0, mark.size()) == mark;
  };
  if (startsWith("\xEF\xBB\xBF")) {
    bomLength = 3;
    return KindUtf8;
  }
  if (startsWith("\xFF\xFE")) {
    bomLength = 2;
    return KindUtf16Le;
  }
  if (startsWith("\xFE\xFF")) {
    bomLength = 2;
    return KindUtf16Be;
  }
  bool bigEndian = false;
  if (guessUtf16(sample, bigEndian)) return bigEndian ? KindUtf16Be : KindUtf16Le;
  const std::size_t window = static_cast<std::size_t>(utf8BufferSizeKB) * 1024;
  return looksUtf8(window < sample.size() ? sample.substr(0, window) : sample) ? KindUtf8
                                                                               : KindOther;
}

// The Encoding section of the settings, as the naming rules read it.
struct NamingSettings {
  int textBufferSizeKB = 1;
  bool oemEnabled = true;
  int oemBufferSizeKB = 1;
  int oemPercent = 18;
  bool rusEnabled = true;
  int rusBufferSizeKB = 2;
  int rusMinSize = 8;
  int rusPercent = 30;
  int rusWordLen = 0;
  std::array<std::uint8_t, 256> binaryIgnore{};
  std::array<std::uint8_t, 256> oemIgnore{};
};

// The first `kilobytes` KB of the sample.
inline std::string_view prefix(std::string_view sample, int kilobytes) {
  const std::size_t length = static_cast<std::size_t>(kilobytes) * 1024;
  return sample.substr(0, length < sample.size() ? length : sample.size());
}

// RTF: the sample starts with "{\rtf".
inline bool looksRtf(std::string_view sample) {
  return sample.size() >= 5 && sample.substr(0, 5) == "{\\rtf";
}

// Binary: a control byte other than TAB, LF and CR, and not in BinaryIgnore, in the prefix.
inline bool looksBinary(std::string_view sample, const NamingSettings& config) {
  const std::string_view examined = prefix(sample, config.textBufferSizeKB);
  for (std::size_t i = 0; i < examined.size(); ++i) {
    const unsigned b = byteAt(examined, i);
    const bool text = b >= 32 || b == 9 || b == 10 || b == 13;
    if (!text && config.binaryIgnore[b] == 0) return true;
  }
  return false;
}

// DOS pseudo-graphics: one box-drawing byte (B0..DF or FF, not in OemIgnore) makes up at least
// OemPercent of the high bytes of the prefix.
inline bool looksOemGraphics(std::string_view sample, const NamingSettings& config) {
  const std::string_view examined = prefix(sample, config.oemBufferSizeKB);
  std::array<std::uint64_t, 256> count{};
  std::uint64_t high = 0;
  for (std::size_t i = 0; i < examined.size(); ++i) {
    const unsigned b = byteAt(examined, i);
    if (b >= 128) {
      ++count[b];
      ++high;
    }
  }
  if (high == 0) return false;
  for (unsigned v = 128; v <= 255; ++v) {
    if (config.oemIgnore[v] != 0) continue;
    if (!((v >= 176 && v <= 223) || v == 255)) continue;
    if (count[v] * 100 / high >= static_cast<std::uint64_t>(config.oemPercent)) return true;
  }
  return false;
}

// Russian: Cyrillic letters of 1251 (C0..FF) or 866 (80..AF, E0..F1) make up RusPercent of a
// prefix of at least RusMinSize bytes, or a run of RusWordLen of them occurs.
inline bool looksRussian(std::string_view sample, bool dosLetters, const NamingSettings& config) {
  const std::int64_t window = static_cast<std::int64_t>(config.rusBufferSizeKB) * 1024;
  const std::int64_t examined = static_cast<std::int64_t>(sample.size()) < window
                                    ? static_cast<std::int64_t>(sample.size())
                                    : window;
  if (examined < config.rusMinSize) return false;
  std::int64_t letters = 0;
  std::int64_t run = 0;
  for (std::int64_t i = 0; i < examined; ++i) {
    const unsigned b = byteAt(sample, static_cast<std::size_t>(i));
    const bool letter = dosLetters ? ((b >= 128 && b <= 175) || (b >= 224 && b <= 241)) : b >= 192;
    if (letter) {
      ++letters;
      ++run;
      if (config.rusWordLen > 0 && run >= config.rusWordLen) return true;
    } else {
      run = 0;
    }
  }
  if (examined <= 0) return false;
  return letters * 100 / examined >= config.rusPercent;
}

// The "Type" test: a non-empty 8-bit file that looks binary.
inline bool binaryFlag(std::string_view sample, std::int64_t fileSize, int kind,
                       const NamingSettings& config) {
  return fileSize != 0 && kind == KindOther && looksBinary(sample, config);
}

// The "Encoding" name: by kind, else the first test that holds in the order RTF, binary, DOS
// graphics, Russian in 1251, Russian in 866, else "ANSI".
inline std::string encodingName(std::string_view sample, std::int64_t fileSize, int kind,
                                int bomLength, const NamingSettings& config) {
  if (kind == KindUtf8) return bomLength > 0 ? "UTF-8 BOM" : "UTF-8 no BOM";
  if (kind == KindUtf16Le) return "UTF-16 LE";
  if (kind == KindUtf16Be) return "UTF-16 BE";
  if (looksRtf(sample)) return "RTF";
  if (binaryFlag(sample, fileSize, kind, config)) return "Binary";
  if (config.oemEnabled && looksOemGraphics(sample, config)) return "DOS";
  if (config.rusEnabled && looksRussian(sample, false, config)) return "ANSI Ru";
  if (config.rusEnabled && looksRussian(sample, true, config)) return "DOS Ru";
  return "ANSI";
}

} // namespace linepeek::reference
