// Bytes from a source that hands them out in pieces (standard input, a file, a worker's pipe),
// read in blocks: exact counts for the workers' messages, delimited names for path lists.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace linepeek::cli {

class InputBuffer {
public:
  // Fills up to `size` bytes and answers the count, 0 at the end, or a negative number on an
  // error.
  using ReadFn = std::function<std::ptrdiff_t(char* buffer, std::size_t size)>;

  explicit InputBuffer(ReadFn read);

  // Exactly `size` bytes into `out`; false when the source ends or fails first.
  bool readExact(char* out, std::size_t size);
  // The bytes up to the next `delimiter` (taken, not kept) or up to the end; false when nothing
  // is left.
  bool readUntil(char delimiter, std::string& out);
  // Whether the source failed, as opposed to ending.
  bool failed() const { return failed_; }

private:
  bool fill();

  ReadFn read_;
  std::vector<char> buffer_;
  std::size_t start_ = 0;
  std::size_t end_ = 0;
  bool failed_ = false;
};

} // namespace linepeek::cli
