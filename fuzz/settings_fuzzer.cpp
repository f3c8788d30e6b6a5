// The settings loader on arbitrary INI bytes, read through the real platform reader: every
// stored value must be what the plain rules make of the raw value that the reader answers. The
// keys, defaults and ranges come from the key table; what each kind makes of a value is worked
// out here again. The input's lines also go straight to parseIniNumber and buildByteFlagTable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "fuzz/fuzz_support.h"
#include "settings/key_table.h"
#include "settings/replace_pairs.h"
#include "settings/settings.h"
#include "settings/settings_testing.h"
#include "tests/reference/replacements.h"
#include "tests/reference/settings.h"
#include "tests/support/temp_folder.h"

namespace {

namespace ref = linepeek::reference;

// One folder per process, reused by every input and removed at exit.
const std::filesystem::path& iniFolder() {
  static const linepeek::test::TempFolder folder("linepeek-fuzz-settings");
  return folder.folder();
}

// Written here again, so that a wrong default text or slot key given to the reader shows.
std::u16string decimal(std::int32_t value) {
  std::u16string text;
  for (char c : std::to_string(value))
    text.push_back(static_cast<char16_t>(c));
  return text;
}

std::string asText(std::int32_t value) {
  return std::to_string(value);
}

// What the reference makes of a number key's raw text.
std::int32_t expectedNumber(const std::u16string& raw, const linepeek::SettingKey& row) {
  return ref::numberSetting(raw, row.defaultNumber, row.lower, row.upper);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto fail = [&](const std::string& what) { linepeek::fuzz::fail(data, size, what); };
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Each line on its own as a number and as a byte list.
  std::size_t lineStart = 0;
  for (int line = 0; line < 16 && lineStart <= bytes.size(); ++line) {
    std::size_t lineEnd = bytes.find('\n', lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = bytes.size();
    const std::u16string text =
        linepeek::fuzz::widenBytes(bytes.substr(lineStart, lineEnd - lineStart));
    std::int32_t value = 12345;
    std::int32_t expected = 12345;
    const bool parsed = linepeek::parseIniNumber(text, value);
    if (parsed != ref::parseIniNumber(text, expected) || value != expected)
      fail("parseIniNumber('" + linepeek::fuzz::show(text) + "') gave " +
           (parsed ? asText(value) : "no number") + ", expected " + asText(expected));
    linepeek::ByteFlagTable table;
    table.fill(7);
    linepeek::buildByteFlagTable(text, table);
    if (table != ref::byteFlagTable(text))
      fail("buildByteFlagTable('" + linepeek::fuzz::show(text) + "')");
    lineStart = lineEnd + 1;
  }

  const std::filesystem::path file = iniFolder() / "linepeek.ini";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  const std::u16string path = file.u16string();
  linepeek::Settings loaded;
  loaded.extensions = u"left over";
  loaded.replaces[19].from = u"left over";
  linepeek::loadSettingsFrom(path, loaded);

  const auto read = [&](std::u16string_view section, std::u16string_view key,
                        const std::u16string& defaultValue) {
    std::u16string value =
        linepeek::readIniString(std::u16string(section), std::u16string(key), defaultValue, path);
    if (value.size() > 2047)
      fail("readIniString answered " + std::to_string(value.size()) + " units");
    return value;
  };

  if (loaded.iniPath != path) fail("iniPath");
  for (const linepeek::SettingKey& row : linepeek::SettingKeys) {
    using linepeek::KeyKind;
    const bool isNumber = row.kind == KeyKind::Number || row.kind == KeyKind::OnOff;
    const std::u16string raw =
        read(row.section, row.key,
             isNumber ? decimal(row.defaultNumber) : std::u16string(row.defaultText));
    const std::string what = linepeek::fuzz::show(row.key) + " '" + linepeek::fuzz::show(raw) + "'";
    switch (row.kind) {
    case KeyKind::Number:
      if (loaded.*row.number != expectedNumber(raw, row))
        fail(what + " stored as " + asText(loaded.*row.number) + ", expected " +
             asText(expectedNumber(raw, row)));
      break;
    case KeyKind::OnOff:
      if (loaded.*row.flag != (expectedNumber(raw, row) != 0)) fail(what);
      break;
    case KeyKind::ZeroSwitch:
      if (loaded.*row.flag != (raw != u"0")) fail(what);
      break;
    case KeyKind::ExtensionList: {
      const std::u16string extensions = ref::extensionsSetting(raw);
      if (loaded.*row.text != extensions)
        fail(what + " stored as '" + linepeek::fuzz::show(loaded.*row.text) + "', expected '" +
             linepeek::fuzz::show(extensions) + "'");
      break;
    }
    case KeyKind::ByteList:
      if (loaded.*row.bytes != ref::byteFlagTable(raw)) fail(what);
      break;
    }
  }

  for (int slot = 1; slot <= linepeek::ReplaceSlots; ++slot) {
    const std::u16string key = std::u16string(linepeek::ReplaceKeyPrefix) + decimal(slot);
    const std::u16string value =
        read(linepeek::ReplaceSection, key, std::u16string(linepeek::ReplaceDefault));
    const linepeek::ReplacePair& pair = loaded.replaces[static_cast<std::size_t>(slot - 1)];
    const auto [from, to] = ref::splitPair(value);
    if (pair.from != from || pair.to != to)
      fail("Replaces " + linepeek::fuzz::show(key) + " '" + linepeek::fuzz::show(value) +
           "' stored as '" + linepeek::fuzz::show(pair.from) + "' / '" +
           linepeek::fuzz::show(pair.to) + "'");
  }
  return 0;
}
