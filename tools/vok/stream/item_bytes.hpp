// Items as the library writes them: the description vokxPutItem takes for
// an item of the notation, the bytes of the signed items that a description
// cannot say (an odd sign byte), and the smallest block that carries a
// header, from which pack starts every block.
#pragma once

#include <cstdint>
#include <vector>

#include "item.hpp"
#include "vok32x.h"

namespace vok::tool {

// The description of a body item (not the header or end marker) whose width
// fits its kind, as the parsers ensure.
vokxItem described(const Item &item) noexcept;

// A signed item whose stored magnitude and sign byte are not what its
// reading would be written as (a sign byte of 2, "-0", a magnitude of 2^31
// without a sign): a description cannot say that.
bool needs_raw_bytes(const Item &item) noexcept;

// The item's bytes, in place of what out held: vokxPutItem's, with the
// signed item's sign byte as recorded.  A library status on failure.
uint16_t item_bytes(const Item &item, std::vector<uint8_t> &out);

// A block holding only the header, the version in its recorded width.
uint16_t empty_block(const Item &header, std::vector<uint8_t> &out);

} // namespace vok::tool
