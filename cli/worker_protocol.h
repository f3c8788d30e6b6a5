// The messages between linepeek-cli and its workers, each encoder beside its decoder. Both ends
// are this same program, so numbers travel as plain bytes in this machine's order.
//
//   parent -> worker: hello (greeting, module path, requests), then batches of file names; the
//                     end of the input between two batches says that no more come
//   worker -> parent: ready (empty, or why the module did not load), then per batch the values
//                     of every entry, request by request
#pragma once

#include <string>
#include <vector>

#include "cli/host_module.h"
#include "cli/input_buffer.h"
#include "cli/value.h"

namespace linepeek::cli {

struct WorkerHello {
  std::string modulePath;
  std::vector<Request> requests;
};

std::string encodeHello(const WorkerHello& hello);
// False for anything but a hello from this program (a worker started by hand, say).
bool decodeHello(InputBuffer& in, WorkerHello& hello);

// `error` empty: the module loaded.
std::string encodeReady(const std::string& error);
bool decodeReady(InputBuffer& in, std::string& error);

std::string encodeBatch(const std::vector<std::u16string>& names);
enum class BatchRead { Batch, End, Broken };
// End: the input ended cleanly between two batches.
BatchRead decodeBatch(InputBuffer& in, std::vector<std::u16string>& names);

void encodeValue(std::string& out, const Value& value);
bool decodeValue(InputBuffer& in, Value& value);

} // namespace linepeek::cli
