// The text notation: every item kind and width in both directions, and the
// errors of pack with their line and column.
#include <gtest/gtest.h>

#include "tool_helpers.hpp"

using namespace vok::tool;
using namespace vok::tool::testing;

namespace {

struct NotationCase {
    const char *notation; // as dump prints it after the bar
    Bytes body;
};

const NotationCase kCases[] = {
    {"mark 0", {0x00}},
    {"mark 199", {0xC7}},
    {"phrase 255", {0xE0, 0xFF}},
    {"flag false", {0xCA, 0x00}},
    {"flag true", {0xCA, 0x01}},
    {"flag 7", {0xCA, 0x07}},
    {"u 255", {0xD2, 0xFF}},
    {"u 256", {0xD4, 0x01, 0x00}},
    {"u 65536", {0xD5, 0x00, 0x01, 0x00, 0x00}},
    {"u 4294967295", {0xD5, 0xFF, 0xFF, 0xFF, 0xFF}},
    {"u:16 3", {0xD4, 0x00, 0x03}},
    {"u:32 3", {0xD5, 0x00, 0x00, 0x00, 0x03}},
    {"s 0", {0xD8, 0x00, 0x00}},
    {"s -5", {0xD8, 0x05, 0x01}},
    {"s -300", {0xD9, 0x01, 0x2C, 0x01}},
    {"s -2147483648", {0xDA, 0x80, 0x00, 0x00, 0x00, 0x01}},
    {"s 2147483647", {0xDA, 0x7F, 0xFF, 0xFF, 0xFF, 0x00}},
    {"s:16 -5", {0xD9, 0x00, 0x05, 0x01}},
    {"s -0", {0xD8, 0x00, 0x01}},
    {"s -5 sign=2", {0xD8, 0x05, 0x02}},
    {"s 2147483648  # reads as -2147483648", {0xDA, 0x80, 0x00, 0x00, 0x00, 0x00}},
    {"str \"abc\"", {0xCC, 0x03, 'a', 'b', 'c'}},
    {"str \"\"", {0xCC, 0x00}},
    {"str \"\\\"\\\\\\n\\t\\r\\x01\\xff\"", {0xCC, 0x07, '"', '\\', '\n', '\t', '\r', 0x01, 0xFF}},
    {"str \"a\\x00b\"", {0xCC, 0x03, 'a', 0x00, 'b'}},
    {"str:16 \"x\"", {0xCD, 0x00, 0x01, 'x'}},
    {"utf8 \"\xC3\xA9\"", {0xD0, 0x02, 0xC3, 0xA9}},
    {"utf8 \"\\xc3(\"", {0xD0, 0x02, 0xC3, '('}},
    {"utf8 \"\\u{2028}\\u{85}\"", {0xD0, 0x05, 0xE2, 0x80, 0xA8, 0xC2, 0x85}},
    {"utf8:16 \"\"", {0xD1, 0x00, 0x00}},
    {"utf8:32 \"\"", {0xE8, 0x00, 0x00, 0x00, 0x00}},
    {"safe 5", {0xE2, 0x05}},
    {"safe:16 5", {0xE3, 0x00, 0x05}},
};

// The item text on the dump line of the first body item.
std::string first_item_line(const std::string &listing) {
    const size_t line = listing.find('\n') + 1;
    const size_t bar = listing.find("| ", line) + 2;
    return listing.substr(bar, listing.find('\n', bar) - bar);
}

TEST(Notation, EveryKindAndWidthPacksAndDumps) {
    for (const NotationCase &c : kCases) {
        SCOPED_TRACE(c.notation);
        const Bytes block = framed(c.body);
        EXPECT_EQ(pack_or_fail(std::string("stream type 1 version 0\n") + c.notation + "\nend\n"),
                  block);
        EXPECT_EQ(first_item_line(dump_text(block)), c.notation);
    }
}

TEST(Notation, HeaderListsLengthAndKeepsAWideVersion) {
    const Bytes wide = {0, 0, 0, 0x0C, 0xC8, 0x07, 0xD5, 0, 0, 0, 3, 0xC9};
    const std::string listing = dump_text(wide);
    EXPECT_NE(listing.find("| stream type 7 version:32 3  # 12 bytes"), std::string::npos);
    EXPECT_EQ(pack_or_fail(listing), wide);
}

TEST(Notation, LongStringsAreShortenedDetectablyAndFullOnRequest) {
    const std::string text(300, 'z');
    vokStream s{};
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    ASSERT_EQ(vokWriteUTF8String(&s, text.c_str()), VOK_OK);
    ASSERT_EQ(vokCloseStream(&s), VOK_OK);
    const Bytes block(vokGetData(&s), vokGetData(&s) + vokGetLength(&s));
    vokDestroyStream(vokGetData(&s));

    Sink out;
    DumpOptions options;
    options.notation.shorten_above = 64;
    ASSERT_TRUE(dump_stream(block, out, options).empty());
    EXPECT_NE(out.text().find("# 300 bytes, shortened"), std::string::npos);
    PackError error;
    EXPECT_TRUE(pack_or_fail(out.text(), &error).empty());
    EXPECT_EQ(error.line, 2u);
    EXPECT_NE(error.message.find("--full"), std::string::npos);

    EXPECT_EQ(pack_or_fail(dump_text(block)), block);
}

TEST(Notation, JsonLinesCarryValuesAndContent) {
    const std::string json =
        dump_text(framed({0xE0, 0x02, 0xD8, 0x05, 0x02, 0xCC, 0x02, 0xFF, 'a'}), nullptr, true);
    EXPECT_NE(json.find(R"("kind":"stream","length":18,"type":1,"version":0)"), std::string::npos);
    EXPECT_NE(json.find(R"("kind":"signed","in_phrase":2,"value":-5,"magnitude":5,"sign":2)"),
              std::string::npos);
    EXPECT_NE(json.find(R"("length":2,"width":1,"hex":"ff61")"), std::string::npos);
    EXPECT_NE(json.find(R"("kind":"end"})"), std::string::npos);
}

struct PackErrorCase {
    const char *text;
    size_t line;
    size_t column;
    const char *message_part;
};

const PackErrorCase kPackErrors[] = {
    {"", 1, 1, "no stream header"},
    {"mark 1\n", 1, 1, "header must come first"},
    {"stream type 1 version 0\nstream type 1 version 0\n", 2, 1, "second stream header"},
    {"stream type 256 version 0\n", 1, 13, "from 0 to 255"},
    {"stream type 1 version:8 300\n", 1, 25, "does not fit in 8 bits"},
    {"stream type 1 version 0\n  mark 200\n", 2, 8, "from 0 to 199"},
    {"stream type 1 version 0\nu 4294967296\n", 2, 3, "from 0 to 4294967295"},
    {"stream type 1 version 0\nu:8 256\n", 2, 5, "does not fit in 8 bits"},
    {"stream type 1 version 0\nu:24 1\n", 2, 2, "width must be"},
    {"stream type 1 version 0\nstr:32 \"\"\n", 2, 4, "width must be :8 or :16"},
    {"stream type 1 version 0\ns 5 sign=1\n", 2, 5, "needs a minus sign"},
    {"stream type 1 version 0\nflag maybe\n", 2, 6, "expected true, false"},
    {"stream type 1 version 0\nstr \"abc\n", 2, 5, "closing quote"},
    {"stream type 1 version 0\nstr \"a\\q\"\n", 2, 7, "unknown escape"},
    {"stream type 1 version 0\nutf8 \"\\u{d800}\"\n", 2, 7, "scalar value"},
    {"stream type 1 version 0\nstr \"x\"...\n", 2, 5, "shortened"},
    {"stream type 1 version 0\nword 1\n", 2, 1, "unknown item 'word'"},
    {"stream type 1 version 0\nu 1 2\n", 2, 5, "unexpected '2'"},
    {"stream type 1 version 0\n  12  d2 01 u 1\n", 2, 3, "needs '|'"},
    {"stream type 1 version 0\nend\nu 1\n", 3, 1, "follow the end marker"},
};

TEST(Notation, PackErrorsGiveLineAndColumn) {
    for (const PackErrorCase &c : kPackErrors) {
        SCOPED_TRACE(c.text);
        PackError error;
        EXPECT_TRUE(pack_or_fail(c.text, &error).empty());
        EXPECT_EQ(error.line, c.line);
        EXPECT_EQ(error.column, c.column);
        EXPECT_NE(error.message.find(c.message_part), std::string::npos) << error.message;
    }
}

TEST(Notation, ListingColumnsAndCommentsAreIgnored) {
    const Bytes expected = framed({0x2A, 0xD2, 0x05});
    EXPECT_EQ(pack_or_fail("# a comment\n"
                           "0  00 00 00 0b c8 01 d2 00 | stream type 0x01 version 0 # 11 bytes\n"
                           "\n"
                           "   8  2a  |   mark 42\n"
                           "   9  ff ff ff ff ff ff ff ff.. | u 0x5  # any hex is ignored\n"),
              expected);
}

} // namespace
