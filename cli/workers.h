// The answers of the module for a stream of entries, from one instance of the module or from
// several at once, each in a worker process of its own.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "cli/fields.h"
#include "cli/host_module.h"
#include "cli/input_buffer.h"
#include "cli/listing.h"
#include "cli/value.h"

namespace linepeek::cli {

// The one argument that starts this program as a worker (serveWorker).
inline constexpr std::string_view WorkerArgument = "--module-worker";

// A worker: reads from standard input the module's path and the fields to ask, loads the
// module, answers that it is ready (or why it is not), then answers batches of file names on
// standard output until its input ends. Answers the exit status.
int serveWorker();

// Asks for the `requests` of every entry added and hands each entry with its answers, one per
// request, to `emit`, in the order the entries were added, on the thread that adds them.
//
// With one job, `module` answers at once on that thread. With more, each job is a worker
// process that loads the module from `modulePath`, as this process did: each has its own
// instance of the module (an instance answers one request at a time) and every instance reads
// the same settings file, the one beside that module. A worker starts when work first waits for
// it. `progress` hears the count of entries answered by all jobs.
class RowPool {
public:
  using EmitFn = std::function<void(const Entry&, std::vector<Value>&)>;
  using ProgressFn = std::function<void(std::size_t answered)>;

  RowPool(const HostModule& module, std::string modulePath,
          const std::vector<SelectedField>& requests, int jobs, EmitFn emit, ProgressFn progress);
  RowPool(const RowPool&) = delete;
  RowPool& operator=(const RowPool&) = delete;
  ~RowPool();

  // May wait while many answered rows wait for an earlier one.
  void add(Entry entry);
  // Waits for every row. False, with a message in `error`, when a worker failed: the rows before
  // the first that it did not answer were emitted, none from there on.
  bool finish(std::string& error);

private:
  struct Slot {
    Entry entry;
    std::vector<Value> values;
    bool done = false;
  };

  void work();
  // The next entries for a worker, oldest first; none when no entry waits (with `wait`, when
  // none will come) or the pool stopped.
  std::vector<Slot*> takeBatch(bool wait);
  bool startWorker(ChildProcess& child, InputBuffer& answers);
  void fail(std::string message);
  void emitReady(std::unique_lock<std::mutex>& lock);
  void stop();

  const HostModule& module_;
  const std::string modulePath_;
  const std::vector<std::pair<int, int>> requests_; // field index and unit index
  const std::size_t jobs_;
  const EmitFn emit_;
  const ProgressFn progress_;

  std::mutex mutex_; // guards what follows
  std::condition_variable workWaiting_;
  std::condition_variable rowDone_;
  std::deque<Slot> slots_; // rows not yet emitted, oldest first; the first `taken_` are taken
  std::size_t taken_ = 0;
  std::size_t answered_ = 0;
  bool closed_ = false;  // no more entries come
  bool stopped_ = false; // a worker failed, or the pool goes
  std::string error_;

  std::vector<std::thread> threads_;
};

} // namespace linepeek::cli
