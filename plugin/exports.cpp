// The three C entry points: thin frames that let nothing escape to the host.
#include "plugin/abi.h"
#include "plugin/catalogue.h"
#include "plugin/dispatcher.h"
#include "plugin/lifecycle.h"

extern "C" LINEPEEK_EXPORT int ContentGetSupportedField(int fieldIndex, char* fieldName,
                                                        char* unitsText, int maxLen) noexcept {
  const linepeek::EntryCall call;
  if (!call.admitted()) return linepeek::NoMoreFields;
  try {
    return linepeek::supportedField(fieldIndex, fieldName, unitsText, maxLen);
  } catch (...) {
    return linepeek::NoMoreFields;
  }
}

// 8-bit file names are not served: names reach the module only as UTF-16.
extern "C" LINEPEEK_EXPORT int ContentGetValue(char* /*fileName*/, int /*fieldIndex*/,
                                               int /*unitIndex*/, void* /*valueBuffer*/,
                                               int /*maxLen*/, int /*flags*/) noexcept {
  return linepeek::FieldEmpty;
}

extern "C" LINEPEEK_EXPORT int ContentGetValueW(const WCHAR* fileName, int fieldIndex,
                                                int unitIndex, void* valueBuffer, int maxLen,
                                                int /*flags*/) noexcept {
  const linepeek::EntryCall call;
  if (!call.admitted()) return linepeek::FieldEmpty;
  try {
    // WCHAR is one UTF-16 code unit on every target.
    return linepeek::answerRequest(reinterpret_cast<const char16_t*>(fileName), fieldIndex,
                                   unitIndex, valueBuffer, maxLen);
  } catch (...) {
    return linepeek::FailureAnswer;
  }
}
