#include "cli/pool.h"

#include <deque>
#include <exception>
#include <utility>

#include "cli/system.h"

namespace linepeek::cli {
namespace {

// Rows that may wait per client, answered or not, for the oldest one to be emitted.
constexpr std::size_t RowsPerClient = 512;

} // namespace

bool ModuleClient::receive(const std::vector<Row*>& batch, Failure&) {
  for (Row* row : batch)
    row->values = module_.values(hostFileName(row->entry.fullPath), requests_);
  return true;
}

RowPool::RowPool(std::vector<std::unique_ptr<Client>> clients, OrderedRows::EmitFn emit,
                 OrderedRows::ProgressFn progress)
    : clients_(std::move(clients)), rows_(RowsPerClient * clients_.size(), clients_.size(),
                                          std::move(emit), std::move(progress)) {
  try {
    for (const std::unique_ptr<Client>& client : clients_)
      threads_.emplace_back([this, &client] { serve(*client); });
  } catch (...) {
    join();
    throw;
  }
}

RowPool::~RowPool() {
  join();
}

void RowPool::join() {
  rows_.stop();
  for (std::thread& thread : threads_)
    if (thread.joinable()) thread.join();
}

bool RowPool::finish(std::string& error) {
  const bool answered = rows_.finish(error);
  join();
  // The other clients answered the batches they held before they stopped: every row before the
  // first one left unanswered is shown.
  if (!answered) rows_.emitAnswered();
  return answered;
}

void RowPool::serve(Client& client) {
  // The batches the client holds, oldest first: it gets the next one before it answers the
  // first, so that it never waits for this thread to take its answers and hand out more.
  std::deque<std::vector<Row*>> sent;
  Client::Failure failure;
  const auto fail = [&](std::size_t lost) {
    if (failure.aboutEntries && lost > 0) {
      failure.message += " while its module read '" + sent.front().front()->entry.shownPath + "'";
      if (lost > 1)
        failure.message += " or one of the " + std::to_string(lost - 1) + " entries after it";
    }
    rows_.fail(std::move(failure.message));
  };
  try {
    for (;;) {
      while (sent.size() < client.depth()) {
        std::vector<Row*> batch = rows_.take(sent.empty());
        if (batch.empty()) break;
        sent.push_back(std::move(batch));
        if (!client.send(sent.back(), failure)) {
          std::size_t lost = 0;
          for (const std::vector<Row*>& held : sent)
            lost += held.size();
          return fail(lost);
        }
      }
      if (sent.empty()) return;
      if (!client.receive(sent.front(), failure)) return fail(sent.front().size());
      rows_.complete(sent.front());
      sent.pop_front();
    }
  } catch (const std::exception& e) {
    failure = {std::string("unexpected failure while asking the module: ") + e.what(), false};
    fail(0);
  } catch (...) {
    failure = {"unexpected failure while asking the module", false};
    fail(0);
  }
}

} // namespace linepeek::cli
