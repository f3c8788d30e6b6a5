// The exit statuses of linepeek-cli, the only ones it gives.
#pragma once

namespace linepeek::cli {

enum class ExitStatus {
  Ok = 0,          // every path was shown; --settings: nothing to note
  Unreachable = 1, // some path could not be reached or read; --settings: a note
  Error = 2,       // usage, module, list, worker or output errors
};

inline int exitCode(ExitStatus status) {
  return static_cast<int>(status);
}

} // namespace linepeek::cli
