// Every body of up to three bytes behind a valid header, each block flush
// against an inaccessible page so that a read past its end faults.  Every
// handle reader runs at every offset, the end marker and one past it, and must
// agree with the reader fuzzer's independent model of the format.
#include <gtest/gtest.h>

#if defined(__linux__)

#include <cstring>

#include "byte_helpers.hpp"
#include "reader_oracle.hpp"

namespace {

// Three-byte bodies are sampled with a stride prime to 256, so that every
// first byte still meets every last byte.
constexpr uint32_t kThreeByteStride = 67;

constexpr uint8_t kHeader[] = {0, 0, 0, 0, VOK_START, 1, VOK_UNSIGNED_1, 0};
constexpr uint32_t kBodyStart = sizeof kHeader;

using vok_test::guarded_end;

TEST(Exhaustive, EveryReaderAgreesWithTheModelOnEveryShortBody) {
    uint8_t *const blocks_end = guarded_end(16);
    ASSERT_NE(blocks_end, nullptr);
    for (uint32_t n = 0; n <= 3; ++n) {
        const uint32_t total = kBodyStart + n + 1;
        uint8_t *block = blocks_end - total;
        std::memcpy(block, kHeader, kBodyStart);
        block[3] = static_cast<uint8_t>(total);
        block[total - 1] = VOK_END;
        // Body v holds the n low bytes of v, most significant first.
        for (uint32_t v = 0; v >> (8 * n) == 0; v += n == 3 ? kThreeByteStride : 1) {
            for (uint32_t i = 0; i < n; ++i)
                block[kBodyStart + i] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
            vokStream s{};
            ASSERT_EQ(vokOpenStream(&s, block, 1, 0), VOK_OK);
            const oracle::Block b{block, total, kBodyStart};
            for (uint32_t pos = kBodyStart; pos <= total; ++pos) {
                for (unsigned op = 0; op < unsigned(oracle::Op::count); ++op) {
                    s.position = pos;
                    ASSERT_EQ(oracle::check(s, b, static_cast<oracle::Op>(op)), "")
                        << n << "-byte body " << std::hex << v;
                }
            }
        }
    }
}

} // namespace

#else

TEST(Exhaustive, EveryReaderAgreesWithTheModelOnEveryShortBody) {
    GTEST_SKIP() << "needs mmap and mprotect";
}

#endif
