#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace linepeek::test {
namespace {

// The module next to the build tree's tests, or the one named by LINEPEEK_MODULE_UNDER_TEST
// (the package check points it at an unpacked archive).
std::wstring modulePath() {
  if (const wchar_t* chosen = _wgetenv(L"LINEPEEK_MODULE_UNDER_TEST"); chosen && *chosen) {
    return chosen;
  }
  std::vector<wchar_t> path(32768);
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  std::wstring folder(path.data(), length);
  folder.erase(folder.find_last_of(L"\\/") + 1);
  return folder + LINEPEEK_MODULE_FROM_TEST;
}

std::string narrow(const std::wstring& wide) {
  std::string text;
  for (const wchar_t unit : wide)
    text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
  return text;
}

class VersionResource : public ::testing::Test {
protected:
  void SetUp() override {
    const std::wstring path = modulePath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_NE(size, 0u) << narrow(path) << ": no version resource, error " << GetLastError();
    block.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
  }

  std::optional<std::wstring> text(const wchar_t* name) {
    void* value = nullptr;
    UINT units = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(block.data(), query.c_str(), &value, &units) || value == nullptr) {
      return std::nullopt;
    }
    return std::wstring(static_cast<const wchar_t*>(value));
  }

  std::vector<unsigned char> block;
};

// The numbers Windows shows as "File version" and "Product version".
TEST_F(VersionResource, FixedNumbersAreTheProjectVersion) {
  void* value = nullptr;
  UINT bytes = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &value, &bytes));
  ASSERT_EQ(bytes, sizeof(VS_FIXEDFILEINFO));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  const DWORD high = (LINEPEEK_VERSION_MAJOR << 16) | LINEPEEK_VERSION_MINOR;
  const DWORD low = LINEPEEK_VERSION_PATCH << 16;
  EXPECT_EQ(fixed->dwFileVersionMS, high);
  EXPECT_EQ(fixed->dwFileVersionLS, low);
  EXPECT_EQ(fixed->dwProductVersionMS, high);
  EXPECT_EQ(fixed->dwProductVersionLS, low);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
  EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);
}

// Explorer picks the string table through the translation list.
TEST_F(VersionResource, TranslationNamesTheStringTable) {
  void* value = nullptr;
  UINT bytes = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &bytes));
  ASSERT_GE(bytes, 4u);
  const auto* pair = static_cast<const WORD*>(value);
  EXPECT_EQ(pair[0], 0x0409);
  EXPECT_EQ(pair[1], 1200);
}

TEST_F(VersionResource, StringsNameProductVersionAndLicense) {
  EXPECT_EQ(text(L"FileVersion"), std::wstring(L"" LINEPEEK_VERSION_TEXT));
  EXPECT_EQ(text(L"ProductVersion"), std::wstring(L"" LINEPEEK_VERSION_TEXT));
  EXPECT_EQ(text(L"ProductName"), std::wstring(L"linepeek"));
  EXPECT_EQ(text(L"OriginalFilename"), std::wstring(L"linepeek.dll"));
  const std::wstring description = text(L"FileDescription").value_or(L"");
  EXPECT_NE(description.find(L"columns"), std::wstring::npos) << narrow(description);
  const std::wstring copyright = text(L"LegalCopyright").value_or(L"");
  EXPECT_NE(copyright.find(L"2026 linepeek developers"), std::wstring::npos) << narrow(copyright);
  EXPECT_NE(copyright.find(L"MIT"), std::wstring::npos) << narrow(copyright);
}

} // namespace
} // namespace linepeek::test
