// Cases that only the POSIX layer has: special files, links, permissions, names no UTF-8 can
// spell, the code page environment, the INI read limit and the module's load hooks.
#include "platform/platform.h"
#include "platform/posix/ini.h"
#include "platform/posix/regular_file.h"
#include "plugin/abi.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace linepeek::platform {
namespace {

using test::hex;
using test::utf16;
using test::utf8;

// Sets environment variables for one test and puts the old values back afterwards.
class Environment {
public:
  Environment() {
    for (const char* name : Names) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
      ::unsetenv(name);
    }
  }
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;
  ~Environment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name, value->c_str(), 1);
      } else {
        ::unsetenv(name);
      }
    }
  }
  static void set(const char* name, const char* value) {
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }

private:
  static constexpr const char* Names[] = {"LINEPEEK_CODEPAGES", "LC_ALL", "LC_CTYPE", "LANG"};
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

std::u16string decode(int codePage, const std::string& bytes) {
  return decodeText(codePage, bytes);
}

int openDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

// ANSI and OEM follow the language of the first locale variable that is set and not empty.
TEST(CodePagePairing, FromLocale) {
  const Environment environment;
  struct Row {
    const char* lcAll;
    const char* lcCtype;
    const char* lang;
    int ansi;
    int oem;
  };
  const Row rows[] = {
      {"ru_RU.UTF-8", nullptr, nullptr, 1251, 866},
      {"uk_UA.UTF-8", nullptr, nullptr, 1251, 866},
      {"be_BY", nullptr, nullptr, 1251, 866},
      {"bg_BG.UTF-8", nullptr, nullptr, 1251, 866},
      {"sr_RS", nullptr, nullptr, 1251, 866},
      {"sr_RS@latin", nullptr, nullptr, 1250, 852},
      {"cs_CZ.UTF-8", nullptr, nullptr, 1250, 852},
      {"pl_PL", nullptr, nullptr, 1250, 852},
      {"hu_HU.UTF-8", nullptr, nullptr, 1250, 852},
      {"ro_RO", nullptr, nullptr, 1250, 852},
      {"el_GR.UTF-8", nullptr, nullptr, 1253, 737},
      {"tr_TR.UTF-8", nullptr, nullptr, 1254, 857},
      {"he_IL.UTF-8", nullptr, nullptr, 1255, 862},
      {"lt_LT.UTF-8", nullptr, nullptr, 1257, 775},
      {"lv_LV", nullptr, nullptr, 1257, 775},
      {"et_EE", nullptr, nullptr, 1257, 775},
      {"de_DE.UTF-8", nullptr, nullptr, 1252, 850},
      {"fr_FR@euro", nullptr, nullptr, 1252, 850},
      {"en_US.UTF-8", nullptr, nullptr, 1252, 437},
      {"en_GB.UTF-8", nullptr, nullptr, 1252, 850},
      {"C", nullptr, nullptr, 1252, 437},
      {"POSIX", nullptr, nullptr, 1252, 437},
      {"C.UTF-8", nullptr, nullptr, 1252, 437},
      {"xx_YY", nullptr, nullptr, 1252, 437},
      {nullptr, nullptr, nullptr, 1252, 437},
      {"", "ru_RU.UTF-8", "de_DE", 1251, 866},
      {nullptr, nullptr, "el_GR", 1253, 737},
      {"de_DE", "ru_RU", "tr_TR", 1252, 850},
      {nullptr, "", "cs_CZ", 1250, 852},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.lcAll ? row.lcAll : "-") + " " +
                 (row.lcCtype ? row.lcCtype : "-") + " " + (row.lang ? row.lang : "-"));
    Environment::set("LC_ALL", row.lcAll);
    Environment::set("LC_CTYPE", row.lcCtype);
    Environment::set("LANG", row.lang);
    EXPECT_EQ(ansiCodePage(), row.ansi);
    EXPECT_EQ(oemCodePage(), row.oem);
  }
}

// LINEPEEK_CODEPAGES wins over the locale when it names two known code pages.
TEST(CodePagePairing, Override) {
  const Environment environment;
  Environment::set("LANG", "el_GR.UTF-8");
  struct Row {
    const char* value;
    int ansi;
    int oem;
  };
  const Row rows[] = {
      {"1251,866", 1251, 866},     {" 1250 , 852 ", 1250, 852}, {"874,874", 874, 874},
      {"1252,65001", 1252, 65001}, {"1251", 1253, 737},         {"", 1253, 737},
      {"abc,866", 1253, 737},      {"1252,932", 1253, 737},     {"1252,437,1", 1253, 737},
      {"-1252,437", 1253, 737},    {"1251,", 1253, 737},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value);
    Environment::set("LINEPEEK_CODEPAGES", row.value);
    EXPECT_EQ(ansiCodePage(), row.ansi);
    EXPECT_EQ(oemCodePage(), row.oem);
  }
}

// Code pages 0 and 1 are resolved again on every conversion.
TEST(CodePagePairing, ConversionsFollowTheEnvironment) {
  const Environment environment;
  Environment::set("LINEPEEK_CODEPAGES", "1251,866");
  EXPECT_EQ(decode(AnsiCodePage, hex("C0 E0")), u"\u0410\u0430");
  EXPECT_EQ(decode(OemCodePage, hex("80 A0")), u"\u0410\u0430");
  Environment::set("LINEPEEK_CODEPAGES", "1252,437");
  EXPECT_EQ(decode(AnsiCodePage, hex("C0 E0")), u"\u00C0\u00E0");
  EXPECT_EQ(decode(OemCodePage, hex("80 A0")), u"\u00C7\u00E1");
}

std::u16string readValue(const std::u16string& path, const char16_t* key = u"Key") {
  char16_t buffer[64] = {};
  readProfileString(u"S", key, u"dflt", buffer, 64, path.c_str());
  return buffer;
}

// Without a byte order mark: UTF-8 when the whole file is valid UTF-8, else the ANSI code page.
TEST(ProfileStringPosix, UnmarkedEncodings) {
  const test::TempFolder temp;
  const Environment environment;
  Environment::set("LINEPEEK_CODEPAGES", "1251,866");
  const std::u16string utf8File = temp.write("u.ini", hex("\"[S]\" 0A \"Key=\" D0 96 C3 A9 0A"));
  EXPECT_EQ(readValue(utf8File), u"\u0416\u00E9");
  const std::u16string ansiFile =
      temp.write("a.ini", hex("\"[S]\" 0A \"Key=\" C6 E2 0A \"Other=\" D0 96 0A"));
  EXPECT_EQ(readValue(ansiFile), u"\u0416\u0432");
  EXPECT_EQ(readValue(ansiFile, u"Other"), u"\u0420\u2013");
  Environment::set("LINEPEEK_CODEPAGES", "1252,437");
  EXPECT_EQ(readValue(ansiFile), u"\u00C6\u00E2");
}

// Only the first 4 MiB are read; a line cut by the limit is dropped whole and cannot turn a
// UTF-8 file into an 8-bit one.
TEST(ProfileStringPosix, ReadLimit) {
  const test::TempFolder temp;
  const Environment environment;
  Environment::set("LINEPEEK_CODEPAGES", "1252,437");
  const std::size_t limit = 4u << 20;
  ASSERT_EQ(posix::IniReadLimitBytes, static_cast<std::int64_t>(limit));
  std::string text = "[S]\nKey=" + hex("D0 96") + "\n";
  const std::string comment = ";" + std::string(98, 'x') + "\n";
  while (text.size() + comment.size() < limit - 10)
    text += comment;
  text += "Cut=" + std::string(limit - 5 - text.size(), 'c') + hex("D0 96") + "tail\n";
  ASSERT_EQ(text.substr(limit - 1, 2), hex("D0 96"));
  text += "Late=2\n";
  const std::u16string path = temp.write("big.ini", text);
  EXPECT_EQ(readValue(path), u"\u0416");
  EXPECT_EQ(readValue(path, u"Cut"), u"dflt");
  EXPECT_EQ(readValue(path, u"Late"), u"dflt");
  // A file of exactly the limit is read whole.
  const std::string exact = "[S]\n" + std::string(limit - 4 - 7, ';') + "\nKey=v\n";
  ASSERT_EQ(exact.size(), limit);
  EXPECT_EQ(readValue(temp.write("exact.ini", exact)), u"v");
}

// Settings paths that are no regular file, or cannot be named, give the default at once.
TEST(ProfileStringPosix, UnreadablePaths) {
  const test::TempFolder temp;
  const std::string fifo = (temp.folder() / "fifo.ini").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(readValue(temp.path("fifo.ini")), u"dflt");
  std::filesystem::create_directory(temp.folder() / "dir.ini");
  EXPECT_EQ(readValue(temp.path("dir.ini")), u"dflt");
  EXPECT_EQ(readValue(u"/dev/zero"), u"dflt");
  temp.write("s\xEF\xBF\xBD.ini", "[S]\nKey=v\n");
  EXPECT_EQ(readValue(temp.path("s\xEF\xBF\xBD.ini")), u"v");
  EXPECT_EQ(readValue(temp.folder().u16string() + u"/s" + std::u16string{0xD800} + u".ini"),
            u"dflt");
}

// FIFOs, sockets and devices are refused at once: they could block or never end.
TEST(FilesPosix, SpecialFilesAreRefused) {
  const test::TempFolder temp;
  const int before = openDescriptors();
  const std::string fifo = (temp.folder() / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(openFile(temp.path("fifo").c_str()).handle, InvalidFile);
  EXPECT_EQ(queryEntry(temp.path("fifo").c_str()).kind, EntryKind::File);

  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (temp.folder() / "sock").string();
  ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  EXPECT_EQ(openFile(temp.path("sock").c_str()).handle, InvalidFile);
  EXPECT_EQ(queryEntry(temp.path("sock").c_str()).kind, EntryKind::File);
  ::close(listener);

  EXPECT_EQ(openFile(u"/dev/zero").handle, InvalidFile);
  EXPECT_EQ(openFile(u"/dev/null").handle, InvalidFile);
  EXPECT_EQ(openFile(temp.folder().u16string().c_str()).handle, InvalidFile);
  EXPECT_EQ(openDescriptors(), before);
}

// Links are followed; a dangling link or a loop is an entry that cannot be opened.
TEST(FilesPosix, SymbolicLinks) {
  const test::TempFolder temp;
  const auto& folder = temp.folder();
  temp.write("target.txt", "12345");
  std::filesystem::create_directory(folder / "dir");
  std::filesystem::create_symlink(folder / "target.txt", folder / "to-file");
  std::filesystem::create_directory_symlink(folder / "dir", folder / "to-dir");
  std::filesystem::create_symlink(folder / "gone", folder / "dangling");
  std::filesystem::create_symlink(folder / "loop-b", folder / "loop-a");
  std::filesystem::create_symlink(folder / "loop-a", folder / "loop-b");

  const FileOwner file(openFile(temp.path("to-file").c_str()));
  ASSERT_TRUE(file.isOpen());
  EXPECT_EQ(file.size(), 5);
  EXPECT_EQ(queryEntry(temp.path("to-file").c_str()).kind, EntryKind::File);
  EXPECT_EQ(queryEntry(temp.path("to-dir").c_str()).kind, EntryKind::Directory);
  EXPECT_EQ(openFile(temp.path("to-dir").c_str()).handle, InvalidFile);
  EXPECT_EQ(queryEntry(temp.path("dangling").c_str()).kind, EntryKind::File);
  EXPECT_EQ(openFile(temp.path("dangling").c_str()).handle, InvalidFile);
  EXPECT_EQ(queryEntry(temp.path("loop-a").c_str()).kind, EntryKind::File);
  EXPECT_EQ(openFile(temp.path("loop-a").c_str()).handle, InvalidFile);
}

// An unpaired surrogate other than a carried name byte (U+DC80..U+DCFF) has no form on disk,
// so it reaches nothing, not even a file whose name holds U+FFFD or a byte in its place.
TEST(FilesPosix, UnpairedSurrogateNames) {
  const test::TempFolder temp;
  temp.write("a\xEF\xBF\xBD", "x");
  temp.write("a\x7F", "x");
  ASSERT_EQ(queryEntry(temp.path("a\xEF\xBF\xBD").c_str()).kind, EntryKind::File);
  for (const char16_t lone : {char16_t{0xD800}, char16_t{0xDBFF}, char16_t{0xDC00},
                              char16_t{0xDC7F}, char16_t{0xDD00}, char16_t{0xDFFF}}) {
    SCOPED_TRACE(static_cast<int>(lone));
    const std::u16string name = temp.folder().u16string() + u"/a" + std::u16string{lone};
    EXPECT_EQ(openFile(name.c_str()).handle, InvalidFile);
    EXPECT_EQ(queryEntry(name.c_str()).kind, EntryKind::Missing);
  }
}

TEST(FilesPosix, UnreadableFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const test::TempFolder temp;
  temp.write("secret.txt", "x");
  std::filesystem::permissions(temp.folder() / "secret.txt", std::filesystem::perms::none);
  EXPECT_EQ(openFile(temp.path("secret.txt").c_str()).handle, InvalidFile);
  EXPECT_EQ(queryEntry(temp.path("secret.txt").c_str()).kind, EntryKind::File);
}

// The handle is close-on-exec, and closing it releases it.
TEST(FilesPosix, DescriptorFlags) {
  const test::TempFolder temp;
  const int before = openDescriptors();
  {
    const FileOwner file(openFile(temp.write("f.txt", "x").c_str()));
    ASSERT_TRUE(file.isOpen());
    const int descriptor = static_cast<int>(file.get());
    EXPECT_NE(::fcntl(descriptor, F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_EQ(openDescriptors(), before + 1);
  }
  EXPECT_EQ(openDescriptors(), before);
}

// st_mtim with its nanoseconds, as 100 ns units since 1601-01-01 UTC.
TEST(FilesPosix, WriteTimeValue) {
  const test::TempFolder temp;
  const std::u16string path = temp.write("t.txt", "x");
  const std::string name = (temp.folder() / "t.txt").string();
  struct Row {
    timespec modified;
    std::uint64_t expected;
  };
  const Row rows[] = {
      {{946684800, 123456789}, 125911584001234567u}, // 2000-01-01 00:00:00.123456789
      {{0, 0}, 116444736000000000u},                 // 1970-01-01
      {{-1, 0}, 116444735990000000u},                // one second earlier
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.expected);
    const timespec times[2] = {row.modified, row.modified};
    ASSERT_EQ(::utimensat(AT_FDCWD, name.c_str(), times, 0), 0);
    const FileOwner file(openFile(path.c_str()));
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.writeTime(), row.expected);
  }
}

// Reads loop until the length is reached, however little each call gives.
TEST(FilesPosix, ReadsLoopOverShortReads) {
  int ends[2] = {-1, -1};
  ASSERT_EQ(::pipe(ends), 0);
  const posix::DescriptorOwner reader(ends[0]);
  // More than a pipe holds, so the writer blocks and the reader sees short reads.
  const std::string content(1 << 20, 'p');
  std::thread writer([&content, writeEnd = ends[1]] {
    const posix::DescriptorOwner owner(writeEnd);
    std::size_t done = 0;
    while (done < content.size()) {
      const ssize_t wrote = ::write(writeEnd, content.data() + done, content.size() - done);
      if (wrote <= 0) return;
      done += static_cast<std::size_t>(wrote);
    }
  });
  std::string buffer(content.size() + 10, '\0');
  EXPECT_EQ(
      posix::readFully(reader.get(), buffer.data(), static_cast<std::int64_t>(content.size())),
      static_cast<std::int64_t>(content.size()));
  writer.join();
  EXPECT_EQ(buffer.substr(0, content.size()), content);
  EXPECT_EQ(posix::readFully(reader.get(), buffer.data(), 10), 0);
  EXPECT_EQ(posix::readFully(-1, buffer.data(), 10), -1);
}

// Linked into this test program, the module path is the program's own.
TEST(ModulePath, NamesTheObjectHoldingTheLayer) {
  const std::u16string expected = std::filesystem::canonical("/proc/self/exe").u16string();
  char16_t buffer[4096] = {};
  EXPECT_EQ(moduleFileName(buffer, 4096), static_cast<int>(expected.size()));
  EXPECT_EQ(std::u16string(buffer), expected);
  char16_t small[6] = {u'#', u'#', u'#', u'#', u'#', u'#'};
  EXPECT_EQ(moduleFileName(small, 5), 4);
  EXPECT_EQ(std::u16string(small), expected.substr(0, 4));
  EXPECT_EQ(small[5], u'#');
  EXPECT_EQ(moduleFileName(small, 0), 0);
}

// A copy of the built module in `folder`, loaded from there as a host loads it.
class LoadedModule {
public:
  explicit LoadedModule(const std::filesystem::path& folder) {
    const auto copy = folder / "linepeek.so";
    std::filesystem::copy_file(LINEPEEK_MODULE_PATH, copy);
    handle_ = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
      ADD_FAILURE() << ::dlerror();
      return;
    }
    getValue_ = reinterpret_cast<GetValue>(::dlsym(handle_, "ContentGetValueW"));
  }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  ~LoadedModule() {
    if (handle_ != nullptr) {
      EXPECT_EQ(::dlclose(handle_), 0);
    }
  }
  // The answer to one request as test::answerText shows it.
  std::string answer(const std::u16string& name, int field) const {
    if (getValue_ == nullptr) return "(not loaded)";
    char16_t value[64] = {};
    const int code = getValue_(name.c_str(), field, 0, value, sizeof value, 0);
    return test::answerText(code, value, sizeof value);
  }

private:
  using GetValue = int (*)(const WCHAR*, int, int, void*, int, int);
  void* handle_ = nullptr;
  GetValue getValue_ = nullptr;
};

// The built module, loaded beside a settings file, has read that file before its first call:
// the load hook runs after the module's own initializers and finds the module's path.
TEST(ModuleHooks, LoadReadsTheSettingsBesideTheModule) {
  const test::TempFolder temp;
  temp.write("linepeek.ini", "[Options]\nExtensions=txt\n[Replaces]\nS1=hello=bye\n");
  const std::u16string text = temp.write("a.txt", "hello\n");
  const std::u16string log = temp.write("a.log", "hello\n");
  const LoadedModule module(temp.folder());
  EXPECT_EQ(module.answer(log, 0), "(-2)");
  EXPECT_EQ(module.answer(text, 0), "bye");
}

// Name bytes that are not UTF-8 reach the module as unpaired U+DC80..U+DCFF, one a byte, and
// reach their files; the low half of a pair stays part of its character.
TEST(ModuleHooks, NonUtf8NameBytes) {
  struct Row {
    const char* bytes;   // the name on disk, in hex
    std::u16string name; // as the host hands it over
  };
  const Row rows[] = {
      {"63 61 66 E9 2E 74 78 74", u"caf\xDCE9.txt"},                  // Latin-1 "caf\u00E9.txt"
      {"CF F0 E8 E2 E5 F2", u"\xDCCF\xDCF0\xDCE8\xDCE2\xDCE5\xDCF2"}, // 1251, "hello" in Russian
      {"C3 A9 E9 80", u"\u00E9\xDCE9\xDC80"},
      {"F0 90 82 80", u"\xD800\xDC80"},
  };
  const test::TempFolder temp;
  const LoadedModule module(temp.folder());
  const std::filesystem::path folder =
      temp.folder() / test::hex("CF E0 EF EA E0"); // 1251, "folder"
  std::filesystem::create_directory(folder);
  const std::u16string folderName = temp.folder().u16string() + u"/\xDCCF\xDCE0\xDCEF\xDCEA\xDCE0";
  EXPECT_EQ(module.answer(folderName, 15), "Folder");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bytes);
    std::ofstream(folder / test::hex(row.bytes), std::ios::binary) << row.bytes << "\n";
    const std::u16string name = folderName + u"/" + row.name;
    EXPECT_EQ(module.answer(name, 0), row.bytes);
    EXPECT_EQ(module.answer(name, 15), "Text");
  }
}

} // namespace
} // namespace linepeek::platform

// A second byte outside its lead's range ends the subpart at the lead: one U+FFFD per byte.
TEST(CodePagePosix, Utf8SubpartsEndAtAnOutOfRangeSecondByte) {
  struct Row {
    const char* bytes;
    std::u16string expected;
  };
  const Row rows[] = {
      {"E0 80 80", u"\uFFFD\uFFFD\uFFFD"},
      {"ED A0 80", u"\uFFFD\uFFFD\uFFFD"},
      {"F0 80 80 80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"F4 90 80 80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bytes);
    EXPECT_EQ(linepeek::platform::decodeText(linepeek::platform::Utf8CodePage,
                                             linepeek::test::hex(row.bytes)),
              row.expected);
  }
}
