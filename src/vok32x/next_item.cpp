// Walking: one item described in place per call.  Bounds come from the
// block's own length field, which vokxOpen has checked against the caller's
// size; an item must end before the end marker.
#include "format/frame.hpp"
#include "item_description.hpp"
#include "vok32x.h"

namespace fmt = vok::format;

extern "C" uint16_t vokxNextItem(vokStream *stream, vokxItem *item) {
    vokxItem scratch;
    if (item == nullptr) item = &scratch;
    // A stream being written has zero length bytes; one opened never has.
    const uint8_t *data = stream->data;
    const uint32_t total = stream->active != 0 && data != nullptr ? fmt::get_total_length(data) : 0;
    if (total == 0) {
        *item = vokxItem{};
        return VOK_NOT_ACTIVE;
    }
    const uint32_t position = stream->position;
    if (position >= total) {
        *item = vokxItem{};
        return VOK_INVALID_STREAM;
    }
    if (data[position] == VOK_END) {
        *item = vokxItem{};
        item->kind = VOK_END;
        item->offset = position;
        item->size = 1;
        return VOK_END_OF_STREAM;
    }
    const uint64_t available = total - 1 - position;
    const uint64_t size = vok::x::describe_item(data + position, available, item);
    if (size == 0) return VOK_INVALID_STREAM;
    item->offset = position;
    stream->position = position + static_cast<uint32_t>(size);
    return VOK_OK;
}
