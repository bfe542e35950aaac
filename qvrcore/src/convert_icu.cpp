// Unicode conversion through ICU's UTF-8/UTF-16 transformations.  Statuses
// are ICU's own error codes; warnings count as success.
#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include "qvrcore.h"
#include "unicode_backend.hpp"

static_assert(QVRCORE_ILLEGAL_ARGUMENT == U_ILLEGAL_ARGUMENT_ERROR);
static_assert(QVRCORE_MEMORY_ALLOCATION == U_MEMORY_ALLOCATION_ERROR);
static_assert(QVRCORE_INVALID_CHAR == U_INVALID_CHAR_FOUND);
static_assert(QVRCORE_INPUT_TOO_LONG == U_INPUT_TOO_LONG_ERROR);
static_assert(sizeof(UChar) == sizeof(uint16_t));

namespace qvrcore::backend {
namespace {

constexpr UChar32 kReplacementCharacter = 0xFFFD;

// Measuring (no output) makes ICU report an overflow, which is expected.
int32_t outcome(UErrorCode error, bool measuring) noexcept {
    if (measuring && error == U_BUFFER_OVERFLOW_ERROR) return QVRCORE_OK;
    return U_SUCCESS(error) ? QVRCORE_OK : static_cast<int32_t>(error);
}

} // namespace

int32_t utf8_to_utf16(const uint8_t *bytes, int32_t length, bool replace_invalid, uint16_t *units,
                      int32_t capacity, int32_t *produced) noexcept {
    UErrorCode error = U_ZERO_ERROR;
    // U_SENTINEL as the substitute makes ICU refuse ill-formed input.
    const UChar32 substitute = replace_invalid ? kReplacementCharacter : U_SENTINEL;
    u_strFromUTF8WithSub(reinterpret_cast<UChar *>(units), capacity, produced,
                         reinterpret_cast<const char *>(bytes), length, substitute, nullptr,
                         &error);
    return outcome(error, units == nullptr);
}

int32_t utf16_to_utf8(const uint16_t *units, int32_t length, uint8_t *bytes, int32_t capacity,
                      int32_t *produced) noexcept {
    UErrorCode error = U_ZERO_ERROR;
    u_strToUTF8(reinterpret_cast<char *>(bytes), capacity, produced,
                reinterpret_cast<const UChar *>(units), length, &error);
    return outcome(error, bytes == nullptr);
}

} // namespace qvrcore::backend
