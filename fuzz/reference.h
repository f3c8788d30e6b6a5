// Plain reference implementations of the byte rules, written for clarity rather than speed, so
// the fuzz targets can compare the module against them. Each one follows the rule as written for
// the product and shares no code with it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace linepeek::reference {

// Unsigned value of a byte of a std::string.
inline unsigned byteAt(std::string_view bytes, std::size_t index) {
  return static_cast<unsigned char>(bytes[index]);
}

// ---- Encoding kind -------------------------------------------------------------------------

// 0 Other, 1 Utf8, 2 Utf16Le, 3 Utf16Be, as EncodingKind.
enum : int { KindOther = 0, KindUtf8 = 1, KindUtf16Le = 2, KindUtf16Be = 3 };

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

// ---- Encoding name and file type -----------------------------------------------------------

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

inline std::string_view prefix(std::string_view sample, int kilobytes) {
  const std::size_t length = static_cast<std::size_t>(kilobytes) * 1024;
  return sample.substr(0, length < sample.size() ? length : sample.size());
}

inline bool looksRtf(std::string_view sample) {
  return sample.size() >= 5 && sample.substr(0, 5) == "{\\rtf";
}

inline bool looksBinary(std::string_view sample, const NamingSettings& config) {
  const std::string_view examined = prefix(sample, config.textBufferSizeKB);
  for (std::size_t i = 0; i < examined.size(); ++i) {
    const unsigned b = byteAt(examined, i);
    const bool text = b >= 32 || b == 9 || b == 10 || b == 13;
    if (!text && config.binaryIgnore[b] == 0) return true;
  }
  return false;
}

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

inline bool binaryFlag(std::string_view sample, std::int64_t fileSize, int kind,
                       const NamingSettings& config) {
  return fileSize != 0 && kind == KindOther && looksBinary(sample, config);
}

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

// ---- Line extraction -----------------------------------------------------------------------

inline void appendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// UTF-16 units to UTF-8; each unpaired surrogate becomes U+FFFD.
inline std::string unitsToUtf8(const std::u16string& units) {
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const std::uint32_t unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00u));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      appendUtf8(out, 0xFFFD);
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

inline std::u16string utf16Units(std::string_view raw, bool bigEndian, std::int64_t offset) {
  std::u16string units;
  const std::int64_t count = (static_cast<std::int64_t>(raw.size()) - offset) / 2;
  for (std::int64_t i = 0; i < count; ++i) {
    const unsigned first = byteAt(raw, static_cast<std::size_t>(offset + 2 * i));
    const unsigned second = byteAt(raw, static_cast<std::size_t>(offset + 2 * i + 1));
    units.push_back(static_cast<char16_t>(bigEndian ? first * 256 + second : second * 256 + first));
  }
  return units;
}

inline std::string utf16ToUtf8(std::string_view raw, bool bigEndian, std::int64_t offset) {
  return unitsToUtf8(utf16Units(raw, bigEndian, offset));
}

inline std::string decodeWindow(std::string_view raw, int kind, int bomLength) {
  if (kind == KindUtf16Le) return utf16ToUtf8(raw, false, bomLength);
  if (kind == KindUtf16Be) return utf16ToUtf8(raw, true, bomLength);
  const std::size_t skip = static_cast<std::size_t>(bomLength);
  return raw.size() > skip ? std::string(raw.substr(skip)) : std::string();
}

inline bool isBlankLine(std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (byteAt(line, i) > 32) return false;
  }
  return true;
}

inline std::string withoutCr(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return std::string(line);
}

// Every line of the text in file order: LF ends a line, one trailing CR is dropped, a final
// unterminated piece is a line only when `edgeComplete` says the text really ends there.
inline std::vector<std::string> headLines(std::string_view text, bool edgeComplete, bool skipEmpty,
                                          std::size_t capacity) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size() && lines.size() < capacity; ++i) {
    if (text[i] != '\n') continue;
    std::string line = withoutCr(text.substr(start, i - start));
    if (!skipEmpty || !isBlankLine(line)) lines.push_back(line);
    start = i + 1;
  }
  if (edgeComplete && lines.size() < capacity && start < text.size()) {
    std::string line = withoutCr(text.substr(start));
    if (!skipEmpty || !isBlankLine(line)) lines.push_back(line);
  }
  return lines;
}

// The last lines in file order, scanned backward from the end.
inline std::vector<std::string> tailLines(std::string_view text, bool edgeComplete, bool skipEmpty,
                                          std::size_t capacity) {
  std::vector<std::string> found; // last line first
  if (text.empty()) return found;
  std::size_t end = text.size(); // one past the line end
  if (text.back() == '\n') --end;
  std::size_t i = end;
  while (i > 0 && found.size() < capacity) {
    --i;
    if (text[i] != '\n') continue;
    std::string line = withoutCr(text.substr(i + 1, end - (i + 1)));
    if (!skipEmpty || !isBlankLine(line)) found.push_back(line);
    end = i;
  }
  if (found.size() < capacity && edgeComplete && end > 0) {
    std::string line = withoutCr(text.substr(0, end));
    if (!skipEmpty || !isBlankLine(line)) found.push_back(line);
  }
  return std::vector<std::string>(found.rbegin(), found.rend());
}

// The head group by the two-pass rule: the head sample (the first `first` bytes), then the
// first `wide` bytes when the sample gave fewer than ten lines of a larger file.
inline std::vector<std::string> headGroup(std::string_view file, int kind, int bomLength,
                                          bool skipEmpty, std::int64_t first, std::int64_t wide) {
  const auto size = static_cast<std::int64_t>(file.size());
  const auto window = [&](std::int64_t length) {
    return file.substr(0, static_cast<std::size_t>(size < length ? size : length));
  };
  std::string_view raw = window(first);
  std::vector<std::string> lines =
      headLines(decodeWindow(raw, kind, bomLength), static_cast<std::int64_t>(raw.size()) >= size,
                skipEmpty, 10);
  if (lines.size() < 10 && size > first) {
    raw = window(wide);
    lines = headLines(decodeWindow(raw, kind, bomLength),
                      static_cast<std::int64_t>(raw.size()) >= size, skipEmpty, 10);
  }
  return lines;
}

// The tail group: the last `first` bytes, then the last `wide` bytes when too few lines came.
// A UTF-16 window that would start on an odd offset starts one byte later, on the file's unit
// grid. Only a window at offset 0 skips the BOM.
inline std::vector<std::string> tailGroup(std::string_view file, int kind, int bomLength,
                                          bool skipEmpty, std::int64_t first, std::int64_t wide) {
  const auto size = static_cast<std::int64_t>(file.size());
  const bool wideUnits = kind == KindUtf16Le || kind == KindUtf16Be;
  const auto pass = [&](std::int64_t window) {
    std::int64_t length = size < window ? size : window;
    std::int64_t start = size - length;
    if (wideUnits && start % 2 != 0) {
      ++start;
      --length;
    }
    const std::string_view raw =
        file.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
    return tailLines(decodeWindow(raw, kind, start == 0 ? bomLength : 0), start == 0, skipEmpty, 3);
  };
  std::vector<std::string> lines = pass(first);
  if (lines.size() < 3 && size > first) lines = pass(wide);
  return lines;
}

// Well-formed UTF-8 to UTF-16; false for anything a strict decoder rejects (overlong forms,
// surrogates, values above U+10FFFF, cut sequences, stray continuation bytes).
inline bool strictUtf8ToUnits(std::string_view bytes, std::u16string& units) {
  units.clear();
  std::size_t i = 0;
  while (i < bytes.size()) {
    const unsigned lead = byteAt(bytes, i);
    std::uint32_t code = 0;
    std::size_t follow = 0;
    std::uint32_t least = 0;
    if (lead < 0x80) {
      code = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      code = lead & 0x1Fu;
      follow = 1;
      least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      code = lead & 0x0Fu;
      follow = 2;
      least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      code = lead & 0x07u;
      follow = 3;
      least = 0x10000;
    } else {
      return false;
    }
    if (bytes.size() - i <= follow) return false; // cut by the end
    for (std::size_t k = 1; k <= follow; ++k) {
      const unsigned next = byteAt(bytes, i + k);
      if ((next & 0xC0u) != 0x80u) return false;
      code = (code << 6) | (next & 0x3Fu);
    }
    if (follow > 0 && code < least) return false;
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (code >= 0x10000) {
      units.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(code));
    }
    i += 1 + follow;
  }
  return true;
}

// ---- Replacements --------------------------------------------------------------------------

// The module's cut: no pair leaves more units than this.
inline constexpr std::size_t ReplaceLimit = 4194304;

// Left to right: where `from` starts, `to` goes out and the scan skips `from`; any other unit
// goes out as it is. The result is cut at `limit` units, and the scan stops once it has them.
inline void applyPair(std::u16string& text, const std::u16string& from, const std::u16string& to,
                      std::size_t limit = ReplaceLimit) {
  if (from.empty()) return;
  std::u16string out;
  std::size_t at = 0;
  while (at < text.size() && out.size() < limit) {
    if (text.compare(at, from.size(), from) == 0) {
      out += to;
      at += from.size();
    } else {
      out += text[at++];
    }
  }
  if (out.size() > limit) out.resize(limit);
  text = std::move(out);
}

// ---- Line counting -------------------------------------------------------------------------

// The count of a whole file: units after the BOM, LF ends a line, skipEmpty keeps only lines
// with a unit above 32, and an unterminated last line counts when it holds units.
inline std::int64_t countLines(std::string_view file, int kind, int bomLength, bool skipEmpty) {
  if (file.empty()) return 0;
  const bool wide = kind == KindUtf16Le || kind == KindUtf16Be;
  std::vector<std::uint32_t> units;
  if (wide) {
    for (char16_t unit : utf16Units(file, kind == KindUtf16Be, (bomLength / 2) * 2))
      units.push_back(unit);
  } else {
    for (std::size_t i = static_cast<std::size_t>(bomLength); i < file.size(); ++i)
      units.push_back(byteAt(file, i));
  }
  std::int64_t lines = 0;
  bool hasUnits = false;
  bool nonBlank = false;
  for (std::uint32_t unit : units) {
    if (unit == 10) {
      if (!skipEmpty || nonBlank) ++lines;
      hasUnits = false;
      nonBlank = false;
    } else {
      hasUnits = true;
      nonBlank = nonBlank || unit > 32;
    }
  }
  if (hasUnits && (!skipEmpty || nonBlank)) ++lines;
  return lines;
}

// ---- Settings ------------------------------------------------------------------------------

inline bool parseIniNumber(const std::u16string& text, std::int32_t& value) {
  if (text.empty() || text.size() > 255) return false;
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int base = 10;
  if (i < text.size() && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == u'0' &&
             (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    base = 16;
    i += 2;
  } else if (i < text.size() && text[i] == u'%') {
    base = 2;
    ++i;
  } else if (i < text.size() && text[i] == u'&') {
    base = 8;
    ++i;
  }
  if (i == text.size()) return false;
  const std::int64_t saturated = std::int64_t{1} << 40;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char16_t unit = text[i];
    int digit = -1;
    if (unit >= u'0' && unit <= u'9') digit = unit - u'0';
    if (unit >= u'a' && unit <= u'f') digit = unit - u'a' + 10;
    if (unit >= u'A' && unit <= u'F') digit = unit - u'A' + 10;
    if (digit < 0 || digit >= base) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > saturated) magnitude = saturated;
  }
  const std::int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > INT32_MAX) {
    value = INT32_MAX;
  } else if (signedValue < INT32_MIN) {
    value = INT32_MIN;
  } else {
    value = static_cast<std::int32_t>(signedValue);
  }
  return true;
}

inline std::u16string trimmed(const std::u16string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && text[first] <= u' ')
    ++first;
  while (last > first && text[last - 1] <= u' ')
    --last;
  return text.substr(first, last - first);
}

inline std::array<std::uint8_t, 256> byteFlagTable(const std::u16string& list) {
  std::u16string text = trimmed(list);
  for (char16_t& unit : text) {
    if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
  }
  text = u" " + text + u" ";
  std::array<std::uint8_t, 256> table{};
  const char16_t* digits = u"0123456789ABCDEF";
  for (unsigned v = 0; v < 256; ++v) {
    const std::u16string token{u' ', digits[v / 16], digits[v % 16], u' '};
    table[v] = text.find(token) != std::u16string::npos ? 1 : 0;
  }
  return table;
}

} // namespace linepeek::reference
