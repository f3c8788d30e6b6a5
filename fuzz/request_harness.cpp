#include "fuzz/request_harness.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis_cache.h"
#include "base/charsets.h"
#include "base/never_destroyed.h"
#include "fuzz/fuzz_support.h"
#include "platform/platform.h"
#include "plugin/abi.h"
#include "settings/settings.h"
#include "settings/settings_testing.h"
#include "tests/reference/answers.h"
#include "tests/support/fake_files.h"

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

namespace linepeek::fuzz {
namespace {

namespace ref = linepeek::reference;

// The module's goal for any request, file and settings: no more than this above what the host
// held before, for the requests of a row together (the cache keeps lines between them).
constexpr std::size_t PeakBound = std::size_t{16} << 20;
// Bytes one request may allocate over its course, freed ones included: twice the peak bound.
// Text that pairs grow without end, or a window copied again and again, goes far past it.
constexpr std::size_t RequestBound = std::size_t{32} << 20;

constexpr unsigned char Untouched = 0xA5;

struct NameChoice {
  const char16_t* name;
  bool admitted; // by the list "txt log"
  ref::Entry entry;
};
constexpr NameChoice Names[] = {{u"/fuzz/f.txt", true, ref::Entry::File},
                                {u"/fuzz/f.TXT", true, ref::Entry::File},
                                {u"/fuzz/f.dat", false, ref::Entry::File},
                                {u"/fuzz/f", false, ref::Entry::File},
                                {u"/fuzz/dir.txt", true, ref::Entry::Folder},
                                {u"/fuzz/missing.txt", true, ref::Entry::Missing}};
constexpr int Units[] = {0, 1, 2, -1};
// Buffer sizes in bytes, as hosts give them; odd ones leave a byte that a UTF-16 answer cannot use.
constexpr int MaxLens[] = {-1, 0, 1, 2, 3, 4, 5, 8, 13, 64, 300, 2048, 2049};
// Bytes after the host's buffer that no answer may touch.
constexpr std::size_t GuardBytes = 16;

// What happens between the two rounds of requests.
enum class Step {
  None,
  Changed,            // the entry becomes a file of the same size, its bytes reversed
  Vanished,           // the entry is removed
  Reload,             // the unload step, then the load step
  CallsWhileUnloaded, // the unload step, calls that must touch nothing, then the load step
};
// The load step reads some thirty settings, which costs about a third of a whole input, so
// the two steps that run it come up half as often as the others.
constexpr Step Steps[] = {Step::None,    Step::Changed,  Step::Vanished, Step::None,
                          Step::Changed, Step::Vanished, Step::Reload,   Step::CallsWhileUnloaded};

linepeek::Settings settingsFor(std::uint8_t switches, RequestShapes shapes) {
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
    // Large: each 'c' becomes 2,045 'd's (as long as a settings value allows), then every 'd'
    // two, and again, so a line of 512 'c's reaches the cut at 4,194,304 units. Small: each 'c'
    // becomes eight 'd's, which no line of a small file takes near the cut.
    const std::size_t grown = shapes == RequestShapes::Large ? 2045 : 2;
    config.replaces[6] = {u"c", std::u16string(grown, u'd')};
    config.replaces[7] = {u"d", u"dd"};
    config.replaces[8] = {u"d", u"dd"};
  }
  config.lineEndings = (switches & 32) != 0;
  config.charset = (switches & 64) != 0;
  return config;
}

// The size the file is repeated or cut to, or 0 to keep it as it is: Small keeps every file;
// Large stretches it to either side of the head window, so that the head and tail second
// passes run, or of the wide window, where a file without LF is one line that both ends hold
// whole.
std::size_t stretchedSize(std::uint8_t stretch, RequestShapes shapes) {
  const auto around = [](std::size_t window, unsigned offset) { return window + offset % 5 - 2; };
  if (shapes == RequestShapes::Small) return 0;
  if (stretch == 255) return ref::WideWindow;
  if (stretch >= 240) return around(ref::HeadWindow, stretch);
  return around(stretch % 2 == 0 ? ref::HeadWindow : ref::WideWindow, stretch / 2u);
}

// The entry as the fake layer holds it, at the given write time.
void putEntry(const std::u16string& name, ref::Entry entry, const std::string& file,
              std::uint64_t writeTime) {
  linepeek::fake::removeEntry(name);
  if (entry == ref::Entry::File) linepeek::fake::putFile(name, file, writeTime);
  if (entry == ref::Entry::Folder) linepeek::fake::putDirectory(name);
}

// Every field as a host's buffer of maxLen bytes shows it; indices past the catalogue at both
// ends name no field.
struct Expected {
  std::array<ref::Answer, ref::FieldCount> fields;
  ref::Answer at(int field) const {
    if (field >= 0 && field < ref::FieldCount) return fields[static_cast<std::size_t>(field)];
    ref::Answer none;
    none.code = ref::NoSuchField;
    return none;
  }
};

Expected expectedFor(const std::string& file, ref::Entry entry, bool filtered,
                     const linepeek::Settings& config, int maxLen) {
  Expected expected{ref::answers(file, entry, filtered, requestOf(config))};
  for (ref::Answer& answer : expected.fields)
    answer = ref::inBuffer(answer, maxLen);
  return expected;
}

// Whether `text` is one of the texts `field` can answer, cut as the buffer cuts it: a choice the
// catalogue lists, cut to maxLen - 1 bytes, or for "Charset" one of its names, cut to
// maxLen / 2 - 1 units. A line field has no list: any text passes.
bool isListed(int field, const std::u16string& text, int maxLen) {
  char name[64];
  char units[4096];
  const int type = ContentGetSupportedField(field, name, units, sizeof units);
  if (type == ref::StringW && std::string_view(name) == linepeek::CharsetFieldName) {
    const auto keep = static_cast<std::size_t>(std::max(maxLen / 2 - 1, 0));
    for (const linepeek::Charset& charset : linepeek::Charsets) {
      const std::string cut = std::string(charset.name).substr(0, keep);
      if (std::u16string(cut.begin(), cut.end()) == text) return true;
    }
    return false;
  }
  if (type != ref::MultipleChoice) return type == ref::StringW;
  const std::string choices = std::string("|") + units + "|";
  const std::string cut(text.begin(), text.end());
  for (std::size_t at = 0; at + 1 < choices.size(); at = choices.find('|', at + 1)) {
    const std::size_t end = choices.find('|', at + 1);
    const std::string choice = choices.substr(at + 1, end - at - 1);
    if (choice.substr(0, static_cast<std::size_t>(std::max(maxLen - 1, 0))) == cut) return true;
  }
  return false;
}

class Requests {
public:
  Requests(const std::uint8_t* data, std::size_t size, const std::u16string& name, int unit,
           int maxLen)
      : data_(data), size_(size), name_(name), unit_(unit), maxLen_(maxLen) {}

  [[noreturn]] void fail(const std::string& what) const {
    linepeek::fuzz::fail(data_, size_, what);
  }

  // Every field and the indices just past the catalogue, in turn, each checked on its own.
  void round(const Expected& expected, int number) const {
    const std::size_t liveBefore = usage.live;
    usage.peak = usage.live;
    for (int step = -1; step <= ref::FieldCount; ++step) {
      const int field = number == 1 ? step : ref::FieldCount - 1 - step;
      const std::string where =
          "field " + std::to_string(field) + ", round " + std::to_string(number) + ": ";
      const std::size_t bytes = bufferBytes(field);
      std::vector<unsigned char> buffer(bytes + GuardBytes, Untouched);
      const std::size_t allocatedBefore = usage.allocated;
      const int answer = ask(field, buffer);
      const std::size_t allocated = usage.allocated - allocatedBefore;
      if (allocated > RequestBound)
        fail(where + "allocated " + std::to_string(allocated) + " bytes");
      if (usage.peak - liveBefore > PeakBound)
        fail(where + "held " + std::to_string(usage.peak - liveBefore) + " bytes at once");
      if (linepeek::fake::counters().openHandles != 0) fail(where + "left the file open");
      if (linepeek::fake::counters().lockDepth != 0) fail(where + "kept the value lock");
      check(where, field, expected.at(field), answer, bytes, buffer);
    }
  }

  // After the unload step no call may touch the host's buffer or the module's records.
  void whileUnloaded() const {
    for (int field = -1; field <= ref::FieldCount; ++field) {
      std::vector<unsigned char> buffer(bufferBytes(field) + GuardBytes, Untouched);
      const int answer = ask(field, buffer);
      const std::string where = "field " + std::to_string(field) + " while unloaded: ";
      if (answer != ref::FieldEmpty) fail(where + "answered " + std::to_string(answer));
      if (!std::all_of(buffer.begin(), buffer.end(),
                       [](unsigned char b) { return b == Untouched; }))
        fail(where + "wrote into the buffer");
    }
    char name[8] = {};
    char units[8] = {};
    if (ContentGetSupportedField(0, name, units, sizeof units) != ref::NoMoreFields ||
        name[0] != 0 || units[0] != 0)
      fail("the catalogue answered while unloaded");
  }

private:
  // Exactly the bytes the host promises (maxLen, or the count's 8 whatever maxLen says); the
  // buffers get guard bytes after them.
  std::size_t bufferBytes(int field) const {
    return field == ref::LineCountField ? 8 : static_cast<std::size_t>(std::max(maxLen_, 0));
  }

  int ask(int field, std::vector<unsigned char>& buffer) const {
    return ContentGetValueW(reinterpret_cast<const WCHAR*>(name_.c_str()), field, unit_,
                            buffer.data(), maxLen_, 0);
  }

  void check(const std::string& where, int field, const ref::Answer& e, int answer,
             std::size_t bytes, const std::vector<unsigned char>& buffer) const {
    for (std::size_t i = bytes; i < buffer.size(); ++i) {
      if (buffer[i] != Untouched) fail(where + "wrote past the host's buffer");
    }
    if (e.exact ? answer != e.code : answer != e.code && answer != ref::FieldEmpty)
      fail(where + "answered " + std::to_string(answer) + ", expected " + std::to_string(e.code));
    if (answer != ref::StringW && answer != ref::MultipleChoice && answer != ref::Numeric64) {
      for (unsigned char b : buffer) {
        if (b != Untouched) fail(where + "wrote into the buffer of a failed answer");
      }
      return;
    }
    if (answer == ref::Numeric64) {
      std::int64_t number = 0;
      std::memcpy(&number, buffer.data(), sizeof number);
      if (number != e.number)
        fail(where + "line count " + std::to_string(number) + ", expected " +
             std::to_string(e.number));
      return;
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
    if (length == capacity) fail(where + "no terminating zero");
    for (std::size_t i = (length + 1) * unitBytes; i < buffer.size(); ++i) {
      if (buffer[i] != Untouched) fail(where + "wrote past the terminating zero");
    }
    std::u16string got;
    for (std::size_t i = 0; i < length; ++i)
      got.push_back(static_cast<char16_t>(unitAt(i)));
    // The detector's verdict, cut as the buffer cuts it, is one of the field's texts.
    if (!e.exact && !isListed(field, got, maxLen_))
      fail(where + "gave '" + show(got) + "', which is none of its texts");
    if (e.exact && got != e.text)
      fail(where + "gave '" + show(got) + "', expected '" + show(e.text) + "'");
  }

  const std::uint8_t* data_;
  std::size_t size_;
  const std::u16string& name_;
  int unit_;
  int maxLen_;
};

// The host's load step with the input's settings in place of the file's.
void load(const linepeek::Settings& config) {
  linepeek::onLoad();
  linepeek::settings = config;
}

} // namespace

void runRequests(const std::uint8_t* data, std::size_t size, RequestShapes shapes) {
  Input input(data, size);
  const std::uint8_t switches = input.byte();
  const NameChoice name = Names[input.pick(std::size(Names))];
  const int unit = Units[input.pick(std::size(Units))];
  const int maxLen = MaxLens[input.pick(std::size(MaxLens))];
  const std::size_t stretch = stretchedSize(input.byte(), shapes);
  const Step step = Steps[input.pick(std::size(Steps))];

  std::string file(input.rest());
  if (stretch != 0 && !file.empty()) {
    while (file.size() < stretch)
      file += file;
    file.resize(stretch);
  }
  const linepeek::Settings config = settingsFor(switches, shapes);
  const bool filtered = !config.extensions.empty() && !name.admitted;
  const std::u16string path = name.name;

  linepeek::fake::reset();
  putEntry(path, name.entry, file, 1);
  static const bool loaded = (linepeek::onLoad(), true);
  (void)loaded;
  linepeek::settings = config;
  const Requests requests(data, size, path, unit, maxLen);
  const Expected expected = expectedFor(file, name.entry, filtered, config, maxLen);
  requests.round(expected, 1);
  switch (step) {
  case Step::None:
    requests.round(expected, 2);
    break;
  case Step::Reload:
  case Step::CallsWhileUnloaded:
    linepeek::onUnload();
    if (step == Step::CallsWhileUnloaded) requests.whileUnloaded();
    load(config);
    requests.round(expected, 2);
    break;
  case Step::Changed: {
    // Only the later write time tells the cache that the file is another one.
    const std::string reversed(file.rbegin(), file.rend());
    putEntry(path, ref::Entry::File, reversed, 2);
    requests.round(expectedFor(reversed, ref::Entry::File, filtered, config, maxLen), 2);
    break;
  }
  case Step::Vanished:
    putEntry(path, ref::Entry::Missing, file, 0);
    requests.round(expectedFor(file, ref::Entry::Missing, filtered, config, maxLen), 2);
    break;
  }
  // Everything the module and the fake layer hold goes, as at the unload step, so that the
  // allocations of each input balance: libFuzzer would take the records of the last input for a
  // leak of this one, and run it again to look. The load step itself runs only where the
  // lifecycle step asks for it.
  linepeek::renew(linepeek::settings);
  linepeek::renew(linepeek::analysisCache);
  linepeek::fake::reset();
}

} // namespace linepeek::fuzz
