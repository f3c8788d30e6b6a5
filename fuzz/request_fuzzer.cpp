// Whole requests through ContentGetValueW on a real file: every field, twice in different orders,
// each answer and buffer checked against the plain rules, and the memory each request allocates
// checked against a bound that holds for any file and settings. The first bytes choose the
// settings (pairs that lengthen the text among them, whether "Line endings" and "Charset" are
// offered), the
// file name, the unit, maxLen and whether the file is stretched past the head window or to about
// the wide window, one line of 4 MiB when it holds no LF; the rest is the file.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "analysis/analysis_cache.h"
#include "analysis/line_counter.h"
#include "fuzz/fuzz_support.h"
#include "platform/platform.h"
#include "plugin/abi.h"
#include "settings/settings.h"
#include "settings/settings_testing.h"
#include "tests/reference/answers.h"
#include "tests/support/temp_folder.h"

// Every allocation of the process goes through these, so that each request's can be counted.
namespace {

struct Usage {
  std::size_t live = 0;      // bytes allocated and not yet released
  std::size_t peak = 0;      // the most live bytes since the last reset
  std::size_t allocated = 0; // bytes ever allocated
};
Usage usage;

// Room before each block for its size, keeping malloc's alignment.
constexpr std::size_t SizeRoom = alignof(std::max_align_t);

void* allocate(std::size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + SizeRoom));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &size, sizeof size);
  usage.live += size;
  usage.allocated += size;
  usage.peak = std::max(usage.peak, usage.live);
  return block + SizeRoom;
}

void release(void* pointer) noexcept {
  if (pointer == nullptr) return;
  unsigned char* block = static_cast<unsigned char*>(pointer) - SizeRoom;
  std::size_t size = 0;
  std::memcpy(&size, block, sizeof size);
  usage.live -= size;
  std::free(block);
}

void* allocateOrThrow(std::size_t size) {
  void* block = allocate(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

} // namespace

void* operator new(std::size_t size) {
  return allocateOrThrow(size);
}
void* operator new[](std::size_t size) {
  return allocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void operator delete(void* pointer) noexcept {
  release(pointer);
}
void operator delete[](void* pointer) noexcept {
  release(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
  release(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
  release(pointer);
}
void operator delete(void* pointer, const std::nothrow_t&) noexcept {
  release(pointer);
}
void operator delete[](void* pointer, const std::nothrow_t&) noexcept {
  release(pointer);
}

namespace {

namespace ref = linepeek::reference;

// The module's goal for any request, file and settings: no more than this above what the host
// held before, for the requests of a row together (the cache keeps lines between them).
constexpr std::size_t PeakBound = std::size_t{16} << 20;
// Bytes one request may allocate over its course, freed ones included: twice the peak bound.
// Text that pairs grow without end, or a window copied again and again, goes far past it.
constexpr std::size_t RequestBound = std::size_t{32} << 20;
using linepeek::fuzz::Input;

constexpr unsigned char Untouched = 0xA5;

const std::filesystem::path& folder() {
  // A static with a destructor rather than an atexit handler: the handler would run after the
  // path it needs had already been destroyed, and leave the folder behind.
  static const linepeek::test::TempFolder scratch("linepeek-fuzz-request");
  static const bool ready = [] {
    std::filesystem::create_directories(scratch.folder() / "dir.txt");
    linepeek::platform::createValueLock();
    linepeek::selectCountKernel();
    return true;
  }();
  (void)ready;
  return scratch.folder();
}

struct NameChoice {
  const char* name;
  bool admitted; // by the list "txt log"
  enum { File, Directory, Missing } entry;
};
constexpr NameChoice Names[] = {
    {"f.txt", true, NameChoice::File},        {"f.TXT", true, NameChoice::File},
    {"f.dat", false, NameChoice::File},       {"f", false, NameChoice::File},
    {"dir.txt", true, NameChoice::Directory}, {"missing.txt", true, NameChoice::Missing}};
constexpr int Units[] = {0, 1, 2, -1};
// Buffer sizes in bytes, as hosts give them; odd ones leave a byte that a UTF-16 answer cannot use.
constexpr int MaxLens[] = {-1, 0, 1, 2, 3, 4, 5, 8, 13, 64, 300, 2048, 2049};
// Bytes after the host's buffer that no answer may touch.
constexpr std::size_t GuardBytes = 16;

// Open descriptors of this process where the system lists them (Linux), else -1: every request
// must close what it opened.
int openDescriptors() {
  std::error_code error;
  std::filesystem::directory_iterator listing("/proc/self/fd", error);
  if (error) return -1;
  int count = 0;
  for (auto it = listing; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) return -1;
    ++count;
  }
  return count;
}

// Whether `text` is one of the choices the catalogue lists for `field`, cut to maxLen - 1 bytes.
bool isChoice(int field, const std::u16string& text, int maxLen) {
  char name[64];
  char units[4096];
  if (ContentGetSupportedField(field, name, units, sizeof units) != ref::MultipleChoice)
    return false;
  const std::string choices = std::string("|") + units + "|";
  const std::string cut(text.begin(), text.end());
  for (std::size_t at = 0; at + 1 < choices.size(); at = choices.find('|', at + 1)) {
    const std::size_t end = choices.find('|', at + 1);
    const std::string choice = choices.substr(at + 1, end - at - 1);
    if (choice.substr(0, static_cast<std::size_t>(std::max(maxLen - 1, 0))) == cut) return true;
  }
  return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path& root = folder();
  Input input(data, size);
  const std::uint8_t switches = input.byte();
  const NameChoice name = Names[input.pick(std::size(Names))];
  const int unitIndex = Units[input.pick(std::size(Units))];
  const int maxLen = MaxLens[input.pick(std::size(MaxLens))];
  const std::uint8_t stretch = input.byte();
  const auto fail = [&](const std::string& what) { linepeek::fuzz::fail(data, size, what); };

  linepeek::Settings config;
  linepeek::loadDefaults(config);
  config.skipEmpty = (switches & 1) != 0;
  if ((switches & 2) != 0) config.extensions = u"txt log";
  if ((switches & 4) != 0) {
    config.replaces[0] = {u"a", u""};
    config.replaces[1] = {u"b", u"bb"};
    config.replaces[4] = {u"  ", u" "};
  }
  if ((switches & 8) != 0) {
    config.rusWordLen = 3;
    config.oemPercent = 0;
  }
  if ((switches & 16) != 0) {
    // Each 'c' becomes 2,045 'd's (as long as a settings value allows), then every 'd' two, and
    // again: a line of 512 'c's reaches the cut at 4,194,304 units.
    config.replaces[6] = {u"c", std::u16string(2045, u'd')};
    config.replaces[7] = {u"d", u"dd"};
    config.replaces[8] = {u"d", u"dd"};
  }
  config.lineEndings = (switches & 32) != 0;
  config.charset = (switches & 64) != 0;
  linepeek::settings = config;

  // Past the head window now and then, so the head and tail second passes run; rarely to the
  // wide window, where a file without LF is one line that both ends hold whole.
  std::string file(input.rest());
  if (stretch >= 240 && !file.empty()) {
    const std::size_t target = stretch == 255 ? 4194304 : 65536 + (stretch % 5) - 2;
    while (file.size() < target)
      file += file;
    file.resize(target);
  }
  const std::filesystem::path path = root / name.name;
  if (name.entry == NameChoice::File) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
  }
  // Rewritten files may keep their size and time; start each input from an empty record, holding
  // nothing of the last one.
  linepeek::analysisCache = linepeek::AnalysisCache{};

  const bool filtered = !config.extensions.empty() && !name.admitted;
  const ref::Entry entry = name.entry == NameChoice::File        ? ref::Entry::File
                           : name.entry == NameChoice::Directory ? ref::Entry::Folder
                                                                 : ref::Entry::Missing;
  // As the host's buffer shows them, made before the count of what the requests hold starts.
  std::array<ref::Answer, ref::FieldCount> expected =
      ref::answers(file, entry, filtered, linepeek::fuzz::requestOf(config));
  for (ref::Answer& answer : expected)
    answer = ref::inBuffer(answer, maxLen);

  const std::u16string fileName = path.u16string();
  const int descriptorsBefore = openDescriptors();
  const std::size_t liveBefore = usage.live;
  usage.peak = usage.live;
  for (int round = 0; round < 2; ++round) {
    for (int step = 0; step < ref::FieldCount; ++step) {
      const int field = round == 0 ? step : ref::FieldCount - 1 - step;
      const ref::Answer& e = expected[static_cast<std::size_t>(field)];
      const std::string where =
          "field " + std::to_string(field) + ", round " + std::to_string(round + 1) + ": ";
      // Exactly the bytes the host promises (maxLen, or the count's 8 whatever maxLen says),
      // then guard bytes.
      const std::size_t bytes =
          field == ref::LineCountField ? 8 : static_cast<std::size_t>(std::max(maxLen, 0));
      std::vector<unsigned char> buffer(bytes + GuardBytes, Untouched);
      const std::size_t allocatedBefore = usage.allocated;
      const int answer = ContentGetValueW(reinterpret_cast<const WCHAR*>(fileName.c_str()), field,
                                          unitIndex, buffer.data(), maxLen, 0);
      const std::size_t allocated = usage.allocated - allocatedBefore;
      if (allocated > RequestBound)
        fail(where + "allocated " + std::to_string(allocated) + " bytes");
      if (usage.peak - liveBefore > PeakBound)
        fail(where + "held " + std::to_string(usage.peak - liveBefore) + " bytes at once");
      for (std::size_t i = bytes; i < buffer.size(); ++i) {
        if (buffer[i] != Untouched) fail(where + "wrote past the host's buffer");
      }
      if (e.exact ? answer != e.code : answer != e.code && answer != ref::FieldEmpty)
        fail(where + "answered " + std::to_string(answer) + ", expected " + std::to_string(e.code));
      if (answer != ref::StringW && answer != ref::MultipleChoice && answer != ref::Numeric64) {
        for (unsigned char b : buffer) {
          if (b != Untouched) fail(where + "wrote into the buffer of a failed answer");
        }
        continue;
      }
      if (answer == ref::Numeric64) {
        std::int64_t number = 0;
        std::memcpy(&number, buffer.data(), sizeof number);
        if (number != e.number)
          fail(where + "line count " + std::to_string(number) + ", expected " +
               std::to_string(e.number));
        continue;
      }
      // The text, one zero, and nothing written after it.
      const bool wide = answer == ref::StringW;
      const std::size_t unitBytes = wide ? 2 : 1;
      const std::size_t capacity = bytes / unitBytes;
      const auto unitAt = [&](std::size_t i) {
        return wide ? static_cast<unsigned>(buffer[2 * i] | buffer[2 * i + 1] << 8)
                    : static_cast<unsigned>(buffer[i]);
      };
      std::size_t length = 0;
      while (length < capacity && unitAt(length) != 0)
        ++length;
      if (length == capacity) {
        fail(where + "no terminating zero");
        continue;
      }
      for (std::size_t i = (length + 1) * unitBytes; i < buffer.size(); ++i) {
        if (buffer[i] != Untouched) fail(where + "wrote past the terminating zero");
      }
      std::u16string got;
      for (std::size_t i = 0; i < length; ++i)
        got.push_back(static_cast<char16_t>(unitAt(i)));
      // The detector's verdict, cut as the buffer cuts it, is one of the field's choices.
      if (!e.exact && answer == ref::MultipleChoice && !isChoice(field, got, maxLen))
        fail(where + "gave '" + linepeek::fuzz::show(got) + "', which is none of its choices");
      if (!e.exact) continue;
      if (got != e.text)
        fail(where + "gave '" + linepeek::fuzz::show(got) + "', expected '" +
             linepeek::fuzz::show(e.text) + "'");
    }
  }
  if (openDescriptors() != descriptorsBefore) fail("a request left a file open");
  return 0;
}
