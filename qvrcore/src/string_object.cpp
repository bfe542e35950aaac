// Lifecycle of string objects and direct access to their UTF-16 text.
#include "string_object.hpp"

#include <cstdlib>
#include <cstring>

namespace qvrcore {

void adopt_units(i18nString string, uint16_t *units, uint32_t length) noexcept {
    std::free(string->units);
    string->units = units;
    string->length = length;
}

} // namespace qvrcore

using qvrcore::report;

extern "C" {

QVRCORE_API i18nString i18nStringCreate(void) {
    return static_cast<i18nString>(std::calloc(1, sizeof(i18nStringObject)));
}

QVRCORE_API void i18nStringDestroy(i18nString string) {
    if (string == nullptr) return;
    std::free(string->units);
    std::free(string);
}

QVRCORE_API uint32_t i18nStringLength(i18nString string) {
    return string == nullptr ? 0 : string->length;
}

QVRCORE_API const uint16_t *i18nStringGetUTF16(i18nString string, uint32_t *length) {
    if (length != nullptr) *length = i18nStringLength(string);
    return string == nullptr ? nullptr : string->units;
}

QVRCORE_API void i18nStringSetUTF16(i18nString string, const uint16_t *units, uint32_t length,
                                    int32_t *status) {
    if (string == nullptr || (units == nullptr && length != 0)) {
        return report(status, QVRCORE_ILLEGAL_ARGUMENT);
    }
    if (length > QVRCORE_MAX_UNITS) return report(status, QVRCORE_INPUT_TOO_LONG);
    uint16_t *copy = nullptr;
    if (length != 0) {
        copy = static_cast<uint16_t *>(std::malloc(size_t{length} * sizeof *copy));
        if (copy == nullptr) return report(status, QVRCORE_MEMORY_ALLOCATION);
        std::memcpy(copy, units, size_t{length} * sizeof *copy);
    }
    qvrcore::adopt_units(string, copy, length);
    report(status, QVRCORE_OK);
}

} // extern "C"
