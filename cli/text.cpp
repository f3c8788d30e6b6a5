#include "cli/text.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace linepeek::cli {
namespace {

constexpr char32_t Replacement = 0xFFFD;

struct Decoded {
  char32_t codePoint;
  std::size_t length; // bytes consumed; 1 for an ill-formed byte
  bool valid;
};

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
Decoded decodeUtf8(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned lead = byte(pos);
  if (lead < 0x80) return {lead, 1, true};
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07u, minimum = 0x10000;
  } else {
    return {Replacement, 1, false};
  }
  if (pos + length > text.size()) return {Replacement, 1, false};
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned next = byte(pos + i);
    if ((next & 0xC0u) != 0x80u) return {Replacement, 1, false};
    value = (value << 6) | (next & 0x3Fu);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return {Replacement, 1, false};
  return {value, length, true};
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

struct Range {
  char32_t first;
  char32_t last;
};

bool inRanges(const Range* begin, const Range* end, char32_t cp) {
  const Range* found = std::upper_bound(
      begin, end, cp, [](char32_t value, const Range& r) { return value < r.first; });
  return found != begin && cp <= std::prev(found)->last;
}

// Combining marks (Mn, Me), zero-width format characters and variation selectors of the
// scripts in common use; sorted by first code point.
constexpr Range ZeroWidth[] = {
    {0x0300, 0x036F},   {0x0483, 0x0489},   {0x0591, 0x05BD},   {0x05BF, 0x05BF},
    {0x05C1, 0x05C2},   {0x05C4, 0x05C5},   {0x05C7, 0x05C7},   {0x0610, 0x061A},
    {0x064B, 0x065F},   {0x0670, 0x0670},   {0x06D6, 0x06DC},   {0x06DF, 0x06E4},
    {0x06E7, 0x06E8},   {0x06EA, 0x06ED},   {0x0711, 0x0711},   {0x0730, 0x074A},
    {0x07A6, 0x07B0},   {0x07EB, 0x07F3},   {0x0816, 0x082D},   {0x0859, 0x085B},
    {0x08D3, 0x0902},   {0x093A, 0x093A},   {0x093C, 0x093C},   {0x0941, 0x0948},
    {0x094D, 0x094D},   {0x0951, 0x0957},   {0x0962, 0x0963},   {0x0981, 0x0981},
    {0x09BC, 0x09BC},   {0x09C1, 0x09C4},   {0x09CD, 0x09CD},   {0x09E2, 0x09E3},
    {0x0A01, 0x0A02},   {0x0A3C, 0x0A3C},   {0x0A41, 0x0A51},   {0x0A70, 0x0A71},
    {0x0A75, 0x0A75},   {0x0A81, 0x0A82},   {0x0ABC, 0x0ABC},   {0x0AC1, 0x0AC8},
    {0x0ACD, 0x0ACD},   {0x0AE2, 0x0AE3},   {0x0B01, 0x0B01},   {0x0B3C, 0x0B3C},
    {0x0B3F, 0x0B3F},   {0x0B41, 0x0B44},   {0x0B4D, 0x0B4D},   {0x0B56, 0x0B56},
    {0x0B62, 0x0B63},   {0x0B82, 0x0B82},   {0x0BC0, 0x0BC0},   {0x0BCD, 0x0BCD},
    {0x0C3E, 0x0C40},   {0x0C46, 0x0C56},   {0x0C62, 0x0C63},   {0x0CBC, 0x0CBC},
    {0x0CCC, 0x0CCD},   {0x0CE2, 0x0CE3},   {0x0D41, 0x0D44},   {0x0D4D, 0x0D4D},
    {0x0D62, 0x0D63},   {0x0DCA, 0x0DCA},   {0x0DD2, 0x0DD6},   {0x0E31, 0x0E31},
    {0x0E34, 0x0E3A},   {0x0E47, 0x0E4E},   {0x0EB1, 0x0EB1},   {0x0EB4, 0x0EBC},
    {0x0EC8, 0x0ECD},   {0x0F18, 0x0F19},   {0x0F35, 0x0F35},   {0x0F37, 0x0F37},
    {0x0F39, 0x0F39},   {0x0F71, 0x0F7E},   {0x0F80, 0x0F84},   {0x0F86, 0x0F87},
    {0x0F8D, 0x0FBC},   {0x0FC6, 0x0FC6},   {0x102D, 0x1030},   {0x1032, 0x1037},
    {0x1039, 0x103A},   {0x103D, 0x103E},   {0x1058, 0x1059},   {0x105E, 0x1060},
    {0x1071, 0x1074},   {0x1082, 0x1082},   {0x1085, 0x1086},   {0x108D, 0x108D},
    {0x109D, 0x109D},   {0x1160, 0x11FF},   {0x135D, 0x135F},   {0x1712, 0x1714},
    {0x1732, 0x1734},   {0x1752, 0x1753},   {0x1772, 0x1773},   {0x17B4, 0x17B5},
    {0x17B7, 0x17BD},   {0x17C6, 0x17C6},   {0x17C9, 0x17D3},   {0x17DD, 0x17DD},
    {0x180B, 0x180D},   {0x18A9, 0x18A9},   {0x1920, 0x1922},   {0x1927, 0x1928},
    {0x1932, 0x1932},   {0x1939, 0x193B},   {0x1A17, 0x1A18},   {0x1AB0, 0x1AFF},
    {0x1B00, 0x1B03},   {0x1B34, 0x1B34},   {0x1B36, 0x1B3A},   {0x1B3C, 0x1B3C},
    {0x1B42, 0x1B42},   {0x1B6B, 0x1B73},   {0x1DC0, 0x1DFF},   {0x200B, 0x200F},
    {0x202A, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},   {0x20D0, 0x20F0},
    {0x302A, 0x302D},   {0x3099, 0x309A},   {0xA66F, 0xA672},   {0xA674, 0xA67D},
    {0xA69E, 0xA69F},   {0xA6F0, 0xA6F1},   {0xA802, 0xA802},   {0xA806, 0xA806},
    {0xA80B, 0xA80B},   {0xA825, 0xA826},   {0xA8C4, 0xA8C5},   {0xA8E0, 0xA8F1},
    {0xFB1E, 0xFB1E},   {0xFE00, 0xFE0F},   {0xFE20, 0xFE2F},   {0xFEFF, 0xFEFF},
    {0x1D167, 0x1D169}, {0x1D17B, 0x1D182}, {0x1D185, 0x1D18B}, {0x1D1AA, 0x1D1AD},
    {0xE0001, 0xE0001}, {0xE0020, 0xE007F}, {0xE0100, 0xE01EF},
};

// East Asian Wide and Fullwidth characters, emoji presentation included; sorted.
constexpr Range Wide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x3029},
    {0x302E, 0x303E},   {0x3041, 0x3098},   {0x309B, 0x33FF},   {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},
    {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},
    {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4}, {0x17000, 0x18CFF}, {0x1B000, 0x1B2FF},
    {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A},
    {0x1F200, 0x1F202}, {0x1F210, 0x1F23B}, {0x1F240, 0x1F248}, {0x1F250, 0x1F251},
    {0x1F260, 0x1F265}, {0x1F300, 0x1F320}, {0x1F32D, 0x1F335}, {0x1F337, 0x1F37C},
    {0x1F37E, 0x1F393}, {0x1F3A0, 0x1F3CA}, {0x1F3CF, 0x1F3D3}, {0x1F3E0, 0x1F3F0},
    {0x1F3F4, 0x1F3F4}, {0x1F3F8, 0x1F43E}, {0x1F440, 0x1F440}, {0x1F442, 0x1F4FC},
    {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E}, {0x1F550, 0x1F567}, {0x1F57A, 0x1F57A},
    {0x1F595, 0x1F596}, {0x1F5A4, 0x1F5A4}, {0x1F5FB, 0x1F64F}, {0x1F680, 0x1F6C5},
    {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2}, {0x1F6D5, 0x1F6D7}, {0x1F6EB, 0x1F6EC},
    {0x1F6F4, 0x1F6FC}, {0x1F7E0, 0x1F7EB}, {0x1F90C, 0x1F93A}, {0x1F93C, 0x1F945},
    {0x1F947, 0x1F9FF}, {0x1FA70, 0x1FAFF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

// Characters that would let file content steer the terminal: C1 controls and the embedding,
// override and isolate controls of bidirectional text.
bool isUnsafeFormat(char32_t cp) {
  return (cp >= 0x80 && cp <= 0x9F) || (cp >= 0x202A && cp <= 0x202E) ||
         (cp >= 0x2066 && cp <= 0x2069);
}

} // namespace

std::string utf16ToUtf8(std::u16string_view text) {
  std::string out;
  // ASCII runs, the common case for every value, go straight across; the rest code by code.
  std::size_t i = 0;
  while (i < text.size() && text[i] < 0x80)
    ++i;
  out.reserve(text.size() + (text.size() - i) * 2);
  out.append(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(i));
  for (; i < text.size(); ++i) {
    const char32_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      appendUtf8(out, Replacement);
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

std::u16string utf8ToUtf16(std::string_view text, bool escapeInvalid) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const Decoded d = decodeUtf8(text, pos);
    if (!d.valid) {
      const auto byte = static_cast<unsigned char>(text[pos]);
      out += escapeInvalid ? static_cast<char16_t>(0xDC00 + byte) : u'\uFFFD';
    } else if (d.codePoint >= 0x10000) {
      const char32_t v = d.codePoint - 0x10000;
      out += static_cast<char16_t>(0xD800 + (v >> 10));
      out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
    } else {
      out += static_cast<char16_t>(d.codePoint);
    }
    pos += d.length;
  }
  return out;
}

std::string validUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const Decoded d = decodeUtf8(text, pos);
    if (d.valid)
      out.append(text.substr(pos, d.length));
    else
      appendUtf8(out, Replacement);
    pos += d.length;
  }
  return out;
}

int codePointWidth(char32_t codePoint) {
  if (inRanges(std::begin(ZeroWidth), std::end(ZeroWidth), codePoint)) return 0;
  if (inRanges(std::begin(Wide), std::end(Wide), codePoint)) return 2;
  return 1;
}

std::string displayText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const Decoded d = decodeUtf8(text, pos);
    char32_t cp = d.codePoint;
    if (cp < 0x20)
      cp += 0x2400; // U+2400 SYMBOL FOR NULL and its neighbours
    else if (cp == 0x7F)
      cp = 0x2421; // SYMBOL FOR DELETE
    else if (isUnsafeFormat(cp))
      cp = Replacement;
    appendUtf8(out, cp);
    pos += d.length;
  }
  return out;
}

int displayWidth(std::string_view text) {
  int width = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const Decoded d = decodeUtf8(text, pos);
    width += codePointWidth(d.codePoint);
    pos += d.length;
  }
  return width;
}

std::string fitToWidth(std::string_view text, int maxWidth) {
  if (maxWidth <= 0 || displayWidth(text) <= maxWidth) return std::string(text);
  const int room = maxWidth - 1; // one column for the ellipsis
  int width = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const Decoded d = decodeUtf8(text, pos);
    const int w = codePointWidth(d.codePoint);
    if (width + w > room) break;
    width += w;
    pos += d.length;
  }
  return std::string(text.substr(0, pos)) + "\u2026";
}

} // namespace linepeek::cli
