// Cursor decoders: header validation, raw peeking, value and string items,
// and refusals that leave the byte pointer and the result untouched.
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "vok32.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Test names come from the cases, so a failure names the item.
template <typename Case> std::string case_name(const testing::TestParamInfo<Case> &param) {
    return param.param.name;
}

const Bytes kRecord{0x00, 0x00, 0x00, 0x0C, 0xC8, 0x07, 0xD2, 0x03, 0xD4, 0x01, 0x2C, 0xC9};

struct ValidateCase {
    const char *name;
    Bytes block;
    uint8_t type;
    uint32_t version;
    uint16_t status;
    std::ptrdiff_t offset; // where the byte pointer ends up
};

class Validate : public testing::TestWithParam<ValidateCase> {};

TEST_P(Validate, ReportsStatusAndMovesOnlyWhenReadable) {
    const ValidateCase &c = GetParam();
    Bytes block = c.block;
    uint8_t *cursor = block.data();
    EXPECT_EQ(vokValidateStream(&cursor, c.type, c.version), c.status);
    EXPECT_EQ(cursor - block.data(), c.offset);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, Validate,
    testing::Values(
        ValidateCase{"same_version", kRecord, 7, 3, VOK_OK, 8},
        ValidateCase{"older", kRecord, 7, 4, VOK_OLDER_VERSION, 8},
        ValidateCase{"newer", kRecord, 7, 2, VOK_NEWER_VERSION, 8},
        ValidateCase{"wrong_type", kRecord, 6, 3, VOK_WRONG_STREAM_TYPE, 0},
        ValidateCase{
            "no_start_marker", {0, 0, 0, 9, 0xC9, 7, 0xD2, 3, 0xC9}, 7, 3, VOK_UNEXPECTED, 0},
        ValidateCase{
            "signed_version", {0, 0, 0, 10, 0xC8, 7, 0xD8, 3, 0, 0xC9}, 7, 3, VOK_BAD_VERSION, 0},
        // Neither the length field nor the end marker is looked at.
        ValidateCase{"no_length_no_end", {0, 0, 0, 0, 0xC8, 7, 0xD2, 3, 0x00}, 7, 3, VOK_OK, 8},
        ValidateCase{
            "two_byte_version", {0, 0, 0, 10, 0xC8, 7, 0xD4, 1, 0, 0xC9}, 7, 256, VOK_OK, 9},
        // Versions compare as unsigned numbers.
        ValidateCase{"four_byte_version",
                     {0, 0, 0, 12, 0xC8, 7, 0xD5, 0xFF, 0xFF, 0xFF, 0xFF, 0xC9},
                     7,
                     1,
                     VOK_NEWER_VERSION,
                     11}),
    case_name<ValidateCase>);

TEST(PeekType, ReportsRawBytes) {
    for (const uint8_t byte : {uint8_t{42}, uint8_t{201}, uint8_t{225}, uint8_t{240}})
        EXPECT_EQ(vokPeekType(&byte), byte);
}

TEST(IsUTF8String, AcceptsOnlyTheUtf8Tags) {
    for (unsigned tag = 0; tag <= 255; ++tag) {
        const bool utf8 = tag == VOK_UTF8_1 || tag == VOK_UTF8_2 || tag == VOK_UTF8_4;
        EXPECT_EQ(vokIsUTF8String(static_cast<uint8_t>(tag)), utf8 ? VOK_OK : VOK_NOT_UTF8) << tag;
    }
}

// A decoder meeting another kind of item refuses and leaves the byte pointer
// and its result alone, so the caller can peek again and choose another.
constexpr uint32_t kSentinel = 0x5A5A5A5A;
enum class Kind { flag, signed_value, unsigned_value };

struct RefusalCase {
    Kind kind;
    Bytes item;
    uint16_t status;
};

class DecodeRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(DecodeRefusal, LeavesPointerAndResult) {
    const RefusalCase &c = GetParam();
    Bytes item = c.item;
    uint8_t *cursor = item.data();
    uint32_t result = kSentinel;
    int32_t signed_result = static_cast<int32_t>(kSentinel);
    const uint16_t status = c.kind == Kind::flag ? vokDecodeFlag(&cursor, &result)
                            : c.kind == Kind::unsigned_value
                                ? vokDecodeUnsigned(&cursor, &result)
                                : vokDecodeSigned(&cursor, &signed_result);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(result, kSentinel);
    EXPECT_EQ(signed_result, static_cast<int32_t>(kSentinel));
    EXPECT_EQ(cursor, item.data());
}

INSTANTIATE_TEST_SUITE_P(
    OtherItems, DecodeRefusal,
    testing::Values(RefusalCase{Kind::flag, {0xD2, 0x01}, VOK_UNEXPECTED},
                    RefusalCase{Kind::flag, {0xC9}, VOK_UNEXPECTED},
                    RefusalCase{Kind::signed_value, {0xD2, 0x05}, VOK_WRONG_TYPE},
                    RefusalCase{Kind::signed_value, {0xC9}, VOK_WRONG_TYPE},
                    RefusalCase{Kind::unsigned_value, {0xD8, 0x05, 0x00}, VOK_WRONG_TYPE},
                    RefusalCase{Kind::unsigned_value, {0xCA, 0x01}, VOK_WRONG_TYPE},
                    RefusalCase{Kind::unsigned_value, {0xC9}, VOK_WRONG_TYPE}));

struct StringCase {
    Bytes item;
    uint16_t status;
    size_t length; // content bytes delivered on success
};

class DecodeString : public testing::TestWithParam<StringCase> {};

TEST_P(DecodeString, DeliversTerminatedCopyOrRefusesUntouched) {
    const StringCase &c = GetParam();
    Bytes item = c.item;
    uint8_t *cursor = item.data();
    char sentinel = 0;
    char *result = &sentinel;
    ASSERT_EQ(vokDecodeString(&cursor, &result), c.status);
    if (c.status != VOK_OK) {
        EXPECT_EQ(result, &sentinel);
        EXPECT_EQ(cursor, item.data());
        return;
    }
    const auto header = static_cast<std::ptrdiff_t>(item.size() - c.length);
    EXPECT_EQ(cursor - item.data(), std::ssize(item));
    EXPECT_EQ(std::memcmp(result, item.data() + header, c.length), 0);
    EXPECT_EQ(result[c.length], '\0');
    vokDestroyStream(result);
}

INSTANTIATE_TEST_SUITE_P(Items, DecodeString,
                         testing::Values(StringCase{{0xCC, 0x03, 'a', 'b', 'c'}, VOK_OK, 3},
                                         StringCase{{0xCC, 0x00}, VOK_OK, 0},
                                         StringCase{{0xE2, 0x05}, VOK_UNEXPECTED, 0},
                                         StringCase{{0xE3, 0x01, 0x00}, VOK_UNEXPECTED, 0},
                                         StringCase{{0xD2, 0x05}, VOK_WRONG_TYPE, 0},
                                         StringCase{{0xC9}, VOK_WRONG_TYPE, 0}));

} // namespace
