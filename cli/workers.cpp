#include "cli/workers.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <exception>
#include <optional>
#include <utility>

#include "cli/input_buffer.h"
#include "cli/system.h"

namespace linepeek::cli {
namespace {

// The first bytes to a worker, so that a worker started by hand stops at once.
constexpr std::string_view Greeting = "linepeek-cli worker 1\n";
// Entries a job takes at a time: few enough that the last batches spread over the jobs, many
// enough that the two pipe writes and reads of a batch cost little beside its requests.
constexpr std::size_t MaxBatch = 32;
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

  std::u16string fileName;
  for (;;) {
    std::uint32_t entries = 0;
    if (!readNumber(in, entries)) return in.failed() ? 2 : 0;
    if (entries > MaxBatchEntries) return 2;
    reply.clear();
    for (std::uint32_t i = 0; i < entries; ++i) {
      std::uint32_t units = 0;
      if (!readNumber(in, units) || units > MaxMessageBytes / 2) return 2;
      fileName.resize(units);
      if (!in.readExact(reinterpret_cast<char*>(fileName.data()), units * sizeof(char16_t)))
        return 2;
      for (const Value& value : askModule(*module, fileName, requests))
        appendValue(reply, value);
    }
    if (!writeText(Stream::Out, reply)) return 2;
  }
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

void RowPool::work() {
  try {
    ChildProcess child;
    InputBuffer answers(
        [&child](char* buffer, std::size_t size) { return child.read(buffer, size); });
    bool started = false;
    std::vector<Slot*> batch;
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        workWaiting_.wait(lock, [&] { return stopped_ || closed_ || slots_.size() > taken_; });
        const std::size_t waiting = slots_.size() - taken_;
        if (stopped_ || waiting == 0) return;
        // Slots of a deque stay where they are while others are added and removed.
        const std::size_t count = std::clamp<std::size_t>(waiting / jobs_, 1, MaxBatch);
        batch.clear();
        for (std::size_t i = 0; i < count; ++i)
          batch.push_back(&slots_[taken_ + i]);
        taken_ += count;
      }
      if (!started) {
        started = true;
        std::string reason;
        if (!child.start({std::string(WorkerArgument)}, reason)) {
          fail("cannot start a worker: " + reason);
          return;
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
          return;
        }
        if (!status.empty()) {
          fail(status);
          return;
        }
      }
      if (!askBatch(child, answers, batch)) {
        const std::size_t after = batch.size() - 1;
        fail("a worker ended (" + child.finish() + ") while its module read '" +
             batch.front()->entry.shownPath + "'" +
             (after > 0 ? " or one of the " + std::to_string(after) + " entries after it" : ""));
        return;
      }
      {
        std::lock_guard held(mutex_);
        for (Slot* slot : batch)
          slot->done = true;
        answered_ += batch.size();
      }
      rowDone_.notify_one();
    }
  } catch (const std::exception& e) {
    fail(std::string("unexpected failure in a worker: ") + e.what());
  }
}

bool RowPool::askBatch(ChildProcess& child, InputBuffer& answers, const std::vector<Slot*>& batch) {
  std::string message;
  appendNumber(message, static_cast<std::uint32_t>(batch.size()));
  for (const Slot* slot : batch) {
    const std::u16string fileName = hostFileName(slot->entry.fullPath);
    appendNumber(message, static_cast<std::uint32_t>(fileName.size()));
    message.append(reinterpret_cast<const char*>(fileName.data()),
                   fileName.size() * sizeof(char16_t));
  }
  if (!child.write(message)) return false;
  for (Slot* slot : batch) {
    slot->values.resize(requests_.size());
    for (Value& value : slot->values)
      if (!readValue(answers, value)) return false;
  }
  return true;
}

} // namespace linepeek::cli
