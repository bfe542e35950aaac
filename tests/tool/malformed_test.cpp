// Malformed blocks: check and dump name the first problem and its offset,
// dump lists what could be read before it, and nothing crashes.
#include <gtest/gtest.h>

#include "checker.hpp"
#include "format/frame.hpp"
#include "tool_helpers.hpp"

using namespace vok::tool;
using namespace vok::tool::testing;

namespace {

Bytes with_length(Bytes block, uint32_t length) {
    vok::format::put_total_length(block.data(), length);
    return block;
}

Bytes without_last(Bytes block, size_t n) {
    block.resize(block.size() - n);
    return block;
}

struct MalformedCase {
    const char *name;
    Bytes block;
    uint64_t offset;
    const char *message_part;
    size_t listed; // entries dump lists before stopping
};

std::vector<MalformedCase> malformed_cases() {
    const Bytes good = framed({0x01, 0xD4, 0x01, 0x2C});
    return {
        {"empty file", {}, 0, "too short for the length field", 0},
        {"length below the minimum", with_length(good, 5), 0, "below the smallest", 0},
        {"length beyond the file", with_length(good, 400), 0, "file holds 13 bytes", 3},
        {"bytes after the block",
         [&] {
             Bytes b = good;
             b.push_back(0);
             return b;
         }(),
         13, "follow the end of the block", 4},
        {"missing end marker",
         [] {
             Bytes b = framed({0x01, 0x02});
             b.back() = 0x03;
             return b;
         }(),
         10, "no end marker", 4},
        {"truncated file", without_last(framed({0x01, 0xCC, 0x05, 'a', 'b', 'c', 'd', 'e'}), 3), 0,
         "file holds 14 bytes", 2},
        {"no start marker",
         [&] {
             Bytes b = good;
             b[4] = 0;
             return b;
         }(),
         4, "no start marker", 0},
        {"version not unsigned",
         [&] {
             Bytes b = good;
             b[6] = 0xD8;
             return b;
         }(),
         6, "version is not an unsigned item", 0},
        {"truncated string item", framed({0x01, 0xCC, 0x09, 'a'}), 9,
         "string item runs past the end", 2},
        {"truncated number", framed({0xD5, 0x00, 0x01}), 8, "unsigned item runs past", 1},
        {"truncated signed", framed({0xD9, 0x00, 0x01}), 8, "signed item runs past", 1},
        {"truncated flag", framed({0xCA}), 8, "flag item runs past", 1},
        {"byte 233", framed({0x01, 0xE9, 0x00}), 9, "0xe9 cannot start an item", 2},
        {"byte 255", framed({0xFF}), 8, "0xff cannot start an item", 1},
        {"unassigned tag 203", framed({0xCB, 0x00}), 8, "unassigned tag 0xcb", 1},
        {"unassigned tag 225", framed({0x05, 0xE1}), 9, "unassigned tag 0xe1", 2},
        {"end marker inside", framed({0x01, 0xC9, 0x02}), 9, "end marker before the end", 2},
        {"start marker inside", framed({0xC8, 0x01}), 8, "start marker inside", 1},
    };
}

TEST(Malformed, CheckAndDumpNameTheProblemAndItsOffset) {
    for (const MalformedCase &c : malformed_cases()) {
        SCOPED_TRACE(c.name);
        const CheckReport report = check_stream(c.block, {});
        ASSERT_FALSE(report.problems.empty());
        EXPECT_EQ(report.problems.front().offset, c.offset);
        EXPECT_NE(report.problems.front().message.find(c.message_part), std::string::npos)
            << report.problems.front().message;

        std::vector<Problem> problems;
        const std::string listing = dump_text(c.block, &problems);
        ASSERT_FALSE(problems.empty());
        EXPECT_EQ(problems.front().message, report.problems.front().message);
        EXPECT_EQ(static_cast<size_t>(std::count(listing.begin(), listing.end(), '\n')), c.listed)
            << listing;
    }
}

TEST(Malformed, TruncatedFileListsWhatPrecedesTheCut) {
    // Length says 13, the file stops inside the string: the header and the
    // mark are listed, then the string is reported where it starts.
    const Bytes cut = without_last(framed({0x01, 0xCC, 0x05, 'a', 'b', 'c', 'd', 'e'}), 3);
    std::vector<Problem> problems;
    dump_text(cut, &problems);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[1].offset, 9u);
    EXPECT_NE(problems[1].message.find("runs past"), std::string::npos);
}

TEST(Malformed, ExpectedTypeFailsAndOtherVersionWarns) {
    const Bytes block = framed({});
    EXPECT_EQ(check_stream(block, {1, 0}).problems.size(), 0u);
    const CheckReport wrong_type = check_stream(block, {2, std::nullopt});
    ASSERT_EQ(wrong_type.problems.size(), 1u);
    EXPECT_EQ(wrong_type.problems[0].offset, 5u);
    const CheckReport newer = check_stream(block, {std::nullopt, 1u});
    EXPECT_TRUE(newer.problems.empty());
    ASSERT_TRUE(newer.warning.has_value());
    EXPECT_NE(newer.warning->find("older"), std::string::npos);
}

TEST(Malformed, EveryPrefixOfAStreamIsHandled) {
    const Bytes block = framed({0xE0, 0x01, 0x05, 0xCA, 0x01, 0xD9, 0x01, 0x2C, 0x01, 0xD0, 0x02,
                                0xC3, 0xA9, 0xE3, 0x01, 0x00});
    ASSERT_TRUE(check_stream(block, {}).problems.empty());
    for (size_t n = 0; n < block.size(); ++n) {
        const Bytes prefix(block.begin(), block.begin() + static_cast<long>(n));
        EXPECT_FALSE(check_stream(prefix, {}).problems.empty()) << n;
        std::vector<Problem> problems;
        dump_text(prefix, &problems);
        EXPECT_FALSE(problems.empty()) << n;
    }
}

} // namespace
