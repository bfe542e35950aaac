// The string object behind an i18nString handle and the helpers shared by
// the functions that set it.
#pragma once

#include <cstdint>

#include "qvrcore.h"

// UTF-16 code units in a malloc'ed buffer; null when the string is empty.
struct i18nStringObject {
    uint16_t *units;
    uint32_t length;
};

namespace qvrcore {

// Stores an outcome where the caller asked for one.
inline void report(int32_t *status, int32_t value) noexcept {
    if (status != nullptr) *status = value;
}

// Makes units (malloc'ed, or null for the empty string) the object's text,
// releasing the previous text.
void adopt_units(i18nString string, uint16_t *units, uint32_t length) noexcept;

} // namespace qvrcore
