// A host as plain as a file manager, without a test framework, so that its way out of the
// process is the real one. It loads the module by path, asks for every field of a few files and
// then leaves as the argument says:
//   return        returns from main with the module still loaded
//   exit-thread   calls exit on a second thread, the module still loaded
//   exit-busy     calls exit while a second thread is inside requests, the module still loaded
//   exit-process  ends the process the platform's own way, the module still loaded
//   unload        unloads the module, then returns
//   reload        loads, asks and unloads 100 times, the settings file changing in between
//   cycles        loads, asks one field and unloads 2,000 times: the open handles and free TLS
//                 slots must be the same before and after
// The exit status is 0 only when every answer was right and nothing failed on the way out.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "plugin/abi.h"
#include "tests/abi/module_loader.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_util.h"

namespace linepeek::test {
namespace {

namespace fs = std::filesystem;

using SupportedFieldFn = decltype(&ContentGetSupportedField);
using GetValueWFn = decltype(&ContentGetValueW);

constexpr int FieldCount = 16;
constexpr int ReloadCycles = 100;
// A TLS slot lost per load runs a Windows process out of them after about 1,080 loads.
constexpr int LeakCycles = 2000;

int failures = 0;

void fail(const std::string& what) {
  ++failures;
  std::fprintf(stderr, "FAILED: %s\n", what.c_str());
}

// Kept loaded until the process ends; reachable from here, so leak checkers do not count it.
LoadedModule* keptModule = nullptr;

class Host {
public:
  explicit Host(const LoadedModule& module)
      : supportedField_(
            reinterpret_cast<SupportedFieldFn>(module.find("ContentGetSupportedField"))),
        getValueW_(reinterpret_cast<GetValueWFn>(module.find("ContentGetValueW"))) {}

  bool isComplete() const { return supportedField_ != nullptr && getValueW_ != nullptr; }

  // The answer as text: the line (UTF-8), the count, the choice, or "(code)".
  std::string answer(const fs::path& file, int field) const {
    char name[256];
    char units[256];
    if (supportedField_(field, name, units, sizeof name) == 0) return "(no field)";
    // maxLen is the buffer's size in bytes, as file managers give it.
    std::vector<char16_t> buffer(1024, u'\0');
    const std::u16string path = file.u16string();
    const int maxLen = static_cast<int>(buffer.size() * sizeof(char16_t));
    const int code = getValueW_(reinterpret_cast<const WCHAR*>(path.c_str()), field, 0,
                                buffer.data(), maxLen, 0);
    return test::answerText(code, buffer.data(), buffer.size() * sizeof(char16_t));
  }

  // Every field of `file`; `expected` holds one answer per field, null where any is fine.
  void check(const fs::path& file, const std::vector<const char*>& expected) const {
    for (int field = 0; field < FieldCount; ++field) {
      const std::string got = answer(file, field);
      const char* want = expected[static_cast<std::size_t>(field)];
      if (want != nullptr && got != want) {
        fail(file.filename().u8string() + " field " + std::to_string(field) + ": got '" + got +
             "', expected '" + want + "'");
      }
    }
  }

private:
  SupportedFieldFn supportedField_;
  GetValueWFn getValueW_;
};

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Small, 4 MiB single-line, multi-MiB and UTF-16 files, asked for every field.
void askEveryField(const Host& host, const fs::path& folder) {
  const char* const none = "(-3)";
  const fs::path small = folder / "small.txt";
  writeFile(small, "alpha\r\nbeta\r\ngamma\r\n");
  host.check(small, {"alpha", "beta", "gamma", none, none, none, none, none, none, none, "alpha",
                     "beta", "gamma", "3", "ANSI", "Text"});

  const fs::path oneLine = folder / "one_line.txt";
  writeFile(oneLine, std::string(4194304, 'a'));
  host.check(oneLine, {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr, nullptr, nullptr, "1", "ANSI", "Text"});

  // 6 MiB of 16-byte lines: 393,216 lines, across count chunks and beyond the tail window.
  const fs::path lines = folder / "lines.txt";
  std::string text;
  for (int i = 0; i < 393216; ++i)
    text += "0123456789abcde\n";
  writeFile(lines, text);
  const char* const line = "0123456789abcde";
  host.check(lines, {line, line, line, line, line, line, line, line, line, line, line, line, line,
                     "393216", "ANSI", "Text"});

  // "Gr", u with diaeresis, sharp s, "e"; then "zwei": UTF-16 LE with its mark, CR LF ends.
  const fs::path wide = folder / "utf16.txt";
  writeFile(wide, hex("FF FE 47 00 72 00 FC 00 DF 00 65 00 0D 00 0A 00 "
                      "7A 00 77 00 65 00 69 00 0D 00 0A 00"));
  const char* const first = "Gr\xC3\xBC\xC3\x9F"
                            "e";
  host.check(wide, {first, "zwei", none, none, none, none, none, none, none, none, none, first,
                    "zwei", "2", "UTF-16 LE", "Text"});

  if (host.answer(folder, 15) != "Folder") fail("the folder is not answered as one");
}

std::string modulePath() {
  return executableFolder() + LINEPEEK_MODULE_FROM_TEST;
}

// Loads the module at `path` and keeps it until the process ends.
bool loadAndAsk(const std::string& path, const fs::path& folder) {
  keptModule = new LoadedModule(path);
  const Host host(*keptModule);
  if (!keptModule->isLoaded() || !host.isComplete()) {
    fail("cannot load " + path + ": " + keptModule->error());
    return false;
  }
  askEveryField(host, folder);
  return true;
}

// A copy of the module with a settings file beside it that alternates between SkipEmpty with a
// replacement and no file at all: each load must read it afresh, and a fresh cache must count
// the unchanged file under the settings of that load.
void reload(const fs::path& folder) {
  const fs::path built(modulePath());
  const fs::path module = folder / built.filename();
  fs::copy_file(built, module);
  fs::path ini = module;
  ini.replace_extension(".ini");
  const fs::path file = folder / "blank.txt";
  writeFile(file, "a\n\nb\n");

  for (int cycle = 0; cycle < ReloadCycles && failures == 0; ++cycle) {
    const bool configured = cycle % 2 == 1;
    if (configured) {
      writeFile(ini, "[Options]\r\nSkipEmpty=1\r\n[Replaces]\r\nS1=a=A\r\n");
    } else {
      fs::remove(ini);
    }
    const LoadedModule loaded(module.u8string());
    const Host host(loaded);
    if (!loaded.isLoaded() || !host.isComplete()) {
      fail("cannot load the copy: " + loaded.error());
      return;
    }
    const std::string trace = " in cycle " + std::to_string(cycle);
    if (host.answer(file, 0) != (configured ? "A" : "a")) fail("line 1" + trace);
    if (configured && host.answer(file, 1) != "b") fail("line 2" + trace);
    if (host.answer(file, 12) != "b") fail("line -1" + trace);
    if (host.answer(file, 13) != (configured ? "2" : "3")) fail("line count" + trace);
  }
}

// Load, one request, unload, again and again: nothing the module or its run-time takes at load
// or in a request may stay behind. The first cycle runs before the count, for what the system
// itself sets up once (the first file opened, the code page tables).
void cycles(const fs::path& folder) {
  const fs::path file = folder / "one.txt";
  writeFile(file, "one\n");
  const auto cycle = [&] {
    const LoadedModule loaded(modulePath());
    const Host host(loaded);
    if (!loaded.isLoaded() || !host.isComplete()) {
      fail("cannot load the module: " + loaded.error());
      return false;
    }
    if (host.answer(file, 0) != "one") fail("line 1");
    return failures == 0;
  };
  if (!cycle()) return;
  const ProcessResources before = processResources();
  int done = 0;
  while (done < LeakCycles && cycle())
    ++done;
  const ProcessResources after = processResources();
  std::printf("after %d cycles: %d -> %d open handles, %d -> %d free TLS slots\n", LeakCycles,
              before.openHandles, after.openHandles, before.freeTlsSlots, after.freeTlsSlots);
  if (!(after == before)) fail("the cycles leaked handles or TLS slots");
}

// Keeps a thread asking for every field of the module's own file and of its folder, and returns
// once it is under way: the exit that follows meets a call in flight, whose records the
// module's unload step must leave alone. It asks about files that are there anyway: nothing to
// remove afterwards.
void startBusyThread() {
  static std::atomic<int> asked{0};
  std::thread([] {
    const fs::path entries[2] = {modulePath(), executableFolder()};
    const Host host(*keptModule);
    for (int i = 0;; ++i) {
      host.answer(entries[i % 2], (i / 2) % FieldCount);
      asked.fetch_add(1);
    }
  }).detach();
  while (asked.load() < 20)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

int run(const std::string& mode) {
  if (mode != "return" && mode != "exit-thread" && mode != "exit-busy" && mode != "exit-process" &&
      mode != "unload" && mode != "reload" && mode != "cycles") {
    std::fprintf(stderr, "unknown mode '%s'\n", mode.c_str());
    return 2;
  }
  {
    // Gone before the exits below, which run no destructors.
    const TempFolder scratch("linepeek-lifecycle");
    if (mode == "reload") {
      reload(scratch.folder());
    } else if (mode == "cycles") {
      cycles(scratch.folder());
    } else if (loadAndAsk(modulePath(), scratch.folder()) && mode == "unload") {
      delete keptModule;
      keptModule = nullptr;
    }
  }

  const int status = failures == 0 ? 0 : 1;
  if (mode == "exit-busy") {
    startBusyThread();
    std::exit(status);
  }
  if (mode == "exit-thread") {
    std::thread([status] { std::exit(status); }).join();
  } else if (mode == "exit-process") {
    endProcess(status);
  }
  return status;
}

} // namespace
} // namespace linepeek::test

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr,
                 "usage: %s return|exit-thread|exit-busy|exit-process|unload|reload|cycles\n",
                 argv[0]);
    return 2;
  }
  try {
    return linepeek::test::run(argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "FAILED: %s\n", error.what());
    return 1;
  }
}
