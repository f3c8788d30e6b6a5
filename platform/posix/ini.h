// Limits of the POSIX INI reader (readProfileString in platform/platform.h).
#pragma once

#include <cstdint>

namespace linepeek::platform::posix {

// Only the first 4 MiB of a settings file are read, so that an enormous or endless file
// cannot exhaust the host's memory; a line cut by this limit is dropped whole.
inline constexpr std::int64_t IniReadLimitBytes = std::int64_t{4} << 20;

} // namespace linepeek::platform::posix
