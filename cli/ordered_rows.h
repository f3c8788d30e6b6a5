// The rows between the walk and the printer: entries wait here for their answers, and leave in
// the order they came, whichever client answered them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "cli/listing.h"
#include "cli/value.h"

namespace linepeek::cli {

struct Row {
  Entry entry;
  std::vector<Value> values; // one per request, once answered
  bool done = false;
};

// Shared by the thread that adds entries and emits rows, and the threads that answer them. Every
// wait ends on an event: a row answered, a batch to take, a failure or the end.
class OrderedRows {
public:
  using EmitFn = std::function<void(Row&)>;
  using ProgressFn = std::function<void(std::size_t answered)>;

  // Holds at most `capacity` rows, answered or not; `clients` take batches of a fair share.
  OrderedRows(std::size_t capacity, std::size_t clients, EmitFn emit, ProgressFn progress);

  // The adding thread. add() emits the rows that are ready and, while the buffer is full,
  // waits for the oldest to be answered; false once the rows failed (the entry is dropped).
  bool add(Entry entry);
  // Waits for every row and emits it. False, with the first failure in `error`, when a client
  // failed: the rows before the first one left unanswered were emitted, none from there on.
  bool finish(std::string& error);
  // After the answering threads ended: emits the rows they answered before they stopped, up to
  // the first row left unanswered.
  void emitAnswered();

  // The answering threads. The next entries to answer, oldest first: none when no entry waits
  // (with `wait`, when none will come) or the rows stopped. Rows stay where they are until
  // complete() hands them back answered.
  std::vector<Row*> take(bool wait);
  void complete(const std::vector<Row*>& batch);
  // Records the first failure and stops: takers get nothing more, the adding thread wakes.
  void fail(std::string message);
  // Stops without a failure, so that every waiting thread returns.
  void stop();

private:
  void emitReady(std::unique_lock<std::mutex>& lock);
  // Waits for a batch answered after `seen` rows were, the oldest row answered, or the stop.
  void awaitAnswer(std::unique_lock<std::mutex>& lock, std::size_t seen);

  const std::size_t capacity_;
  const std::size_t clients_;
  const EmitFn emit_;
  const ProgressFn progress_;

  std::mutex mutex_; // guards what follows
  std::condition_variable workWaiting_;
  std::condition_variable rowAnswered_;
  std::deque<Row> rows_;  // oldest first; a deque keeps each row in place while the ends change
  std::size_t taken_ = 0; // the first `taken_` rows are with a client or answered
  std::size_t answered_ = 0;
  bool closed_ = false;  // no more entries come
  bool stopped_ = false; // failed, or the pool goes
  bool failed_ = false;
  std::string error_;
};

} // namespace linepeek::cli
