// Random programs of handle calls over read-only caller blocks, in every
// build: the fuzzer fuzz_misuse's program (fuzz/misuse_program.hpp), run from
// seeded random bytes.  A call that writes into a caller block faults; one
// that grows or frees it aborts or is reported by the sanitizer.
#include <gtest/gtest.h>

#include <random>

#include "misuse_program.hpp"

TEST(Misuse, RandomCallsNeverTouchACallerBlock) {
    std::mt19937 random(20261206);
    misuse::Bytes input(601);
    for (int round = 0; round < 3000; ++round) {
        for (uint8_t &b : input)
            b = static_cast<uint8_t>(random());
        misuse::run(input.data(), input.size() - input[1] % 64);
    }
}
