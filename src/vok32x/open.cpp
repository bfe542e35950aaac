// Opening with a size.  The checks that could read past the bytes given are
// made here; the rest is vokOpenStream's, so that statuses and positions are
// exactly those of the vok32 in use.
#include "frame.hpp"
#include "vok32x.h"

namespace fmt = vok::format;

namespace {

// Whether vokOpenStream would get as far as the version item of the block
// of total length T and find that it runs into the end marker.  Every byte
// looked at lies below T, which is at least 9.
bool version_overruns(const uint8_t *bytes, uint32_t total, uint8_t type) {
    if (bytes[total - 1] != VOK_END || bytes[fmt::kStartOffset] != VOK_START ||
        bytes[fmt::kTypeOffset] != type)
        return false;
    const uint32_t body = fmt::body_start(bytes);
    return body != 0 && !fmt::version_fits(body, total);
}

uint16_t refuse(vokStream *stream, const uint8_t *bytes) {
    stream->data = const_cast<uint8_t *>(bytes); // read in place, never written
    stream->active = 0;
    return VOK_INVALID_STREAM;
}

} // namespace

VOKX_API uint16_t vokxOpen(vokStream *stream, const uint8_t *bytes, size_t size, uint8_t type,
                           uint32_t version) {
    if (bytes == nullptr) return VOK_INVALID_STREAM;
    if (size < fmt::kMinStreamLength) return refuse(stream, bytes);
    const uint32_t total = fmt::get_total_length(bytes);
    if (total < fmt::kMinStreamLength || total > size) return refuse(stream, bytes);
    if (version_overruns(bytes, total, type)) {
        stream->position = fmt::kVersionOffset;
        return refuse(stream, bytes);
    }
    return vokOpenStream(stream, bytes, type, version);
}
