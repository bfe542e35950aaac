// Create, close, open, reset and the accessors.
#include <gtest/gtest.h>

#include "byte_helpers.hpp"

using namespace vok_test;

namespace {

TEST(Create, EmptyStreamSizeFollowsVersionWidth) {
    const struct {
        uint32_t version;
        Bytes block;
    } cases[] = {
        {0, hex("00 00 00 09 C8 05 D2 00 C9")},
        {255, hex("00 00 00 09 C8 05 D2 FF C9")},
        {256, hex("00 00 00 0A C8 05 D4 01 00 C9")},
        {65535, hex("00 00 00 0A C8 05 D4 FF FF C9")},
        {65536, hex("00 00 00 0C C8 05 D5 00 01 00 00 C9")},
    };
    for (const auto &c : cases) {
        vokStream s;
        ASSERT_EQ(vokCreateStream(&s, 5, c.version), VOK_OK);
        EXPECT_EQ(s.capacity, 256u);
        EXPECT_EQ(s.active, 1u);
        EXPECT_EQ(s.position, c.block.size() - 1);
        EXPECT_EQ(finish(s), c.block) << "version " << c.version;
    }
}

TEST(Create, DocumentedRecord) {
    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 7, 3), VOK_OK);
    ASSERT_EQ(vokWriteUserMark(&s, 1), VOK_OK);
    ASSERT_EQ(vokWriteUnsigned(&s, 300), VOK_OK);
    EXPECT_EQ(finish(s), hex("00 00 00 0D C8 07 D2 03 01 D4 01 2C C9"));
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
    ASSERT_EQ(s.capacity, 256u);
    ASSERT_EQ(vokCloseStream(&s), VOK_OK);
    EXPECT_EQ(s.capacity, 256u + 128u);
    EXPECT_EQ(s.position, 257u);
    vokDestroyStream(s.data);
}

const Bytes kRecord = hex("00 00 00 0D C8 07 D2 03 01 D4 01 2C C9");

Bytes with(Bytes b, size_t offset, uint8_t value) {
    b[offset] = value;
    return b;
}

TEST(Open, StatusesAndPositions) {
    const struct {
        const char *what;
        Bytes block;
        uint8_t type;
        uint32_t version;
        uint16_t status;
        uint32_t position;
        uint32_t active;
    } cases[] = {
        {"same version", kRecord, 7, 3, VOK_OK, 8, 1},
        {"stream newer", kRecord, 7, 2, VOK_NEWER_VERSION, 8, 1},
        {"stream older", kRecord, 7, 4, VOK_OLDER_VERSION, 8, 1},
        {"no end marker", with(kRecord, 12, 0xC8), 7, 3, VOK_INVALID_STREAM, 77, 0},
        {"no start marker", with(kRecord, 4, 0xC9), 7, 3, VOK_UNEXPECTED, 5, 0},
        {"other type", kRecord, 6, 3, VOK_WRONG_STREAM_TYPE, 6, 0},
        {"signed version", with(kRecord, 6, 0xD8), 7, 3, VOK_BAD_VERSION, 6, 0},
        {"length too short", with(kRecord, 3, 0x08), 7, 3, VOK_INVALID_STREAM, 77, 0},
    };
    for (const auto &c : cases) {
        vokStream s{nullptr, 5, 77, 1};
        EXPECT_EQ(vokOpenStream(&s, c.block.data(), c.type, c.version), c.status) << c.what;
        EXPECT_EQ(s.data, c.block.data()) << c.what;
        EXPECT_EQ(s.position, c.position) << c.what;
        EXPECT_EQ(s.active, c.active) << c.what;
        EXPECT_EQ(s.capacity, 5u) << c.what << ": opening neither sets nor uses capacity";
    }
}

TEST(Open, NullBlockLeavesHandleAsItWas) {
    vokStream s{reinterpret_cast<uint8_t *>(0x1234), 5, 6, 7};
    EXPECT_EQ(vokOpenStream(&s, nullptr, 7, 3), VOK_INVALID_STREAM);
    EXPECT_EQ(s.data, reinterpret_cast<uint8_t *>(0x1234));
    EXPECT_EQ(s.capacity, 5u);
    EXPECT_EQ(s.position, 6u);
    EXPECT_EQ(s.active, 7u);
}

TEST(Open, OtherVersionsRemainReadable) {
    for (uint32_t expected : {2u, 4u}) {
        vokStream s;
        ASSERT_NE(vokOpenStream(&s, kRecord.data(), 7, expected), VOK_OK);
        EXPECT_EQ(vokReadUserMark(&s), 1);
        uint32_t value = 0;
        EXPECT_EQ(vokReadUnsigned(&s, &value), VOK_OK);
        EXPECT_EQ(value, 300u);
    }
}

TEST(Reset, RewindsAReader) {
    vokStream s;
    ASSERT_EQ(vokOpenStream(&s, kRecord.data(), 7, 3), VOK_OK);
    uint32_t value = 0;
    EXPECT_EQ(vokReadUserMark(&s), 1);
    ASSERT_EQ(vokReadUnsigned(&s, &value), VOK_OK);
    EXPECT_EQ(vokReset(&s), VOK_OK);
    EXPECT_EQ(s.position, 8u);
    EXPECT_EQ(vokPeek(&s), VOK_USER_MARK);
}

TEST(Reset, DiscardsTheBodyOfAWriter) {
    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 7, 3), VOK_OK);
    ASSERT_EQ(vokWriteString(&s, "discarded"), VOK_OK);
    ASSERT_EQ(vokReset(&s), VOK_OK);
    ASSERT_EQ(vokWriteUserMark(&s, 1), VOK_OK);
    ASSERT_EQ(vokWriteUnsigned(&s, 300), VOK_OK);
    EXPECT_EQ(finish(s), kRecord);
}

TEST(Reset, RefusesInactiveHandlesAndBadVersions) {
    vokStream s{nullptr, 0, 0, 0};
    EXPECT_EQ(vokReset(&s), VOK_INVALID);
    Bytes block = kRecord;
    ASSERT_EQ(vokOpenStream(&s, block.data(), 7, 3), VOK_OK);
    s.position = 10;
    block[6] = 0xCA; // the version item stops being an unsigned item
    EXPECT_EQ(vokReset(&s), VOK_INVALID_STREAM);
    EXPECT_EQ(s.position, 6u);
}

} // namespace
