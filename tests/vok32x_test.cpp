// vok32x through its public header: framing, sized opening and walking with
// every block flush against an inaccessible page, raw writing, names, sizes
// and the C++ ranges.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "byte_helpers.hpp"
#include "vok32x.h"
#include "vok32x.hpp"

namespace {

using vok_test::block_of;
using vok_test::Bytes;
using vok_test::hex;

// One item of every kind and width, non-canonical ones included, with what
// vokxNextItem must say of it.
struct Row {
    const char *bytes;
    uint8_t kind;
    uint32_t value;
    int32_t signed_value;
    const char *text; // hex of the content of a plain or UTF-8 string
};
// clang-format off
const Row kRows[] = {
    {"2A", VOK_USER_MARK, 42, 0, nullptr}, {"CA 07", VOK_FLAG, 7, 0, nullptr},
    {"E0 FF", VOK_PHRASE_MARK, 255, 0, nullptr}, {"D2 05", VOK_UNSIGNED_1, 5, 0, nullptr},
    {"D4 00 05", VOK_UNSIGNED_2, 5, 0, nullptr},
    {"D5 FF FF FF FF", VOK_UNSIGNED_4, 0xFFFFFFFF, 0, nullptr},
    {"D8 05 01", VOK_SIGNED_1, 0, -5, nullptr}, {"D9 00 05 02", VOK_SIGNED_2, 0, -5, nullptr},
    {"DA 80 00 00 00 01", VOK_SIGNED_4, 0, INT32_MIN, nullptr},
    {"CC 03 61 00 63", VOK_STRING_1, 0, 0, "61 00 63"}, {"CD 00 01 41", VOK_STRING_2, 0, 0, "41"},
    {"D0 00", VOK_UTF8_1, 0, 0, ""}, {"D1 00 02 C3 A9", VOK_UTF8_2, 0, 0, "C3 A9"},
    {"E8 00 00 00 01 7A", VOK_UTF8_4, 0, 0, "7A"}, {"E2 05", VOK_SAFE_1, 5, 0, nullptr},
    {"E3 01 00", VOK_SAFE_2, 256, 0, nullptr},
};
// clang-format on

Bytes all_rows() {
    Bytes body;
    for (const Row &r : kRows)
        body = vok_test::concat(body, hex(r.bytes));
    return body;
}

// Blocks with a 1-, 2- and 4-byte version.
const std::vector<Bytes> kBlocks = {block_of(all_rows()), hex("00 00 00 0B C8 01 D4 01 2C 01 C9"),
                                    hex("00 00 00 0C C8 01 D5 00 01 11 70 C9")};

const Bytes kSequence = vok_test::concat(vok_test::concat(kBlocks[0], kBlocks[1]), kBlocks[2]);

// Copies bytes so that they end where an inaccessible page begins.
const uint8_t *flush(const Bytes &bytes, size_t n) {
    static uint8_t *const end = vok_test::guarded_end(1 << 16);
    if (end == nullptr) return nullptr;
    if (n) std::memcpy(end - n, bytes.data(), n);
    return end - n;
}

void expect_row(const vokxItem &it, const Row &r, uint32_t offset) {
    const auto seen = std::tuple(it.kind, it.offset, it.size, it.value, it.signed_value,
                                 it.text != nullptr, Bytes(it.text, it.text + it.length));
    EXPECT_EQ(seen, std::tuple(r.kind, offset, uint32_t(hex(r.bytes).size()), r.value,
                               r.signed_value, r.text != nullptr, r.text ? hex(r.text) : Bytes{}))
        << r.bytes;
}

bool is_cleared(const vokxItem &it) { return it.kind == 0 && it.size == 0 && it.text == nullptr; }

TEST(Vokx, OpenRefusesEveryTruncationWithoutReadingPastIt) {
    for (const Bytes &b : kBlocks) {
        for (size_t n = 0; n < b.size(); ++n) {
            const uint8_t *p = flush(b, n);
            ASSERT_NE(p, nullptr);
            vokStream s{nullptr, 77, 33, 1};
            ASSERT_EQ(vokxOpen(&s, p, n, b[5], 0), VOK_INVALID_STREAM) << n;
            EXPECT_TRUE(s.data == p && s.active == 0 && s.position == 33 && s.capacity == 77);
        }
    }
}

// Both openers on whole blocks flush against an inaccessible page, vokxOpen
// told of five bytes more: the same status and record, capacity neither set
// nor used, and only a block that opens is readable.
TEST(Vokx, OpenGivesWhatVokOpenStreamGives) {
    const Bytes &record = vok_test::kRecord; // mark 1, unsigned 300
    const auto with = [&](size_t at, uint8_t value) {
        Bytes b = record;
        b[at] = value;
        return b;
    };
    // block, type and version asked for, status, position after
    const std::tuple<Bytes, uint8_t, uint32_t, uint16_t, uint32_t> cases[] = {
        {record, 7, 3, VOK_OK, 8},
        {record, 7, 2, VOK_NEWER_VERSION, 8},
        {record, 7, 4, VOK_OLDER_VERSION, 8},
        {with(12, 0xC8), 7, 3, VOK_INVALID_STREAM, 77}, // no end marker
        {with(4, 0xC9), 7, 3, VOK_UNEXPECTED, 5},
        {record, 6, 3, VOK_WRONG_STREAM_TYPE, 6},
        {with(6, 0xD8), 7, 3, VOK_BAD_VERSION, 6},
        {with(3, 0x08), 7, 3, VOK_INVALID_STREAM, 77},
        {hex("00 00 00 05 C9 07 D2 03 C9"), 7, 3, VOK_INVALID_STREAM, 77}, // end marker at 4
        {hex("00 00 00 09 C8 07 D5 00 C9"), 7, 0, VOK_INVALID_STREAM, 6},  // version overruns
        {hex("00 00 00 0B C8 07 D5 00 00 00 C9"), 7, 0, VOK_INVALID_STREAM, 6},
    };
    for (const auto &[block, type, version, status, position] : cases) {
        const uint8_t *p = flush(block, block.size());
        vokStream ours{nullptr, 5, 77, 1}, theirs = ours;
        EXPECT_EQ(vokxOpen(&ours, p, block.size() + 5, type, version), status);
        EXPECT_EQ(vokOpenStream(&theirs, p, type, version), status);
        for (const vokStream &s : {ours, theirs})
            EXPECT_TRUE(s.data == p && s.position == position && s.capacity == 5 &&
                        s.active == (position == 8))
                << testing::PrintToString(block);
    }
    vokStream s{nullptr, 5, 6, 7};
    EXPECT_EQ(vokOpenStream(&s, nullptr, 7, 3), VOK_INVALID_STREAM);
    EXPECT_EQ(vokxOpen(&s, nullptr, 100, 7, 3), VOK_INVALID_STREAM);
    EXPECT_TRUE(s.data == nullptr && s.capacity == 5 && s.position == 6 && s.active == 7);
}

// Every body cut short after k bytes, re-framed so that the cut is where the
// end marker stands: the walk gives the whole items, then the end or a
// refusal that does not move.
TEST(Vokx, NextItemWalksEveryTruncatedBodyWithinItsBlock) {
    const Bytes body = all_rows();
    for (size_t k = 0; k <= body.size(); ++k) {
        const Bytes b = block_of(Bytes(body.begin(), body.begin() + static_cast<long>(k)));
        vokStream s{};
        ASSERT_EQ(vokxOpen(&s, flush(b, b.size()), b.size(), 1, 0), VOK_OK);
        vokxItem it;
        uint32_t offset = 8;
        for (const Row &r : kRows) {
            if (offset + hex(r.bytes).size() > 8 + k) break;
            ASSERT_EQ(vokxNextItem(&s, &it), VOK_OK) << k;
            expect_row(it, r, offset);
            offset += it.size;
            ASSERT_EQ(s.position, offset);
        }
        const bool boundary = offset == 8 + k;
        ASSERT_EQ(vokxNextItem(&s, &it), boundary ? VOK_END_OF_STREAM : VOK_INVALID_STREAM) << k;
        EXPECT_EQ(s.position, offset);
        EXPECT_TRUE(boundary ? it.kind == VOK_END && it.offset == offset && it.size == 1
                             : is_cleared(it));
    }
}

TEST(Vokx, NextItemRefusesHandlesItCannotRead) {
    vokxItem it;
    vokStream s{};
    EXPECT_EQ(vokxNextItem(&s, &it), VOK_NOT_ACTIVE);
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    EXPECT_EQ(vokxNextItem(&s, &it), VOK_NOT_ACTIVE);
    EXPECT_TRUE(is_cleared(it) && s.position == 8);
    const Bytes b = vok_test::finish(s);
    ASSERT_EQ(vokxOpen(&s, b.data(), b.size(), 1, 0), VOK_OK);
    s.position = 9; // past the block
    EXPECT_EQ(vokxNextItem(&s, nullptr), VOK_INVALID_STREAM);
    s.position = 4; // a start marker inside the walk
    EXPECT_EQ(vokxNextItem(&s, nullptr), VOK_INVALID_STREAM);
}

// Each prefix of three blocks back to back, from each block's start.
TEST(Vokx, InspectFramesEveryPrefixOfASequence) {
    const Bytes &seq = kSequence;
    for (size_t start = 0, i = 0; i < kBlocks.size(); start += kBlocks[i++].size()) {
        const Bytes rest(seq.begin() + static_cast<long>(start), seq.end());
        const Bytes &b = kBlocks[i];
        const uint32_t body = b[6] == VOK_UNSIGNED_1 ? 8 : b[6] == VOK_UNSIGNED_2 ? 9 : 11;
        for (size_t n = 0; n <= rest.size(); ++n) {
            vokxBlockInfo info{1, 1, 1, 1};
            const uint16_t status = vokxInspect(flush(rest, n), n, &info);
            ASSERT_EQ(status, n < b.size() ? VOKX_NEED_MORE : VOK_OK) << i << " " << n;
            EXPECT_EQ(info.length, n >= 4 ? b.size() : 0u);
            EXPECT_EQ(info.type, n >= 6 ? b[5] : 0);
            EXPECT_EQ(info.body, n >= body ? body : 0);
        }
    }
}

// Hopeless frames are refused as soon as the deciding byte is there.
TEST(Vokx, InspectRefusesAsSoonAsAFrameCannotBeValid) {
    const std::pair<const char *, size_t> cases[] = {
        // block, deciding byte count
        {"00 00 00 08 C8 01 D2 00", 4},          {"00 00 00 09 C7 01 D2 00 C9", 5},
        {"00 00 00 09 C8 01 D8 00 C9", 7},       {"00 00 00 0A C8 01 D5 00 00 C9", 7},
        {"00 00 00 09 C8 01 D2 00 00 C9 C9", 9},
    };
    for (const auto &[bytes, deciding] : cases) {
        const Bytes b = hex(bytes);
        for (size_t n = 0; n <= b.size(); ++n)
            EXPECT_EQ(vokxInspect(flush(b, n), n, nullptr),
                      n < deciding ? VOKX_NEED_MORE : VOK_INVALID_STREAM)
                << bytes << " " << n;
    }
}

// Raw bytes, and the walk's description of them put back, give the item
// again (a signed item's sign byte as 0 or 1, all a description holds).
TEST(Vokx, WriteItemAndPutItemRoundTripEveryKindAndWidth) {
    Bytes large = hex("D1 01 2C");
    large.resize(303, 'x');
    std::vector<Bytes> items{large};
    for (const Row &r : kRows)
        items.push_back(hex(r.bytes));
    for (const Bytes &item : items) {
        const Bytes block = block_of(item);
        vokStream in{};
        vokxItem described{};
        ASSERT_EQ(vokxOpen(&in, block.data(), block.size(), 1, 0), VOK_OK);
        ASSERT_EQ(vokxNextItem(&in, &described), VOK_OK);
        Bytes expected = item;
        if (vokxKindClass(described.kind) == VOKX_CLASS_SIGNED)
            expected.back() = described.signed_value < 0;
        for (const bool put : {false, true}) {
            vokStream s{};
            ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
            ASSERT_EQ(put ? vokxPutItem(&s, &described)
                          : vokxWriteItem(&s, item.data(), item.size()),
                      VOK_OK);
            // Growth follows the append rule: position + max(size + 1, 128).
            EXPECT_EQ(s.capacity, item.size() + 9 > 256 ? 8 + item.size() + 1 : 256);
            EXPECT_EQ(vok_test::finish(s), block_of(put ? expected : item));
        }
    }
}

TEST(Vokx, PutItemRefusesWhatNoItemIs) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    // kind, value, signed value, text, length
    const std::tuple<uint8_t, uint32_t, int32_t, const uint8_t *, uint32_t> kBad[] = {
        {VOK_START, 0, 0, nullptr, 0},
        {VOK_END, 0, 0, nullptr, 0},
        {5, 5, 0, nullptr, 0},
        {203, 0, 0, nullptr, 0},
        {233, 0, 0, nullptr, 0},
        {VOK_USER_MARK, 200, 0, nullptr, 0},
        {VOK_FLAG, 256, 0, nullptr, 0},
        {VOK_PHRASE_MARK, 256, 0, nullptr, 0},
        {VOK_UNSIGNED_1, 256, 0, nullptr, 0},
        {VOK_UNSIGNED_2, 65536, 0, nullptr, 0},
        {VOK_SIGNED_1, 0, -256, nullptr, 0},
        {VOK_SIGNED_2, 0, INT32_MIN, nullptr, 0},
        {VOK_STRING_1, 0, 0, nullptr, 3},
        {VOK_UTF8_1, 0, 0, abc, 256},
        {VOK_SAFE_1, 256, 0, nullptr, 0},
    };
    vokStream s{};
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    for (const auto &[kind, value, signed_value, text, length] : kBad) {
        const vokxItem item{kind, 0, 0, value, signed_value, text, length};
        EXPECT_EQ(vokxPutItem(&s, &item), VOK_INVALID_STREAM) << int(kind);
    }
    EXPECT_EQ(vokxPutItem(&s, nullptr), VOK_INVALID_STREAM);
    EXPECT_EQ(vok_test::finish(s), block_of({}));
}

// Counted strings: zero bytes kept, the same item and refusals as the
// zero-terminated writers; a safe string reports VOK_OK.
TEST(Vokx, CountedStringWriters) {
    const uint8_t zeros[] = {'a', 'b', 0, 'c', 'd'};
    const std::string big(65536, 'x');
    const auto *bytes = reinterpret_cast<const uint8_t *>(big.data());
    vokStream s{};
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    EXPECT_EQ(vokxWriteString(&s, zeros, 5), VOK_OK);
    EXPECT_EQ(vokxWriteUTF8String(&s, zeros, 2), VOK_OK);
    EXPECT_EQ(vokxWriteString(&s, nullptr, 0), VOK_OK);
    EXPECT_EQ(vokxWriteSafeString(&s, 300), VOK_OK);
    EXPECT_EQ(vokxWriteString(&s, bytes, 65536), VOK_STRING_TOO_LONG);
    EXPECT_EQ(vokxWriteSafeString(&s, 65536), VOK_STRING_TOO_LONG);
    EXPECT_EQ(vokxWriteUTF8String(&s, nullptr, 1), VOK_INVALID_STREAM);
    EXPECT_EQ(vok_test::finish(s),
              block_of(hex("CC 05 61 62 00 63 64 D0 02 61 62 CC 00 E3 01 2C")));
    EXPECT_EQ(vokxWriteString(&s, zeros, 1), VOK_NOT_ACTIVE);
    vokStream a{}, b{};
    ASSERT_EQ(vokCreateStream(&a, 1, 0) | vokCreateStream(&b, 1, 0), VOK_OK);
    EXPECT_EQ(vokxWriteUTF8String(&a, bytes, 65536), vokWriteUTF8String(&b, big.c_str()));
    EXPECT_EQ(vok_test::finish(a), vok_test::finish(b));
}

TEST(Vokx, KindClassNamesEveryByte) {
    const std::pair<std::vector<int>, uint8_t> kClasses[] = {
        {{202}, VOKX_CLASS_FLAG},
        {{210, 212, 213}, VOKX_CLASS_UNSIGNED},
        {{216, 217, 218}, VOKX_CLASS_SIGNED},
        {{204, 205}, VOKX_CLASS_STRING},
        {{208, 209, 232}, VOKX_CLASS_UTF8},
        {{226, 227}, VOKX_CLASS_SAFE},
        {{225}, VOKX_CLASS_USER_MARK},
        {{224}, VOKX_CLASS_PHRASE},
        {{201}, VOKX_CLASS_END},
    };
    uint8_t expected[256] = {}; // VOKX_CLASS_INVALID
    for (const auto &[kinds, kind_class] : kClasses)
        for (const int kind : kinds)
            expected[kind] = kind_class;
    for (int kind = 0; kind < 256; ++kind)
        EXPECT_EQ(vokxKindClass(uint8_t(kind)), expected[kind]) << kind;
}

TEST(Vokx, WriteItemRefusesWritingNothing) {
    vokStream s{};
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    ASSERT_EQ(vokWriteUnsigned(&s, 7), VOK_OK);
    for (const char *bad : {"", "C8 01", "C9", "E1", "CB 00", "E9", "FF", "D4 01", "D2 01 02",
                            "CC 03 61", "E8 00 00", "E2 05 61"}) {
        const Bytes item = hex(bad);
        EXPECT_EQ(vokxWriteItem(&s, item.data(), item.size()), VOK_INVALID_STREAM) << bad;
    }
    EXPECT_EQ(vokxWriteItem(&s, nullptr, 2), VOK_INVALID_STREAM);
    const Bytes b = vok_test::finish(s);
    EXPECT_EQ(b, block_of(hex("D2 07")));
    const uint8_t mark = 1;
    EXPECT_EQ(vokxWriteItem(&s, &mark, 1), VOK_NOT_ACTIVE); // closed
    ASSERT_EQ(vokxOpen(&s, b.data(), b.size(), 1, 0), VOK_OK);
    EXPECT_EQ(vokxWriteItem(&s, &mark, 1), VOK_NOT_ACTIVE); // opened for reading
}

TEST(Vokx, NamesVersionAndSizes) {
    for (unsigned code = 0; code < 70000; code += code < 300 ? 1 : 997) {
        const auto status = static_cast<uint16_t>(code);
        const bool known =
            code <= 17 ? code != 13 && code != 16 : (code >= 64 && code <= 69) || code == 233;
        ASSERT_TRUE(vokxStatusName(status) && vokxStatusText(status)) << code;
        EXPECT_EQ(std::string(vokxStatusName(status)) != "unknown status", known) << code;
    }
    EXPECT_STREQ(vokxStatusName(VOK_INVALID_STREAM), "VOK_INVALID_STREAM");
    EXPECT_STREQ(vokxStatusName(VOKX_NEED_MORE), "VOKX_NEED_MORE");
    EXPECT_STREQ(vokxVersion(), VOK32_VERSION_STRING);

    std::vector<uint8_t> buf(70000 + 16);
    const auto encoded = [&](auto encode) { // the bytes the cursor encoder writes
        uint8_t *p = buf.data();
        encode(&p);
        return static_cast<uint32_t>(p - buf.data());
    };
    for (uint32_t v : {0u, 255u, 256u, 65535u, 65536u, 0xFFFFFFFFu}) {
        const auto negative = -static_cast<int32_t>(v);
        const std::string text(v > 70000 ? 0 : v, 'a');
        EXPECT_EQ(vokxUnsignedSize(v), encoded([&](uint8_t **p) { vokEncodeUnsigned(p, v); }));
        EXPECT_EQ(vokxSignedSize(negative),
                  encoded([&](uint8_t **p) { vokEncodeSigned(p, negative); }));
        EXPECT_EQ(vokxFrameSize(v), encoded([&](uint8_t **p) { vokStartStream(p, 1, v); }) + 1);
        EXPECT_EQ(vokxStringSize(uint32_t(text.size())),
                  encoded([&](uint8_t **p) { vokEncodeUTF8String(p, text.c_str()); }));
    }
    EXPECT_EQ(vokxStringSize(0xFFFFFFFFu), 0xFFFFFFFFu);
}

TEST(Vokx, CppRangesFrameAndWalkASequence) {
    Bytes seq = kSequence;
    seq.resize(seq.size() + 3); // a block's first three bytes trail
    size_t blocks = 0, items = 0;
    auto frames = vokx::frames(seq.data(), seq.size());
    for (const vokx::frame &f : frames) {
        vok::reader in = vokx::open(f.bytes, f.info.length, f.info.type, f.info.version);
        ASSERT_EQ(in.open_status(), vok::status::ok);
        auto walk = vokx::items(in);
        for (const vokxItem &it : walk)
            EXPECT_EQ(vokx::kind_class(it),
                      vokxKindClass(blocks == 0 ? kRows[items++].kind : VOK_USER_MARK));
        EXPECT_EQ(walk.status(), VOK_END_OF_STREAM);
        ++blocks;
    }
    EXPECT_EQ(blocks, 3u);
    EXPECT_EQ(items, std::size(kRows));
    EXPECT_EQ(frames.status(), VOKX_NEED_MORE);
    EXPECT_EQ(frames.offset(), seq.size() - 3);
    EXPECT_EQ(vokx::open(seq.data(), 12, 1, 0).open_status(), vok::status::invalid_stream);
    EXPECT_EQ(vokx::text(vokxItem{VOK_UTF8_1, 0, 4, 0, 0, seq.data(), 2}),
              std::string_view("\0\0", 2));
}

} // namespace
