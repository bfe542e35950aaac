// The byte-format helpers on their own: item sizes for every first byte and
// the arithmetic at the edges of the 32-bit range.
#include <gtest/gtest.h>

#include "format/integer_item.hpp"
#include "format/item_extent.hpp"

namespace fmt = vok::format;

namespace {

// Expected size of the item starting with each byte, with a length field of
// 1 (so strings hold one content byte).  0 marks bytes no item starts with.
uint64_t expected_size(int b) {
    if (b < 200 || b == 225) return 1;
    switch (b) {
    case 202:
    case 224:
    case 210:
        return 2;
    case 212:
    case 216:
        return 3;
    case 213:
        return 5;
    case 217:
        return 4;
    case 218:
        return 6;
    case 204:
    case 208:
        return 3; // tag, 1-byte length, 1 byte
    case 205:
    case 209:
        return 4; // tag, 2-byte length, 1 byte
    case 232:
        return 6; // tag, 4-byte length, 1 byte
    case 226:
        return 2; // safe: no content
    case 227:
        return 3;
    default:
        return 0;
    }
}

TEST(ItemExtent, EveryFirstByte) {
    for (int b = 0; b < 256; ++b) {
        // The length field reads 1 whatever its width.
        uint8_t item[8] = {static_cast<uint8_t>(b), 0, 0, 0, 0, 0, 0, 0};
        const unsigned width = fmt::length_width(item[0]);
        if (width != 0) item[width] = 1;
        const fmt::ItemExtent roomy = fmt::item_extent(item, sizeof item);
        const uint64_t size = expected_size(b);
        if (size == 0) {
            EXPECT_EQ(roomy.kind, fmt::Extent::no_rule) << b;
            continue;
        }
        ASSERT_EQ(roomy.kind, fmt::Extent::ok) << b;
        EXPECT_EQ(roomy.size, size) << b;
        EXPECT_EQ(fmt::item_extent(item, size).kind, fmt::Extent::ok) << b;
        EXPECT_EQ(fmt::item_extent(item, size - 1).kind, fmt::Extent::truncated) << b;
    }
}

TEST(ItemExtent, HugeLengthDoesNotWrap) {
    const uint8_t item[5] = {0xE8, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(fmt::item_extent(item, 5).kind, fmt::Extent::truncated);
    EXPECT_EQ(fmt::item_extent(item, UINT32_MAX).kind, fmt::Extent::truncated);
    const fmt::ItemExtent fits = fmt::item_extent(item, uint64_t{UINT32_MAX} + 5);
    ASSERT_EQ(fits.kind, fmt::Extent::ok);
    EXPECT_EQ(fits.size, uint64_t{UINT32_MAX} + 5);
}

TEST(Integers, SignAndMagnitudeAtTheEdges) {
    EXPECT_EQ(fmt::magnitude_of(INT32_MIN), 0x80000000u);
    EXPECT_EQ(fmt::magnitude_of(-1), 1u);
    EXPECT_EQ(fmt::apply_sign(0x80000000u, 1), INT32_MIN);
    EXPECT_EQ(fmt::apply_sign(0, 2), 0);
    EXPECT_EQ(fmt::apply_sign(5, 0xFF), -5);
    EXPECT_EQ(fmt::apply_sign(0xFFFFFFFFu, 0), -1) << "a magnitude above 2^31 wraps";
    for (const auto &[value, width] :
         {std::pair{0u, 1u}, {255u, 1u}, {256u, 2u}, {65535u, 2u}, {65536u, 4u}, {UINT32_MAX, 4u}})
        EXPECT_EQ(fmt::field_width(value), width) << value;
}

} // namespace
