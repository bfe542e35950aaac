// Malformed blocks: check and dump name the first problem and its offset,
// dump lists what could be read before it, and nothing crashes or claims
// what is not there.
#include <gtest/gtest.h>

#include <tuple>

#include "tool_helpers.hpp"

using namespace vok::tool;
using namespace vok::tool::testing;

namespace {

const Bytes kGood = block_of(hex("01 D4 01 2C")); // 13 bytes

Bytes with_byte(Bytes block, size_t at, uint8_t value) {
    block.at(at) = value;
    return block;
}

// Cut short, or grown with zero bytes.
Bytes resized(Bytes block, size_t size) {
    block.resize(size);
    return block;
}

Bytes with_length(Bytes block, uint32_t length) {
    for (int i = 0; i < 4; ++i)
        block.at(static_cast<size_t>(i)) = static_cast<uint8_t>(length >> (24 - 8 * i));
    return block;
}

// Case, input, offset and part of the first problem, entries dump lists
// before it, problems found in all.
const std::tuple<const char *, Bytes, uint64_t, const char *, size_t, size_t> kCases[] = {
    {"empty file", {}, 0, "too short for the length field", 0, 1},
    {"length below the minimum", with_length(kGood, 5), 0, "below the smallest", 0, 1},
    {"length one too big", with_length(kGood, 14), 0, "input ends after 13 bytes", 3, 1},
    {"length 0xffffffff", with_length(kGood, 0xFFFFFFFF), 0, "says 4294967295 bytes", 3, 1},
    {"a byte after the block", resized(kGood, 14), 13, "only 1 byte", 4, 1},
    {"a second block cut short", vok_test::concat(kGood, resized(kGood, 12)), 13,
     "ends after 12 bytes", 7, 1},
    {"missing end marker", with_byte(block_of(hex("01 02")), 10, 3), 10, "no end marker", 4, 1},
    {"file cut inside an item", resized(block_of(hex("01 CC 05 61 62 63 64 65")), 14), 0,
     "input ends after 14 bytes", 2, 2},
    {"no start marker", with_byte(kGood, 4, 0), 4, "no start marker", 0, 1},
    {"version not unsigned", with_byte(kGood, 6, 0xD8), 6, "version is not an unsigned item", 0, 1},
    {"truncated string", block_of(hex("01 CC 09 61")), 9, "string item runs past the end", 2, 1},
    {"truncated number", block_of(hex("D5 00 01")), 8, "unsigned item runs past", 1, 1},
    {"truncated signed", block_of(hex("D9 00 01")), 8, "signed item runs past", 1, 1},
    {"truncated flag", block_of(hex("CA")), 8, "flag item runs past", 1, 1},
    {"byte 233", block_of(hex("01 E9 00")), 9, "0xe9 cannot start an item", 2, 1},
    {"byte 255", block_of(hex("FF")), 8, "0xff cannot start an item", 1, 1},
    {"unassigned tag 203", block_of(hex("CB 00")), 8, "unassigned tag 0xcb", 1, 1},
    {"unassigned tag 225", block_of(hex("05 E1")), 9, "unassigned tag 0xe1", 2, 1},
    {"end marker inside", block_of(hex("01 C9 02")), 9, "end marker before the end", 2, 1},
    {"start marker inside", block_of(hex("C8 01")), 8, "start marker inside", 1, 1},
};

TEST(Malformed, CheckAndDumpNameTheProblemAndItsOffset) {
    for (const auto &[name, block, offset, message_part, listed, count] : kCases) {
        SCOPED_TRACE(name);
        const std::vector<Problem> checked = check_problems(block);
        ASSERT_FALSE(checked.empty());
        EXPECT_EQ(checked.front().offset, offset);
        EXPECT_NE(checked.front().message.find(message_part), std::string::npos)
            << checked.front().message;

        std::vector<Problem> problems;
        const std::string listing = dump_text(block, {}, &problems);
        ASSERT_EQ(problems.size(), count) << problems.back().message;
        EXPECT_EQ(problems.front().message, checked.front().message);
        EXPECT_EQ(static_cast<size_t>(std::count(listing.begin(), listing.end(), '\n')), listed)
            << listing;
    }
}

TEST(Malformed, EveryPrefixOfAStreamIsReported) {
    const Bytes block = block_of(hex("E0 01 05 CA 01 D9 01 2C 01 D0 02 C3 A9 E3 01 00"));
    for (size_t n = 0; n < block.size(); ++n) {
        const Bytes prefix(block.begin(), block.begin() + static_cast<long>(n));
        std::vector<Problem> problems;
        dump_text(prefix, {}, &problems);
        EXPECT_FALSE(problems.empty() || check_problems(prefix).empty()) << n;
    }
}

} // namespace
