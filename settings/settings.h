// The process-wide settings record, read once at load from the INI file beside the module and
// read-only afterwards, so readers need no lock.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace linepeek {

// 256 flags indexed by byte value; 1 means the value is in the list.
using ByteFlagTable = std::array<std::uint8_t, 256>;

struct ReplacePair {
  std::u16string from; // empty: the pair changes nothing
  std::u16string to;
};

inline constexpr int ReplaceSlots = 20;

struct Settings {
  std::u16string iniPath;
  std::u16string extensions; // trimmed, ASCII-lower-cased; empty means no filter
  bool skipEmpty = false;
  std::int32_t textBufferSizeKB = 1;
  std::int32_t utf8BufferSizeKB = 64;
  bool oemEnabled = true;
  std::int32_t oemBufferSizeKB = 1;
  std::int32_t oemPercent = 18;
  bool rusEnabled = true;
  std::int32_t rusBufferSizeKB = 2;
  std::int32_t rusMinSize = 8;
  std::int32_t rusPercent = 30;
  std::int32_t rusWordLen = 0;
  ByteFlagTable binaryIgnore{};
  ByteFlagTable oemIgnore{}; // the loader sets 0xAB and 0xBB by default
  std::array<ReplacePair, ReplaceSlots> replaces{};
};

// The one record of the process. Written only by loadSettings.
extern Settings settings;

// The settings file for a module path: the module's extension (after the last dot that follows
// the last slash or backslash) replaced by ".ini", or ".ini" appended when there is none.
std::u16string iniPathFor(const std::u16string& modulePath);

// The module's own path through the platform, empty when it cannot be had.
std::u16string modulePath();

// One INI value through the platform reader, cut to 2,047 code units; the default when missing.
std::u16string readIniString(const std::u16string& section, const std::u16string& key,
                             const std::u16string& defaultValue, const std::u16string& path);

// Parses a settings number: blanks, sign, "$"/"x"/"0x" hex, "%" binary, "&" octal. False when the
// text does not parse; `value` is then unchanged.
bool parseIniNumber(const std::u16string& text, std::int32_t& value);

// Section Encoding, `key`: the parsed number clamped to [lower, upper], or the default.
std::int32_t readIniNumber(const std::u16string& path, const std::u16string& key,
                           std::int32_t defaultValue, std::int32_t lower, std::int32_t upper);

// Fills `table` from a list of two-digit hex values separated by spaces.
void buildByteFlagTable(const std::u16string& list, ByteFlagTable& table);

// Reads every key from the file at `path` into `target` (defaults for what is missing).
void loadSettingsFrom(const std::u16string& path, Settings& target);

// The load step: `settings` from the INI file beside the module.
void loadSettings();

} // namespace linepeek
