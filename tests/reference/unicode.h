// UTF-8 and UTF-16 conversions, written for clarity rather than speed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace linepeek::reference {

inline constexpr char16_t Replacement = 0xFFFD;

// Unsigned value of a byte of a std::string.
inline unsigned byteAt(std::string_view bytes, std::size_t index) {
  return static_cast<unsigned char>(bytes[index]);
}

// One code point as UTF-8.
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
      appendUtf8(out, Replacement);
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

// The byte pairs from `offset` on as UTF-16 units in the given byte order; an odd last byte is
// no unit.
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

// The same units as UTF-8.
inline std::string utf16ToUtf8(std::string_view raw, bool bigEndian, std::int64_t offset) {
  return unitsToUtf8(utf16Units(raw, bigEndian, offset));
}

// UTF-8 to UTF-16 by the Unicode Standard's well-formed sequences: each maximal invalid subpart
// (a byte that starts no sequence, or the longest start of one that cannot be completed)
// becomes one U+FFFD. True when there was none.
inline bool utf8ToUnits(std::string_view bytes, std::u16string& units) {
  units.clear();
  bool wellFormed = true;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const unsigned lead = byteAt(bytes, i);
    std::uint32_t code = lead;
    std::size_t length = 1;
    // The range of the second byte; later ones are 80..BF.
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      code = lead & 0x1Fu;
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      code = lead & 0x0Fu;
      length = 3;
      if (lead == 0xE0) low = 0xA0;  // no overlong form
      if (lead == 0xED) high = 0x9F; // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      code = lead & 0x07u;
      length = 4;
      if (lead == 0xF0) low = 0x90;  // no overlong form
      if (lead == 0xF4) high = 0x8F; // nothing above U+10FFFF
    } else if (lead >= 0x80) {
      length = 0;
    }
    std::size_t taken = 1;
    while (taken < length && i + taken < bytes.size()) {
      const unsigned next = byteAt(bytes, i + taken);
      if (next < (taken == 1 ? low : 0x80) || next > (taken == 1 ? high : 0xBF)) break;
      code = (code << 6) | (next & 0x3Fu);
      ++taken;
    }
    i += taken;
    if (taken < length || length == 0) {
      units.push_back(Replacement);
      wellFormed = false;
    } else if (code >= 0x10000) {
      units.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(code));
    }
  }
  return wellFormed;
}

} // namespace linepeek::reference
