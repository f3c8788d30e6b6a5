// Directory entries that only POSIX has or only POSIX refuses: links that lead nowhere, FIFOs,
// sockets, devices, and names that no UTF-8 file name can spell. None may block a request.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "tests/robustness/real_requests.h"

namespace linepeek::test {
namespace {

namespace fs = std::filesystem;

class HostilePosixEntries : public RealRequests {
protected:
  // The answer, or the end of this test binary when the request has not come back in time: a
  // request blocked inside the module holds the value lock, so nothing after it could run.
  static std::string answerWithin(const std::u16string& name, int field) {
    std::packaged_task<std::string()> task([&name, field] { return answer(name, field); });
    std::future<std::string> result = task.get_future();
    std::thread worker(std::move(task));
    if (result.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
      std::fprintf(stderr, "request for field %d of %s blocked\n", field, utf8(name).c_str());
      std::_Exit(EXIT_FAILURE);
    }
    worker.join();
    return result.get();
  }
};

// Each answers like a file that cannot be opened: it exists, so "Type" and "Encoding" do not
// answer -2, but the open fails and every field is empty. The cache is invalidated.
TEST_F(HostilePosixEntries, UnopenableEntriesAnswerEmptyWithoutBlocking) {
  const fs::path folder = temp.folder();
  int socketFd = -1;
  const struct {
    const char* what;
    std::function<fs::path()> make;
  } entries[] = {
      {"dangling symlink",
       [&] {
         fs::create_symlink(folder / "nowhere", folder / "dangling");
         return folder / "dangling";
       }},
      {"symlink loop",
       [&] {
         fs::create_symlink(folder / "loop2", folder / "loop1");
         fs::create_symlink(folder / "loop1", folder / "loop2");
         return folder / "loop1";
       }},
      {"FIFO without a writer",
       [&] {
         EXPECT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
         return folder / "fifo";
       }},
      {"symlink to a FIFO",
       [&] {
         fs::create_symlink(folder / "fifo", folder / "to-fifo");
         return folder / "to-fifo";
       }},
      {"socket",
       [&] {
         socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         const std::string path = (folder / "sock").string();
         EXPECT_LT(path.size(), sizeof address.sun_path);
         path.copy(address.sun_path, sizeof address.sun_path - 1);
         EXPECT_EQ(::bind(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address),
                   0);
         EXPECT_EQ(::listen(socketFd, 1), 0);
         return folder / "sock";
       }},
      {"/dev/zero", [] { return fs::path("/dev/zero"); }},
      {"/dev/null", [] { return fs::path("/dev/null"); }},
      {"/dev/tty", [] { return fs::path("/dev/tty"); }},
      {"symlink to /dev/zero",
       [&] {
         fs::create_symlink("/dev/zero", folder / "zero");
         return folder / "zero";
       }},
  };
  const std::u16string plain = temp.write("plain.txt", "x\n");
  for (const auto& entry : entries) {
    SCOPED_TRACE(entry.what);
    const std::u16string name = entry.make().u16string();
    for (int field = 0; field < 16; ++field) {
      ASSERT_EQ(answerWithin(plain, 13), "1");
      EXPECT_EQ(answerWithin(name, field), "(-3)") << field;
      EXPECT_FALSE(analysisCache.valid) << field;
    }
  }
  if (socketFd >= 0) ::close(socketFd);
}

// An unpaired surrogate has no UTF-8 form: such a name reaches nothing, not even the file whose
// name holds U+FFFD in its place.
TEST_F(HostilePosixEntries, UnpairedSurrogatesReachNothing) {
  temp.write("a\xEF\xBF\xBD.txt", "replacement\n");
  const std::u16string folder = temp.folder().u16string() + u"/";
  for (const std::u16string& leaf :
       {std::u16string(u"a\xD800.txt"), std::u16string(u"a\xDC00.txt"),
        std::u16string(u"a\xDC00\xD800.txt"), std::u16string(u"a.txt\xD83D")}) {
    SCOPED_TRACE(utf8(leaf));
    EXPECT_EQ(answerWithin(folder + leaf, 15), "(-2)");
    EXPECT_EQ(answerWithin(folder + leaf, 14), "(-2)");
    EXPECT_EQ(answerWithin(folder + leaf, 0), "(-3)");
    EXPECT_EQ(answerWithin(folder + leaf, 13), "(-3)");
  }
}

// Kernel attribute files report a size of one page and hold far fewer bytes; their reads end
// early at the end of the file, and the last lines are answered.
TEST_F(HostilePosixEntries, FileSmallerThanItsReportedSize) {
  const fs::path uevent = "/sys/class/net/lo/uevent";
  std::error_code error;
  if (fs::file_size(uevent, error) != 4096 || error) GTEST_SKIP() << "no " << uevent;
  const std::u16string name = uevent.u16string();
  EXPECT_EQ(answerWithin(name, 12), "IFINDEX=1");
  EXPECT_EQ(answerWithin(name, 11), "INTERFACE=lo");
  EXPECT_EQ(answerWithin(name, 0), "INTERFACE=lo");
  EXPECT_EQ(answerWithin(name, 13), "2");
}

// A path of exactly 1,000 UTF-16 units, through folders whose names stay under NAME_MAX bytes,
// with two-byte and four-byte UTF-8 characters.
TEST_F(HostilePosixEntries, ThousandCharacterName) {
  const std::u16string segment =
      std::u16string(60, u'\x00E9') + utf16("\xF0\x9F\x98\x80") + std::u16string(20, u'd');
  std::u16string name = temp.folder().u16string();
  while (name.size() + 1 + segment.size() + 1 + 50 < 1000) {
    name += u"/" + segment;
    fs::create_directory(fs::path(name));
  }
  name += u"/";
  name += std::u16string(1000 - name.size() - 4, u'\x0416') + u".txt";
  ASSERT_EQ(name.size(), 1000u);
  { std::ofstream(fs::path(name), std::ios::binary) << "first\nlast\n"; }
  EXPECT_EQ(answerWithin(name, 0), "first");
  EXPECT_EQ(answerWithin(name, 12), "last");
  EXPECT_EQ(answerWithin(name, 13), "2");
  EXPECT_EQ(answerWithin(name, 15), "Text");
}

} // namespace
} // namespace linepeek::test
