// Conversions between string objects and UTF-8 byte blocks.  The backend
// measures and converts; this file checks arguments, allocates and decides
// what the caller sees.
#include <cstdlib>
#include <cstring>

#include "string_object.hpp"
#include "unicode_backend.hpp"

namespace {

using qvrcore::report;

constexpr uint32_t kMaxBytesIn = 2147483647u; // the backends count in 32-bit signed

// Converts into a new UTF-16 buffer first, so that a failure leaves the
// object's text as it was.
int32_t set_from_utf8(i18nString string, const uint8_t *bytes, uint32_t length,
                      bool replace_invalid) noexcept {
    if (length == 0) {
        qvrcore::adopt_units(string, nullptr, 0);
        return QVRCORE_OK;
    }
    if (length > kMaxBytesIn) return QVRCORE_INPUT_TOO_LONG;
    const auto in = static_cast<int32_t>(length);
    int32_t needed = 0;
    int32_t status =
        qvrcore::backend::utf8_to_utf16(bytes, in, replace_invalid, nullptr, 0, &needed);
    if (status != QVRCORE_OK) return status;
    auto *units = static_cast<uint16_t *>(std::malloc(static_cast<size_t>(needed) * 2));
    if (units == nullptr) return QVRCORE_MEMORY_ALLOCATION;
    int32_t produced = 0;
    status = qvrcore::backend::utf8_to_utf16(bytes, in, replace_invalid, units, needed, &produced);
    if (status != QVRCORE_OK) {
        std::free(units);
        return status;
    }
    qvrcore::adopt_units(string, units, static_cast<uint32_t>(produced));
    return QVRCORE_OK;
}

} // namespace

extern "C" {

QVRCORE_API void i18nStringSetUTF8(i18nString string, const char *text, int32_t *status) {
    const size_t length = text == nullptr ? 0 : std::strlen(text);
    if (string == nullptr) return report(status, QVRCORE_ILLEGAL_ARGUMENT);
    if (length > kMaxBytesIn) return report(status, QVRCORE_INPUT_TOO_LONG);
    report(status, set_from_utf8(string, reinterpret_cast<const uint8_t *>(text),
                                 static_cast<uint32_t>(length), false));
}

QVRCORE_API void i18nStringBytesToString(i18nString string, const uint8_t *bytes, uint32_t length,
                                         uint32_t encoding, uint8_t flags, int32_t *status) {
    if (string == nullptr || (bytes == nullptr && length != 0) ||
        encoding != QVRCORE_ENCODING_UTF8 || (flags & ~QVRCORE_FLAG_REPLACE_INVALID) != 0) {
        return report(status, QVRCORE_ILLEGAL_ARGUMENT);
    }
    report(status,
           set_from_utf8(string, bytes, length, (flags & QVRCORE_FLAG_REPLACE_INVALID) != 0));
}

QVRCORE_API uint32_t i18nStringStringToBytes(i18nString string, uint8_t **bytes, uint32_t encoding,
                                             int32_t *status) {
    if (string == nullptr || bytes == nullptr || encoding != QVRCORE_ENCODING_UTF8) {
        report(status, QVRCORE_ILLEGAL_ARGUMENT);
        return 0;
    }
    if (string->length == 0) {
        *bytes = nullptr;
        report(status, QVRCORE_OK);
        return 1;
    }
    if (string->length > QVRCORE_MAX_UNITS_TO_BYTES) {
        report(status, QVRCORE_INPUT_TOO_LONG);
        return 0;
    }
    const auto in = static_cast<int32_t>(string->length);
    int32_t needed = 0;
    int32_t outcome = qvrcore::backend::utf16_to_utf8(string->units, in, nullptr, 0, &needed);
    uint8_t *block = nullptr;
    if (outcome == QVRCORE_OK) {
        // One byte more for the terminating zero that follows the content.
        block = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(needed) + 1));
        if (block == nullptr) outcome = QVRCORE_MEMORY_ALLOCATION;
    }
    int32_t produced = 0;
    if (outcome == QVRCORE_OK) {
        outcome = qvrcore::backend::utf16_to_utf8(string->units, in, block, needed, &produced);
    }
    if (outcome != QVRCORE_OK) {
        std::free(block);
        report(status, outcome);
        return 0;
    }
    block[produced] = 0;
    *bytes = block;
    report(status, QVRCORE_OK);
    return static_cast<uint32_t>(produced) + 1;
}

} // extern "C"
