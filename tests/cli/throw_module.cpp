// A content module with a fault of another kind: it offers "Type" and lets a C++ exception out
// of ContentGetValueW for a file whose name holds "throw", so that the host's side of a request
// unwinds while its threads are busy. Its second field, "Long", has 900 choices ("c0000" to
// "c0899", 5,399 bytes), cut to the host's buffer as a module cuts them.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#if defined(_WIN32)
#define THROW_MODULE_API __declspec(dllexport)
#else
#define THROW_MODULE_API __attribute__((visibility("default")))
#endif

extern "C" THROW_MODULE_API int ContentGetSupportedField(int fieldIndex, char* fieldName,
                                                         char* unitsText, int maxLen) {
  if (maxLen < 5) return 0;
  if (fieldIndex == 1) {
    std::string choices;
    for (int i = 0; i < 900; ++i) {
      char choice[8];
      std::snprintf(choice, sizeof choice, "%sc%04d", i == 0 ? "" : "|", i);
      choices += choice;
    }
    const std::size_t kept = std::min(choices.size(), static_cast<std::size_t>(maxLen) - 1);
    std::memcpy(fieldName, "Long", 5);
    std::memcpy(unitsText, choices.data(), kept);
    unitsText[kept] = '\0';
    return 7;
  }
  if (fieldIndex != 0) return 0;
  std::memcpy(fieldName, "Type", 5);
  std::memcpy(unitsText, "Text", 5);
  return 7;
}

extern "C" THROW_MODULE_API int ContentGetValueW(const char16_t* fileName, int fieldIndex,
                                                 int /*unitIndex*/, void* valueBuffer, int maxLen,
                                                 int /*flags*/) {
  if (std::u16string_view(fileName).find(u"throw") != std::u16string_view::npos)
    throw std::runtime_error("the module gave up");
  if (maxLen < 6) return -3;
  std::memcpy(valueBuffer, fieldIndex == 1 ? "c0899" : "Text", 6);
  return 7;
}
