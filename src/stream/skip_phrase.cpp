// Passing over the rest of a phrase.
#include "reading.hpp"
#include "tags.hpp"

using namespace vok::stream;

VOK_API uint8_t vokSkipPhrase(vokStream *stream) {
    if (!is_readable(stream)) return VOK_INVALID;
    const ReadWindow w = window_of(stream);
    for (;;) {
        if (!w.has_byte(stream->position)) return VOK_INVALID;
        const uint8_t type = vok::format::type_code(w.data[stream->position]);
        // A user mark is not part of any phrase's payload: stop on it and say
        // so, rather than make the caller peek to learn why the skip ended.
        if (type == VOK_END || type == VOK_PHRASE_MARK || type == VOK_USER_MARK) return type;
        const vok::format::ItemExtent item = w.extent(stream->position);
        if (item.kind != vok::format::Extent::ok) return VOK_INVALID;
        stream->position += static_cast<uint32_t>(item.size);
    }
}
