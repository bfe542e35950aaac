// The one place that knows how Unicode text is converted.  Each platform
// supplies these two functions in its own file; everything else in QVRCore
// (allocation, string objects, argument checks) is shared.
//
// Both follow the measure-then-convert pattern: with a null output and a
// capacity of 0 they only count the units or bytes the result needs;
// otherwise they convert into an output of at least that capacity.  They
// return a QVRCore status and, on success, store the count in *produced.
// Lengths are never 0 here: empty text is handled by the callers.
#pragma once

#include <cstdint>

namespace qvrcore::backend {

int32_t utf8_to_utf16(const uint8_t *bytes, int32_t length, bool replace_invalid, uint16_t *units,
                      int32_t capacity, int32_t *produced) noexcept;

int32_t utf16_to_utf8(const uint16_t *units, int32_t length, uint8_t *bytes, int32_t capacity,
                      int32_t *produced) noexcept;

} // namespace qvrcore::backend
