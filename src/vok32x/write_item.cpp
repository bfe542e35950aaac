// Item writing through vok32's own functions: the item becomes the body of a
// small closed block, which vokAppendStream copies to the stream.  That keeps
// vok32x out of the handle's buffer, whose growth stays vok32's.  Every
// writer here -- raw bytes, a description, a counted string -- ends in
// append_item.
#include <cstdlib>
#include <cstring>

#include "frame.hpp"
#include "item_description.hpp"
#include "item_writer.hpp"
#include "vok32x.h"

namespace fmt = vok::format;
using vok::x::Form;

namespace {

using vok::x::kCarrierHeader;
constexpr uint32_t kCarrierFrame = kCarrierHeader + fmt::kEndMarkerSize;
// Items up to this size travel in a carrier on the stack.
constexpr uint32_t kStackCarrier = 256;

bool is_writable(const vokStream *stream) {
    return stream->active != 0 && stream->data != nullptr &&
           fmt::get_total_length(stream->data) == 0;
}

// Appends an item of size bytes that fill writes at the pointer it is given.
template <typename Fill> uint16_t append_item(vokStream *stream, uint64_t size, Fill fill) {
    if (size > UINT32_MAX - kCarrierFrame) return VOK_NO_MEMORY;
    const auto total = static_cast<uint32_t>(size) + kCarrierFrame;
    uint8_t on_stack[kStackCarrier];
    auto *carrier = total <= kStackCarrier ? on_stack : static_cast<uint8_t *>(std::malloc(total));
    if (carrier == nullptr) return VOK_NO_MEMORY;
    fill(carrier + kCarrierHeader);
    const uint16_t status = vok::x::append_carrier(stream, carrier, static_cast<uint32_t>(size));
    if (carrier != on_stack) std::free(carrier);
    return status;
}

bool fits(uint32_t value, unsigned width) { return width == 4 || value >> (8 * width) == 0; }

// Bytes the item that item describes takes, or 0 when it describes none: an
// unwritable kind, or a value, magnitude or length its width cannot hold.
uint64_t described_size(const vokxItem &item) {
    if (item.kind == VOK_USER_MARK) return item.value <= VOK_MAX_USER_MARK ? 1 : 0;
    if (fmt::is_user_mark(item.kind)) return 0; // a mark is described by VOK_USER_MARK
    const vok::x::Shape shape = vok::x::kShapes[item.kind];
    const unsigned w = shape.width;
    switch (shape.form) {
    case Form::number:
    case Form::safe:
    case Form::byte:
        return fits(item.value, w) ? 1 + w : 0;
    case Form::signed_number:
        return fits(fmt::magnitude_of(item.signed_value), w) ? 2 + w : 0;
    case Form::text:
        if (!fits(item.length, w) || (item.text == nullptr && item.length != 0)) return 0;
        return 1 + w + uint64_t{item.length};
    default:
        return 0;
    }
}

// Writes the item that described_size accepted.
void put_described(uint8_t *p, const vokxItem &item) {
    if (item.kind == VOK_USER_MARK) {
        *p = static_cast<uint8_t>(item.value);
        return;
    }
    const vok::x::Shape shape = vok::x::kShapes[item.kind];
    switch (shape.form) {
    case Form::signed_number:
        p = fmt::put_tag_and_field(p, item.kind, fmt::magnitude_of(item.signed_value), shape.width);
        *p = static_cast<uint8_t>(item.signed_value < 0);
        return;
    case Form::text:
        p = fmt::put_tag_and_field(p, item.kind, item.length, shape.width);
        if (item.length != 0) std::memcpy(p, item.text, item.length);
        return;
    default:
        fmt::put_tag_and_field(p, item.kind, item.value, shape.width);
    }
}

// A string of the narrowest width, as vok32's writers choose it.
uint16_t write_counted(vokStream *stream, fmt::StringKind kind, const uint8_t *bytes,
                       uint32_t length) {
    if (!is_writable(stream)) return VOK_NOT_ACTIVE;
    if (!fmt::string_length_allowed(kind, length)) return VOK_STRING_TOO_LONG;
    vokxItem item{};
    item.kind = fmt::string_tag(kind, fmt::field_width(length));
    item.value = length;
    item.text = bytes;
    item.length = length;
    return vokxPutItem(stream, &item);
}

} // namespace

uint16_t vok::x::append_carrier(vokStream *stream, uint8_t *carrier, uint32_t body_size) {
    fmt::put_header(carrier, 0, 0);
    const uint32_t total = fmt::put_trailer(carrier, carrier + kCarrierHeader + body_size);
    const vokStream source{carrier, total, total, 0};
    return vokAppendStream(stream, &source);
}

VOKX_API uint16_t vokxWriteItem(vokStream *stream, const uint8_t *item, size_t size) {
    if (!is_writable(stream)) return VOK_NOT_ACTIVE;
    vokxItem described;
    if (item == nullptr || size == 0 || vok::x::describe_item(item, size, &described) != size)
        return VOK_INVALID_STREAM;
    return append_item(stream, size, [=](uint8_t *at) { std::memcpy(at, item, size); });
}

uint16_t vok::x::put_items(vokStream *stream, const vokxItem *items, size_t count) {
    if (!is_writable(stream)) return VOK_NOT_ACTIVE;
    uint64_t size = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint64_t one = items != nullptr ? described_size(items[i]) : 0;
        if (one == 0) return VOK_INVALID_STREAM;
        size += one;
    }
    return append_item(stream, size, [=](uint8_t *at) {
        for (size_t i = 0; i < count; ++i) {
            put_described(at, items[i]);
            at += described_size(items[i]);
        }
    });
}

VOKX_API uint16_t vokxPutItem(vokStream *stream, const vokxItem *item) {
    return vok::x::put_items(stream, item, 1);
}

VOKX_API uint16_t vokxWriteString(vokStream *stream, const uint8_t *bytes, uint32_t length) {
    return write_counted(stream, fmt::StringKind::plain, bytes, length);
}

VOKX_API uint16_t vokxWriteUTF8String(vokStream *stream, const uint8_t *bytes, uint32_t length) {
    return write_counted(stream, fmt::StringKind::utf8, bytes, length);
}

VOKX_API uint16_t vokxWriteSafeString(vokStream *stream, uint32_t length) {
    return write_counted(stream, fmt::StringKind::safe, nullptr, length);
}
