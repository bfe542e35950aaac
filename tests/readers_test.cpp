// Readers on handles not open for reading.  What every reader, phrase
// skipping included, does at every offset of short bodies is held to a model
// in exhaustive_test.
#include <gtest/gtest.h>

#include "byte_helpers.hpp"

using namespace vok_test;

namespace {

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
