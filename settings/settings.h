// The process-wide settings record, read once at load from the INI file beside the module and
// read-only afterwards, so readers need no lock.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace linepeek {

// 256 flags indexed by byte value; 1 means the value is in the list.
using ByteFlagTable = std::array<std::uint8_t, 256>;

struct ReplacePair {
  std::u16string from; // empty: the pair changes nothing
  std::u16string to;
};

inline constexpr int ReplaceSlots = 20;

// Every member but iniPath and replaces is filled from one row of the key table
// (key_table.h), which also gives a fresh record its defaults.
struct Settings {
  // Every key at its default, as if no settings file existed; iniPath empty.
  Settings() noexcept;

  std::u16string iniPath;
  std::u16string extensions; // trimmed, ASCII-lower-cased; empty means no filter
  bool skipEmpty{};
  bool lineEndings{}; // offers the "Line endings" field
  std::int32_t textBufferSizeKB{};
  std::int32_t utf8BufferSizeKB{};
  bool oemEnabled{};
  std::int32_t oemBufferSizeKB{};
  std::int32_t oemPercent{};
  bool rusEnabled{};
  std::int32_t rusBufferSizeKB{};
  std::int32_t rusMinSize{};
  std::int32_t rusPercent{};
  std::int32_t rusWordLen{};
  ByteFlagTable binaryIgnore{};
  ByteFlagTable oemIgnore{};
  std::array<ReplacePair, ReplaceSlots> replaces{};
};

// The one record of the process. Written only by loadSettings and emptied by the unload step;
// never destroyed (never_destroyed.h).
extern Settings& settings;

// The settings file for a module path: the module's extension (after the last dot that follows
// the last slash or backslash) replaced by ".ini", or ".ini" appended when there is none.
std::u16string iniPathFor(const std::u16string& modulePath);

// The module's own path through the platform, empty when it cannot be had. A path that fills the
// first 260-unit buffer is asked for again with larger buffers rather than used cut short.
std::u16string modulePath();

// One INI value through the platform reader, cut to 2,047 code units; the default when missing.
std::u16string readIniString(const std::u16string& section, const std::u16string& key,
                             const std::u16string& defaultValue, const std::u16string& path);

// Parses a settings number: leading spaces and tabs, an optional sign, an optional base prefix
// ("$", "x", "X", "0x", "0X" hex; "%" binary; "&" octal), then one or more digits and nothing
// else. False when the text does not parse (empty, over 255 units, a sign or prefix without
// digits, any other character including a trailing blank or a non-ASCII unit); `value` is then
// unchanged. Values beyond the signed 32-bit range saturate at its nearer end.
bool parseIniNumber(const std::u16string& text, std::int32_t& value);

// The decimal text of `value`, which parseIniNumber reads back as `value`.
std::u16string decimalText(std::int32_t value);

// Fills `table` from a list of two-digit hex values in either case, separated by spaces. Entries
// of other lengths, with a prefix, or joined by commas or tabs flag nothing.
void buildByteFlagTable(std::u16string_view list, ByteFlagTable& table) noexcept;

// Reads every key, the replacement pairs last, from the file at `path` into `target`, and sets
// `target.iniPath` to `path`. Missing files, sections and keys give the defaults.
void loadSettingsFrom(const std::u16string& path, Settings& target);

// Every setting at its default, as if no settings file existed; `iniPath` empty.
void loadDefaults(Settings& target);

// The load step: `settings` from the INI file beside the module, named like the module with the
// extension ".ini". When the module's path cannot be had, nothing is read and the defaults apply.
// Runs once on the loading thread before any request.
void loadSettings();

} // namespace linepeek
