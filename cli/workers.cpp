#include "cli/workers.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "cli/input_buffer.h"
#include "cli/system.h"

namespace linepeek::cli {
namespace {

// The first bytes to a worker, so that a worker started by hand refuses what it is given.
constexpr std::string_view Greeting = "linepeek-cli worker 1\n";
// Entries a job takes at a time: few enough that the last batches spread over the jobs, many
// enough that the pipe writes and reads and the wake-ups of a batch cost little beside its
// requests (over 10,000 small files with -j 2, batches of 32 took 3.4 times the context switches
// of batches of 128 and about a tenth more processor time).
constexpr std::size_t MaxBatch = 128;
// Batches a worker holds at a time.
constexpr std::size_t BatchesAhead = 2;
// Rows that may wait per job, answered or not, for the oldest one to be emitted.
constexpr std::size_t RowsPerJob = 4 * MaxBatch;
// Bounds on what a worker or its parent accepts, far above what either sends.
constexpr std::uint32_t MaxMessageBytes = 1U << 24;
constexpr std::uint32_t MaxBatchEntries = 1U << 16;

// Messages are plain bytes in this machine's order: both ends are this same program.
template <typename Number> void appendNumber(std::string& out, Number number) {
  char bytes[sizeof number];
  std::memcpy(bytes, &number, sizeof number);
  out.append(bytes, sizeof number);
}

template <typename Number> bool readNumber(InputBuffer& in, Number& number) {
  char bytes[sizeof number];
  if (!in.readExact(bytes, sizeof number)) return false;
  std::memcpy(&number, bytes, sizeof number);
  return true;
}

void appendText(std::string& out, std::string_view text) {
  appendNumber(out, static_cast<std::uint32_t>(text.size()));
  out += text;
}

bool readText(InputBuffer& in, std::string& text) {
  std::uint32_t size = 0;
  if (!readNumber(in, size) || size > MaxMessageBytes) return false;
  text.resize(size);
  return in.readExact(text.data(), size);
}

void appendValue(std::string& out, const Value& value) {
  out += static_cast<char>(value.kind);
  if (value.kind == Value::Kind::Number) appendNumber(out, value.number);
  if (value.kind == Value::Kind::Text) appendText(out, value.text);
}

bool readValue(InputBuffer& in, Value& value) {
  char kind = 0;
  if (!in.readExact(&kind, 1)) return false;
  value = Value{};
  switch (static_cast<Value::Kind>(kind)) {
  case Value::Kind::None:
    return true;
  case Value::Kind::Number:
    value.kind = Value::Kind::Number;
    return readNumber(in, value.number);
  case Value::Kind::Text:
    value.kind = Value::Kind::Text;
    return readText(in, value.text);
  }
  return false;
}

std::vector<Value> askModule(const HostModule& module, const std::u16string& fileName,
                             const std::vector<std::pair<int, int>>& requests) {
  std::vector<Value> values;
  values.reserve(requests.size());
  for (const auto& [field, unit] : requests)
    values.push_back(module.value(fileName, field, unit));
  return values;
}

std::vector<std::pair<int, int>> fieldAndUnit(const std::vector<SelectedField>& requests) {
  std::vector<std::pair<int, int>> pairs;
  for (const SelectedField& request : requests)
    pairs.emplace_back(request.info->index, request.unitIndex);
  return pairs;
}

} // namespace

int serveWorker() {
  InputBuffer in(readInput);
  std::string greeting(Greeting.size(), '\0');
  std::string modulePath;
  std::uint32_t count = 0;
  if (!in.readExact(greeting.data(), greeting.size()) || greeting != Greeting ||
      !readText(in, modulePath) || !readNumber(in, count) || count > MaxFields) {
    writeText(Stream::Err,
              "linepeek-cli: " + std::string(WorkerArgument) + " is for linepeek-cli's own use\n");
    return 2;
  }
  std::vector<std::pair<int, int>> requests(count);
  for (auto& [field, unit] : requests) {
    std::int32_t wire[2] = {};
    if (!readNumber(in, wire[0]) || !readNumber(in, wire[1])) return 2;
    field = wire[0];
    unit = wire[1];
  }
  std::string error;
  const std::optional<HostModule> module = HostModule::load(modulePath, error);
  std::string reply;
  appendText(reply, module ? std::string() : error);
  if (!writeText(Stream::Out, reply) || !module) return 2;

  // Batches are read ahead on a thread of their own: the parent sends the next batch before it
  // reads this one's answers, and neither write may wait for the other, whatever their sizes.
  std::mutex lock;
  std::condition_variable arrived;
  std::deque<std::vector<std::u16string>> batches;
  bool inputEnded = false;
  bool inputBroken = false;
  std::thread reader([&] {
    for (;;) {
      std::vector<std::u16string> names;
      std::uint32_t entries = 0;
      const bool counted = readNumber(in, entries);
      bool whole = counted && entries <= MaxBatchEntries;
      for (std::uint32_t i = 0; whole && i < entries; ++i) {
        std::uint32_t units = 0;
        whole = readNumber(in, units) && units <= MaxMessageBytes / 2;
        std::u16string& name = names.emplace_back(whole ? units : 0, u'\0');
        whole = whole &&
                in.readExact(reinterpret_cast<char*>(name.data()), name.size() * sizeof(char16_t));
      }
      std::lock_guard held(lock);
      if (whole) {
        batches.push_back(std::move(names));
      } else {
        // The input's end between two batches is the parent's way to say it is done.
        inputEnded = true;
        inputBroken = counted || in.failed();
      }
      arrived.notify_one();
      if (!whole) return;
    }
  });
  bool written = true;
  for (;;) {
    std::vector<std::u16string> names;
    {
      std::unique_lock held(lock);
      arrived.wait(held, [&] { return inputEnded || !batches.empty(); });
      if (batches.empty()) break;
      names = std::move(batches.front());
      batches.pop_front();
    }
    reply.clear();
    for (const std::u16string& name : names)
      for (const Value& value : askModule(*module, name, requests))
        appendValue(reply, value);
    if (!writeText(Stream::Out, reply)) {
      written = false;
      break;
    }
  }
  // A failed write means that the parent has gone, and with it the input, which ends the reader.
  reader.join();
  return written && !inputBroken ? 0 : 2;
}

RowPool::RowPool(const HostModule& module, std::string modulePath,
                 const std::vector<SelectedField>& requests, int jobs, EmitFn emit,
                 ProgressFn progress)
    : module_(module), modulePath_(std::move(modulePath)), requests_(fieldAndUnit(requests)),
      jobs_(static_cast<std::size_t>(std::max(jobs, 1))), emit_(std::move(emit)),
      progress_(std::move(progress)) {
  if (jobs_ == 1) return;
  try {
    for (std::size_t i = 0; i < jobs_; ++i)
      threads_.emplace_back([this] { work(); });
  } catch (...) {
    stop();
    throw;
  }
}

RowPool::~RowPool() {
  stop();
}

void RowPool::stop() {
  {
    std::lock_guard held(mutex_);
    stopped_ = true;
  }
  workWaiting_.notify_all();
  for (std::thread& thread : threads_)
    if (thread.joinable()) thread.join();
}

void RowPool::add(Entry entry) {
  if (jobs_ == 1) {
    std::vector<Value> values = askModule(module_, hostFileName(entry.fullPath), requests_);
    emit_(entry, values);
    progress_(++answered_);
    return;
  }
  std::unique_lock lock(mutex_);
  while (!stopped_ && slots_.size() >= RowsPerJob * jobs_) {
    rowDone_.wait_for(lock, std::chrono::milliseconds(200),
                      [&] { return stopped_ || slots_.front().done; });
    emitReady(lock);
  }
  if (stopped_) return;
  slots_.push_back({std::move(entry), {}, false});
  workWaiting_.notify_one();
  if (slots_.front().done) emitReady(lock);
}

bool RowPool::finish(std::string& error) {
  if (jobs_ == 1) return true;
  std::unique_lock lock(mutex_);
  closed_ = true;
  workWaiting_.notify_all();
  for (;;) {
    emitReady(lock);
    if (stopped_ || slots_.empty()) break;
    // Wakes now and then while an early row is slow, so that the progress line moves on.
    rowDone_.wait_for(lock, std::chrono::milliseconds(200),
                      [&] { return stopped_ || slots_.front().done; });
  }
  const bool failed = stopped_;
  error = error_;
  lock.unlock();
  stop();
  // The other workers answered the batches they held before they stopped: every row before the
  // first one left unanswered is shown.
  if (failed) {
    lock.lock();
    emitReady(lock);
  }
  return !failed;
}

void RowPool::emitReady(std::unique_lock<std::mutex>& lock) {
  std::vector<Slot> ready;
  while (!slots_.empty() && slots_.front().done) {
    ready.push_back(std::move(slots_.front()));
    slots_.pop_front();
    --taken_;
  }
  const std::size_t answered = answered_;
  lock.unlock();
  for (Slot& slot : ready)
    emit_(slot.entry, slot.values);
  progress_(answered);
  lock.lock();
}

void RowPool::fail(std::string message) {
  {
    std::lock_guard held(mutex_);
    if (!stopped_) error_ = std::move(message);
    stopped_ = true;
  }
  workWaiting_.notify_all();
  rowDone_.notify_all();
}

std::vector<RowPool::Slot*> RowPool::takeBatch(bool wait) {
  std::unique_lock lock(mutex_);
  if (wait) workWaiting_.wait(lock, [&] { return stopped_ || closed_ || slots_.size() > taken_; });
  const std::size_t waiting = slots_.size() - taken_;
  if (stopped_ || waiting == 0) return {};
  // Slots of a deque stay where they are while others are added and removed.
  const std::size_t count = std::clamp<std::size_t>(waiting / jobs_, 1, MaxBatch);
  std::vector<Slot*> batch;
  for (std::size_t i = 0; i < count; ++i)
    batch.push_back(&slots_[taken_ + i]);
  taken_ += count;
  return batch;
}

bool RowPool::startWorker(ChildProcess& child, InputBuffer& answers) {
  std::string reason;
  if (!child.start({std::string(WorkerArgument)}, reason)) {
    fail("cannot start a worker: " + reason);
    return false;
  }
  std::string hello(Greeting);
  appendText(hello, modulePath_);
  appendNumber(hello, static_cast<std::uint32_t>(requests_.size()));
  for (const auto& [field, unit] : requests_) {
    appendNumber(hello, static_cast<std::int32_t>(field));
    appendNumber(hello, static_cast<std::int32_t>(unit));
  }
  std::string status;
  if (!child.write(hello) || !readText(answers, status)) {
    fail("a worker ended (" + child.finish() + ") before it was ready");
    return false;
  }
  if (!status.empty()) fail(status);
  return status.empty();
}

void RowPool::work() {
  try {
    ChildProcess child;
    InputBuffer answers(
        [&child](char* buffer, std::size_t size) { return child.read(buffer, size); });
    bool started = false;
    // The batches the worker holds, oldest first: it gets the next one before it answers the
    // first, so that it never waits for this thread to take its answers and hand out more.
    std::deque<std::vector<Slot*>> sent;
    std::string message;
    const auto ended = [&](std::size_t entries) {
      fail("a worker ended (" + child.finish() + ") while its module read '" +
           sent.front().front()->entry.shownPath + "'" +
           (entries > 1 ? " or one of the " + std::to_string(entries - 1) + " entries after it"
                        : ""));
    };
    for (;;) {
      while (sent.size() < BatchesAhead) {
        std::vector<Slot*> batch = takeBatch(sent.empty());
        if (batch.empty()) break;
        if (!started && !(started = startWorker(child, answers))) return;
        message.clear();
        appendNumber(message, static_cast<std::uint32_t>(batch.size()));
        for (const Slot* slot : batch) {
          const std::u16string fileName = hostFileName(slot->entry.fullPath);
          appendNumber(message, static_cast<std::uint32_t>(fileName.size()));
          message.append(reinterpret_cast<const char*>(fileName.data()),
                         fileName.size() * sizeof(char16_t));
        }
        sent.push_back(std::move(batch));
        if (!child.write(message)) {
          ended(sent.size() == 1 ? sent.front().size() : sent.front().size() + sent.back().size());
          return;
        }
      }
      if (sent.empty()) return;
      const std::vector<Slot*>& batch = sent.front();
      for (Slot* slot : batch) {
        slot->values.resize(requests_.size());
        for (Value& value : slot->values) {
          if (!readValue(answers, value)) {
            ended(batch.size());
            return;
          }
        }
      }
      {
        std::lock_guard held(mutex_);
        for (Slot* slot : batch)
          slot->done = true;
        answered_ += batch.size();
      }
      rowDone_.notify_one();
      sent.pop_front();
    }
  } catch (const std::exception& e) {
    fail(std::string("unexpected failure in a worker: ") + e.what());
  }
}

} // namespace linepeek::cli
