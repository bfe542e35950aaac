#include "noncanonical_items.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "format/frame.hpp"
#include "format/integer_item.hpp"
#include "format/string_item.hpp"

namespace fmt = vok::format;

namespace vok::tool {

namespace {

constexpr uint64_t kGrowthStep = 128;

uint64_t item_size(const Item &item) {
    const unsigned width = effective_width(item);
    switch (item.kind) {
    case ItemKind::flag:
        return fmt::kFlagItemSize;
    case ItemKind::unsigned_int:
        return 1 + width;
    case ItemKind::signed_int:
        return 2 + width;
    case ItemKind::safe_string:
        return 1 + width;
    default:
        return 1 + width + uint64_t{item.number};
    }
}

// Makes room for need bytes at the position, growing the buffer to the
// position plus the larger of need and 128, as the writers do.
bool make_room(vokStream *stream, uint64_t need) {
    if (stream->position + need <= stream->capacity) return true;
    const uint64_t capacity = stream->position + std::max(need, kGrowthStep);
    if (capacity > UINT32_MAX) return false;
    void *grown = std::realloc(stream->data, capacity);
    if (grown == nullptr) return false;
    stream->data = static_cast<uint8_t *>(grown);
    stream->capacity = static_cast<uint32_t>(capacity);
    return true;
}

uint8_t tag_of(const Item &item, unsigned width) {
    switch (item.kind) {
    case ItemKind::flag:
        return VOK_FLAG;
    case ItemKind::unsigned_int:
        return fmt::unsigned_tag(width);
    case ItemKind::signed_int:
        return fmt::signed_tag(width);
    case ItemKind::plain_string:
        return fmt::string_tag(fmt::StringKind::plain, width);
    case ItemKind::safe_string:
        return fmt::string_tag(fmt::StringKind::safe, width);
    default:
        return fmt::string_tag(fmt::StringKind::utf8, width);
    }
}

} // namespace

uint16_t append_noncanonical(vokStream *stream, const Item &item) {
    if (stream->active == 0) return VOK_NOT_ACTIVE;
    const uint64_t size = item_size(item);
    if (!make_room(stream, size)) return VOK_NO_MEMORY;
    const unsigned width = effective_width(item);
    uint8_t *p = stream->data + stream->position;
    p[0] = tag_of(item, width);
    if (item.kind == ItemKind::flag) {
        p[1] = static_cast<uint8_t>(item.number);
    } else {
        uint8_t *after = fmt::put_field(p + 1, item.number, width);
        if (item.kind == ItemKind::signed_int) *after = item.extra;
        if (!item.text.empty()) std::memcpy(after, item.text.data(), item.text.size());
    }
    stream->position += static_cast<uint32_t>(size);
    return VOK_OK;
}

uint16_t rewrite_version(vokStream *stream, uint32_t version, unsigned width) {
    Item item{};
    item.kind = ItemKind::unsigned_int;
    item.width = width;
    item.number = version;
    stream->position = fmt::kVersionOffset;
    return append_noncanonical(stream, item);
}

} // namespace vok::tool
