// Another program holding a file open without read sharing: a request that must open it cannot,
// answers no value and invalidates the cache; once the file is released, the next request reads
// it anew. The file the cache describes keeps its answers while it is unchanged: it is checked
// by name and not opened again.
#include <windows.h>

#include "tests/robustness/real_requests.h"

namespace linepeek::test {
namespace {

class ExclusiveHandle {
public:
  explicit ExclusiveHandle(const std::u16string& path)
      : handle_(CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ, 0,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ExclusiveHandle(const ExclusiveHandle&) = delete;
  ExclusiveHandle& operator=(const ExclusiveHandle&) = delete;
  ~ExclusiveHandle() { release(); }
  bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  void release() {
    if (isOpen()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

private:
  HANDLE handle_;
};

using SharingWin32 = RealRequests;

TEST_F(SharingWin32, FileHeldWithoutReadSharing) {
  const std::u16string cached = temp.write("cached.txt", "one\ntwo\n");
  const std::u16string path = temp.write("held.txt", "six\nten\n");
  EXPECT_EQ(answer(cached, 13), "2");
  ExclusiveHandle holder(cached);
  ASSERT_TRUE(holder.isOpen());
  EXPECT_EQ(answer(cached, 12), "two");
  EXPECT_EQ(answer(cached, 15), "Text");

  ExclusiveHandle other(path);
  ASSERT_TRUE(other.isOpen());
  for (int field : {0, 12, 13, 14, 15}) {
    SCOPED_TRACE(field);
    EXPECT_EQ(answer(path, field), "(-3)");
  }
  EXPECT_FALSE(analysisCache.valid);

  other.release();
  EXPECT_EQ(answer(path, 12), "ten");
  EXPECT_EQ(answer(path, 13), "2");
  EXPECT_TRUE(analysisCache.valid);
}

} // namespace
} // namespace linepeek::test
