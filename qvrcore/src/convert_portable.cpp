// The backend where neither ICU nor Windows is at hand: the conversions of
// portable_utf.cpp, with nothing of the platform's.
#include "portable_utf.hpp"
#include "unicode_backend.hpp"

namespace qvrcore::backend {

int32_t utf8_to_utf16(const uint8_t *bytes, int32_t length, bool replace_invalid, uint16_t *units,
                      int32_t capacity, int32_t *produced) noexcept {
    return portable::utf8_to_utf16(bytes, length, replace_invalid, units, capacity, produced);
}

int32_t utf16_to_utf8(const uint16_t *units, int32_t length, uint8_t *bytes, int32_t capacity,
                      int32_t *produced) noexcept {
    return portable::utf16_to_utf8(units, length, bytes, capacity, produced);
}

} // namespace qvrcore::backend
