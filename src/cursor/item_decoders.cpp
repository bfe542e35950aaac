// Cursor decoders: one item at the caller's byte pointer.  A refusal leaves
// both the pointer and the result alone, so the caller can peek again and
// pick another decoder.  Nothing knows where the block ends: the tags and
// length fields are trusted.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "vok32.h"

#include "integer_item.hpp"
#include "string_item.hpp"
#include "tags.hpp"

using namespace vok::format;

VOK_API uint8_t vokPeekType(const uint8_t *pointer) { return *pointer; }

VOK_API uint16_t vokIsUTF8String(uint8_t tag) { return is_utf8_tag(tag) ? VOK_OK : VOK_NOT_UTF8; }

VOK_API uint16_t vokDecodeFlag(uint8_t **cursor, uint32_t *flag) {
    if (**cursor != VOK_FLAG) return VOK_UNEXPECTED;
    *cursor += get_flag(*cursor, flag);
    return VOK_OK;
}

VOK_API uint16_t vokDecodeSigned(uint8_t **cursor, int32_t *value) {
    const unsigned width = signed_width(**cursor);
    if (width == 0) return VOK_WRONG_TYPE;
    *cursor += get_signed(*cursor, width, value);
    return VOK_OK;
}

VOK_API uint16_t vokDecodeUnsigned(uint8_t **cursor, uint32_t *value) {
    const unsigned width = unsigned_width(**cursor);
    if (width == 0) return VOK_WRONG_TYPE;
    *cursor += get_unsigned(*cursor, width, value);
    return VOK_OK;
}

// Plain and UTF-8 content alike comes back as stored, in a new block that the
// caller releases with vokDestroyStream.  A safe string has no content to
// hand back.
VOK_API uint16_t vokDecodeString(uint8_t **cursor, char **string) {
    const uint8_t *item = *cursor;
    const unsigned width = length_width(item[0]);
    if (width == 0) return VOK_WRONG_TYPE;
    if (is_safe_tag(item[0])) return VOK_UNEXPECTED;
    const size_t length = get_string_length(item, width);
    // Where size_t is 32 bits wide (WebAssembly), a string of 0xFFFFFFFF
    // bytes and its terminator cannot be held: no block that size exists.
    if (length > SIZE_MAX - 1) return VOK_NO_MEMORY;
    auto *block = static_cast<char *>(std::malloc(length + 1));
    if (block == nullptr) return VOK_NO_MEMORY;
    const uint8_t *content = item + 1 + width;
    if (length != 0) std::memcpy(block, content, length);
    block[length] = '\0';
    *string = block;
    *cursor += 1 + width + length;
    return VOK_OK;
}
