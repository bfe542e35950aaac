// Readers on handles not open for reading, and where phrase skipping stops.
// What every reader does at every offset of short bodies is held to a model
// in exhaustive_test; items_test reads back every item kind at every width.
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

// Skipping passes whole items and stops, without consuming it, on a phrase
// mark, the end marker, a user mark (or the byte 225), or an item it cannot
// pass.
TEST(SkipPhrase, StopsAndPositions) {
    const struct {
        const char *body;
        uint8_t result;
        uint32_t moved;
    } cases[] = {
        {"E0 01", VOK_PHRASE_MARK, 0},
        {"", VOK_END, 0},
        {"E2 05 E0 00", VOK_PHRASE_MARK, 2}, // a safe string has no content
        {"E3 01 00 E0 00", VOK_PHRASE_MARK, 3},
        {"D2 01 2A D2 01", VOK_USER_MARK, 2},
        {"E1", VOK_USER_MARK, 0},
        {"D2 01 C8", VOK_INVALID, 2}, // start tag
        {"CA 01 CB", VOK_INVALID, 2}, // unassigned tag
        {"F0", VOK_INVALID, 0},
        {"D9 00 01 00 CD 00 05 41", VOK_INVALID, 4}, // string past the end marker
    };
    for (const auto &c : cases) {
        Bytes block = block_of(std::string(c.body));
        vokStream s;
        ASSERT_EQ(vokOpenStream(&s, block.data(), 1, 0), VOK_OK);
        EXPECT_EQ(vokSkipPhrase(&s), c.result) << c.body;
        EXPECT_EQ(s.position, 8 + c.moved) << c.body;
    }
}

} // namespace
