// Create, close, reset, the accessors and readers on handles not open for
// reading; opening is compared with vokxOpen in vok32x_test, and what every
// reader does at every offset of short bodies is held to a model in
// exhaustive_test.
#include <gtest/gtest.h>

#include <tuple>

#include "byte_helpers.hpp"

using namespace vok_test;

namespace {

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

TEST(Readers, RefuseHandlesNotOpenForReading) {
    vokStream never{nullptr, 0, 0, 0}, being_written;
    ASSERT_EQ(vokCreateStream(&being_written, 1, 0), VOK_OK);
    ASSERT_EQ(vokWriteUnsigned(&being_written, 5), VOK_OK);
    for (vokStream *s : {&never, &being_written}) {
        const uint32_t position = s->position;
        uint32_t size = 42;
        int32_t value = 0;
        char buffer[4];
        EXPECT_EQ(vokPeek(s), VOK_INVALID);
        EXPECT_EQ(vokCanRead(s), VOK_WRONG_TYPE);
        EXPECT_EQ(vokReadUserMark(s), VOK_INVALID);
        EXPECT_EQ(vokGetStringSize(s, &size), VOK_NOT_ACTIVE);
        EXPECT_EQ(size, 42u);
        EXPECT_EQ(vokReadSigned(s, &value), VOK_NOT_ACTIVE);
        EXPECT_EQ(vokReadString(s, buffer), VOK_NOT_ACTIVE);
        EXPECT_EQ(vokSkipPhrase(s), VOK_INVALID);
        EXPECT_EQ(s->position, position);
    }
    EXPECT_EQ(finish(being_written), hex("00 00 00 0B C8 01 D2 00 D2 05 C9"));
}

} // namespace
