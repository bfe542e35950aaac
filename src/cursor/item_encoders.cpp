// Cursor encoders: one item at the caller's byte pointer, which is advanced
// past it.  No capacity is known here; the caller provides the room.
#include <cstring>

#include "vok32.h"

#include "integer_item.hpp"
#include "string_item.hpp"

using namespace vok::format;

namespace {

// A refused string writes nothing, so the length is checked before any byte
// goes out.  A null string counts as empty, as on the handle side.  Inlined
// into each encoder, so that the kind is a constant there.
[[gnu::always_inline]] inline uint16_t encode_string(uint8_t **cursor, const char *string,
                                                     StringKind kind) {
    const size_t length = string != nullptr ? std::strlen(string) : 0;
    if (!string_length_allowed(kind, length)) return VOK_STRING_TOO_LONG;
    uint8_t *content = put_string_header(*cursor, kind, static_cast<uint32_t>(length));
    if (length != 0) std::memcpy(content, string, length);
    *cursor = content + length;
    return VOK_OK;
}

} // namespace

VOK_API uint16_t vokEncodeFlag(uint8_t **cursor, int32_t flag) {
    *cursor = put_flag(*cursor, flag);
    return VOK_OK;
}

VOK_API uint16_t vokEncodeSigned(uint8_t **cursor, int32_t value) {
    *cursor = put_signed(*cursor, value);
    return VOK_OK;
}

VOK_API uint16_t vokEncodeUnsigned(uint8_t **cursor, uint32_t value) {
    *cursor = put_unsigned(*cursor, value);
    return VOK_OK;
}

VOK_API uint16_t vokEncodeString(uint8_t **cursor, const char *string) {
    return encode_string(cursor, string, StringKind::plain);
}

// Longer than the 32-bit range cannot be represented: refused like an
// over-long plain string.
VOK_API uint16_t vokEncodeUTF8String(uint8_t **cursor, const char *string) {
    return encode_string(cursor, string, StringKind::utf8);
}

// Safe strings carry no content, which makes them useless to a reader of
// caller memory; only the handle side writes them.
VOK_API uint16_t vokEncodeSafeString(uint8_t ** /*cursor*/, const char * /*string*/) {
    return VOK_UNEXPECTED;
}
