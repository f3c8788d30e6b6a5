// Whole requests on small files: every field, unit, buffer size, setting and lifecycle step
// against the plain rules (fuzz/request_harness.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/request_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  linepeek::fuzz::runRequests(data, size, linepeek::fuzz::RequestShapes::Small);
  return 0;
}
