// Hostile inputs the fuzz harnesses turned up, or states they cannot produce
// on their own, kept as plain tests so that every build replays them.
#include <gtest/gtest.h>

#include "byte_helpers.hpp"
#include "vok32.h"

namespace {

using namespace vok_test;

// The block stays the caller's and may change behind the handle: rewinding
// must recheck the version item the opener checked, which now runs past it.
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
