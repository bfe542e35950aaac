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
void put_tagged_field(std::vector<uint8_t> &out, const Item &item) {
    const unsigned width = effective_width(item);
    out.push_back(tag_for(item.kind, width));
    put_field(out, item.number, width);
}

} // namespace

void item_bytes(const Item &item, std::vector<uint8_t> &out) {
    out.clear();
    switch (item.kind) {
    case ItemKind::user_mark:
        out.push_back(static_cast<uint8_t>(item.number));
        return;
    case ItemKind::phrase_mark:
    case ItemKind::flag:
        out.push_back(tag_for(item.kind, 1));
        out.push_back(static_cast<uint8_t>(item.number));
        return;
    default: // the rest start with a tag and a number or length field
        put_tagged_field(out, item);
        if (item.kind == ItemKind::signed_int) out.push_back(item.extra);
        out.insert(out.end(), item.text.begin(), item.text.end()); // strings only
        return;
    }
}

std::vector<uint8_t> empty_block(const Item &header) {
    Item version{};
    version.kind = ItemKind::unsigned_int;
    version.width = header.width;
    version.number = header.number;
    std::vector<uint8_t> version_item;
    item_bytes(version, version_item);
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
