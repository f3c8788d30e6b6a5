// The settings keys in one table: for each its section, key, default, range, the member of
// Settings that holds it and the text that explains it, in the order the loader reads them. The
// loader, the defaults of a fresh Settings and the settings fuzzer take their keys from here, and
// tests/settings/settings_docs.cpp writes samples/linepeek.ini, the README's settings table and
// the manual page's settings from it. Adding a setting is one row, its member, its tests and
// the documents written again (cmake --build <build> --target settings_docs).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "base/bounds.h"
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
  // What the key does, for the documents: plain ASCII sentences, `code` in backquotes.
  std::string_view help{};
};

constexpr SettingKey numberKey(std::u16string_view section, std::u16string_view key,
                               std::int32_t defaultNumber, std::int32_t lower, std::int32_t upper,
                               std::int32_t Settings::*member, std::string_view help) {
  SettingKey row{KeyKind::Number, section, key};
  row.defaultNumber = defaultNumber;
  row.lower = lower;
  row.upper = upper;
  row.number = member;
  row.help = help;
  return row;
}

constexpr SettingKey onOffKey(std::u16string_view section, std::u16string_view key,
                              std::int32_t defaultNumber, bool Settings::*member,
                              std::string_view help) {
  SettingKey row{KeyKind::OnOff, section, key};
  row.defaultNumber = defaultNumber;
  row.upper = 1;
  row.flag = member;
  row.help = help;
  return row;
}

constexpr SettingKey zeroSwitchKey(std::u16string_view section, std::u16string_view key,
                                   std::u16string_view defaultText, bool Settings::*member,
                                   std::string_view help) {
  SettingKey row{KeyKind::ZeroSwitch, section, key};
  row.defaultText = defaultText;
  row.flag = member;
  row.help = help;
  return row;
}

// The default is empty, so that a fresh Settings is built without allocating.
constexpr SettingKey extensionListKey(std::u16string_view section, std::u16string_view key,
                                      std::u16string Settings::*member, std::string_view help) {
  SettingKey row{KeyKind::ExtensionList, section, key};
  row.text = member;
  row.help = help;
  return row;
}

constexpr SettingKey byteListKey(std::u16string_view section, std::u16string_view key,
                                 std::u16string_view defaultText, ByteFlagTable Settings::*member,
                                 std::string_view help) {
  SettingKey row{KeyKind::ByteList, section, key};
  row.defaultText = defaultText;
  row.bytes = member;
  row.help = help;
  return row;
}

inline constexpr SettingKey SettingKeys[] = {
    extensionListKey(u"Options", u"Extensions", &Settings::extensions,
                     "Extensions whose files get the line columns and the line count, without "
                     "dots and separated by spaces, for example `txt log ini`. Empty: every file. "
                     "ASCII letters match in either case; the other columns are always "
                     "answered."),
    zeroSwitchKey(u"Options", u"SkipEmpty", u"0", &Settings::skipEmpty,
                  "Anything but `0` leaves lines of only blanks and control characters out of the "
                  "line columns and the line count."),
    onOffKey(u"Options", u"LineEndings", 0, &Settings::lineEndings,
             "`1` offers the field `Line endings` (`CRLF`, `LF`, `CR`, `Mixed` or `None`, from the "
             "first {HeadWindowKB} KB of a text file) after the sixteen others; `0` leaves the "
             "field list as "
             "it is."),
    onOffKey(u"Options", u"Charset", 0, &Settings::charset,
             "`1` offers the field `Charset` after every other field: the code page of 8-bit "
             "text as a detector names it, in IANA's spelling (`windows-1250`, `KOI8-R`, "
             "`Shift_JIS`, ...), and `UTF-8`, `UTF-16LE` or `UTF-16BE` for Unicode files; the "
             "line fields then also offer the unit `auto`, which decodes each file in that "
             "charset. `0` leaves the field list and the units as they are."),
    numberKey(u"Encoding", u"TextBufferSizeKB", 1, 1, SampleLimitKB, &Settings::textBufferSizeKB,
              "The prefix, in KB, that the binary test examines for control characters."),
    numberKey(u"Encoding", u"Utf8BufferSizeKB", 64, 1, SampleLimitKB, &Settings::utf8BufferSizeKB,
              "The prefix, in KB, that the UTF-8 test examines."),
    onOffKey(u"Encoding", u"OemEnabled", 1, &Settings::oemEnabled,
             "`1` runs the test for DOS pseudo-graphics (box drawing); `0` skips it."),
    numberKey(u"Encoding", u"OemBufferSizeKB", 1, 1, SampleLimitKB, &Settings::oemBufferSizeKB,
              "The prefix, in KB, that the pseudo-graphics test examines."),
    numberKey(u"Encoding", u"OemPercent", 18, 0, 100, &Settings::oemPercent,
              "The share, in percent, of all high bytes that one box-drawing byte value must "
              "reach to make a file `DOS`."),
    onOffKey(u"Encoding", u"RusEnabled", 1, &Settings::rusEnabled,
             "`1` runs the tests for Russian text in the Windows and DOS Cyrillic code pages; `0` "
             "skips both."),
    numberKey(u"Encoding", u"RusBufferSizeKB", 2, 1, SampleLimitKB, &Settings::rusBufferSizeKB,
              "The prefix, in KB, that the Russian tests examine."),
    numberKey(u"Encoding", u"RusMinSize", 8, 0, SampleLimitBytes, &Settings::rusMinSize,
              "The fewest bytes a file needs before the Russian tests can answer yes."),
    numberKey(u"Encoding", u"RusPercent", 30, 0, 100, &Settings::rusPercent,
              "The share, in percent, of the examined bytes that must be Cyrillic letters to make "
              "a file Russian."),
    numberKey(u"Encoding", u"RusWordLen", 0, 0, SampleLimitBytes, &Settings::rusWordLen,
              "A run of this many Cyrillic letters decides at once; `0` turns the rule off."),
    byteListKey(u"Encoding", u"BinaryIgnore", u"", &Settings::binaryIgnore,
                "Control bytes that do not make a file binary: two hex digits each, separated by "
                "spaces, for example `0C 1B`."),
    byteListKey(u"Encoding", u"OemIgnore", u"AB BB", &Settings::oemIgnore,
                "Byte values that the pseudo-graphics test never counts, in the same form."),
};

// The replacement pairs, read after the table by their own loop (replace_pairs.h): keys S1 to
// S20 (ReplaceSlots) of section Replaces, each "from=to". A missing key reads as "=", which
// splits into a pair that changes nothing.
inline constexpr std::u16string_view ReplaceSection = u"Replaces";
inline constexpr std::u16string_view ReplaceKeyPrefix = u"S";
inline constexpr std::u16string_view ReplaceDefault = u"=";
inline constexpr std::string_view ReplaceHelp =
    "Text replaced in the line columns, slot 1 first: the value is `from=to`, split at its first "
    "`=` and matched exactly and with case; `to` may be empty. An empty `from`, as in the "
    "default, replaces nothing. The text each slot leaves is cut after {WideWindow} UTF-16 code "
    "units, the longest line the module reads.";

// A help text with its sizes written in: {HeadWindowKB}, the head sample in KB, and
// {WideWindow}, the widest line window in units, with thousands separators.
inline std::string helpText(std::string_view help) {
  const auto grouped = [](std::int64_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
      digits.insert(at - 3, ",");
    return digits;
  };
  std::string text(help);
  for (const auto& [token, value] :
       {std::pair<std::string_view, std::string>{"{HeadWindowKB}", grouped(HeadWindow / 1024)},
        std::pair<std::string_view, std::string>{"{WideWindow}", grouped(WideWindow)}}) {
    for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at))
      text.replace(at, token.size(), value);
  }
  return text;
}

} // namespace linepeek
