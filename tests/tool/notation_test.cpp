// The text notation: every item kind and width in both directions, and the
// errors of pack with their line and column.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "tool_helpers.hpp"

using namespace vok::tool;
using namespace vok::tool::testing;

namespace {

// The notation as dump prints it after the bar, and the item's bytes.
const std::pair<const char *, const char *> kCases[] = {
    {"mark 199", "C7"},
    {"phrase 255", "E0 FF"},
    {"flag false", "CA 00"},
    {"flag true", "CA 01"},
    {"flag 7", "CA 07"},
    {"u 255", "D2 FF"},
    {"u 256", "D4 01 00"},
    {"u 65536", "D5 00 01 00 00"},
    {"u:16 3", "D4 00 03"},
    {"u:32 3", "D5 00 00 00 03"},
    {"s -5", "D8 05 01"},
    {"s -300", "D9 01 2C 01"},
    {"s -2147483648", "DA 80 00 00 00 01"},
    {"s 2147483647", "DA 7F FF FF FF 00"},
    {"s:16 -5", "D9 00 05 01"},
    {"s -0", "D8 00 01"},
    {"s -5 sign=2", "D8 05 02"},
    {"s 2147483648  # reads as -2147483648", "DA 80 00 00 00 00"},
    {"str \"abc\"", "CC 03 61 62 63"},
    {"str \"\"", "CC 00"},
    {R"(str "\"\\\n\t\r\x00\xff")", "CC 07 22 5C 0A 09 0D 00 FF"},
    {"str:16 \"x\"", "CD 00 01 78"},
    {"utf8 \"\xC3\xA9\"", "D0 02 C3 A9"},
    {R"(utf8 "\xc3(")", "D0 02 C3 28"},
    {R"(utf8 "\u{2028}\u{85}")", "D0 05 E2 80 A8 C2 85"},
    {"utf8:16 \"\"", "D1 00 00"},
    {"utf8:32 \"\"", "E8 00 00 00 00"},
    {"safe 5", "E2 05"},
    {"safe:16 5", "E3 00 05"},
};

TEST(Notation, EveryKindAndWidthPacksAndDumps) {
    for (const auto &[notation, body] : kCases) {
        SCOPED_TRACE(notation);
        const Bytes block = block_of(hex(body));
        EXPECT_EQ(pack_or_fail(std::string("stream type 1 version 0\n") + notation + "\nend\n"),
                  block);
        // The first body item's line, after the hex column.
        const std::string listing = dump_text(block);
        const size_t bar = listing.find("| ", listing.find('\n')) + 2;
        EXPECT_EQ(listing.substr(bar, listing.find('\n', bar) - bar), notation);
    }
}

TEST(Notation, LongStringsAreShortenedUnlessFull) {
    const Bytes block = block_of(vok_test::concat(hex("D1 01 2C"), Bytes(300, 'z')));
    const std::string shortened = dump_text(block, {.notation = {.shorten_above = 64}});
    EXPECT_NE(shortened.find("\"...  # 300 bytes, shortened"), std::string::npos) << shortened;
    EXPECT_TRUE(pack_or_fail(shortened).empty());
    EXPECT_EQ(pack_or_fail(dump_text(block)), block);
}

Bytes resized_copy(Bytes bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

TEST(Notation, JsonLinesCarryValuesAndContentAndProblems) {
    const std::string json =
        dump_text(block_of(hex("E0 02 D8 05 02 CC 02 FF 61")), {.json = true, .notation = {}});
    EXPECT_NE(json.find(R"("kind":"stream","length":18,"type":1,"version":0)"), std::string::npos);
    EXPECT_NE(json.find(R"("kind":"signed","in_phrase":2,"value":-5,"magnitude":5,"sign":2)"),
              std::string::npos);
    EXPECT_NE(json.find(R"("length":2,"width":1,"hex":"ff61")"), std::string::npos);
    EXPECT_NE(json.find(R"("kind":"end"})"), std::string::npos);
    const std::string cut =
        dump_text(resized_copy(block_of(hex("01")), 9), {.json = true, .notation = {}});
    EXPECT_NE(cut.find(R"({"offset":0,"kind":"problem","message":"the length field says 10)"),
              std::string::npos)
        << cut;
}

// Text, line, column, part of the message.
const std::tuple<std::string, size_t, size_t, const char *> kPackErrors[] = {
    {"", 1, 1, "no stream header"},
    {"mark 1\n", 1, 1, "header must come first"},
    {"stream type 1 version 0\nstream type 1 version 0\n", 2, 1, "before the end line"},
    {"stream type 1 version:8 300\n", 1, 25, "does not fit in 8 bits"},
    {"stream type 1 version 0\n  mark 200\n", 2, 8, "from 0 to 199"},
    {"stream type 1 version 0\nu 4294967296\n", 2, 3, "from 0 to 4294967295"},
    {"stream type 1 version 0\nu:8 256\n", 2, 5, "does not fit in 8 bits"},
    {"stream type 1 version 0\nu:24 1\n", 2, 2, "width must be"},
    {"stream type 1 version 0\nstr:32 \"\"\n", 2, 4, "width must be :8 or :16"},
    {"stream type 1 version 0\ns 5 sign=1\n", 2, 5, "needs a minus sign"},
    {"stream type 1 version 0\nflag maybe\n", 2, 6, "expected true, false"},
    {"stream type 1 version 0\nstr \"abc\n", 2, 5, "closing quote"},
    {"stream type 1 version 0\nstr \"a\\q\"\n", 2, 7, "unknown escape: a backslash before 'q'"},
    {std::string("stream type 1 version 0\nstr \"a\\\0\"\n", 34), 2, 7, "before '\\x00'"},
    {"stream type 1 version 0\nstr \"a\\", 2, 5, "closing quote"},
    {"stream type 1 version 0\nutf8 \"\\u{d800}\"\n", 2, 7, "scalar value"},
    {"stream type 1 version 0\nstr \"x\"...\n", 2, 5, "dump with --full"},
    {"stream type 1 version 0\nword 1\n", 2, 1, "unknown item 'word'"},
    {"stream type 1 version 0\nu 1 2\n", 2, 5, "unexpected '2'"},
    {"stream type 1 version 0\n  12  d2 01 u 1\n", 2, 3, "needs '|'"},
    {"stream type 1 version 0\nend\nu 1\n", 3, 1, "only a new stream header"},
};

TEST(Notation, PackErrorsGiveLineAndColumn) {
    for (const auto &[text, line, column, message_part] : kPackErrors) {
        SCOPED_TRACE(text);
        PackError error;
        EXPECT_TRUE(pack_or_fail(text, &error).empty());
        EXPECT_EQ(error.line, line);
        EXPECT_EQ(error.column, column);
        EXPECT_NE(error.message.find(message_part), std::string::npos) << error.message;
    }
}

TEST(Notation, HeaderKeepsAWideVersionAndPackIgnoresColumnsAndComments) {
    const Bytes wide = hex("00 00 00 0F C8 07 D5 00 00 00 03 2A D2 05 C9");
    EXPECT_NE(dump_text(wide).find("| stream type 7 version:32 3  # 15 bytes"), std::string::npos);
    EXPECT_EQ(pack_or_fail("# a comment\n"
                           "0  00 00 00 0f c8 07 d5 00 | stream type 0x07 version:32 3 # 15 bytes\n"
                           "\n"
                           "  11  2a  |   mark 42\n"
                           "  12  ff ff ff ff ff ff ff ff.. | u 0x5  # any hex is ignored\n"),
              wide);
}

} // namespace
