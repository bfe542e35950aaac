// Hostile inputs kept as plain tests: what the fuzz harnesses turned up, and
// states they cannot produce on their own, so that the normal build replays
// them.
#include <gtest/gtest.h>

#include "byte_helpers.hpp"
#include "vok32.h"

namespace {

using namespace vok_test;

// The opener checked the version item, but the block stays the caller's and
// may change behind the handle: rewinding must not trust the earlier check
// and read a version item that now runs past the block.
TEST(FuzzRegressions, ResetRechecksAVersionItemChangedAfterOpening) {
    Bytes block = hex("00 00 00 09 C8 01 D2 00 C9");
    vokStream s{};
    ASSERT_EQ(vokOpenStream(&s, block.data(), 1, 0), VOK_OK);
    block[6] = VOK_UNSIGNED_4; // four value bytes would reach past the end
    EXPECT_EQ(vokReset(&s), VOK_INVALID_STREAM);
    EXPECT_EQ(s.position, 6u);
    block[6] = VOK_UNSIGNED_1;
    EXPECT_EQ(vokReset(&s), VOK_OK);
    EXPECT_EQ(s.position, 8u);
}

} // namespace
