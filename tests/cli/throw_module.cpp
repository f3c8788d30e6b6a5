// A content module with a fault of another kind: it offers "Type" and lets a C++ exception out
// of ContentGetValueW for a file whose name holds "throw", so that the host's side of a request
// unwinds while its threads are busy.
#include <cstring>
#include <stdexcept>
#include <string_view>

#if defined(_WIN32)
#define THROW_MODULE_API __declspec(dllexport)
#else
#define THROW_MODULE_API __attribute__((visibility("default")))
#endif

extern "C" THROW_MODULE_API int ContentGetSupportedField(int fieldIndex, char* fieldName,
                                                         char* unitsText, int maxLen) {
  if (fieldIndex != 0 || maxLen < 5) return 0;
  std::memcpy(fieldName, "Type", 5);
  std::memcpy(unitsText, "Text", 5);
  return 7;
}

extern "C" THROW_MODULE_API int ContentGetValueW(const char16_t* fileName, int /*fieldIndex*/,
                                                 int /*unitIndex*/, void* valueBuffer, int maxLen,
                                                 int /*flags*/) {
  if (std::u16string_view(fileName).find(u"throw") != std::u16string_view::npos)
    throw std::runtime_error("the module gave up");
  if (maxLen < 5) return -3;
  std::memcpy(valueBuffer, "Text", 5);
  return 7;
}
