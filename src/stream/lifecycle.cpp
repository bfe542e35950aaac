// Create, close, open, rewind, hand out and release.
#include <cstdlib>

#include "frame.hpp"
#include "growth.hpp"
#include "handle_state.hpp"
#include "opening.hpp"

namespace fmt = vok::format;
using namespace vok::stream;

VOK_API uint16_t vokCreateStream(vokStream *stream, uint8_t type, uint32_t version) {
    auto *data = static_cast<uint8_t *>(std::malloc(kInitialCapacity));
    stream->data = data;
    if (data == nullptr) {
        stream->active = 0;
        return VOK_NO_MEMORY;
    }
    stream->capacity = kInitialCapacity;
    stream->active = 1;
    fmt::put_total_length(data, 0);
    stream->position = static_cast<uint32_t>(fmt::put_header(data, type, version) - data);
    return VOK_OK;
}

VOK_API uint16_t vokCloseStream(vokStream *stream) {
    if (stream->active == 0) return VOK_OK;
    if (!is_writable(stream)) return VOK_NOT_ACTIVE;
    if (const uint16_t status = reserve(stream, fmt::kEndMarkerSize)) return status;
    stream->position = fmt::put_trailer(stream->data, stream->data + stream->position);
    stream->active = 0;
    return VOK_OK;
}

VOK_API uint16_t vokOpenStream(vokStream *stream, const uint8_t *block, uint8_t type,
                               uint32_t version) {
    return open_block(stream, block, type, version);
}

VOK_API uint16_t vokReset(vokStream *stream) {
    if (stream->active == 0 || stream->data == nullptr) return VOK_INVALID;
    stream->position = fmt::kVersionOffset;
    const uint32_t body = fmt::body_start(stream->data);
    if (body == 0) return VOK_INVALID_STREAM;
    // A stream being written (length bytes zero) always holds its whole
    // header; an opened one must hold the version item before its end marker.
    const uint32_t total = fmt::get_total_length(stream->data);
    if (total != 0 && !fmt::version_fits(body, total)) return VOK_INVALID_STREAM;
    stream->position = body;
    return VOK_OK;
}

VOK_API uint8_t *vokGetData(const vokStream *stream) {
    return stream->active != 0 ? nullptr : stream->data;
}

VOK_API uint32_t vokGetLength(const vokStream *stream) {
    return stream->active != 0 ? uint32_t{VOK_STILL_ACTIVE} : stream->position;
}

VOK_API uint32_t vokGetLengthEx(const vokStream *stream) {
    return stream->active != 0 ? 0 : stream->position;
}

VOK_API void vokDestroyStream(void *block) { std::free(block); }
