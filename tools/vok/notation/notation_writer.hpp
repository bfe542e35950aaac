// Writes items in the text notation that `vok pack` reads back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "item.hpp"
#include "sink.hpp"

namespace vok::tool {

struct NotationOptions {
    // Strings longer than this are shortened (and marked so that pack
    // refuses them); SIZE_MAX keeps every string whole.
    size_t shorten_above = SIZE_MAX;
    size_t shortened_to = 48;
};

// Writes the item (no newline), with a trailing comment where the notation
// alone does not say everything: the value a reader gets from a
// non-canonical signed item, the full length of a shortened string.
void write_notation(Sink &out, const Item &item, const NotationOptions &options);

} // namespace vok::tool
