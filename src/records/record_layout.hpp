// What whole-record reading and writing share about a caller's struct: where
// a place's bytes are, and how presence is kept (an optional one's bool, a
// repeated one's count).
#pragma once

#include <cstdint>
#include <cstring>

#include "vok32x.h"

namespace vok::records {

inline unsigned char *at(void *base, uint32_t offset) {
    return static_cast<unsigned char *>(base) + offset;
}
inline const unsigned char *at(const void *base, uint32_t offset) {
    return static_cast<const unsigned char *>(base) + offset;
}

// Records that a field or group of these flags now occurs count times.
inline void mark_present(unsigned char *slot, uint32_t flags, uint32_t count) {
    if ((flags & VOKX_REPEATED) != 0)
        std::memcpy(slot, &count, sizeof count);
    else if ((flags & VOKX_OPTIONAL) != 0)
        *slot = 1;
}

// Records that a field or group of these flags does not occur (yet).
inline void mark_absent(unsigned char *slot, uint32_t flags) {
    if ((flags & VOKX_REPEATED) != 0)
        std::memset(slot, 0, sizeof(uint32_t));
    else if ((flags & VOKX_OPTIONAL) != 0)
        *slot = 0;
}

// How many times the struct holds a field or group of these flags.
inline uint32_t occurrences(const unsigned char *slot, uint32_t flags) {
    uint32_t count = 1;
    if ((flags & VOKX_REPEATED) != 0)
        std::memcpy(&count, slot, sizeof count);
    else if ((flags & VOKX_OPTIONAL) != 0)
        count = *slot != 0;
    return count;
}

} // namespace vok::records
