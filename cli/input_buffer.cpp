#include "cli/input_buffer.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace linepeek::cli {
namespace {

constexpr std::size_t BlockBytes = 65536;

} // namespace

InputBuffer::InputBuffer(ReadFn read) : read_(std::move(read)), buffer_(BlockBytes) {}

bool InputBuffer::fill() {
  if (failed_) return false;
  const std::ptrdiff_t got = read_(buffer_.data(), buffer_.size());
  if (got < 0) failed_ = true;
  if (got <= 0) return false;
  start_ = 0;
  end_ = static_cast<std::size_t>(got);
  return true;
}

bool InputBuffer::readExact(char* out, std::size_t size) {
  while (size > 0) {
    if (start_ == end_ && !fill()) return false;
    const std::size_t part = std::min(size, end_ - start_);
    std::memcpy(out, buffer_.data() + start_, part);
    start_ += part;
    out += part;
    size -= part;
  }
  return true;
}

bool InputBuffer::readUntil(char delimiter, std::string& out) {
  out.clear();
  bool any = false;
  for (;;) {
    if (start_ == end_ && !fill()) return any;
    any = true;
    const char* begin = buffer_.data() + start_;
    const char* end = buffer_.data() + end_;
    const char* found = std::find(begin, end, delimiter);
    out.append(begin, found);
    start_ = static_cast<std::size_t>(found - buffer_.data());
    if (found != end) {
      ++start_;
      return true;
    }
  }
}

} // namespace linepeek::cli
