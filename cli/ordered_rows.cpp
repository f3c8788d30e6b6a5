#include "cli/ordered_rows.h"

#include <algorithm>
#include <utility>

namespace linepeek::cli {
namespace {

// Entries a client takes at a time: few enough that the last batches spread over the clients,
// many enough that the pipe writes and reads and the wake-ups of a batch cost little beside its
// requests (over 10,000 small files with -j 2, batches of 32 took 3.4 times the context switches
// of batches of 128 and about a tenth more processor time).
constexpr std::size_t MaxBatch = 128;

} // namespace

OrderedRows::OrderedRows(std::size_t capacity, std::size_t clients, EmitFn emit,
                         ProgressFn progress)
    : capacity_(std::max<std::size_t>(capacity, 1)), clients_(std::max<std::size_t>(clients, 1)),
      emit_(std::move(emit)), progress_(std::move(progress)) {}

void OrderedRows::awaitAnswer(std::unique_lock<std::mutex>& lock, std::size_t seen) {
  // The oldest row may have been answered while the rows were being emitted, unlocked.
  rowAnswered_.wait(lock, [&] {
    return stopped_ || answered_ != seen || (!rows_.empty() && rows_.front().done);
  });
}

bool OrderedRows::add(Entry entry) {
  std::unique_lock lock(mutex_);
  emitReady(lock);
  while (!stopped_ && rows_.size() >= capacity_) {
    awaitAnswer(lock, answered_);
    emitReady(lock);
  }
  if (stopped_) return false;
  rows_.push_back({std::move(entry), {}, false});
  workWaiting_.notify_one();
  return true;
}

bool OrderedRows::finish(std::string& error) {
  std::unique_lock lock(mutex_);
  closed_ = true;
  workWaiting_.notify_all();
  for (;;) {
    emitReady(lock);
    if (stopped_ || rows_.empty()) break;
    // Any batch answered wakes this thread, so that the progress line moves on while an early
    // row is slow.
    awaitAnswer(lock, answered_);
  }
  error = error_;
  return !failed_;
}

void OrderedRows::emitAnswered() {
  std::unique_lock lock(mutex_);
  emitReady(lock);
}

void OrderedRows::emitReady(std::unique_lock<std::mutex>& lock) {
  std::vector<Row> ready;
  while (!rows_.empty() && rows_.front().done) {
    ready.push_back(std::move(rows_.front()));
    rows_.pop_front();
    --taken_;
  }
  const std::size_t answered = answered_;
  lock.unlock();
  for (Row& row : ready)
    emit_(row);
  progress_(answered);
  lock.lock();
}

std::vector<Row*> OrderedRows::take(bool wait) {
  std::unique_lock lock(mutex_);
  if (wait) workWaiting_.wait(lock, [&] { return stopped_ || closed_ || rows_.size() > taken_; });
  const std::size_t waiting = rows_.size() - taken_;
  if (stopped_ || waiting == 0) return {};
  const std::size_t count = std::clamp<std::size_t>(waiting / clients_, 1, MaxBatch);
  std::vector<Row*> batch;
  for (std::size_t i = 0; i < count; ++i)
    batch.push_back(&rows_[taken_ + i]);
  taken_ += count;
  return batch;
}

void OrderedRows::complete(const std::vector<Row*>& batch) {
  {
    std::lock_guard held(mutex_);
    for (Row* row : batch)
      row->done = true;
    answered_ += batch.size();
  }
  rowAnswered_.notify_all();
}

void OrderedRows::fail(std::string message) {
  {
    std::lock_guard held(mutex_);
    if (!failed_) error_ = std::move(message);
    failed_ = stopped_ = true;
  }
  workWaiting_.notify_all();
  rowAnswered_.notify_all();
}

void OrderedRows::stop() {
  {
    std::lock_guard held(mutex_);
    stopped_ = true;
  }
  workWaiting_.notify_all();
  rowAnswered_.notify_all();
}

} // namespace linepeek::cli
