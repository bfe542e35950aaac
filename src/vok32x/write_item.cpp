// Raw item writing through vok32's own functions: the item becomes the body
// of a small closed block, which vokAppendStream copies to the stream.  That
// keeps vok32x out of the handle's buffer, whose growth stays vok32's.
#include <cstdlib>
#include <cstring>

#include "format/frame.hpp"
#include "item_description.hpp"
#include "vok32x.h"

namespace fmt = vok::format;

namespace {

// Header of the carrier block: length field, start marker, type 0, version
// 0; the item and the end marker follow.
constexpr uint32_t kCarrierHeader = 8;
constexpr uint32_t kCarrierFrame = kCarrierHeader + fmt::kEndMarkerSize;
// Items up to this size travel in a carrier on the stack.
constexpr uint32_t kStackCarrier = 256;

bool is_writable(const vokStream *stream) {
    return stream->active != 0 && stream->data != nullptr &&
           fmt::get_total_length(stream->data) == 0;
}

uint16_t append_in_carrier(vokStream *stream, uint8_t *carrier, const uint8_t *item,
                           uint32_t size) {
    const uint32_t total = size + kCarrierFrame;
    fmt::put_header(carrier, 0, 0);
    std::memcpy(carrier + kCarrierHeader, item, size);
    fmt::put_trailer(carrier, carrier + kCarrierHeader + size);
    const vokStream source{carrier, total, total, 0};
    return vokAppendStream(stream, &source);
}

} // namespace

extern "C" uint16_t vokxWriteItem(vokStream *stream, const uint8_t *item, size_t size) {
    if (!is_writable(stream)) return VOK_NOT_ACTIVE;
    vokxItem described;
    if (item == nullptr || size == 0 || vok::x::describe_item(item, size, &described) != size)
        return VOK_INVALID_STREAM;
    if (size > UINT32_MAX - kCarrierFrame) return VOK_NO_MEMORY;
    const auto item_size = static_cast<uint32_t>(size);
    if (item_size + kCarrierFrame <= kStackCarrier) {
        uint8_t carrier[kStackCarrier];
        return append_in_carrier(stream, carrier, item, item_size);
    }
    auto *carrier = static_cast<uint8_t *>(std::malloc(item_size + kCarrierFrame));
    if (carrier == nullptr) return VOK_NO_MEMORY;
    const uint16_t status = append_in_carrier(stream, carrier, item, item_size);
    std::free(carrier);
    return status;
}
