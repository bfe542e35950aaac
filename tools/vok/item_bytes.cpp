#include "item_bytes.hpp"

#include "tags.hpp"
#include "vok32.h"

namespace vok::tool {

namespace {

void put_field(std::vector<uint8_t> &out, uint32_t value, unsigned width) {
    for (unsigned i = width; i-- > 0;)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A number or length item: tag, big-endian field.
std::vector<uint8_t> tagged_field(const Item &item, size_t extra) {
    const unsigned width = effective_width(item);
    std::vector<uint8_t> out;
    out.reserve(1 + width + extra);
    out.push_back(tag_for(item.kind, width));
    put_field(out, item.number, width);
    return out;
}

} // namespace

std::vector<uint8_t> item_bytes(const Item &item) {
    switch (item.kind) {
    case ItemKind::user_mark:
        return {static_cast<uint8_t>(item.number)};
    case ItemKind::phrase_mark:
    case ItemKind::flag:
        return {tag_for(item.kind, 1), static_cast<uint8_t>(item.number)};
    case ItemKind::signed_int: {
        std::vector<uint8_t> out = tagged_field(item, 1);
        out.push_back(item.extra);
        return out;
    }
    case ItemKind::plain_string:
    case ItemKind::utf8_string: {
        std::vector<uint8_t> out = tagged_field(item, item.text.size());
        out.insert(out.end(), item.text.begin(), item.text.end());
        return out;
    }
    default: // unsigned and safe strings: tag and field only
        return tagged_field(item, 0);
    }
}

std::vector<uint8_t> empty_block(const Item &header) {
    Item version{};
    version.kind = ItemKind::unsigned_int;
    version.width = header.width;
    version.number = header.number;
    const std::vector<uint8_t> version_item = item_bytes(version);
    const auto length = static_cast<uint32_t>(kVersionOffset + version_item.size() + 1);
    std::vector<uint8_t> block;
    put_field(block, length, 4);
    block.push_back(VOK_START);
    block.push_back(header.extra);
    block.insert(block.end(), version_item.begin(), version_item.end());
    block.push_back(VOK_END);
    return block;
}

} // namespace vok::tool
