// std::bad_alloc at every allocation inside one request, for every field and a few file shapes.
// This binary replaces the global allocation functions with counting ones; armed, they fail the
// n-th allocation once (throwing, or answering null in the nothrow forms).
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "analysis/analysis_cache.h"
#include "plugin/abi.h"
#include "settings/settings.h"
#include "tests/reference/answers.h"
#include "tests/support/fake_files.h"
#include "tests/support/test_util.h"

namespace {

std::atomic<bool> armed{false};
std::atomic<long> untilFailure{0}; // allocations left before the failing one
std::atomic<bool> failed{false};

// False exactly once while armed: for the n-th allocation after arming with n.
bool mayAllocate() {
  if (!armed.load(std::memory_order_relaxed)) return true;
  if (untilFailure.fetch_sub(1, std::memory_order_relaxed) != 1) return true;
  failed.store(true, std::memory_order_relaxed);
  return false;
}

void* allocate(std::size_t size) {
  if (!mayAllocate()) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

// Over-allocates and keeps malloc's pointer just below the aligned block, so that no
// platform-specific aligned allocator is needed.
void* allocateAligned(std::size_t size, std::align_val_t alignment) {
  if (!mayAllocate()) return nullptr;
  std::size_t align = static_cast<std::size_t>(alignment);
  if (align < sizeof(void*)) align = sizeof(void*);
  void* raw = std::malloc(size + align + sizeof(void*));
  if (raw == nullptr) return nullptr;
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
  const std::uintptr_t aligned = (start + align - 1) & ~(std::uintptr_t{align} - 1);
  reinterpret_cast<void**>(aligned)[-1] = raw;
  return reinterpret_cast<void*>(aligned);
}

void releaseAligned(void* block) noexcept {
  if (block != nullptr) std::free(static_cast<void**>(block)[-1]);
}

void* orThrow(void* block) {
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

} // namespace

void* operator new(std::size_t size) {
  return orThrow(allocate(size));
}
void* operator new[](std::size_t size) {
  return orThrow(allocate(size));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return orThrow(allocateAligned(size, alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return orThrow(allocateAligned(size, alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return allocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return allocateAligned(size, alignment);
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
  releaseAligned(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
  releaseAligned(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
  releaseAligned(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
  releaseAligned(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  releaseAligned(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  releaseAligned(block);
}

namespace linepeek::test {
namespace {

constexpr unsigned char Unwritten = 0x5A;
constexpr int MaxLen = 200; // bytes
// Long enough that copying it allocates.
const std::u16string Name = u"C:\\robustness\\allocation-failures.txt";

struct Outcome {
  int code = 0;
  std::array<unsigned char, 512> buffer{};
  bool operator==(const Outcome& other) const {
    return code == other.code && buffer == other.buffer;
  }
};

// One request; with `failAt` above 0 the failAt-th allocation inside it fails. `hitFailure`
// tells whether it did (false: the request allocated fewer times).
Outcome request(int field, long failAt, bool& hitFailure) {
  Outcome outcome;
  outcome.buffer.fill(Unwritten);
  failed = false;
  untilFailure = failAt;
  armed = failAt > 0;
  outcome.code = ContentGetValueW(reinterpret_cast<const WCHAR*>(Name.c_str()), field, 0,
                                  outcome.buffer.data(), MaxLen, 0);
  armed = false;
  hitFailure = failed;
  return outcome;
}

Outcome request(int field) {
  bool unused = false;
  return request(field, 0, unused);
}

// What an undisturbed request answers for the field of a file, as the host's buffer shows it.
// The charset detector's verdict, which the reference leaves open, is the module's own on a
// fresh record.
Outcome expectedOutcome(const std::string& file, int field) {
  reference::RequestSettings config;
  config.pairs = {{u"two", u"2"}};
  config.charset = true;
  const reference::Answer answer =
      reference::inBuffer(reference::answers(file, reference::Entry::File, false,
                                             config)[static_cast<std::size_t>(field)],
                          MaxLen);
  if (!answer.exact) {
    analysisCache = AnalysisCache{};
    return request(field);
  }
  Outcome outcome;
  outcome.code = answer.code;
  outcome.buffer.fill(Unwritten);
  if (answer.code == reference::Numeric64) {
    std::memcpy(outcome.buffer.data(), &answer.number, sizeof answer.number);
  } else if (answer.code == reference::MultipleChoice) {
    const std::string text(answer.text.begin(), answer.text.end());
    std::memcpy(outcome.buffer.data(), text.c_str(), text.size() + 1);
  } else if (answer.code == reference::StringW) {
    std::memcpy(outcome.buffer.data(), answer.text.c_str(), 2 * (answer.text.size() + 1));
  }
  return outcome;
}

enum class CacheState { Cold, SameFile, GroupDone };

struct Shape {
  const char* what;
  std::string bytes;
};

class AllocationFailure : public ::testing::TestWithParam<int> {
protected:
  void SetUp() override {
    fake::reset();
    settings = Settings{};
    // Replacements allocate too, and so does the charset detector.
    settings.replaces[0] = {u"two", u"2"};
    settings.charset = true;
    analysisCache = AnalysisCache{};
  }
};

// For every n from 1 until the request no longer reaches an n-th allocation: a failure answers
// FieldEmpty without touching the buffer, leaves no handle open and the lock free, and the next
// request, unarmed, answers what the plain rules say.
TEST_P(AllocationFailure, EveryAllocationOfARequestMayFail) {
  const int field = GetParam();
  const Shape shapes[] = {
      {"8-bit lines", "one\ntwo\nthree\n"},
      {"UTF-16 LE", hex("FF FE 6F 00 6E 00 65 00 0A 00 74 00 77 00 6F 00 0D 00 0A 00 33 00")},
      {"UTF-8 Cyrillic", hex("EF BB BF D0 B4 D0 B0 0A \"two\" 0A D0 BD D0 B5 D1 82")},
      {"second passes", "a\n" + std::string(99998, 'b')},
      {"NUL bytes", std::string(3000, '\0')},
      {"empty", ""},
  };
  for (const Shape& shape : shapes) {
    for (CacheState state : {CacheState::Cold, CacheState::SameFile, CacheState::GroupDone}) {
      SCOPED_TRACE(std::string(shape.what) + ", state " + std::to_string(static_cast<int>(state)));
      fake::reset();
      fake::putFile(Name, shape.bytes, 3);
      const auto prepare = [&] {
        analysisCache = AnalysisCache{};
        if (state == CacheState::SameFile) request(field == 15 ? 14 : 15);
        if (state == CacheState::GroupDone) request(field);
      };
      const Outcome undisturbed = expectedOutcome(shape.bytes, field);
      prepare();
      ASSERT_EQ(request(field), undisturbed);
      long failAt = 1;
      for (; failAt < 100000; ++failAt) {
        prepare();
        bool hitFailure = false;
        const Outcome armedOutcome = request(field, failAt, hitFailure);
        ASSERT_EQ(fake::counters().openHandles, 0) << "allocation " << failAt;
        ASSERT_EQ(fake::counters().lockDepth, 0) << "allocation " << failAt;
        if (!hitFailure) {
          EXPECT_EQ(armedOutcome, undisturbed);
          break;
        }
        Outcome failedOutcome;
        failedOutcome.code = -3;
        failedOutcome.buffer.fill(Unwritten);
        ASSERT_EQ(armedOutcome, failedOutcome) << "allocation " << failAt;
        ASSERT_EQ(request(field), undisturbed) << "after a failure at allocation " << failAt;
      }
      EXPECT_LT(failAt, 100000) << "the request never completed";
      if (state == CacheState::Cold) {
        EXPECT_GT(failAt, 1) << "a cold request allocates";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllFields, AllocationFailure, ::testing::Range(0, 17));

} // namespace
} // namespace linepeek::test
