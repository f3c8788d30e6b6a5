// What a checker of settings files needs to read a file as the module does (linepeek-cli
// --settings): the key table, the settings record and its loader, the parsers behind each kind
// of key, the replacement pairs' keys and split, the INI reads of single values and the
// listings of sections and lines. The module's own code links none of the listings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ini_sections.h"
#include "settings/key_table.h"
#include "settings/replace_pairs.h"
#include "settings/settings.h"

namespace linepeek {

// The settings file for a module path: the module's extension (after the last dot that follows
// the last slash or backslash) replaced by ".ini", or ".ini" appended when there is none.
std::u16string iniPathFor(const std::u16string& modulePath);

// Parses a settings number: leading spaces and tabs, an optional sign, an optional base prefix
// ("$", "x", "X", "0x", "0X" hex; "%" binary; "&" octal), then one or more digits and nothing
// else. False when the text does not parse (empty, over 255 units, a sign or prefix without
// digits, any other character including a trailing blank or a non-ASCII unit); `value` is then
// unchanged. Values beyond the signed 32-bit range saturate at its nearer end.
bool parseIniNumber(const std::u16string& text, std::int32_t& value);

// The number a Number or OnOff key's text gives: parsed by parseIniNumber, or the row's default
// when it does not parse; then raised to the row's lower bound and lowered to its upper bound.
std::int32_t clampedNumber(const std::u16string& text, const SettingKey& row);

// Fills `table` from a list of two-digit hex values in either case, separated by spaces. Entries
// of other lengths, with a prefix, or joined by commas or tabs flag nothing; `ignored`, when
// given, receives them in list order. Allocates only for `ignored`.
void buildByteFlagTable(std::u16string_view list, ByteFlagTable& table,
                        std::vector<std::u16string>* ignored = nullptr);

// Reads every key, the replacement pairs last, from the file at `path` into `target`, and sets
// `target.iniPath` to `path`. Missing files, sections and keys give the defaults.
void loadSettingsFrom(const std::u16string& path, Settings& target);

// The key of slot `slotNumber` (1 to 20): "S" and the number without leading zeros.
std::u16string replaceKey(int slotNumber);

// Splits a value at its first "=": `from` before it, `to` after it (further "=" stay in `to`).
// A value without "=" gives two empty texts; `hasEquals`, when given, tells it apart.
ReplacePair splitReplacePair(const std::u16string& value, bool* hasEquals = nullptr);

} // namespace linepeek
