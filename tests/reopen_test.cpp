// Reopening closed streams, writable copies and appending bodies.
#include <gtest/gtest.h>

#include <string>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "byte_helpers.hpp"

using namespace vok_test;

namespace {

void write_a(vokStream *s) {
    ASSERT_EQ(vokWriteString(s, "first"), VOK_OK);
    ASSERT_EQ(vokWriteSigned(s, -70000), VOK_OK);
}
void write_b(vokStream *s) {
    ASSERT_EQ(vokWritePhraseMark(s, 3), VOK_OK);
    ASSERT_EQ(vokWriteUnsigned(s, 65536), VOK_OK);
}

Bytes a_then_b_at_once() {
    vokStream s;
    EXPECT_EQ(vokCreateStream(&s, 2, 300), VOK_OK);
    write_a(&s);
    write_b(&s);
    return finish(s);
}

TEST(Reopen, ContinuesWhereTheStreamEnded) {
    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 2, 300), VOK_OK);
    write_a(&s);
    ASSERT_EQ(vokCloseStream(&s), VOK_OK);
    const uint32_t capacity = s.capacity;
    ASSERT_EQ(vokReopenStream(&s), VOK_OK);
    EXPECT_EQ(s.active, 1u);
    EXPECT_EQ(s.capacity, capacity);
    EXPECT_EQ(Bytes(s.data, s.data + 4), hex("00 00 00 00"));
    EXPECT_EQ(vokReopenStream(&s), VOK_OK) << "an open stream is left as it is";
    write_b(&s);
    EXPECT_EQ(finish(s), a_then_b_at_once());
}

TEST(Reopen, RefusesAnAlteredBlock) {
    for (size_t offset : {size_t{3}, size_t{0}}) {
        vokStream s;
        ASSERT_EQ(vokCreateStream(&s, 2, 300), VOK_OK);
        ASSERT_EQ(vokCloseStream(&s), VOK_OK);
        s.data[offset] ^= 1;
        const vokStream before = s;
        EXPECT_EQ(vokReopenStream(&s), VOK_INVALID_STREAM);
        EXPECT_EQ(s.position, before.position);
        EXPECT_EQ(s.active, 0u);
        vokDestroyStream(s.data);
    }
    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 2, 300), VOK_OK);
    ASSERT_EQ(vokCloseStream(&s), VOK_OK);
    s.data[s.position - 1] = 0; // end marker gone
    EXPECT_EQ(vokReopenStream(&s), VOK_INVALID_STREAM);
    vokDestroyStream(s.data);
}

TEST(ReopenCopy, CapacityRoundsUpPastTheLength) {
    const struct {
        size_t text; // length of a string item making the block longer, if any
        uint32_t length;
        uint32_t capacity;
    } cases[] = {{0, 9, 256}, {116, 127, 256}, {245, 256, 384}, {288, 300, 384}, {372, 384, 512}};
    for (const auto &c : cases) {
        vokStream w;
        ASSERT_EQ(vokCreateStream(&w, 1, 0), VOK_OK);
        if (c.text) {
            ASSERT_EQ(vokWriteString(&w, std::string(c.text, 'p').c_str()), VOK_OK);
        }
        const Bytes block = finish(w);
        ASSERT_EQ(block.size(), c.length);
        vokStream s;
        ASSERT_EQ(vokReopenCopyStream(&s, block.data(), 1, 0), VOK_OK);
        EXPECT_EQ(s.capacity, c.capacity) << c.length;
        EXPECT_EQ(s.position, c.length - 1);
        EXPECT_EQ(s.active, 1u);
        EXPECT_NE(s.data, block.data());
        ASSERT_EQ(vokWriteFlag(&s, 1), VOK_OK);
        const Bytes extended = finish(s);
        EXPECT_EQ(extended.size(), c.length + 2);
    }
}

TEST(ReopenCopy, OnlyCopiesTheExactVersion) {
    const Bytes block = hex("00 00 00 09 C8 01 D2 04 C9");
    const Bytes original = block;
    for (const auto &[version, status] :
         {std::pair{3u, VOK_NEWER_VERSION}, std::pair{5u, VOK_OLDER_VERSION}}) {
        vokStream s{nullptr, 7, 8, 1};
        EXPECT_EQ(vokReopenCopyStream(&s, block.data(), 1, version), status);
        EXPECT_EQ(s.active, 0u);
        EXPECT_EQ(s.data, nullptr);
        EXPECT_EQ(s.capacity, 7u);
        EXPECT_EQ(s.position, 8u);
    }
    vokStream s;
    EXPECT_EQ(vokReopenCopyStream(&s, block.data(), 2, 4), VOK_WRONG_STREAM_TYPE);
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

struct Pair {
    vokStream destination;
    vokStream source;
    ~Pair() {
        vokDestroyStream(destination.data);
        vokDestroyStream(source.data);
    }
};

TEST(Append, CopiesTheSourceBody) {
    Pair p;
    ASSERT_EQ(vokCreateStream(&p.destination, 1, 0), VOK_OK);
    ASSERT_EQ(vokWriteUnsigned(&p.destination, 1), VOK_OK);  // Z
    ASSERT_EQ(vokCreateStream(&p.source, 9, 70000), VOK_OK); // other type and version
    ASSERT_EQ(vokWriteString(&p.source, "x"), VOK_OK);       // X
    ASSERT_EQ(vokWriteSigned(&p.source, -2), VOK_OK);        // Y
    ASSERT_EQ(vokCloseStream(&p.source), VOK_OK);
    const Bytes source = Bytes(p.source.data, p.source.data + p.source.position);
    const vokStream source_before = p.source;

    ASSERT_EQ(vokAppendStream(&p.destination, &p.source), VOK_OK);
    EXPECT_EQ(Bytes(p.source.data, p.source.data + p.source.position), source);
    EXPECT_EQ(p.source.position, source_before.position);
    EXPECT_EQ(p.source.active, 0u);

    ASSERT_EQ(vokCloseStream(&p.destination), VOK_OK);
    EXPECT_EQ(Bytes(p.destination.data, p.destination.data + p.destination.position),
              hex("00 00 00 11 C8 01 D2 00 D2 01 CC 01 78 D8 02 01 C9"));
}

TEST(Append, EmptyBodyAndRefusals) {
    Pair p;
    ASSERT_EQ(vokCreateStream(&p.destination, 1, 0), VOK_OK);
    ASSERT_EQ(vokCreateStream(&p.source, 1, 0), VOK_OK);
    EXPECT_EQ(vokAppendStream(&p.destination, &p.source), VOK_STILL_ACTIVE);
    ASSERT_EQ(vokCloseStream(&p.source), VOK_OK);
    EXPECT_EQ(vokAppendStream(&p.destination, &p.source), VOK_OK);
    EXPECT_EQ(p.destination.position, 8u) << "nothing to copy";

    p.source.data[4] = 0; // start marker gone
    EXPECT_EQ(vokAppendStream(&p.destination, &p.source), VOK_INVALID_STREAM);
    p.source.data[4] = VOK_START;
    p.source.data[6] = VOK_FLAG; // version item gone
    EXPECT_EQ(vokAppendStream(&p.destination, &p.source), VOK_INVALID_STREAM);
    p.source.data[6] = VOK_UNSIGNED_1;
    p.source.position = 10; // length differs from position
    EXPECT_EQ(vokAppendStream(&p.destination, &p.source), VOK_INVALID_STREAM);
    p.source.position = 9;
    EXPECT_EQ(p.destination.position, 8u);

    ASSERT_EQ(vokCloseStream(&p.destination), VOK_OK);
    EXPECT_EQ(vokAppendStream(&p.destination, &p.source), VOK_NOT_ACTIVE);
}

TEST(Append, GrowsByTheBodyPlusOne) {
    Pair p;
    ASSERT_EQ(vokCreateStream(&p.destination, 1, 0), VOK_OK);
    ASSERT_EQ(vokCreateStream(&p.source, 1, 0), VOK_OK);
    const std::string text(400, 'b');
    ASSERT_EQ(vokWriteString(&p.source, text.c_str()), VOK_OK); // body of 403 bytes
    ASSERT_EQ(vokCloseStream(&p.source), VOK_OK);
    ASSERT_EQ(vokAppendStream(&p.destination, &p.source), VOK_OK);
    EXPECT_EQ(p.destination.capacity, 8u + 404u);
    EXPECT_EQ(p.destination.position, 8u + 403u);
}

} // namespace
