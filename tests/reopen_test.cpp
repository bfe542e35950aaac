// Reopening closed streams, writable copies and appending bodies.  Where a
// reopened stream goes on, and the bytes of copies and appended bodies, are
// compared in fuzz_roundtrip.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "byte_helpers.hpp"

using namespace vok_test;

namespace {

TEST(Reopen, RefusesAnAlteredBlock) {
    for (const int offset : {3, 0, 9}) { // length field, end marker
        vokStream s;
        ASSERT_EQ(vokCreateStream(&s, 2, 300), VOK_OK);
        ASSERT_EQ(vokCloseStream(&s), VOK_OK);
        s.data[offset] ^= 1;
        EXPECT_EQ(vokReopenStream(&s), VOK_INVALID_STREAM);
        EXPECT_TRUE(s.position == 10 && s.active == 0);
        vokDestroyStream(s.data);
    }
}

// The copy's capacity: the block's length rounded up past the next multiple
// of 128, at least 256.
TEST(ReopenCopy, CapacityRoundsUpPastTheLength) {
    // Length of a string making the block longer, the block's length, capacity.
    for (const auto &[text, length, capacity] :
         {std::tuple{0u, 11u, 256u}, {245u, 256u, 384u}, {288u, 300u, 384u}, {372u, 384u, 512u}}) {
        vokStream w, s;
        ASSERT_EQ(vokCreateStream(&w, 1, 0), VOK_OK);
        ASSERT_EQ(vokWriteString(&w, std::string(text, 'p').c_str()), VOK_OK);
        const Bytes block = finish(w);
        ASSERT_EQ(block.size(), length);
        ASSERT_EQ(vokReopenCopyStream(&s, block.data(), 1, 0), VOK_OK);
        EXPECT_TRUE(s.capacity == capacity && s.position == length - 1 && s.active == 1);
        vokDestroyStream(s.data);
    }
}

// A copy is refused for any other version, and the caller's block unchanged.
TEST(ReopenCopy, OnlyCopiesTheExactVersion) {
    const Bytes block = hex("00 00 00 09 C8 01 D2 04 C9");
    const Bytes original = block;
    for (const auto &[type, version, status] : {std::tuple{1, 3u, VOK_NEWER_VERSION},
                                                {1, 5u, VOK_OLDER_VERSION},
                                                {2, 4u, VOK_WRONG_STREAM_TYPE}}) {
        vokStream s{nullptr, 7, 8, 1};
        EXPECT_EQ(vokReopenCopyStream(&s, block.data(), static_cast<uint8_t>(type), version),
                  status);
        EXPECT_TRUE(s.active == 0 && s.data == nullptr && s.capacity == 7 && s.position == 8);
    }
    vokStream s;
    EXPECT_EQ(vokReopenCopyStream(&s, nullptr, 1, 4), VOK_INVALID_STREAM);
    EXPECT_EQ(block, original);
}

#if defined(__linux__)
// From 4,294,967,168 bytes on, the copy's capacity would be 2^32: refused
// before allocating, with the capacity that 2^32 leaves in 32 bits, 0.  The
// block is mapped without memory behind it; only its ends are touched.
TEST(ReopenCopy, CapacityBeyond32BitsIsRefused) {
    const size_t size = size_t{1} << 32;
    void *map = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(map, MAP_FAILED);
    auto *block = static_cast<uint8_t *>(map);
    const Bytes header = hex("00 00 00 00 C8 01 D2 00");
    std::copy(header.begin(), header.end(), block);
    for (const uint32_t total : {0xFFFFFF80u, 0xFFFFFFFFu}) {
        for (int i = 0; i < 4; ++i)
            block[i] = static_cast<uint8_t>(total >> (24 - 8 * i));
        block[total - 1] = VOK_END;
        vokStream s{nullptr, 77, 5, 1};
        EXPECT_EQ(vokReopenCopyStream(&s, block, 1, 0), VOK_NO_MEMORY) << total;
        EXPECT_TRUE(s.data == nullptr && s.capacity == 0 && s.position == 5 && s.active == 0);
    }
    munmap(map, size);
}
#endif

TEST(Append, EmptyBodyAndRefusals) {
    vokStream destination{}, source{};
    ASSERT_EQ(vokCreateStream(&destination, 1, 0), VOK_OK);
    ASSERT_EQ(vokCreateStream(&source, 1, 0), VOK_OK);
    EXPECT_EQ(vokAppendStream(&destination, &source), VOK_STILL_ACTIVE);
    ASSERT_EQ(vokCloseStream(&source), VOK_OK);
    EXPECT_EQ(vokAppendStream(&destination, &source), VOK_OK);
    EXPECT_EQ(destination.position, 8u) << "nothing to copy";

    for (const auto &[offset, value] : {std::pair{4, 0}, {6, VOK_FLAG}}) {
        const uint8_t kept = source.data[offset];
        source.data[offset] = static_cast<uint8_t>(value); // start marker or version gone
        EXPECT_EQ(vokAppendStream(&destination, &source), VOK_INVALID_STREAM);
        source.data[offset] = kept;
    }
    source.position = 10; // length differs from position
    EXPECT_EQ(vokAppendStream(&destination, &source), VOK_INVALID_STREAM);
    source.position = 9;
    EXPECT_EQ(destination.position, 8u);

    ASSERT_EQ(vokCloseStream(&destination), VOK_OK);
    EXPECT_EQ(vokAppendStream(&destination, &source), VOK_NOT_ACTIVE);
    vokDestroyStream(destination.data);
    vokDestroyStream(source.data);
}

// A source whose version tag claims more bytes than stand before its end
// marker, in a heap block of exactly its size: refused before the version item
// is read.
TEST(Append, VersionItemRunningIntoTheEndMarker) {
    const Bytes bytes = hex("00 00 00 09 C8 01 D5 00 C9");
    const auto exact = std::make_unique<uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), exact.get());
    const vokStream source{exact.get(), 9, 9, 0};
    vokStream s{};
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    EXPECT_EQ(vokAppendStream(&s, &source), VOK_INVALID_STREAM);
    EXPECT_EQ(s.position, 8u);
    vokDestroyStream(s.data);
}

// Writers refuse a handle opened for reading.  A refused copy then leaves it
// looking like a closed stream, but its capacity (0 on a record that never
// held a writable stream) is below its position, which no buffer the library
// builds allows: reopening it is refused.
TEST(Reopen, AnOpenedBlockIsNeverWritten) {
    Bytes block = kRecord;
    uint8_t *const bytes = block.data();
    vokStream s{}, other{};
    ASSERT_EQ(vokCreateStream(&other, 1, 0), VOK_OK);
    ASSERT_EQ(vokOpenStream(&s, bytes, 7, 3), VOK_OK);
    for (const uint16_t status :
         {vokWriteFlag(&s, 1), vokWriteString(&s, std::string(999, 'g').c_str()),
          vokAppendStream(&s, &other), vokCloseStream(&s)})
        EXPECT_EQ(status, VOK_NOT_ACTIVE);
    EXPECT_EQ(vokReopenStream(&s), VOK_OK) << "active: left as it is";
    uint32_t v = 0;
    const std::vector<uint16_t> got = {
        vokReadUserMark(&s), vokReadUnsigned(&s, &v),
        vokReadUserMark(&s), // the end marker: position 13, the total length
        vokReopenCopyStream(&s, bytes, 7, 4), vokReopenStream(&s)};
    ASSERT_EQ(got,
              (std::vector<uint16_t>{1, VOK_OK, VOK_END, VOK_OLDER_VERSION, VOK_INVALID_STREAM}));
    EXPECT_EQ(vokWriteUnsigned(&s, 1), VOK_NOT_ACTIVE);
    EXPECT_TRUE(s.data == bytes && s.position == 13 && s.active == 0);
    EXPECT_EQ(block, kRecord);
    vokDestroyStream(other.data);
}

} // namespace
