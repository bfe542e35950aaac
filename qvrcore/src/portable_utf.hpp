// UTF-8 and UTF-16 conversion written out by hand, for platforms without
// ICU or the Windows code-page functions (WebAssembly).  The same contract
// as unicode_backend.hpp, and the same results as the ICU backend, status
// for status and unit for unit: the tests run both on the same inputs.
#pragma once

#include <cstdint>

namespace qvrcore::portable {

int32_t utf8_to_utf16(const uint8_t *bytes, int32_t length, bool replace_invalid, uint16_t *units,
                      int32_t capacity, int32_t *produced) noexcept;

int32_t utf16_to_utf8(const uint16_t *units, int32_t length, uint8_t *bytes, int32_t capacity,
                      int32_t *produced) noexcept;

} // namespace qvrcore::portable
