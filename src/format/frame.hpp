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
inline constexpr uint32_t kVersionOffset = 6;
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
    block[kStartOffset] = VOK_START;
    block[kTypeOffset] = type;
    return put_unsigned(block + kVersionOffset, version);
}

// Offset of the first body item behind the version tag at offset 6, or 0 if
// that byte is not an unsigned tag.  Needs only the tag, so a reader holding
// part of a block learns from it whether the version item can fit.
constexpr uint32_t body_offset(uint8_t version_tag) noexcept {
    const unsigned width = unsigned_width(version_tag);
    return width == 0 ? 0 : kVersionOffset + 1 + width;
}

// Decodes the version item at offset 6.  Returns the offset of the first body
// item, or 0 if the byte there is not an unsigned tag.  Reads up to 5 bytes
// from offset 6; callers that cannot trust the block check the extent first.
inline uint32_t get_version(const uint8_t *block, uint32_t *version) noexcept {
    const unsigned width = unsigned_width(block[kVersionOffset]);
    if (width == 0) return 0;
    return kVersionOffset + get_unsigned(block + kVersionOffset, width, version);
}

// Writes the end marker at end and the distance from block to just past it
// into the length field; returns the total length.
inline uint32_t put_trailer(uint8_t *block, uint8_t *end) noexcept {
    *end = VOK_END;
    const auto length = static_cast<uint32_t>(end - block) + kEndMarkerSize;
    put_total_length(block, length);
    return length;
}

} // namespace vok::format
