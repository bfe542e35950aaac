// The two QVRCore functions vok32 imports, and the fixed arguments it passes:
// QVRCore's default encoding (UTF-8) and strict conversion.  QVRCore is bound
// at load time, so any library exporting these names can take its place.
#pragma once

#include <cstdint>

#include "qvrcore.h"
#include "vok32.h"

namespace vok::i18n {

inline constexpr uint32_t kEncoding = QVRCORE_ENCODING_UTF8;
inline constexpr uint8_t kFlags = QVRCORE_FLAG_STRICT;
static_assert(kEncoding == 0 && kFlags == 0, "vok32 always asks for QVRCore's defaults");

// Hands `length` content bytes, in place and unterminated, to QVRCore to set
// the string object.  The status is QVRCore's alone: it is not cleared first.
inline uint16_t set_from_content(i18nString string, const uint8_t *content, uint32_t length,
                                 int32_t *status) noexcept {
    i18nStringBytesToString(string, content, length, kEncoding, kFlags, status);
    return *status != 0 ? VOK_CONVERSION_FAILED : VOK_OK;
}

} // namespace vok::i18n
