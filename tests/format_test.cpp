// The item-size rule for every first byte; the reader tests meet the
// unassigned tags only where they place one.
#include <gtest/gtest.h>

#include "format/item_extent.hpp"

namespace fmt = vok::format;

namespace {

// Size of the item starting with byte 200 + i when a length field reads 1, or
// 0 where none starts.  Below 200 user marks of one byte; above 232 nothing.
constexpr uint8_t kTagSizes[] = {0, 0, 2, 0, 3, 4, 0, 0, 3, 4, 2, 0, 3, 5, 0, 0, 3,
                                 4, 6, 0, 0, 0, 0, 0, 2, 1, 2, 3, 0, 0, 0, 0, 6};

TEST(ItemExtent, EveryFirstByte) {
    for (int b = 0; b < 256; ++b) {
        uint8_t item[8] = {static_cast<uint8_t>(b), 0, 0, 0, 0, 0, 0, 0};
        if (const unsigned width = fmt::length_width(item[0])) item[width] = 1;
        const uint64_t size = b < 200 ? 1 : b <= 232 ? kTagSizes[b - 200] : 0;
        if (size == 0) {
            EXPECT_EQ(fmt::item_extent(item, sizeof item).kind, fmt::Extent::no_rule) << b;
            continue;
        }
        const fmt::ItemExtent exact = fmt::item_extent(item, size);
        EXPECT_TRUE(exact.kind == fmt::Extent::ok && exact.size == size) << b;
        EXPECT_EQ(fmt::item_extent(item, size - 1).kind, fmt::Extent::truncated) << b;
    }
}

} // namespace
