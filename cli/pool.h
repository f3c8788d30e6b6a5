// The answers of the module for a stream of entries, from one or more clients at once: the
// module loaded in this process, or worker processes that each load their own instance. Rows
// come out in the order the entries went in.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/host_module.h"
#include "cli/ordered_rows.h"

namespace linepeek::cli {

// One instance of the module, asked for whole batches of rows. Used by one thread at a time.
class Client {
public:
  struct Failure {
    std::string message;
    bool aboutEntries = false; // the entries in flight were lost with it
  };

  virtual ~Client() = default;
  // Batches that may be sent before the oldest one is received.
  virtual std::size_t depth() const = 0;
  // Hands a batch on; its answers are taken by receive(), batches in the order sent.
  virtual bool send(const std::vector<Row*>& batch, Failure& failure) = 0;
  // Fills the values of the oldest batch sent and not yet received.
  virtual bool receive(const std::vector<Row*>& batch, Failure& failure) = 0;
};

// The module loaded in this process, asked on the pool's thread.
class ModuleClient final : public Client {
public:
  ModuleClient(const HostModule& module, std::vector<Request> requests)
      : module_(module), requests_(std::move(requests)) {}
  std::size_t depth() const override { return 1; }
  bool send(const std::vector<Row*>&, Failure&) override { return true; }
  bool receive(const std::vector<Row*>& batch, Failure& failure) override;

private:
  const HostModule& module_;
  const std::vector<Request> requests_;
};

// One thread per client, each taking batches from the rows and answering them. The owner's
// thread adds entries and receives every row, through `emit`, on that same thread. Every thread
// is joined when the pool goes, on every path.
class RowPool {
public:
  RowPool(std::vector<std::unique_ptr<Client>> clients, OrderedRows::EmitFn emit,
          OrderedRows::ProgressFn progress);
  RowPool(const RowPool&) = delete;
  RowPool& operator=(const RowPool&) = delete;
  ~RowPool();

  // May wait while many rows wait for an earlier one. False once a client failed: the walk
  // should stop, as no later row will be shown.
  bool add(Entry entry) { return rows_.add(std::move(entry)); }
  // Waits for every row. False, with a message in `error`, when a client failed: the rows before
  // the first that it did not answer were emitted, none from there on.
  bool finish(std::string& error);

private:
  void serve(Client& client);
  void join();

  std::vector<std::unique_ptr<Client>> clients_;
  OrderedRows rows_;
  std::vector<std::thread> threads_;
};

} // namespace linepeek::cli
