#include "plugin/catalogue.h"

#include "platform/platform.h"

namespace linepeek {
namespace {

constexpr const char* LineUnits = "win|dos";

constexpr FieldInfo Catalogue[FieldCount] = {
    {"1", StringW, LineUnits},
    {"2", StringW, LineUnits},
    {"3", StringW, LineUnits},
    {"4", StringW, LineUnits},
    {"5", StringW, LineUnits},
    {"6", StringW, LineUnits},
    {"7", StringW, LineUnits},
    {"8", StringW, LineUnits},
    {"9", StringW, LineUnits},
    {"10", StringW, LineUnits},
    {"-3", StringW, LineUnits},
    {"-2", StringW, LineUnits},
    {"-1", StringW, LineUnits},
    {"Line count", Numeric64, ""},
    {"Encoding", MultipleChoice,
     "UTF-16 LE|UTF-16 BE|UTF-8 BOM|UTF-8 no BOM|ANSI|ANSI Ru|DOS|DOS Ru|RTF|Binary"},
    {"Type", MultipleChoice, "Folder|Binary|Text"},
};

} // namespace

const FieldInfo& fieldInfo(FieldId field) {
  return Catalogue[field];
}

int supportedField(int fieldIndex, char* fieldName, char* unitsText, int maxLen) {
  if (fieldIndex < 0 || fieldIndex >= FieldCount) return NoMoreFields;
  const FieldInfo& info = fieldInfo(fieldIndex);
  if (fieldName != nullptr) platform::copyBounded8(fieldName, info.name, maxLen);
  if (unitsText != nullptr) platform::copyBounded8(unitsText, info.units, maxLen);
  return info.typeCode;
}

} // namespace linepeek
