// Item writers: null strings, the order of the checks and the state after a
// refusal.  Items both families write are in items_test; marks, phrase marks
// and safe strings meet hand-built bytes, and every writer and closing the
// growth rule at its boundary (seeds growth_*), in fuzz_roundtrip.
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
            const auto before = fields(*s);
            const Bytes bytes = written(*s);
            EXPECT_EQ(write(s), writable ? status : VOK_NOT_ACTIVE);
            EXPECT_EQ(fields(*s), before);
            EXPECT_EQ(written(*s), bytes);
        }
        EXPECT_EQ(vokCloseStream(&reader), VOK_NOT_ACTIVE);
        EXPECT_EQ(block, original);
    }
}

} // namespace
