// Walking: the exported step, and its rare items kept out of the inlined path.
#include "walk_step.hpp"

namespace vok::x {

VOK_OUT_OF_LINE uint16_t walk_other(vokStream *stream, vokxItem *item, uint32_t available) {
    const uint32_t position = stream->position;
    const uint8_t *p = stream->data + position;
    if (*p == VOK_END) {
        *item = vokxItem{VOK_END, position, 1, 0, 0, nullptr, 0};
        return VOK_END_OF_STREAM;
    }
    const uint64_t size = describe_item(p, available, item);
    if (size == 0) return VOK_INVALID_STREAM;
    item->offset = position;
    stream->position = position + static_cast<uint32_t>(size);
    return VOK_OK;
}

} // namespace vok::x

namespace {

// The walk for callers that pass no item: describe it into scratch.
VOK_OUT_OF_LINE uint16_t pass_over(vokStream *stream) {
    vokxItem scratch;
    return vok::x::walk_step(stream, &scratch);
}

} // namespace

VOKX_API uint16_t vokxNextItem(vokStream *stream, vokxItem *item) {
    if (item == nullptr) return pass_over(stream);
    return vok::x::walk_step(stream, item);
}
