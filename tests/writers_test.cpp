// Item writers: null strings, the order of the checks, the growth rule and
// the state after a refusal.  Items both families write are in items_test;
// marks, phrase marks and safe strings meet hand-built bytes in fuzz_roundtrip.
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

TEST(Writers, NullStringsAreEmpty) {
    const std::tuple<Write, uint16_t, const char *> cases[] = {
        {[](vokStream *s) { return vokWriteString(s, nullptr); }, VOK_OK, "CC 00"},
        {[](vokStream *s) { return vokWriteUTF8String(s, nullptr); }, VOK_OK, "D0 00"},
        {[](vokStream *s) { return vokWriteSafeString(s, nullptr); }, VOK_UNEXPECTED, "E2 00"},
    };
    for (const auto &[write, status, item] : cases) {
        Open o;
        EXPECT_EQ(write(&o.s), status) << item;
        EXPECT_EQ(written(o.s), concat(hex("00 00 00 00 C8 01 D2 00"), hex(item))) << item;
    }
}

bool same(const vokStream &a, const vokStream &b) {
    return a.data == b.data && a.capacity == b.capacity && a.position == b.position &&
           a.active == b.active;
}

// A refused write leaves every field and byte as it was.  A handle not open
// for writing (closed, or opened on a caller's block) is refused before the
// value is looked at, and the value before any growth.
TEST(Writers, RefusalsChangeNothing) {
    const std::string too_long(65536, 'y');
    const std::pair<Write, uint16_t> cases[] = {
        {[](vokStream *s) { return vokWriteUserMark(s, 200); }, VOK_MARK_OUT_OF_RANGE},
        {[](vokStream *s) { return vokWriteUserMark(s, 255); }, VOK_MARK_OUT_OF_RANGE},
        {[&](vokStream *s) { return vokWriteString(s, too_long.c_str()); }, VOK_STRING_TOO_LONG},
        {[&](vokStream *s) { return vokWriteSafeString(s, too_long.c_str()); },
         VOK_STRING_TOO_LONG},
        {[](vokStream *s) { return vokWritePhraseMark(s, 1); }, VOK_OK},
        {[](vokStream *s) { return vokWriteFlag(s, 1); }, VOK_OK},
        {[](vokStream *s) { return vokWriteSigned(s, 1); }, VOK_OK},
        {[](vokStream *s) { return vokWriteUnsigned(s, 1); }, VOK_OK},
        {[](vokStream *s) { return vokWriteUTF8String(s, "a"); }, VOK_OK},
    };
    const Bytes original = hex("00 00 00 09 C8 01 D2 00 C9");
    Bytes block = original;
    for (const auto &[write, status] : cases) {
        Open writer, closed;
        ASSERT_EQ(vokCloseStream(&closed.s), VOK_OK);
        vokStream reader;
        ASSERT_EQ(vokOpenStream(&reader, block.data(), 1, 0), VOK_OK);
        for (vokStream *s : {&writer.s, &closed.s, &reader}) {
            const bool writable = s == &writer.s;
            if (writable && status == VOK_OK) continue;
            const vokStream before = *s;
            const Bytes bytes = written(*s);
            EXPECT_EQ(write(s), writable ? status : VOK_NOT_ACTIVE);
            EXPECT_TRUE(same(*s, before));
            EXPECT_EQ(written(*s), bytes);
        }
        EXPECT_EQ(vokCloseStream(&reader), VOK_NOT_ACTIVE);
        EXPECT_EQ(block, original);
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
}

// Each fixed-size writer, and closing for the end marker, grows exactly when
// fewer bytes than its need remain.
TEST(Growth, EachFixedWriterUsesItsOwnNeed) {
    const std::pair<Write, uint32_t> needs[] = {
        {[](vokStream *s) { return vokWriteUserMark(s, 1); }, 1},
        {[](vokStream *s) { return vokWritePhraseMark(s, 1); }, 2},
        {[](vokStream *s) { return vokWriteFlag(s, 1); }, 2},
        {[](vokStream *s) { return vokWriteSigned(s, 1); }, 6},
        {[](vokStream *s) { return vokWriteUnsigned(s, 1); }, 6},
        {[](vokStream *s) { return vokCloseStream(s); }, 1},
    };
    for (const auto &[write, need] : needs) {
        for (const uint32_t left : {need, need - 1}) {
            Open o;
            while (o.s.position < 256 - left)
                ASSERT_EQ(vokWriteUserMark(&o.s, 0), VOK_OK);
            ASSERT_EQ(write(&o.s), VOK_OK);
            EXPECT_EQ(o.s.capacity, left == need ? 256u : 256u - left + 128u) << need;
        }
    }
}

} // namespace
