// The cursor frame and what only the cursor side does: the header leaves the
// length bytes alone, a block can be finished more than once, and safe
// strings are refused.  Item bytes are covered for both families in
// items_test.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "vok32.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kUntouched = 0xA5;

// Runs one encoder on memory filled with kUntouched; returns the status, the
// bytes up to where it moved the pointer, and whether it wrote past them.
struct Encoded {
    uint16_t status;
    Bytes bytes;
    bool wrote_beyond;
};

Encoded encode(const std::function<uint16_t(uint8_t **)> &encoder, size_t room = 16) {
    Bytes memory(room, kUntouched);
    uint8_t *cursor = memory.data();
    const uint16_t status = encoder(&cursor);
    const auto advance = cursor - memory.data();
    const bool beyond = std::any_of(memory.begin() + advance, memory.end(),
                                    [](uint8_t b) { return b != kUntouched; });
    memory.resize(static_cast<size_t>(advance));
    return {status, memory, beyond};
}

TEST(EncodeSafeString, IsRefusedWithoutWriting) {
    const Encoded out = encode([](uint8_t **c) { return vokEncodeSafeString(c, "secret"); });
    EXPECT_EQ(out.status, VOK_UNEXPECTED);
    EXPECT_TRUE(out.bytes.empty());
    EXPECT_FALSE(out.wrote_beyond);
}

struct HeaderCase {
    uint32_t version;
    Bytes header; // bytes from offset 4 on
};

class StartStream : public testing::TestWithParam<HeaderCase> {};

TEST_P(StartStream, WritesHeaderAndLeavesLengthBytesAlone) {
    const Encoded out =
        encode([](uint8_t **c) { return vokStartStream(c, 7, GetParam().version); });
    EXPECT_EQ(out.status, VOK_OK);
    EXPECT_FALSE(out.wrote_beyond);
    Bytes expected(4, kUntouched);
    expected.insert(expected.end(), GetParam().header.begin(), GetParam().header.end());
    EXPECT_EQ(out.bytes, expected);
}

INSTANTIATE_TEST_SUITE_P(Versions, StartStream,
                         testing::Values(HeaderCase{3, {0xC8, 0x07, 0xD2, 0x03}},
                                         HeaderCase{256, {0xC8, 0x07, 0xD4, 0x01, 0x00}},
                                         HeaderCase{65536,
                                                    {0xC8, 0x07, 0xD5, 0x00, 0x01, 0x00, 0x00}}));

TEST(FinalStream, EmptyBodyGivesNineBytes) {
    Bytes memory(16, kUntouched);
    uint8_t *cursor = memory.data();
    vokStartStream(&cursor, 1, 0);
    EXPECT_EQ(vokFinalStream(memory.data(), cursor), VOK_OK);
    memory.resize(9);
    EXPECT_EQ(memory, (Bytes{0x00, 0x00, 0x00, 0x09, 0xC8, 0x01, 0xD2, 0x00, 0xC9}));
}

TEST(FinalStream, LeavesPointerOnEndMarkerSoTheBlockCanGrow) {
    Bytes memory(32, kUntouched);
    uint8_t *cursor = memory.data();
    vokStartStream(&cursor, 7, 3);
    vokEncodeUnsigned(&cursor, 300);
    EXPECT_EQ(vokFinalStream(memory.data(), cursor), VOK_OK);
    EXPECT_EQ(cursor - memory.data(), 11);
    EXPECT_EQ(Bytes(memory.begin(), memory.begin() + 12),
              (Bytes{0x00, 0x00, 0x00, 0x0C, 0xC8, 0x07, 0xD2, 0x03, 0xD4, 0x01, 0x2C, 0xC9}));

    vokEncodeFlag(&cursor, 1);
    EXPECT_EQ(vokFinalStream(memory.data(), cursor), VOK_OK);
    EXPECT_EQ(Bytes(memory.begin(), memory.begin() + 14),
              (Bytes{0x00, 0x00, 0x00, 0x0E, 0xC8, 0x07, 0xD2, 0x03, 0xD4, 0x01, 0x2C, 0xCA, 0x01,
                     0xC9}));
}

} // namespace
