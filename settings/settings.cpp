#include "settings/settings.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "platform/platform.h"
#include "settings/never_destroyed.h"
#include "settings/replace_pairs.h"

namespace linepeek {
namespace {

NeverDestroyed<Settings> settingsRecord;

} // namespace

Settings& settings = settingsRecord.value;

namespace {

// GetPrivateProfileStringW's buffer: values longer than 2,047 units are cut.
constexpr int IniValueUnits = 2048;
// The first attempt at the module path; longer paths are retried with larger buffers up to the
// longest path Windows can name, so that a cut path never selects some other file.
constexpr int ModulePathUnits = 260;
constexpr int ModulePathMaxUnits = 32768;
// Longer number texts do not parse, as with a 255-character short string.
constexpr std::size_t MaxNumberUnits = 255;

// Blanks that trimming removes: every code unit up to U+0020, control characters included.
bool isTrimmed(char16_t unit) {
  return unit <= u' ';
}

std::u16string trimmed(const std::u16string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && isTrimmed(text[first]))
    ++first;
  while (last > first && isTrimmed(text[last - 1]))
    --last;
  return text.substr(first, last - first);
}

std::u16string toDecimal(std::int32_t value) {
  std::u16string text;
  for (char c : std::to_string(value))
    text.push_back(static_cast<char16_t>(c));
  return text;
}

// The digit's value in any base up to 16, or -1.
int digitValue(char16_t unit) {
  if (unit >= u'0' && unit <= u'9') return unit - u'0';
  if (unit >= u'a' && unit <= u'f') return unit - u'a' + 10;
  if (unit >= u'A' && unit <= u'F') return unit - u'A' + 10;
  return -1;
}

// The number in `text`, or the default when it does not parse; then raised to `lower` and
// lowered to `upper`, in that order.
std::int32_t clampedNumber(const std::u16string& text, std::int32_t defaultValue,
                           std::int32_t lower, std::int32_t upper) {
  std::int32_t value = defaultValue;
  if (!parseIniNumber(text, value)) value = defaultValue;
  if (value < lower) value = lower;
  if (value > upper) value = upper;
  return value;
}

// Reads every key but the replacement pairs through `read(section, key, default)`, in the order
// the keys are stored.
template <typename Reader> void loadWith(Reader read, Settings& target) {
  const auto number = [&read](const char16_t* key, std::int32_t defaultValue, std::int32_t lower,
                              std::int32_t upper) {
    return clampedNumber(read(u"Encoding", key, toDecimal(defaultValue)), defaultValue, lower,
                         upper);
  };

  std::u16string extensions = trimmed(read(u"Options", u"Extensions", u""));
  for (char16_t& unit : extensions) {
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit - u'A' + u'a');
  }
  target.extensions = std::move(extensions);
  // Only the exact text "0" keeps blank lines; "no", "00" and an empty value skip them.
  target.skipEmpty = read(u"Options", u"SkipEmpty", u"0") != u"0";
  target.textBufferSizeKB = number(u"TextBufferSizeKB", 1, 1, 64);
  target.utf8BufferSizeKB = number(u"Utf8BufferSizeKB", 64, 1, 64);
  target.oemEnabled = number(u"OemEnabled", 1, 0, 1) != 0;
  target.oemBufferSizeKB = number(u"OemBufferSizeKB", 1, 1, 64);
  target.oemPercent = number(u"OemPercent", 18, 0, 100);
  target.rusEnabled = number(u"RusEnabled", 1, 0, 1) != 0;
  target.rusBufferSizeKB = number(u"RusBufferSizeKB", 2, 1, 64);
  target.rusMinSize = number(u"RusMinSize", 8, 0, 65536);
  target.rusPercent = number(u"RusPercent", 30, 0, 100);
  target.rusWordLen = number(u"RusWordLen", 0, 0, 65536);
  buildByteFlagTable(read(u"Encoding", u"BinaryIgnore", u""), target.binaryIgnore);
  buildByteFlagTable(read(u"Encoding", u"OemIgnore", u"AB BB"), target.oemIgnore);
}

} // namespace

std::u16string iniPathFor(const std::u16string& modulePath) {
  std::size_t end = modulePath.size();
  for (std::size_t i = modulePath.size(); i > 0; --i) {
    const char16_t unit = modulePath[i - 1];
    if (unit == u'.') {
      end = i - 1;
      break;
    }
    if (unit == u'\\' || unit == u'/') break;
  }
  return modulePath.substr(0, end) + u".ini";
}

std::u16string modulePath() {
  // A cut path answers either 0 or a full buffer, depending on the platform; both are asked
  // again with a larger buffer. Only a shorter answer is known to be the whole path.
  for (int units = ModulePathUnits;; units = std::min(units * 2, ModulePathMaxUnits)) {
    std::u16string buffer(static_cast<std::size_t>(units), u'\0');
    const int length = platform::moduleFileName(buffer.data(), units);
    if (length > 0 && length < units - 1) return std::u16string(buffer.c_str());
    if (units == ModulePathMaxUnits) return std::u16string();
  }
}

std::u16string readIniString(const std::u16string& section, const std::u16string& key,
                             const std::u16string& defaultValue, const std::u16string& path) {
  // c_str() of an empty string is "", so no null pointer ever reaches the reader.
  std::u16string buffer(static_cast<std::size_t>(IniValueUnits), u'\0');
  platform::readProfileString(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                              IniValueUnits, path.c_str());
  return std::u16string(buffer.c_str());
}

// Values beyond the 32-bit range saturate at its nearer end, so the clamp that follows maps
// "99999999999" to the upper bound and "-99999999999" to the lower. The UTF-16 text is parsed
// as it is, and any non-ASCII code unit fails; a detour through the ANSI code page could turn a
// few look-alikes (fullwidth digits) into ASCII digits by best fit.
bool parseIniNumber(const std::u16string& text, std::int32_t& value) {
  if (text.size() > MaxNumberUnits) return false;
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
    ++i;

  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }

  int base = 10;
  if (i < text.size()) {
    const char16_t unit = text[i];
    if (unit == u'$' || unit == u'x' || unit == u'X') {
      base = 16;
      ++i;
    } else if (unit == u'%') {
      base = 2;
      ++i;
    } else if (unit == u'&') {
      base = 8;
      ++i;
    } else if (unit == u'0' && i + 1 < text.size() &&
               (text[i + 1] == u'x' || text[i + 1] == u'X')) {
      base = 16;
      i += 2;
    }
  }
  if (i == text.size()) return false; // no digits after the blanks, sign or prefix

  // The magnitude stops growing one past the largest positive value, which is enough to tell
  // either end of the range.
  constexpr std::int64_t Limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = digitValue(text[i]);
    if (digit < 0 || digit >= base) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > Limit) magnitude = Limit;
  }
  const std::int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > std::numeric_limits<std::int32_t>::max()) {
    value = std::numeric_limits<std::int32_t>::max();
  } else {
    value = static_cast<std::int32_t>(signedValue);
  }
  return true;
}

std::int32_t readIniNumber(const std::u16string& path, const std::u16string& key,
                           std::int32_t defaultValue, std::int32_t lower, std::int32_t upper) {
  return clampedNumber(readIniString(u"Encoding", key, toDecimal(defaultValue), path), defaultValue,
                       lower, upper);
}

void buildByteFlagTable(const std::u16string& list, ByteFlagTable& table) {
  table.fill(0);
  std::u16string text = u" " + trimmed(list) + u" ";
  for (char16_t& unit : text) {
    if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
  }
  // Tokens are matched as " XX " anywhere, so neighbours may share one space ("AB BB") while a
  // comma or a tab next to an entry hides it.
  static constexpr char16_t HexDigits[] = u"0123456789ABCDEF";
  std::u16string token = u" XX ";
  for (std::size_t byte = 0; byte < table.size(); ++byte) {
    token[1] = HexDigits[byte >> 4];
    token[2] = HexDigits[byte & 0x0F];
    if (text.find(token) != std::u16string::npos) table[byte] = 1;
  }
}

void loadSettingsFrom(const std::u16string& path, Settings& target) {
  target.iniPath = path;
  loadWith(
      [&path](const char16_t* section, const char16_t* key, const std::u16string& defaultValue) {
        return readIniString(section, key, defaultValue, path);
      },
      target);
  loadReplacePairs(path, target);
}

void loadDefaults(Settings& target) {
  target.iniPath.clear();
  loadWith([](const char16_t*, const char16_t*,
              const std::u16string& defaultValue) { return defaultValue; },
           target);
  target.replaces = {};
}

void loadSettings() {
  // Without its own path the module cannot know where its settings file is; a bare ".ini"
  // would be looked up in the Windows folder or the working folder, so nothing is read.
  const std::u16string path = modulePath();
  if (path.empty()) {
    loadDefaults(settings);
    return;
  }
  loadSettingsFrom(iniPathFor(path), settings);
}

} // namespace linepeek
