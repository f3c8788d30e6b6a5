// A client that is a worker process: a copy of this program, started with WorkerArgument, that
// loads the module from the path this process loaded, so that each worker has an instance of
// its own and every instance reads the same settings file beside that module.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/input_buffer.h"
#include "cli/pool.h"
#include "cli/system.h"

namespace linepeek::cli {

// The one argument that starts this program as a worker (serveWorker).
inline constexpr std::string_view WorkerArgument = "--module-worker";

// A worker: reads the hello from standard input, loads the module, answers that it is ready (or
// why it is not), then answers batches of file names on standard output until its input ends.
// Answers the exit status.
int serveWorker();

class WorkerClient final : public Client {
public:
  WorkerClient(std::string modulePath, std::vector<Request> requests);

  // Two batches per worker, so that a worker never waits for its parent.
  std::size_t depth() const override { return 2; }
  // The worker starts with its first batch, when work first waits for it.
  bool send(const std::vector<Row*>& batch, Failure& failure) override;
  bool receive(const std::vector<Row*>& batch, Failure& failure) override;

private:
  bool start(Failure& failure);
  // "a worker ended (how)", once the child is reaped.
  Failure ended();

  const std::string modulePath_;
  const std::vector<Request> requests_;
  ChildProcess child_;
  InputBuffer answers_;
  bool started_ = false;
};

} // namespace linepeek::cli
