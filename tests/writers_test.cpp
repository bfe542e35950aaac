// Item writers: bytes, check order, growth and failure states.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "byte_helpers.hpp"

using namespace vok_test;

namespace {

const Bytes kHeader = hex("00 00 00 00 C8 01 D2 00"); // type 1, version 0, still open

struct WriteCase {
    const char *name;
    std::function<uint16_t(vokStream *)> write;
    uint16_t status;
    Bytes item;
};

void PrintTo(const WriteCase &c, std::ostream *out) { *out << c.name; }

class WriterBytes : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriterBytes, AppendsExactlyTheItem) {
    const WriteCase &c = GetParam();
    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    EXPECT_EQ(c.write(&s), c.status);
    EXPECT_EQ(written(s), concat(kHeader, c.item));
    vokDestroyStream(s.data);
}

std::string repeat(size_t n, char c = 'x') { return std::string(n, c); }

// Items only the handle side writes, and the null-string rule; the numbers
// and strings that both families write are covered by items_test.
std::vector<WriteCase> write_cases() {
    std::vector<WriteCase> cases = {
        {"mark0", [](vokStream *s) { return vokWriteUserMark(s, 0); }, VOK_OK, hex("00")},
        {"mark199", [](vokStream *s) { return vokWriteUserMark(s, 199); }, VOK_OK, hex("C7")},
        {"phrase7", [](vokStream *s) { return vokWritePhraseMark(s, 7); }, VOK_OK, hex("E0 07")},
        {"phrase255", [](vokStream *s) { return vokWritePhraseMark(s, 255); }, VOK_OK,
         hex("E0 FF")},
        {"strNull", [](vokStream *s) { return vokWriteString(s, nullptr); }, VOK_OK, hex("CC 00")},
        {"utf8Null", [](vokStream *s) { return vokWriteUTF8String(s, nullptr); }, VOK_OK,
         hex("D0 00")},
        {"safeNull", [](vokStream *s) { return vokWriteSafeString(s, nullptr); }, VOK_UNEXPECTED,
         hex("E2 00")},
        {"safe5", [](vokStream *s) { return vokWriteSafeString(s, "hello"); }, VOK_UNEXPECTED,
         hex("E2 05")},
    };
    for (const auto &[n, bytes] :
         {std::pair<size_t, const char *>{255, "E2 FF"}, {256, "E3 01 00"}, {65535, "E3 FF FF"}}) {
        const std::string text = repeat(n);
        cases.push_back({"safe",
                         [text](vokStream *s) { return vokWriteSafeString(s, text.c_str()); },
                         VOK_UNEXPECTED, hex(bytes)});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Items, WriterBytes, ::testing::ValuesIn(write_cases()),
                         [](const auto &test) {
                             return std::string(test.param.name) + std::to_string(test.index);
                         });

// Refusals: the status, and nothing written, moved or grown.
struct RefusalCase {
    const char *name;
    bool active;
    std::function<uint16_t(vokStream *)> write;
    uint16_t status;
};

void PrintTo(const RefusalCase &c, std::ostream *out) { *out << c.name; }

class WriterRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(WriterRefusal, ChangesNothing) {
    const RefusalCase &c = GetParam();
    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    if (!c.active) s.active = 0;
    const vokStream before = s;
    const Bytes bytes = written(s);
    EXPECT_EQ(c.write(&s), c.status);
    EXPECT_EQ(s.data, before.data);
    EXPECT_EQ(s.capacity, before.capacity);
    EXPECT_EQ(s.position, before.position);
    EXPECT_EQ(s.active, before.active);
    EXPECT_EQ(written(s), bytes);
    vokDestroyStream(s.data);
}

const std::string kTooLong(65536, 'y');

INSTANTIATE_TEST_SUITE_P(
    Checks, WriterRefusal,
    ::testing::Values(
        // The inactive check comes before the value checks.
        RefusalCase{"inactiveMark", false, [](vokStream *s) { return vokWriteUserMark(s, 200); },
                    VOK_NOT_ACTIVE},
        RefusalCase{"inactiveString", false,
                    [](vokStream *s) { return vokWriteString(s, kTooLong.c_str()); },
                    VOK_NOT_ACTIVE},
        RefusalCase{"inactivePhrase", false, [](vokStream *s) { return vokWritePhraseMark(s, 1); },
                    VOK_NOT_ACTIVE},
        RefusalCase{"inactiveFlag", false, [](vokStream *s) { return vokWriteFlag(s, 1); },
                    VOK_NOT_ACTIVE},
        RefusalCase{"inactiveSigned", false, [](vokStream *s) { return vokWriteSigned(s, 1); },
                    VOK_NOT_ACTIVE},
        RefusalCase{"inactiveUnsigned", false, [](vokStream *s) { return vokWriteUnsigned(s, 1); },
                    VOK_NOT_ACTIVE},
        RefusalCase{"inactiveUtf8", false, [](vokStream *s) { return vokWriteUTF8String(s, "a"); },
                    VOK_NOT_ACTIVE},
        RefusalCase{"inactiveSafe", false, [](vokStream *s) { return vokWriteSafeString(s, "a"); },
                    VOK_NOT_ACTIVE},
        RefusalCase{"mark200", true, [](vokStream *s) { return vokWriteUserMark(s, 200); },
                    VOK_MARK_OUT_OF_RANGE},
        RefusalCase{"mark255", true, [](vokStream *s) { return vokWriteUserMark(s, 255); },
                    VOK_MARK_OUT_OF_RANGE},
        // Refused before growth, although the string would need it.
        RefusalCase{"plain65536", true,
                    [](vokStream *s) { return vokWriteString(s, kTooLong.c_str()); },
                    VOK_STRING_TOO_LONG},
        RefusalCase{"safe65536", true,
                    [](vokStream *s) { return vokWriteSafeString(s, kTooLong.c_str()); },
                    VOK_STRING_TOO_LONG}),
    [](const auto &test) { return std::string(test.param.name); });

TEST(WriterGrowth, StringGrowsToPositionPlusNeed) {
    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    const std::string text(300, 'a');
    ASSERT_EQ(vokWriteString(&s, text.c_str()), VOK_OK);
    EXPECT_EQ(s.capacity, 8u + 305u);
    EXPECT_EQ(s.position, 311u);
    vokDestroyStream(s.data);
}

TEST(WriterGrowth, ShortStringGrowsByAtLeast128) {
    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    const std::string text(240, 'a'); // 8 + 245 fits, a second one does not
    ASSERT_EQ(vokWriteString(&s, text.c_str()), VOK_OK);
    EXPECT_EQ(s.capacity, 256u);
    ASSERT_EQ(vokWriteSafeString(&s, text.c_str()), VOK_UNEXPECTED);
    EXPECT_EQ(s.capacity, 250u + 245u); // safe strings reserve their length too
    ASSERT_EQ(vokWriteString(&s, "ab"), VOK_OK);
    EXPECT_EQ(s.capacity, 495u) << "room was left by the safe string's reservation";
    vokDestroyStream(s.data);
}

TEST(WriterGrowth, FixedItemsGrowBy128AtThe123rdItem) {
    vokStream s;
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    for (int i = 1; i <= 122; ++i)
        ASSERT_EQ(vokWriteUnsigned(&s, 7), VOK_OK);
    EXPECT_EQ(s.position, 252u);
    EXPECT_EQ(s.capacity, 256u);
    ASSERT_EQ(vokWriteUnsigned(&s, 7), VOK_OK);
    EXPECT_EQ(s.capacity, 380u);
    EXPECT_EQ(s.position, 254u);
    vokDestroyStream(s.data);
}

TEST(WriterGrowth, EachFixedWriterUsesItsOwnNeed) {
    struct Need {
        std::function<uint16_t(vokStream *)> write;
        uint32_t need;
    };
    const std::vector<Need> needs = {
        {[](vokStream *s) { return vokWriteUserMark(s, 1); }, 1},
        {[](vokStream *s) { return vokWritePhraseMark(s, 1); }, 2},
        {[](vokStream *s) { return vokWriteFlag(s, 1); }, 2},
        {[](vokStream *s) { return vokWriteSigned(s, 1); }, 6},
        {[](vokStream *s) { return vokWriteUnsigned(s, 1); }, 6},
    };
    for (const Need &n : needs) {
        vokStream s;
        ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
        // Fill with user marks until exactly `need` bytes remain, then once more
        // until one byte is missing.
        while (s.position < 256 - n.need)
            ASSERT_EQ(vokWriteUserMark(&s, 0), VOK_OK);
        ASSERT_EQ(n.write(&s), VOK_OK);
        EXPECT_EQ(s.capacity, 256u) << "need " << n.need;
        vokDestroyStream(s.data);

        ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
        while (s.position < 256 - n.need + 1)
            ASSERT_EQ(vokWriteUserMark(&s, 0), VOK_OK);
        const uint32_t at = s.position;
        ASSERT_EQ(n.write(&s), VOK_OK);
        EXPECT_EQ(s.capacity, at + 128u) << "need " << n.need;
        vokDestroyStream(s.data);
    }
}

} // namespace
