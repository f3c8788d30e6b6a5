#include "settings/settings.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "base/ascii.h"
#include "base/blanks.h"
#include "base/characters.h"
#include "base/never_destroyed.h"
#include "platform/platform.h"
#include "settings/key_table.h"
#include "settings/replace_pairs.h"
#include "settings/settings_testing.h"

namespace linepeek {
namespace {

NeverDestroyed<Settings> settingsRecord LINEPEEK_CONSTRUCTED_FIRST;

} // namespace

Settings& settings = settingsRecord.value;

namespace {

// The first attempt at the module path; longer paths are retried with larger buffers up to the
// longest path Windows can name, so that a cut path never selects some other file.
constexpr int ModulePathUnits = 260;
constexpr int ModulePathMaxUnits = 32768;
// Longer number texts do not parse, as with a 255-character short string.
constexpr std::size_t MaxNumberUnits = 255;

// The digit's value in any base up to 16, or -1.
int digitValue(char16_t unit) {
  if (unit >= u'0' && unit <= u'9') return unit - u'0';
  if (unit >= u'a' && unit <= u'f') return unit - u'a' + 10;
  if (unit >= u'A' && unit <= u'F') return unit - u'A' + 10;
  return -1;
}

constexpr bool isNumberKind(KeyKind kind) {
  return kind == KeyKind::Number || kind == KeyKind::OnOff;
}

// Defaults inside their ranges, so that a missing key and a fresh record agree; and no default
// that would make a fresh record allocate.
constexpr bool keyTableIsSound() {
  for (const SettingKey& row : SettingKeys) {
    if (isNumberKind(row.kind) && (row.defaultNumber < row.lower || row.defaultNumber > row.upper))
      return false;
    if (row.kind == KeyKind::ExtensionList && !row.defaultText.empty()) return false;
  }
  return true;
}
static_assert(keyTableIsSound(), "a default outside its range, or an extension list default");

// The text a missing key reads as.
std::u16string defaultText(const SettingKey& row) {
  return isNumberKind(row.kind) ? decimalText(row.defaultNumber) : std::u16string(row.defaultText);
}

void storeNumber(const SettingKey& row, std::int32_t value, Settings& target) noexcept {
  if (row.kind == KeyKind::Number) target.*row.number = value;
  if (row.kind == KeyKind::OnOff) target.*row.flag = value != 0;
}

// Stores the text of a key of any kind but the numbers. Only an extension list allocates.
void storeText(const SettingKey& row, std::u16string_view value, Settings& target) {
  switch (row.kind) {
  case KeyKind::ZeroSwitch:
    // Only the exact text "0" is off; "no", "00" and an empty value are on.
    target.*row.flag = value != u"0";
    break;
  case KeyKind::ExtensionList:
    target.*row.text = asciiLowered(trimBlanks(std::u16string_view(value)));
    break;
  case KeyKind::ByteList:
    buildByteFlagTable(value, target.*row.bytes);
    break;
  case KeyKind::Number:
  case KeyKind::OnOff:
    break;
  }
}

// What a platform call wrote into `buffer`: the units before the first null.
std::u16string untilNull(const std::u16string& buffer) {
  return buffer.substr(0, buffer.find(u'\0'));
}

} // namespace

std::int32_t clampedNumber(const std::u16string& text, const SettingKey& row) {
  std::int32_t value = row.defaultNumber;
  if (!parseIniNumber(text, value)) value = row.defaultNumber;
  if (value < row.lower) value = row.lower;
  if (value > row.upper) value = row.upper;
  return value;
}

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
    if (length > 0 && length < units - 1) return untilNull(buffer);
    if (units == ModulePathMaxUnits) return std::u16string();
  }
}

std::u16string readIniString(const std::u16string& section, const std::u16string& key,
                             const std::u16string& defaultValue, const std::u16string& path,
                             int units) {
  // c_str() of an empty string is "", so no null pointer ever reaches the reader.
  std::u16string buffer(static_cast<std::size_t>(units), u'\0');
  platform::readProfileString(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                              units, path.c_str());
  return untilNull(buffer);
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

std::u16string decimalText(std::int32_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

void buildByteFlagTable(std::u16string_view list, ByteFlagTable& table,
                        std::vector<std::u16string>* ignored) {
  table.fill(0);
  // Entries are the runs between spaces of the trimmed list: neighbours may share one space
  // ("AB BB"), while a comma or a tab joins an entry to its neighbour.
  std::u16string_view text = trimBlanks(list);
  while (!text.empty()) {
    const std::u16string_view entry = text.substr(0, text.find(u' '));
    text.remove_prefix(std::min(entry.size() + 1, text.size()));
    if (entry.empty()) continue;
    const int high = digitValue(entry[0]);
    const int low = entry.size() == 2 ? digitValue(entry[1]) : -1;
    if (high >= 0 && low >= 0) {
      table[static_cast<unsigned char>(high * 16 + low)] = 1;
    } else if (ignored != nullptr) {
      ignored->emplace_back(entry);
    }
  }
}

Settings::Settings() noexcept {
  for (const SettingKey& row : SettingKeys) {
    if (isNumberKind(row.kind)) {
      storeNumber(row, row.defaultNumber, *this);
    } else if (row.kind != KeyKind::ExtensionList) { // an empty default: the empty string
      storeText(row, row.defaultText, *this);
    }
  }
}

void loadSettingsFrom(const std::u16string& path, Settings& target) {
  target.iniPath = path;
  for (const SettingKey& row : SettingKeys) {
    const std::u16string value =
        readIniString(std::u16string(row.section), std::u16string(row.key), defaultText(row), path);
    if (isNumberKind(row.kind)) {
      storeNumber(row, clampedNumber(value, row), target);
    } else {
      storeText(row, value, target);
    }
  }
  loadReplacePairs(path, target);
}

void loadDefaults(Settings& target) {
  target = Settings();
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
