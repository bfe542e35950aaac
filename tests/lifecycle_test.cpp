// Create, close, open, reset and the accessors.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>

#include "byte_helpers.hpp"

using namespace vok_test;

namespace {

const Bytes kRecord = hex("00 00 00 0D C8 07 D2 03 01 D4 01 2C C9"); // mark 1, unsigned 300

Bytes with(Bytes b, size_t offset, uint8_t value) {
    b[offset] = value;
    return b;
}

TEST(Accessors, HideTheBlockWhileOpen) {
    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 1, 65536), VOK_OK);
    EXPECT_EQ(vokGetData(&s), nullptr);
    EXPECT_EQ(vokGetLength(&s), 12u);
    EXPECT_EQ(vokGetLengthEx(&s), 0u);
    uint8_t *data = s.data;
    ASSERT_EQ(vokCloseStream(&s), VOK_OK);
    EXPECT_EQ(vokGetData(&s), data);
    EXPECT_EQ(vokGetLength(&s), 12u) << "a closed 12-byte stream looks like an open one here";
    EXPECT_EQ(vokGetLengthEx(&s), 12u);
    const Bytes block(data, data + 12);
    EXPECT_EQ(vokCloseStream(&s), VOK_OK) << "closing twice is harmless";
    EXPECT_EQ(Bytes(data, data + 12), block);
    EXPECT_EQ(s.position, 12u);
    vokDestroyStream(data);
    vokDestroyStream(nullptr);
}

TEST(Close, GrowsForTheEndMarkerWhenFull) {
    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    while (s.position < 256)
        ASSERT_EQ(vokWriteUserMark(&s, 9), VOK_OK);
    ASSERT_EQ(vokCloseStream(&s), VOK_OK);
    EXPECT_EQ(s.capacity, 256u + 128u);
    EXPECT_EQ(s.position, 257u);
    vokDestroyStream(s.data);
}

// Each block is copied into a buffer of exactly its size, so that the
// sanitizer builds catch a read past it.
TEST(Open, StatusesAndPositions) {
    const struct {
        const char *what;
        Bytes block;
        uint8_t type;
        uint32_t version;
        uint16_t status;
        uint32_t position;
    } cases[] = {
        {"same version", kRecord, 7, 3, VOK_OK, 8},
        {"stream newer", kRecord, 7, 2, VOK_NEWER_VERSION, 8},
        {"stream older", kRecord, 7, 4, VOK_OLDER_VERSION, 8},
        {"no end marker", with(kRecord, 12, 0xC8), 7, 3, VOK_INVALID_STREAM, 77},
        {"no start marker", with(kRecord, 4, 0xC9), 7, 3, VOK_UNEXPECTED, 5},
        {"other type", kRecord, 6, 3, VOK_WRONG_STREAM_TYPE, 6},
        {"signed version", with(kRecord, 6, 0xD8), 7, 3, VOK_BAD_VERSION, 6},
        {"length 8", with(kRecord, 3, 0x08), 7, 3, VOK_INVALID_STREAM, 77},
        {"length 5, an end marker at 4", hex("00 00 00 05 C9 07 D2 03 C9"), 7, 3,
         VOK_INVALID_STREAM, 77},
        {"version past the end marker", hex("00 00 00 09 C8 07 D5 00 C9"), 7, 0, VOK_INVALID_STREAM,
         6},
        {"version ending on the end marker", hex("00 00 00 09 C8 07 D4 00 C9"), 7, 0,
         VOK_INVALID_STREAM, 6},
    };
    for (const auto &c : cases) {
        const std::unique_ptr<uint8_t[]> block(new uint8_t[c.block.size()]);
        std::copy(c.block.begin(), c.block.end(), block.get());
        vokStream s{nullptr, 5, 77, 1};
        EXPECT_EQ(vokOpenStream(&s, block.get(), c.type, c.version), c.status) << c.what;
        EXPECT_EQ(s.data, block.get()) << c.what;
        EXPECT_EQ(s.position, c.position) << c.what;
        EXPECT_EQ(s.active, c.position == 8 ? 1u : 0u) << c.what << ": readable despite versions";
        EXPECT_EQ(s.capacity, 5u) << c.what << ": opening neither sets nor uses capacity";
    }
    vokStream s{reinterpret_cast<uint8_t *>(0x1234), 5, 6, 7};
    EXPECT_EQ(vokOpenStream(&s, nullptr, 7, 3), VOK_INVALID_STREAM);
    EXPECT_TRUE(s.data == reinterpret_cast<uint8_t *>(0x1234) && s.capacity == 5 &&
                s.position == 6 && s.active == 7);
}

// A writer's body is discarded; the block a reader was opened on stays the
// caller's and may change behind the handle, so the version item is checked
// again.
TEST(Reset, RewindsToTheFirstBodyItem) {
    vokStream s{nullptr, 0, 0, 0};
    EXPECT_EQ(vokReset(&s), VOK_INVALID);
    ASSERT_EQ(vokCreateStream(&s, 7, 3), VOK_OK);
    ASSERT_EQ(vokWriteString(&s, "discarded"), VOK_OK);
    ASSERT_EQ(vokReset(&s), VOK_OK);
    ASSERT_EQ(vokWriteUserMark(&s, 1), VOK_OK);
    ASSERT_EQ(vokWriteUnsigned(&s, 300), VOK_OK);
    EXPECT_EQ(finish(s), kRecord);

    Bytes block = hex("00 00 00 0A C8 07 D4 00 03 C9");
    ASSERT_EQ(vokOpenStream(&s, block.data(), 7, 3), VOK_OK);
    for (const auto &[tag, status, position] : {std::tuple{VOK_UNSIGNED_2, VOK_OK, 9u},
                                                {VOK_UNSIGNED_1, VOK_OK, 8u},
                                                {VOK_FLAG, VOK_INVALID_STREAM, 6u},
                                                {VOK_UNSIGNED_4, VOK_INVALID_STREAM, 6u}}) {
        block[6] = static_cast<uint8_t>(tag);
        s.position = 99;
        EXPECT_EQ(vokReset(&s), status) << tag;
        EXPECT_EQ(s.position, position) << tag;
    }
}

} // namespace
