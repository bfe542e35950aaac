// dump, check and pack in-process: the notation of every kind and width, the
// non-canonical ones included (fuzz_check packs its seeds back from both
// notations); pack's errors; malformed blocks, named by check and dump alike.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/mman.h>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

#include "block_reader.hpp"
#include "byte_helpers.hpp"
#include "checker.hpp"
#include "dumper.hpp"
#include "packer.hpp"

using namespace vok::tool;
using namespace vok_test;

namespace {

// Reads bytes as the tool reads its input, handing what it finds to visit
// until it returns false.
void scan(const Bytes &bytes, const std::function<bool(const Found &)> &visit,
          ScanRules rules = {}) {
    const int fd = memfd_create("input", 0);
    if (!bytes.empty() && write(fd, bytes.data(), bytes.size()) < 0) std::abort();
    Input input;
    std::string error;
    if (!input.open("/proc/self/fd/" + std::to_string(fd), error)) std::abort();
    close(fd);
    BlockReader reader(input, rules);
    if (!visit_blocks(reader, visit, error)) std::abort();
}

// The blocks alone, good and damaged.
void for_each_block(const Bytes &bytes, const std::function<bool(const Block &)> &visit) {
    scan(bytes,
         [&](const Found &f) { return f.kind == BlockReader::Result::skipped || visit(*f.block); });
}

// What dump lists and the problems it reports, and those check reports, in
// the first bad block of bytes.
struct Outcome {
    std::string listing;
    std::vector<Problem> dumped;
    std::vector<Problem> checked;
};

Outcome examine(const Bytes &bytes, const DumpOptions &options = {}) {
    Sink out;
    Outcome o;
    for_each_block(bytes, [&](const Block &block) {
        o.dumped = dump_stream(block, out, options);
        return o.dumped.empty();
    });
    for_each_block(bytes, [&](const Block &block) {
        o.checked = check_stream(block, {}).problems;
        return o.checked.empty();
    });
    o.listing = out.text();
    return o;
}

// The packed blocks, or no bytes and the error in *error.
Bytes pack_or_fail(const std::string &text, PackError *error = nullptr, bool json = false) {
    Bytes block;
    PackError ignored;
    return pack_text(text, block, error != nullptr ? *error : ignored, json) ? block : Bytes{};
}

// Cases of tool/notation_vectors.json.
const nlohmann::json &vectors(const char *key) {
    static const nlohmann::json all =
        nlohmann::json::parse(std::ifstream(VOK_SOURCE_DIR "/tests/tool/notation_vectors.json"));
    return all[key];
}

TEST(Notation, EveryKindAndWidthPacksAndDumps) {
    for (const nlohmann::json &c : vectors("items")) {
        const std::string notation = c[0], body = c[1];
        SCOPED_TRACE(notation);
        const Bytes block = block_of(hex(body));
        EXPECT_EQ(pack_or_fail(std::string("stream type 1 version 0\n") + notation + "\nend\n"),
                  block);
        // The first body item's line, after the hex column.
        const std::string listing = examine(block).listing;
        const size_t bar = listing.find("| ", listing.find('\n')) + 2;
        EXPECT_EQ(listing.substr(bar, listing.find('\n', bar) - bar), notation);
    }
}

TEST(Notation, LongStringsAreShortenedUnlessFull) {
    const Bytes block = block_of(concat(hex("D1 01 2C"), Bytes(300, 'z')));
    const std::string shortened = examine(block, {.notation = {.shorten_above = 64}}).listing;
    EXPECT_NE(shortened.find("\"...  # 300 bytes, shortened"), std::string::npos) << shortened;
    EXPECT_EQ(pack_or_fail(examine(block).listing), block);
}

// What only the JSON lines tell: the phrase an item stands in, and problems.
TEST(Notation, JsonLinesNameThePhraseAndTheProblems) {
    Bytes block = block_of(hex("E0 02 D8 05 02"));
    const auto json = [&block] { return examine(block, {.json = true, .notation = {}}).listing; };
    EXPECT_NE(json().find(R"("kind":"signed","in_phrase":2,)"), std::string::npos);
    block.resize(9);
    EXPECT_NE(json().find(R"({"block":0,"byte":0,"status":"VOKX_NEED_MORE","message":)"
                          R"("the length field says 14)"),
              std::string::npos);
}

TEST(Notation, PackErrorsGiveLineAndColumn) {
    for (const nlohmann::json &c : vectors("pack_errors")) {
        const std::string text = c[0], message_part = c[3];
        const size_t line = c[1], column = c[2];
        SCOPED_TRACE(text);
        PackError error;
        EXPECT_TRUE(pack_or_fail(text, &error).empty());
        EXPECT_EQ(std::make_pair(error.line, error.column), std::make_pair(line, column));
        EXPECT_NE(error.message.find(message_part), std::string::npos) << error.message;
    }
}

TEST(Notation, JsonNumbersAreHeldToTheirKeysRanges) {
    for (const nlohmann::json &c : vectors("json_refusals")) {
        const std::string line = c[0], message_part = c[1];
        SCOPED_TRACE(line);
        PackError error;
        EXPECT_TRUE(
            pack_or_fail(std::string(R"({"kind":"stream","type":1,"version":0})") + "\n" + line,
                         &error, true)
                .empty());
        EXPECT_EQ(error.line, 2u);
        EXPECT_NE(error.message.find(message_part), std::string::npos) << error.message;
    }
}

TEST(Notation, HeaderKeepsAWideVersionAndPackIgnoresColumnsAndComments) {
    const Bytes wide = hex("00 00 00 0F C8 07 D5 00 00 00 03 2A D2 05 C9");
    EXPECT_NE(examine(wide).listing.find("| stream type 7 version:32 3  # 15 bytes"),
              std::string::npos);
    EXPECT_EQ(pack_or_fail("# a comment\n"
                           "0  00 00 00 0f c8 07 d5 00 | stream type 0x07 version:32 3 # 15 bytes\n"
                           "\n"
                           "  11  2a  |   mark 42\n"
                           "  12  ff ff ff ff ff ff ff ff.. | u 0x5  # any hex is ignored\n"),
              wide);
}

TEST(Malformed, CheckAndDumpNameTheProblemAndItsOffset) {
    for (const nlohmann::json &c : vectors("malformed")) {
        const std::string name = c[0], message_part = c[3];
        const Bytes block = hex(c[1]);
        const uint64_t offset = c[2];
        const size_t listed = c[4], count = c[5];
        SCOPED_TRACE(name);
        const Outcome o = examine(block);
        ASSERT_FALSE(o.checked.empty());
        EXPECT_EQ(o.checked.front().offset, offset);
        EXPECT_EQ(o.checked.front().block, block.size() > 13 && offset >= 13 ? 13u : 0u);
        EXPECT_NE(o.checked.front().message.find(message_part), std::string::npos)
            << o.checked.front().message;
        ASSERT_EQ(o.dumped.size(), count) << o.dumped.back().message;
        EXPECT_EQ(o.dumped.front().message, o.checked.front().message);
        EXPECT_EQ(static_cast<size_t>(std::count(o.listing.begin(), o.listing.end(), '\n')), listed)
            << o.listing;
    }
}

// What the reader finds in an input, one word each: "block@0",
// "damaged@13", "skipped@13-40".
std::vector<std::string> findings(const Bytes &bytes, ScanRules rules = {}) {
    std::vector<std::string> found;
    scan(
        bytes,
        [&](const Found &f) {
            if (f.kind == BlockReader::Result::skipped)
                found.push_back("skipped@" + std::to_string(f.skipped->from) + "-" +
                                std::to_string(f.skipped->to));
            else
                found.push_back((f.kind == BlockReader::Result::block ? "block@" : "damaged@") +
                                std::to_string(f.block->offset));
            return true;
        },
        rules);
    return found;
}

TEST(Resynchronisation, FindsTheNextBlockThatIsFollowedByAnother) {
    const Bytes a = kRecord;                      // 13 bytes, type 7
    const Bytes b = block_of(hex("D4 01 2C"), 2); // of type 2
    const Bytes torn(a.begin(), a.begin() + 8);
    const struct {
        const char *name;
        Bytes input;
        std::vector<std::string> expected;
        ScanRules rules = {};
    } cases[] = {
        {"garbage between blocks",
         concat(concat(a, hex("01 02 03")), concat(a, a)),
         {"block@0", "damaged@13", "skipped@13-16", "block@16", "block@29"}},
        {"a torn block",
         concat(concat(a, torn), concat(a, a)),
         {"block@0", "damaged@13", "skipped@13-21", "block@21", "block@34"}},
        {"a torn block at the end", concat(a, torn), {"block@0", "damaged@13", "skipped@13-21"}},
        {"a good block must be followed by another",
         concat(concat(hex("FF"), a), concat(hex("FF"), a)),
         {"damaged@0", "skipped@0-15", "block@15"}},
        {"a length field above the largest block",
         concat(concat(hex("00 10 00 00"), a), a),
         {"damaged@0", "skipped@0-4", "block@4", "block@17"},
         {.max_block = 4096, .type = {}}},
        {"a block of another type is passed over",
         concat(concat(hex("FF"), b), concat(a, a)),
         {"damaged@0", "skipped@0-" + std::to_string(1 + b.size()),
          "block@" + std::to_string(1 + b.size()), "block@" + std::to_string(14 + b.size())},
         {.max_block = ScanRules::kDefaultMaxBlock, .type = 7}},
        // A place claiming 36 bytes whose string passes over a real block's
        // header, so that its items walk through that block's and stop at
        // its end marker: the claim is refused, and the real block, whose
        // walk is then the one remembered, found.
        {"a walk that ends early, remembered",
         concat(concat(hex("FF 00 00 00 24 C8 07 D2 03 CC 08"), a), a),
         {"damaged@0", "skipped@0-11", "block@11", "block@24"}},
        {"an empty input", {}, {"damaged@0"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(findings(c.input, c.rules), c.expected);
    }
}

// Thousands of places claim a block whose items all lead into one long run
// of marks and end at its end marker, and none is followed by a block: a
// search that walked each claim's items anew would step over the run once
// per claim (about 10^10 steps here); remembering walks makes it one pass.
TEST(Resynchronisation, CostIsLinearWhenEveryPlaceClaimsABlock) {
    constexpr size_t kClaims = 10000, kRun = size_t{1} << 20, kClaim = 11;
    const size_t run_start = 1 + kClaims * kClaim, last = run_start + kRun;
    Bytes input(1, 0xFF);
    for (size_t k = 0; k < kClaims; ++k) {
        const size_t at = input.size();
        const auto length = static_cast<uint32_t>(last - at + 1);
        const auto skip = static_cast<uint16_t>(run_start - (at + kClaim));
        const uint8_t claim[kClaim] = {uint8_t(length >> 24),
                                       uint8_t(length >> 16),
                                       uint8_t(length >> 8),
                                       uint8_t(length),
                                       VOK_START,
                                       7,
                                       VOK_UNSIGNED_1,
                                       0,
                                       VOK_STRING_2,
                                       uint8_t(skip >> 8),
                                       uint8_t(skip)};
        input.insert(input.end(), claim, claim + kClaim);
    }
    input.resize(last, 1); // user marks
    input.push_back(VOK_END);
    input.push_back(0xFF); // no block follows
    const std::vector<std::string> found = findings(input);
    EXPECT_EQ(found,
              (std::vector<std::string>{"damaged@0", "skipped@0-" + std::to_string(input.size())}));
}

} // namespace
