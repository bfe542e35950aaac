// Buffer growth of a stream being written.
#pragma once

#include <cstdint>

#include "vok32.h"

namespace vok::stream {

// Smallest step by which a buffer grows; the steps never scale with the old
// size, so the capacity of a handle is predictable from its writes.
inline constexpr uint32_t kGrowthStep = 128;

// Ensures `need` bytes fit at position.  If not, reallocates to position plus
// the larger of need and the growth step.  VOK_NO_MEMORY if that fails or
// would leave the 32-bit size range; the existing buffer is kept intact.
uint16_t reserve(vokStream *s, uint64_t need) noexcept;

} // namespace vok::stream
