// The bytes of an item as the notation describes it, for vokxWriteItem: the
// signed items that a vokxItem cannot describe (an odd sign byte) need them.  Also the smallest
// block that carries a header, from which pack starts every block.
#pragma once

#include <cstdint>
#include <vector>

#include "item.hpp"

namespace vok::tool {

// The item's bytes, in place of what out held; it must be a body item (not
// the header or end marker) whose width fits its kind, as the parsers ensure.
void item_bytes(const Item &item, std::vector<uint8_t> &out);

// A block holding only the header: length field, start marker, type, the
// version in its recorded width, end marker.
std::vector<uint8_t> empty_block(const Item &header);

} // namespace vok::tool
