// Peeking at and reading the items of an opened stream.
#include <cstring>

#include "integer_item.hpp"
#include "reading.hpp"
#include "string_item.hpp"
#include "tags.hpp"

namespace fmt = vok::format;
using namespace vok::stream;

namespace {

// vokPeek's work, called directly by vokCanRead as well: an exported function
// would be reached through the symbol table.
uint8_t peek_type(const vokStream *s) {
    if (!is_readable(s)) return VOK_INVALID;
    const ReadWindow w = window_of(s);
    if (!w.has_byte(s->position)) return VOK_INVALID;
    return fmt::type_code(w.data[s->position]);
}

// Reads a two-byte item (tag, byte) such as a flag or a phrase mark.
template <typename T> uint16_t read_tagged_byte(vokStream *s, uint8_t expected, T *out) {
    ReadWindow w{};
    uint8_t tag = 0;
    if (const uint16_t status = begin_read(s, &w, &tag)) return status;
    if (tag != expected) return VOK_UNEXPECTED;
    constexpr uint32_t size = fmt::head_size(fmt::Form::byte, 1);
    if (!w.holds(s->position, size)) return VOK_INVALID_STREAM;
    *out = w.data[s->position + 1];
    s->position += size;
    return VOK_OK;
}

// Reads an integer item of form `F` whose field width `WidthOf` derives
// from its tag, decoded by `Get`.  The helpers are template arguments so
// that each reader gets them inlined rather than called through pointers.
template <auto WidthOf, auto Get, fmt::Form F, typename T>
uint16_t read_integer(vokStream *s, T *out) {
    ReadWindow w{};
    uint8_t tag = 0;
    if (const uint16_t status = begin_read(s, &w, &tag)) return status;
    const unsigned width = WidthOf(tag);
    if (width == 0) return VOK_WRONG_TYPE;
    if (!w.holds(s->position, fmt::head_size(F, width))) return VOK_INVALID_STREAM;
    s->position += Get(w.data + s->position, width, out);
    return VOK_OK;
}

} // namespace

VOK_API uint8_t vokPeek(const vokStream *stream) { return peek_type(stream); }

VOK_API uint16_t vokCanRead(const vokStream *stream) {
    switch (peek_type(stream)) {
    case VOK_USER_MARK:
        return VOK_OK;
    case VOK_END:
        return VOK_END_OF_STREAM;
    default:
        return VOK_WRONG_TYPE;
    }
}

VOK_API uint8_t vokReadUserMark(vokStream *stream) {
    if (!is_readable(stream)) return VOK_INVALID;
    const ReadWindow w = window_of(stream);
    if (!w.has_byte(stream->position)) return VOK_INVALID;
    return w.data[stream->position++];
}

VOK_API uint16_t vokReadPhraseMark(vokStream *stream, uint8_t *phrase) {
    return read_tagged_byte(stream, VOK_PHRASE_MARK, phrase);
}

VOK_API uint16_t vokReadFlag(vokStream *stream, uint32_t *flag) {
    return read_tagged_byte(stream, VOK_FLAG, flag);
}

VOK_API uint16_t vokReadSigned(vokStream *stream, int32_t *value) {
    return read_integer<fmt::signed_width, fmt::get_signed, fmt::Form::signed_number>(stream,
                                                                                      value);
}

VOK_API uint16_t vokReadUnsigned(vokStream *stream, uint32_t *value) {
    return read_integer<fmt::unsigned_width, fmt::get_unsigned, fmt::Form::number>(stream, value);
}

VOK_API uint16_t vokGetStringSize(const vokStream *stream, uint32_t *size) {
    ReadWindow w{};
    uint8_t tag = 0;
    if (const uint16_t status = begin_read(stream, &w, &tag)) return status;
    if (!fmt::is_string_tag(tag)) {
        *size = 0;
        return VOK_WRONG_TYPE;
    }
    const fmt::ItemExtent item = w.extent(stream->position);
    if (item.kind != fmt::Extent::ok) return VOK_INVALID_STREAM;
    *size = item.length;
    return VOK_OK;
}

VOK_API uint16_t vokReadString(vokStream *stream, char *buffer) {
    StringAt item{};
    if (const uint16_t status = begin_string_read<fmt::is_string_tag>(stream, &item)) return status;
    stream->position += item.head;
    if (fmt::is_safe_tag(item.tag)) return VOK_UNEXPECTED;
    std::memcpy(buffer, item.content, item.length);
    buffer[item.length] = '\0';
    stream->position += item.length;
    return VOK_OK;
}
