#include "cli/worker_client.h"

#include <utility>

#include "cli/worker_protocol.h"

namespace linepeek::cli {

WorkerClient::WorkerClient(std::string modulePath, std::vector<Request> requests)
    : modulePath_(std::move(modulePath)), requests_(std::move(requests)),
      answers_([this](char* buffer, std::size_t size) { return child_.read(buffer, size); }) {}

Client::Failure WorkerClient::ended() {
  return {"a worker ended (" + child_.finish() + ")", true};
}

bool WorkerClient::start(Failure& failure) {
  std::string reason;
  if (!child_.start({std::string(WorkerArgument)}, reason)) {
    failure = {"cannot start a worker: " + reason, false};
    return false;
  }
  std::string status;
  if (!child_.write(encodeHello({modulePath_, requests_})) || !decodeReady(answers_, status)) {
    failure = {ended().message + " before it was ready", false};
    return false;
  }
  failure = {status, false};
  return started_ = status.empty();
}

bool WorkerClient::send(const std::vector<Row*>& batch, Failure& failure) {
  if (!started_ && !start(failure)) return false;
  std::vector<std::u16string> names;
  for (const Row* row : batch)
    names.push_back(hostFileName(row->entry.fullPath));
  if (child_.write(encodeBatch(names))) return true;
  failure = ended();
  return false;
}

bool WorkerClient::receive(const std::vector<Row*>& batch, Failure& failure) {
  for (Row* row : batch) {
    row->values.resize(requests_.size());
    for (Value& value : row->values) {
      if (!decodeValue(answers_, value)) {
        failure = ended();
        return false;
      }
    }
  }
  return true;
}

} // namespace linepeek::cli
