// The settings keys in one table: for each its section, key, default, range and the member of
// Settings that holds it, in the order the loader reads them. The loader, the defaults of a
// fresh Settings, the settings fuzzer and the check of the README, the sample INI and the manual
// page all take their keys from here. Adding a setting is one row, its member and its tests.
#pragma once

#include <cstdint>
#include <string_view>

#include "settings/settings.h"

namespace linepeek {

// How a key's text becomes its stored value.
enum class KeyKind {
  Number,        // parsed by parseIniNumber, the default when it does not parse, then clamped
  OnOff,         // a Number from 0 to 1 stored as a switch: on unless it is 0
  ZeroSwitch,    // on unless the text is exactly "0"; no number is parsed
  ExtensionList, // trimmed and ASCII-lower-cased, otherwise kept as written
  ByteList,      // two-digit hex values made into a ByteFlagTable (buildByteFlagTable)
};

struct SettingKey {
  KeyKind kind;
  std::u16string_view section;
  std::u16string_view key;
  // Number and OnOff: the default and the range it is clamped into; a missing key reads as the
  // default's decimal text. The other kinds: the text a missing key reads as.
  std::int32_t defaultNumber = 0;
  std::int32_t lower = 0;
  std::int32_t upper = 0;
  std::u16string_view defaultText{};
  // Where the value goes: the one member that fits the kind, the others null.
  std::int32_t Settings::*number = nullptr;
  bool Settings::*flag = nullptr;
  std::u16string Settings::*text = nullptr;
  ByteFlagTable Settings::*bytes = nullptr;
};

constexpr SettingKey numberKey(std::u16string_view section, std::u16string_view key,
                               std::int32_t defaultNumber, std::int32_t lower, std::int32_t upper,
                               std::int32_t Settings::*member) {
  SettingKey row{KeyKind::Number, section, key};
  row.defaultNumber = defaultNumber;
  row.lower = lower;
  row.upper = upper;
  row.number = member;
  return row;
}

constexpr SettingKey onOffKey(std::u16string_view section, std::u16string_view key,
                              std::int32_t defaultNumber, bool Settings::*member) {
  SettingKey row{KeyKind::OnOff, section, key};
  row.defaultNumber = defaultNumber;
  row.upper = 1;
  row.flag = member;
  return row;
}

constexpr SettingKey zeroSwitchKey(std::u16string_view section, std::u16string_view key,
                                   std::u16string_view defaultText, bool Settings::*member) {
  SettingKey row{KeyKind::ZeroSwitch, section, key};
  row.defaultText = defaultText;
  row.flag = member;
  return row;
}

// The default is empty, so that a fresh Settings is built without allocating.
constexpr SettingKey extensionListKey(std::u16string_view section, std::u16string_view key,
                                      std::u16string Settings::*member) {
  SettingKey row{KeyKind::ExtensionList, section, key};
  row.text = member;
  return row;
}

constexpr SettingKey byteListKey(std::u16string_view section, std::u16string_view key,
                                 std::u16string_view defaultText, ByteFlagTable Settings::*member) {
  SettingKey row{KeyKind::ByteList, section, key};
  row.defaultText = defaultText;
  row.bytes = member;
  return row;
}

inline constexpr SettingKey SettingKeys[] = {
    extensionListKey(u"Options", u"Extensions", &Settings::extensions),
    zeroSwitchKey(u"Options", u"SkipEmpty", u"0", &Settings::skipEmpty),
    onOffKey(u"Options", u"LineEndings", 0, &Settings::lineEndings),
    onOffKey(u"Options", u"Charset", 0, &Settings::charset),
    numberKey(u"Encoding", u"TextBufferSizeKB", 1, 1, 64, &Settings::textBufferSizeKB),
    numberKey(u"Encoding", u"Utf8BufferSizeKB", 64, 1, 64, &Settings::utf8BufferSizeKB),
    onOffKey(u"Encoding", u"OemEnabled", 1, &Settings::oemEnabled),
    numberKey(u"Encoding", u"OemBufferSizeKB", 1, 1, 64, &Settings::oemBufferSizeKB),
    numberKey(u"Encoding", u"OemPercent", 18, 0, 100, &Settings::oemPercent),
    onOffKey(u"Encoding", u"RusEnabled", 1, &Settings::rusEnabled),
    numberKey(u"Encoding", u"RusBufferSizeKB", 2, 1, 64, &Settings::rusBufferSizeKB),
    numberKey(u"Encoding", u"RusMinSize", 8, 0, 65536, &Settings::rusMinSize),
    numberKey(u"Encoding", u"RusPercent", 30, 0, 100, &Settings::rusPercent),
    numberKey(u"Encoding", u"RusWordLen", 0, 0, 65536, &Settings::rusWordLen),
    byteListKey(u"Encoding", u"BinaryIgnore", u"", &Settings::binaryIgnore),
    byteListKey(u"Encoding", u"OemIgnore", u"AB BB", &Settings::oemIgnore),
};

// The replacement pairs, read after the table by their own loop (replace_pairs.h): keys S1 to
// S20 (ReplaceSlots) of section Replaces, each "from=to". A missing key reads as "=", which
// splits into a pair that changes nothing.
inline constexpr std::u16string_view ReplaceSection = u"Replaces";
inline constexpr std::u16string_view ReplaceKeyPrefix = u"S";
inline constexpr std::u16string_view ReplaceDefault = u"=";

} // namespace linepeek
