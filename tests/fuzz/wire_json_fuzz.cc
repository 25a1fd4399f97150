// libFuzzer entry for the JSON decoders; see wire_fuzz_harness.h for the
// shape of an input and what counts as a finding.
#include <cstddef>
#include <cstdint>

#include "wire_fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WireFuzz::Run(Zamli::Wire::Encoding::kJson, data, size);
  return 0;
}
