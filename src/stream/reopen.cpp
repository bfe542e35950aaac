// Turning finished streams back into writable ones, and appending bodies.
#include <cstdlib>
#include <cstring>

#include "frame.hpp"
#include "growth.hpp"
#include "handle_state.hpp"
#include "opening.hpp"

namespace fmt = vok::format;
using namespace vok::stream;

namespace {

// A closed stream's total length must match its position and be followed by
// an end marker, otherwise the block was altered after closing.
bool closed_frame_intact(const vokStream *s) {
    if (s->data == nullptr || s->position < fmt::kMinStreamLength) return false;
    const uint32_t total = fmt::get_total_length(s->data);
    return total == s->position && s->data[total - 1] == VOK_END;
}

// Puts a finished block of `total` bytes back into writing: the next item
// overwrites the end marker and the length bytes read zero again.
void make_writable(vokStream *s, uint32_t total) {
    s->position = total - fmt::kEndMarkerSize;
    fmt::put_total_length(s->data, 0);
    s->active = 1;
}

// Smallest multiple of the growth step above the block's length, and at
// least a new buffer's capacity.
uint64_t copy_capacity(uint32_t total) {
    const uint64_t rounded = (uint64_t{total} / kGrowthStep + 1) * kGrowthStep;
    return rounded < kInitialCapacity ? kInitialCapacity : rounded;
}

} // namespace

VOK_API uint16_t vokReopenStream(vokStream *stream) {
    if (stream->active != 0) return VOK_OK;
    // No buffer we build is smaller than the stream in it: a capacity below
    // the position marks a block we did not build, one opened for reading
    // whose record a refused copy left inactive.  Appending only reads its
    // source, so it accepts such a record.
    if (stream->capacity < stream->position || !closed_frame_intact(stream))
        return VOK_INVALID_STREAM;
    make_writable(stream, stream->position);
    return VOK_OK;
}

VOK_API uint16_t vokReopenCopyStream(vokStream *stream, const uint8_t *block, uint8_t type,
                                     uint32_t version) {
    stream->active = 0;
    vokStream scratch{};
    if (const uint16_t status = open_block(&scratch, block, type, version)) return status;
    const uint32_t total = fmt::get_total_length(block);
    const uint64_t capacity = copy_capacity(total);
    stream->data = nullptr;
    if (capacity > UINT32_MAX) {
        stream->capacity = 0; // 2^32 in 32 bits; nothing was allocated
        return VOK_NO_MEMORY;
    }
    stream->capacity = static_cast<uint32_t>(capacity);
    stream->data = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(capacity)));
    if (stream->data == nullptr) return VOK_NO_MEMORY;
    std::memcpy(stream->data, block, total);
    make_writable(stream, total);
    return VOK_OK;
}

VOK_API uint16_t vokAppendStream(vokStream *destination, const vokStream *source) {
    if (!is_writable(destination)) return VOK_NOT_ACTIVE;
    if (source->active != 0) return VOK_STILL_ACTIVE;
    if (!closed_frame_intact(source) || source->data[fmt::kStartOffset] != VOK_START)
        return VOK_INVALID_STREAM;
    const uint32_t total = source->position;
    // Only the version item's extent matters: its value bytes are not read.
    const uint32_t body = fmt::body_start(source->data);
    if (body == 0 || !fmt::version_fits(body, total)) return VOK_INVALID_STREAM;
    // The need counts the body plus one byte, as the end marker would.
    if (const uint16_t status = reserve(destination, uint64_t{total} - body)) return status;
    const uint32_t length = total - fmt::kEndMarkerSize - body;
    if (length == 0) return VOK_OK;
    std::memcpy(destination->data + destination->position, source->data + body, length);
    destination->position += length;
    return VOK_OK;
}
