// The frame around the items: a 4-byte big-endian total length, the start
// marker, the stream type byte and the version as an unsigned item; the end
// marker is the last byte of the block.
#pragma once

#include <cstdint>

#include "big_endian.hpp"
#include "integer_item.hpp"
#include "tags.hpp"

namespace vok::format {

inline constexpr uint32_t kLengthOffset = 0;
inline constexpr uint32_t kStartOffset = 4;
inline constexpr uint32_t kTypeOffset = 5;
inline constexpr uint32_t kVersionOffset = VOK_VERSION_OFFSET;
inline constexpr uint32_t kMinStreamLength = 9; // header with a 1-byte version + end
inline constexpr uint32_t kEndMarkerSize = 1;

inline uint32_t get_total_length(const uint8_t *block) noexcept {
    return load_be32(block + kLengthOffset);
}
inline void put_total_length(uint8_t *block, uint32_t length) noexcept {
    store_be32(block + kLengthOffset, length);
}

// Writes the start marker, type and version item (the length field is left
// alone) and returns where the first body item goes.
inline uint8_t *put_header(uint8_t *block, uint8_t type, uint32_t version) noexcept {
    return vok_put_header(block, type, version);
}

// Offset of the first body item, from the tag of the version item alone, or
// 0 if the byte at offset 6 is not an unsigned tag.
inline uint32_t body_start(const uint8_t *block) noexcept {
    const unsigned width = unsigned_width(block[kVersionOffset]);
    return width == 0 ? 0 : kVersionOffset + 1 + width;
}

// Whether the version item ends before the end marker of a block of `total`
// bytes.  Callers that cannot trust the block ask before decoding the version.
constexpr bool version_fits(uint32_t body, uint32_t total) noexcept { return body < total; }

// Decodes the version item at offset 6.  Returns the offset of the first body
// item, or 0 if the byte there is not an unsigned tag.
inline uint32_t get_version(const uint8_t *block, uint32_t *version) noexcept {
    const uint32_t body = body_start(block);
    if (body != 0) *version = load_be(block + kVersionOffset + 1, body - kVersionOffset - 1);
    return body;
}

// The version found in a block against the one its reader expects: both
// sides report a mismatch the same way and still go on reading.
constexpr uint16_t compare_versions(uint32_t found, uint32_t expected) noexcept {
    if (found < expected) return VOK_OLDER_VERSION;
    if (found > expected) return VOK_NEWER_VERSION;
    return VOK_OK;
}

// Writes the end marker at end and the distance from block to just past it
// into the length field; returns the total length.
inline uint32_t put_trailer(uint8_t *block, uint8_t *end) noexcept {
    return vok_put_trailer(block, end);
}

} // namespace vok::format
