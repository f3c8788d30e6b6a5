// Whole requests on files about the head or the wide window in size, with pairs that grow lines
// to the cut: the second passes, 4 MiB lines and the memory bounds (fuzz/request_harness.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/request_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  linepeek::fuzz::runRequests(data, size, linepeek::fuzz::RequestShapes::Large);
  return 0;
}
