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
  bool charset{};     // offers the "Charset" field
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
// never destroyed (base/never_destroyed.h).
extern Settings& settings;

// The buffer of GetPrivateProfileStringW, in UTF-16 code units: values longer than 2,047 units
// are cut.
inline constexpr int IniValueUnits = 2048;

// One INI value through the platform reader, cut to `units` - 1 code units (2,047 for the
// module); the default when missing.
std::u16string readIniString(const std::u16string& section, const std::u16string& key,
                             const std::u16string& defaultValue, const std::u16string& path,
                             int units = IniValueUnits);

// The decimal text of `value`, which parseIniNumber reads back as `value`.
std::u16string decimalText(std::int32_t value);

// The load step: `settings` from the INI file beside the module, named like the module with the
// extension ".ini". When the module's path cannot be had, nothing is read and the defaults apply.
// Runs once on the loading thread before any request.
void loadSettings();

} // namespace linepeek
