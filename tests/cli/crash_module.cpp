// A content module with a fault: it offers "Type" and ends its process when asked about a file
// whose name holds "crash", as a module that crashes on some file would.
#include <cstdlib>
#include <cstring>
#include <string_view>

#if defined(_WIN32)
#define CRASH_MODULE_API __declspec(dllexport)
#else
#define CRASH_MODULE_API __attribute__((visibility("default")))
#endif

extern "C" CRASH_MODULE_API int ContentGetSupportedField(int fieldIndex, char* fieldName,
                                                         char* unitsText, int maxLen) {
  if (fieldIndex != 0 || maxLen < 5) return 0;
  std::memcpy(fieldName, "Type", 5);
  std::memcpy(unitsText, "Text", 5);
  return 7;
}

extern "C" CRASH_MODULE_API int ContentGetValueW(const char16_t* fileName, int /*fieldIndex*/,
                                                 int /*unitIndex*/, void* valueBuffer, int maxLen,
                                                 int /*flags*/) {
  if (std::u16string_view(fileName).find(u"crash") != std::u16string_view::npos) std::abort();
  if (maxLen < 5) return -3;
  std::memcpy(valueBuffer, "Text", 5);
  return 7;
}
