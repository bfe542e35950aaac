// The frame of a block built or read through a cursor: header and trailer.
#include "vok32.h"

#include "frame.hpp"

using namespace vok::format;

// The length bytes stay as the caller's memory holds them: the total is only
// known when the block is finished.
VOK_API uint16_t vokStartStream(uint8_t **cursor, uint8_t type, uint32_t version) {
    *cursor = put_header(*cursor, type, version);
    return VOK_OK;
}

// The caller's pointer is deliberately not advanced past the end marker, so
// that encoding on from it overwrites the marker and a second call finishes
// the longer block.
VOK_API uint16_t vokFinalStream(uint8_t *start, uint8_t *end) {
    put_trailer(start, end);
    return VOK_OK;
}

// Only the header is examined: there is no length to check the length field
// or the end marker against.  A version mismatch still moves the pointer,
// since the caller may choose to read an older or newer stream.
VOK_API uint16_t vokValidateStream(uint8_t **cursor, uint8_t type, uint32_t version) {
    const uint8_t *block = *cursor;
    if (block[kStartOffset] != VOK_START) return VOK_UNEXPECTED;
    if (block[kTypeOffset] != type) return VOK_WRONG_STREAM_TYPE;
    uint32_t found = 0;
    const uint32_t body = get_version(block, &found);
    if (body == 0) return VOK_BAD_VERSION;
    *cursor += body;
    return compare_versions(found, version);
}
