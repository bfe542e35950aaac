// Buffer growth of a stream being written.
#pragma once

#include <cstdint>

#include "vok32.h"

namespace vok::stream {

// Smallest step by which a buffer grows; the steps never scale with the old
// size, so the capacity of a handle is predictable from its writes.
inline constexpr uint32_t kGrowthStep = 128;

// The capacity a new buffer starts with, and the least a copied block gets:
// it always holds the longest header.
inline constexpr uint32_t kInitialCapacity = 256;

// Reallocates to position plus the larger of need and the growth step.
// VOK_NO_MEMORY if that fails or would leave the 32-bit size range; the
// existing buffer is kept intact.
uint16_t grow(vokStream *s, uint64_t need) noexcept;

// Whether `need` bytes fit at position without growth.
inline bool fits(const vokStream *s, uint64_t need) noexcept {
    return uint64_t{s->position} + need <= s->capacity;
}

// Ensures `need` bytes fit at position, growing the buffer if they do not.
// The test is inline: every writer runs it and it almost always passes.
inline uint16_t reserve(vokStream *s, uint64_t need) noexcept {
    return fits(s, need) ? uint16_t{VOK_OK} : grow(s, need);
}

} // namespace vok::stream
