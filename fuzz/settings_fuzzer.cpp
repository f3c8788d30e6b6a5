// The settings loader on arbitrary INI bytes, read through the real platform reader: every
// stored value must be what the plain rules make of the raw value that the reader answers. The
// input's lines also go straight to parseIniNumber and buildByteFlagTable.
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
#include "settings/replace_pairs.h"
#include "settings/settings.h"
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

struct NumberKey {
  const char16_t* key;
  std::int32_t defaultValue;
  std::int32_t lower;
  std::int32_t upper;
  std::int32_t linepeek::Settings::*field;
};

constexpr NumberKey NumberKeys[] = {
    {u"TextBufferSizeKB", 1, 1, 64, &linepeek::Settings::textBufferSizeKB},
    {u"Utf8BufferSizeKB", 64, 1, 64, &linepeek::Settings::utf8BufferSizeKB},
    {u"OemBufferSizeKB", 1, 1, 64, &linepeek::Settings::oemBufferSizeKB},
    {u"OemPercent", 18, 0, 100, &linepeek::Settings::oemPercent},
    {u"RusBufferSizeKB", 2, 1, 64, &linepeek::Settings::rusBufferSizeKB},
    {u"RusMinSize", 8, 0, 65536, &linepeek::Settings::rusMinSize},
    {u"RusPercent", 30, 0, 100, &linepeek::Settings::rusPercent},
    {u"RusWordLen", 0, 0, 65536, &linepeek::Settings::rusWordLen},
};

std::u16string decimal(std::int32_t value) {
  std::u16string text;
  for (char c : std::to_string(value))
    text.push_back(static_cast<char16_t>(c));
  return text;
}

std::string asText(std::int32_t value) {
  return std::to_string(value);
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

  const auto read = [&](const char16_t* section, const char16_t* key,
                        const std::u16string& defaultValue) {
    std::u16string value = linepeek::readIniString(section, key, defaultValue, path);
    if (value.size() > 2047)
      fail("readIniString answered " + std::to_string(value.size()) + " units");
    return value;
  };

  if (loaded.iniPath != path) fail("iniPath");
  const std::u16string extensions = ref::extensionsSetting(read(u"Options", u"Extensions", u""));
  if (loaded.extensions != extensions)
    fail("Extensions stored as '" + linepeek::fuzz::show(loaded.extensions) + "', expected '" +
         linepeek::fuzz::show(extensions) + "'");
  if (loaded.skipEmpty != (read(u"Options", u"SkipEmpty", u"0") != u"0")) fail("SkipEmpty");

  for (const NumberKey& number : NumberKeys) {
    const std::u16string raw = read(u"Encoding", number.key, decimal(number.defaultValue));
    const std::int32_t expected =
        ref::numberSetting(raw, number.defaultValue, number.lower, number.upper);
    if (loaded.*number.field != expected)
      fail(linepeek::fuzz::show(std::u16string_view(number.key)) + " '" +
           linepeek::fuzz::show(raw) + "' stored as " + asText(loaded.*number.field) +
           ", expected " + asText(expected));
  }
  if (loaded.oemEnabled !=
      (ref::numberSetting(read(u"Encoding", u"OemEnabled", u"1"), 1, 0, 1) != 0))
    fail("OemEnabled");
  if (loaded.rusEnabled !=
      (ref::numberSetting(read(u"Encoding", u"RusEnabled", u"1"), 1, 0, 1) != 0))
    fail("RusEnabled");
  if (loaded.binaryIgnore != ref::byteFlagTable(read(u"Encoding", u"BinaryIgnore", u"")))
    fail("BinaryIgnore");
  if (loaded.oemIgnore != ref::byteFlagTable(read(u"Encoding", u"OemIgnore", u"AB BB")))
    fail("OemIgnore");

  for (int slot = 1; slot <= linepeek::ReplaceSlots; ++slot) {
    const std::u16string key = u"S" + decimal(slot);
    const std::u16string value = read(u"Replaces", key.c_str(), u"=");
    const linepeek::ReplacePair& pair = loaded.replaces[static_cast<std::size_t>(slot - 1)];
    const auto [from, to] = ref::splitPair(value);
    if (pair.from != from || pair.to != to)
      fail("Replaces S" + std::to_string(slot) + " '" + linepeek::fuzz::show(value) +
           "' stored as '" + linepeek::fuzz::show(pair.from) + "' / '" +
           linepeek::fuzz::show(pair.to) + "'");
  }
  return 0;
}
