// Handle calls in any order, chosen by the fuzzer, over read-only caller
// blocks (misuse_program.hpp): no call may write, grow or free one of them.
#include <cstddef>
#include <cstdint>

#include "misuse_program.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    misuse::run(data, size);
    return 0;
}
