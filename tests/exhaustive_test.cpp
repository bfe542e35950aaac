// Every body of up to three bytes behind a valid header, each block placed
// flush against an inaccessible page so that a read past its end faults even
// without sanitizers.  At every offset of the body, at the end marker and
// one past it, each reader is run and compared with an independent model;
// phrase skipping is run from the first body item.
#include <gtest/gtest.h>

#if defined(__linux__)

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "support/reader_oracle.hpp"
#include "vok32.h"

namespace {

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VOK_SANITIZED_BUILD 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VOK_SANITIZED_BUILD 1
#endif

// Optimised builds take every three-byte body; slower builds a sample that
// still meets every first byte with every last byte (the strides are prime).
#if defined(VOK_SANITIZED_BUILD)
constexpr uint32_t kThreeByteStride = 61;
#elif !defined(NDEBUG)
constexpr uint32_t kThreeByteStride = 13;
#else
constexpr uint32_t kThreeByteStride = 1;
#endif

constexpr uint8_t kHeader[] = {0, 0, 0, 0, VOK_START, 1, VOK_UNSIGNED_1, 0};
constexpr uint32_t kBodyStart = sizeof kHeader;

class GuardedPage {
  public:
    GuardedPage() {
        page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        void *m =
            mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED) return;
        base_ = static_cast<uint8_t *>(m);
        if (mprotect(base_ + page_, page_, PROT_NONE) != 0) {
            munmap(base_, 2 * page_);
            base_ = nullptr;
        }
    }
    ~GuardedPage() {
        if (base_ != nullptr) munmap(base_, 2 * page_);
    }
    GuardedPage(const GuardedPage &) = delete;
    GuardedPage &operator=(const GuardedPage &) = delete;

    bool ok() const { return base_ != nullptr; }
    // Room for n bytes that end where the inaccessible page begins.
    uint8_t *flush_end(size_t n) const { return base_ + page_ - n; }

  private:
    size_t page_ = 0;
    uint8_t *base_ = nullptr;
};

// Builds the block for `body` against the guard and checks every reader at
// every offset.  Returns the first disagreement, or an empty string.
std::string walk(const GuardedPage &guard, const uint8_t *body, uint32_t body_size) {
    const uint32_t total = kBodyStart + body_size + 1;
    uint8_t *block = guard.flush_end(total);
    std::memcpy(block, kHeader, kBodyStart);
    std::memcpy(block + kBodyStart, body, body_size);
    block[total - 1] = VOK_END;
    block[3] = static_cast<uint8_t>(total);

    vokStream s{};
    if (vokOpenStream(&s, block, 1, 0) != VOK_OK) return "open refused";
    const oracle::Block b{block, total, kBodyStart};
    for (uint32_t pos = kBodyStart; pos <= total; ++pos) {
        for (unsigned op = 0; op < static_cast<unsigned>(oracle::Op::skip_phrase); ++op) {
            s.position = pos;
            std::string why = oracle::check(s, b, static_cast<oracle::Op>(op));
            if (!why.empty()) return why;
        }
    }
    for (const oracle::Op op : {oracle::Op::reset, oracle::Op::skip_phrase}) {
        std::string why = oracle::check(s, b, op);
        if (!why.empty()) return why;
    }
    return {};
}

std::string hex_of(const uint8_t *body, uint32_t n) {
    std::string out;
    char byte[4];
    for (uint32_t i = 0; i < n; ++i) {
        std::snprintf(byte, sizeof byte, "%02X ", body[i]);
        out += byte;
    }
    return out;
}

TEST(Exhaustive, EveryBodyOfUpToThreeBytesIsReadWithinItsBlock) {
    GuardedPage guard;
    ASSERT_TRUE(guard.ok());
    uint64_t walked = 0;
    uint8_t body[3] = {};
    auto run = [&](uint32_t n) {
        const std::string why = walk(guard, body, n);
        ++walked;
        if (!why.empty()) {
            ADD_FAILURE() << "body " << hex_of(body, n) << ": " << why;
            return false;
        }
        return true;
    };
    ASSERT_TRUE(run(0));
    for (uint32_t v = 0; v < 0x100; ++v) {
        body[0] = static_cast<uint8_t>(v);
        ASSERT_TRUE(run(1));
    }
    for (uint32_t v = 0; v < 0x10000; ++v) {
        body[0] = static_cast<uint8_t>(v >> 8);
        body[1] = static_cast<uint8_t>(v);
        ASSERT_TRUE(run(2));
    }
    for (uint32_t v = 0; v < 0x1000000; v += kThreeByteStride) {
        body[0] = static_cast<uint8_t>(v >> 16);
        body[1] = static_cast<uint8_t>(v >> 8);
        body[2] = static_cast<uint8_t>(v);
        ASSERT_TRUE(run(3));
    }
    RecordProperty("blocks", std::to_string(walked));
}

} // namespace

#else

TEST(Exhaustive, EveryBodyOfUpToThreeBytesIsReadWithinItsBlock) {
    GTEST_SKIP() << "needs mmap and mprotect";
}

#endif
