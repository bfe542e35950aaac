// Item writers: what only the handle side writes, the order of the checks,
// the growth rule and the state after a refusal.  Numbers and strings that
// both families write are covered in items_test.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "byte_helpers.hpp"

using namespace vok_test;

namespace {

using Write = std::function<uint16_t(vokStream *)>;

struct Open {
    vokStream s{};
    Open() { EXPECT_EQ(vokCreateStream(&s, 1, 0), VOK_OK); }
    ~Open() { vokDestroyStream(s.data); }
};

TEST(Writers, HandleOnlyItemsAndNullStrings) {
    const std::string s255(255, 'x'), s256(256, 'x'), s65535(65535, 'x');
    const struct {
        Write write;
        uint16_t status;
        const char *item;
    } cases[] = {
        {[](vokStream *s) { return vokWriteUserMark(s, 0); }, VOK_OK, "00"},
        {[](vokStream *s) { return vokWriteUserMark(s, 199); }, VOK_OK, "C7"},
        {[](vokStream *s) { return vokWritePhraseMark(s, 255); }, VOK_OK, "E0 FF"},
        {[](vokStream *s) { return vokWriteString(s, nullptr); }, VOK_OK, "CC 00"},
        {[](vokStream *s) { return vokWriteUTF8String(s, nullptr); }, VOK_OK, "D0 00"},
        // A safe string stores its length only and says so with VOK_UNEXPECTED.
        {[](vokStream *s) { return vokWriteSafeString(s, nullptr); }, VOK_UNEXPECTED, "E2 00"},
        {[](vokStream *s) { return vokWriteSafeString(s, "hello"); }, VOK_UNEXPECTED, "E2 05"},
        {[&](vokStream *s) { return vokWriteSafeString(s, s255.c_str()); }, VOK_UNEXPECTED,
         "E2 FF"},
        {[&](vokStream *s) { return vokWriteSafeString(s, s256.c_str()); }, VOK_UNEXPECTED,
         "E3 01 00"},
        {[&](vokStream *s) { return vokWriteSafeString(s, s65535.c_str()); }, VOK_UNEXPECTED,
         "E3 FF FF"},
    };
    for (const auto &c : cases) {
        Open o;
        EXPECT_EQ(c.write(&o.s), c.status) << c.item;
        EXPECT_EQ(written(o.s), concat(hex("00 00 00 00 C8 01 D2 00"), hex(c.item))) << c.item;
    }
}

// A refused write leaves every field and byte as it was.  The inactive check
// comes before the value checks, and those before any growth.
TEST(Writers, RefusalsChangeNothing) {
    const std::string too_long(65536, 'y');
    const struct {
        bool active;
        Write write;
        uint16_t status;
    } cases[] = {
        {false, [](vokStream *s) { return vokWriteUserMark(s, 200); }, VOK_NOT_ACTIVE},
        {false, [&](vokStream *s) { return vokWriteString(s, too_long.c_str()); }, VOK_NOT_ACTIVE},
        {false, [](vokStream *s) { return vokWritePhraseMark(s, 1); }, VOK_NOT_ACTIVE},
        {false, [](vokStream *s) { return vokWriteFlag(s, 1); }, VOK_NOT_ACTIVE},
        {false, [](vokStream *s) { return vokWriteSigned(s, 1); }, VOK_NOT_ACTIVE},
        {false, [](vokStream *s) { return vokWriteUnsigned(s, 1); }, VOK_NOT_ACTIVE},
        {false, [](vokStream *s) { return vokWriteUTF8String(s, "a"); }, VOK_NOT_ACTIVE},
        {false, [](vokStream *s) { return vokWriteSafeString(s, "a"); }, VOK_NOT_ACTIVE},
        {true, [](vokStream *s) { return vokWriteUserMark(s, 200); }, VOK_MARK_OUT_OF_RANGE},
        {true, [](vokStream *s) { return vokWriteUserMark(s, 255); }, VOK_MARK_OUT_OF_RANGE},
        {true, [&](vokStream *s) { return vokWriteString(s, too_long.c_str()); },
         VOK_STRING_TOO_LONG},
        {true, [&](vokStream *s) { return vokWriteSafeString(s, too_long.c_str()); },
         VOK_STRING_TOO_LONG},
    };
    for (const auto &c : cases) {
        Open o;
        o.s.active = c.active;
        const vokStream before = o.s;
        const Bytes bytes = written(o.s);
        EXPECT_EQ(c.write(&o.s), c.status);
        EXPECT_TRUE(o.s.data == before.data && o.s.capacity == before.capacity &&
                    o.s.position == before.position && o.s.active == before.active);
        EXPECT_EQ(written(o.s), bytes);
    }
}

TEST(Growth, StringsGrowToPositionPlusTheLargerOfNeedAnd128) {
    Open o;
    ASSERT_EQ(vokWriteString(&o.s, std::string(300, 'a').c_str()), VOK_OK);
    EXPECT_EQ(o.s.capacity, 8u + 305u);
    EXPECT_EQ(o.s.position, 311u);

    Open p;
    const std::string text(240, 'a'); // 8 + 245 fits, a second one does not
    ASSERT_EQ(vokWriteString(&p.s, text.c_str()), VOK_OK);
    EXPECT_EQ(p.s.capacity, 256u);
    ASSERT_EQ(vokWriteSafeString(&p.s, text.c_str()), VOK_UNEXPECTED);
    EXPECT_EQ(p.s.capacity, 250u + 245u) << "safe strings reserve their length too";
    ASSERT_EQ(vokWriteString(&p.s, "ab"), VOK_OK);
    EXPECT_EQ(p.s.capacity, 495u);
}

TEST(Growth, FixedItemsGrowBy128AtThe123rdItem) {
    Open o;
    for (int i = 1; i <= 122; ++i)
        ASSERT_EQ(vokWriteUnsigned(&o.s, 7), VOK_OK);
    EXPECT_EQ(o.s.position, 252u);
    EXPECT_EQ(o.s.capacity, 256u);
    ASSERT_EQ(vokWriteUnsigned(&o.s, 7), VOK_OK);
    EXPECT_EQ(o.s.capacity, 380u);
}

// Each fixed-size writer grows exactly when fewer bytes than its need remain.
TEST(Growth, EachFixedWriterUsesItsOwnNeed) {
    const std::pair<Write, uint32_t> needs[] = {
        {[](vokStream *s) { return vokWriteUserMark(s, 1); }, 1},
        {[](vokStream *s) { return vokWritePhraseMark(s, 1); }, 2},
        {[](vokStream *s) { return vokWriteFlag(s, 1); }, 2},
        {[](vokStream *s) { return vokWriteSigned(s, 1); }, 6},
        {[](vokStream *s) { return vokWriteUnsigned(s, 1); }, 6},
    };
    for (const auto &[write, need] : needs) {
        for (const uint32_t left : {need, need - 1}) {
            Open o;
            while (o.s.position < 256 - left)
                ASSERT_EQ(vokWriteUserMark(&o.s, 0), VOK_OK);
            const uint32_t at = o.s.position;
            ASSERT_EQ(write(&o.s), VOK_OK);
            EXPECT_EQ(o.s.capacity, left == need ? 256u : at + 128u) << need;
        }
    }
}

} // namespace
