// The worker side of -j: one instance of the module in a process of its own.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "cli/exit_status.h"
#include "cli/host_module.h"
#include "cli/output.h"
#include "cli/worker_client.h"
#include "cli/worker_protocol.h"

namespace linepeek::cli {
namespace {

// Batches read ahead on a thread of their own: the parent sends the next batch before it reads
// this one's answers, and neither write may wait for the other, whatever their sizes.
class BatchReader {
public:
  explicit BatchReader(InputBuffer& in) : in_(in), thread_([this] { readAll(); }) {}
  BatchReader(const BatchReader&) = delete;
  BatchReader& operator=(const BatchReader&) = delete;
  // Closes standard output first: the parent then sees the answers end, finishes this worker
  // and closes its input, which ends the read this thread may wait in. So the join returns on
  // every path, an exception from the module included.
  ~BatchReader() {
    closeOutput();
    thread_.join();
  }

  // The next batch; false once the input ended or broke.
  bool next(std::vector<std::u16string>& names) {
    std::unique_lock held(lock_);
    arrived_.wait(held, [&] { return ended_ || !batches_.empty(); });
    if (batches_.empty()) return false;
    names = std::move(batches_.front());
    batches_.pop_front();
    return true;
  }
  bool broken() {
    std::lock_guard held(lock_);
    return broken_;
  }

private:
  void readAll() {
    for (;;) {
      std::vector<std::u16string> names;
      const BatchRead read = decodeBatch(in_, names);
      std::lock_guard held(lock_);
      if (read == BatchRead::Batch) batches_.push_back(std::move(names));
      ended_ = read != BatchRead::Batch;
      broken_ = read == BatchRead::Broken;
      arrived_.notify_one();
      if (ended_) return;
    }
  }

  InputBuffer& in_;
  std::mutex lock_;
  std::condition_variable arrived_;
  std::deque<std::vector<std::u16string>> batches_;
  bool ended_ = false;
  bool broken_ = false;
  std::thread thread_; // last: it starts once the members it uses exist
};

} // namespace

int serveWorker() {
  InputBuffer in(readInput);
  WorkerHello hello;
  if (!decodeHello(in, hello)) {
    complain(std::string(WorkerArgument) + " is for linepeek-cli's own use");
    return exitCode(ExitStatus::Error);
  }
  std::string error;
  const std::optional<HostModule> module = HostModule::load(hello.modulePath, error);
  if (!writeText(Stream::Out, encodeReady(module ? std::string() : error)) || !module)
    return exitCode(ExitStatus::Error);

  BatchReader reader(in);
  std::vector<std::u16string> names;
  std::string reply;
  while (reader.next(names)) {
    reply.clear();
    for (const std::u16string& name : names)
      for (const Value& value : module->values(name, hello.requests))
        encodeValue(reply, value);
    // A failed write means that the parent has gone, and with it the input.
    if (!writeText(Stream::Out, reply)) return exitCode(ExitStatus::Error);
  }
  return exitCode(reader.broken() ? ExitStatus::Error : ExitStatus::Ok);
}

} // namespace linepeek::cli
