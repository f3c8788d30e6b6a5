#include "cli/output.h"

#include <algorithm>
#include <cstdio>

#include "cli/system.h"

namespace linepeek::cli {

void complain(const std::string& message) {
  writeText(Stream::Err, "linepeek-cli: " + message + "\n");
}

void Output::add(std::string_view text) {
  pending_ += text;
  if (pending_.size() >= FlushBytes) flush();
}

void Output::flush() {
  // After a failed write nothing more is tried: the reason stays that of the first failure.
  if (!pending_.empty() && !failed_) {
    std::string reason;
    if (!writeText(Stream::Out, pending_, &reason)) {
      failed_ = true;
      failure_ = reason;
    }
  }
  pending_.clear();
}

void Progress::update(std::size_t done) {
  if (!enabled_) return;
  const auto now = Clock::now();
  if (now - start_ < std::chrono::seconds(1) || now - lastDraw_ < std::chrono::milliseconds(200))
    return;
  lastDraw_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  char line[96];
  std::snprintf(line, sizeof line, "\r%zu entries, %.0f/s", done,
                static_cast<double>(done) / seconds);
  std::string text = line;
  // Pad over a longer previous line; no escape sequences, so any console shows it right.
  const std::size_t length = text.size();
  if (length < drawnLength_) text.append(drawnLength_ - length, ' ');
  drawnLength_ = std::max(drawnLength_, length);
  writeText(Stream::Err, text);
}

void Progress::clear() {
  if (drawnLength_ == 0) return;
  writeText(Stream::Err, "\r" + std::string(drawnLength_, ' ') + "\r");
  drawnLength_ = 0;
}

} // namespace linepeek::cli
