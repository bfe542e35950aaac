// Setting a QVRCore string object from a UTF-8 string item, at a handle
// opened for reading or at a cursor.  QVRCore gets the content where it lies
// in the stream; nothing is copied.  A failed conversion still consumes the
// item, so the caller can go on with the next one.
#include "i18n/qvrcore_boundary.hpp"
#include "stream/reading.hpp"
#include "string_item.hpp"
#include "tags.hpp"

namespace fmt = vok::format;

VOK_API uint16_t vokReadI18NString(vokStream *stream, i18nString string, int32_t *status) {
    vok::stream::StringAt item{};
    if (const uint16_t refused = vok::stream::begin_string_read<fmt::is_utf8_tag>(stream, &item))
        return refused;
    const uint16_t result = vok::i18n::set_from_content(string, item.content, item.length, status);
    stream->position += item.head + item.length;
    return result;
}

VOK_API uint16_t vokDecodeI18NString(uint8_t **cursor, i18nString string, int32_t *status) {
    uint8_t *item = *cursor;
    if (!fmt::is_utf8_tag(item[0])) return VOK_WRONG_TYPE;

    const unsigned width = fmt::length_width(item[0]);
    const uint32_t length = fmt::get_string_length(item, width);
    uint8_t *content = item + 1 + width;
    const uint16_t result = vok::i18n::set_from_content(string, content, length, status);
    *cursor = content + length;
    return result;
}
