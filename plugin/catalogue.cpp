#include "plugin/catalogue.h"

#include <cstddef>

#include "analysis/encoding_name.h"
#include "analysis/line_endings.h"
#include "base/bounds.h"
#include "base/charsets.h"
#include "platform/platform.h"

namespace linepeek {
namespace {

// The length of `parts` joined by "|", with the terminating zero.
template <std::size_t Count>
constexpr std::size_t joinedSize(const std::array<const char*, Count>& parts) {
  std::size_t size = Count; // the separators and the zero
  for (const char* part : parts) {
    while (*part++ != '\0')
      ++size;
  }
  return size;
}

template <std::size_t Size, std::size_t Count>
constexpr std::array<char, Size> join(const std::array<const char*, Count>& parts) {
  std::array<char, Size> text{};
  std::size_t at = 0;
  for (std::size_t i = 0; i < Count; ++i) {
    if (i > 0) text[at++] = '|';
    for (const char* c = parts[i]; *c != '\0'; ++c)
      text[at++] = *c;
  }
  return text;
}

// A list of units or choices as the host receives it, built when the module is compiled: the
// texts are the producers' own, and answering the host needs no start-up work.
template <const auto& Parts> constexpr auto Joined = join<joinedSize(Parts)>(Parts);

constexpr std::array<const char*, 3> TypeNames = {FolderName, BinaryName, TextName};

constexpr std::array<const char*, 2> PlainLineUnitNames = {LineUnitNames[0], LineUnitNames[1]};
constexpr const char* LineUnits = Joined<PlainLineUnitNames>.data();
constexpr const char* LineUnitsWithAuto = Joined<LineUnitNames>.data();
constexpr const char* EncodingChoices = Joined<EncodingNames>.data();
constexpr const char* TypeChoices = Joined<TypeNames>.data();
constexpr const char* LineEndingChoices = Joined<LineEndingNames>.data();

// The catalogue in the host's order. A row with a setting in its last column is listed only
// when that setting is on; the rows after it then move up.
constexpr Field Fields[] = {
    {"1", StringW, LineUnits, FieldRole::HeadLine, 1, nullptr},
    {"2", StringW, LineUnits, FieldRole::HeadLine, 2, nullptr},
    {"3", StringW, LineUnits, FieldRole::HeadLine, 3, nullptr},
    {"4", StringW, LineUnits, FieldRole::HeadLine, 4, nullptr},
    {"5", StringW, LineUnits, FieldRole::HeadLine, 5, nullptr},
    {"6", StringW, LineUnits, FieldRole::HeadLine, 6, nullptr},
    {"7", StringW, LineUnits, FieldRole::HeadLine, 7, nullptr},
    {"8", StringW, LineUnits, FieldRole::HeadLine, 8, nullptr},
    {"9", StringW, LineUnits, FieldRole::HeadLine, 9, nullptr},
    {"10", StringW, LineUnits, FieldRole::HeadLine, 10, nullptr},
    {"-3", StringW, LineUnits, FieldRole::TailLine, 3, nullptr},
    {"-2", StringW, LineUnits, FieldRole::TailLine, 2, nullptr},
    {"-1", StringW, LineUnits, FieldRole::TailLine, 1, nullptr},
    {"Line count", Numeric64, "", FieldRole::LineCount, 0, nullptr},
    {"Encoding", MultipleChoice, EncodingChoices, FieldRole::Encoding, 0, nullptr},
    {"Type", MultipleChoice, TypeChoices, FieldRole::Type, 0, nullptr},
    {"Line endings", MultipleChoice, LineEndingChoices, FieldRole::LineEndings, 0,
     &Settings::lineEndings},
    // Text, not a choice: its names do not fit the buffers hosts size the choices by, and a
    // host's search then takes any name with its text operators.
    {CharsetFieldName, StringW, "", FieldRole::Charset, 0, &Settings::charset},
};

// Every line row asks for a line that the cache keeps.
constexpr bool linesAreKept() {
  for (const Field& field : Fields) {
    if (field.role == FieldRole::HeadLine && (field.line < 1 || field.line > HeadCapacity))
      return false;
    if (field.role == FieldRole::TailLine && (field.line < 1 || field.line > TailCapacity))
      return false;
  }
  return true;
}
static_assert(linesAreKept(), "a line field asks for a line beyond the cache's slots");

} // namespace

const Field* fieldAt(FieldId index, const Settings& config) {
  if (index < 0) return nullptr;
  for (const Field& field : Fields) {
    if (field.enabledBy != nullptr && !(config.*field.enabledBy)) continue;
    if (index-- == 0) return &field;
  }
  return nullptr;
}

int supportedField(int fieldIndex, char* fieldName, char* unitsText, int maxLen) {
  const Field* field = fieldAt(fieldIndex, settings);
  if (field == nullptr) return NoMoreFields;
  if (fieldName != nullptr) platform::copyBounded8(fieldName, field->name, maxLen);
  const char* units = field->units;
  if (units == LineUnits && settings.charset) units = LineUnitsWithAuto;
  if (unitsText != nullptr) platform::copyBounded8(unitsText, units, maxLen);
  return field->typeCode;
}

} // namespace linepeek
