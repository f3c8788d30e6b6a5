// What linepeek-cli writes: the output in whole pieces, messages, and the progress line.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace linepeek::cli {

// "linepeek-cli: <message>" on standard error.
void complain(const std::string& message);

// Collects output and writes it in pieces of whole lines, so a console never receives half a
// character. Remembers a failed write and the system's reason for it.
class Output {
public:
  void add(std::string_view text);
  void flush();
  bool failed() const { return failed_; }
  const std::string& failure() const { return failure_; }

private:
  static constexpr std::size_t FlushBytes = 16384;
  std::string pending_;
  bool failed_ = false;
  std::string failure_;
};

// "12345 entries, 2100/s" on stderr, redrawn in place, once a run has taken a second.
class Progress {
public:
  explicit Progress(bool enabled) : enabled_(enabled) {}
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  ~Progress() { clear(); }

  void update(std::size_t done);
  // Removes the line, so that a message or the output can follow.
  void clear();

private:
  using Clock = std::chrono::steady_clock;
  bool enabled_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point lastDraw_{};
  std::size_t drawnLength_ = 0;
};

} // namespace linepeek::cli
