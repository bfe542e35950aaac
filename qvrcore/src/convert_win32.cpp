// Unicode conversion through the Windows code-page functions, strict unless
// replacement is asked for: MB_ERR_INVALID_CHARS refuses ill-formed UTF-8
// (overlong forms, encoded surrogates, values above U+10FFFF, truncated
// sequences) and WC_ERR_INVALID_CHARS refuses unpaired surrogates.
//
// GetLastError() is translated into the statuses the other backend reports,
// so callers see the same values on every platform:
//   ERROR_NO_UNICODE_TRANSLATION                 -> QVRCORE_INVALID_CHAR (10)
//   ERROR_NOT_ENOUGH_MEMORY, ERROR_OUTOFMEMORY   -> QVRCORE_MEMORY_ALLOCATION (7)
//   anything else (bad parameter or flags)       -> QVRCORE_ILLEGAL_ARGUMENT (1)
// With replacement, the number of U+FFFD written for one ill-formed sequence
// is the system's choice and may differ from the other backend's.
#include <windows.h>

#include "qvrcore.h"
#include "unicode_backend.hpp"

static_assert(sizeof(wchar_t) == sizeof(uint16_t));

namespace qvrcore::backend {
namespace {

int32_t outcome(int count, int32_t *produced) noexcept {
    if (count > 0) {
        *produced = count;
        return QVRCORE_OK;
    }
    switch (GetLastError()) {
    case ERROR_NO_UNICODE_TRANSLATION:
        return QVRCORE_INVALID_CHAR;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return QVRCORE_MEMORY_ALLOCATION;
    default:
        return QVRCORE_ILLEGAL_ARGUMENT;
    }
}

} // namespace

int32_t utf8_to_utf16(const uint8_t *bytes, int32_t length, bool replace_invalid, uint16_t *units,
                      int32_t capacity, int32_t *produced) noexcept {
    // Without MB_ERR_INVALID_CHARS ill-formed sequences become U+FFFD.
    const DWORD flags = replace_invalid ? 0 : MB_ERR_INVALID_CHARS;
    const int count = MultiByteToWideChar(CP_UTF8, flags, reinterpret_cast<const char *>(bytes),
                                          length, reinterpret_cast<wchar_t *>(units), capacity);
    return outcome(count, produced);
}

int32_t utf16_to_utf8(const uint16_t *units, int32_t length, uint8_t *bytes, int32_t capacity,
                      int32_t *produced) noexcept {
    const int count =
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, reinterpret_cast<const wchar_t *>(units),
                            length, reinterpret_cast<char *>(bytes), capacity, nullptr, nullptr);
    return outcome(count, produced);
}

} // namespace qvrcore::backend
