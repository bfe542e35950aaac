// The bytes of an item as the notation describes it, for vokxWriteItem:
// whatever width and sign or flag byte the item records, not only what the
// library's writers would choose.  Also the smallest block that carries a
// header, from which pack starts every block.
#pragma once

#include <cstdint>
#include <vector>

#include "item.hpp"

namespace vok::tool {

// The item's bytes; it must be a body item (not the header or end marker)
// whose width fits its kind, as the parsers ensure.
std::vector<uint8_t> item_bytes(const Item &item);

// A block holding only the header: length field, start marker, type, the
// version in its recorded width, end marker.
std::vector<uint8_t> empty_block(const Item &header);

} // namespace vok::tool
