// Bytes as lowercase hexadecimal, for the listing's second column and JSON.
#pragma once

#include <string_view>

#include "sink.hpp"

namespace vok::tool {

// Every byte as two hex digits, no separator.
void write_hex(Sink &out, std::string_view bytes);

// The listing column: the first bytes of an entry separated by spaces, ".."
// when there are more, padded to a fixed width.
void write_hex_column(Sink &out, std::string_view bytes);

} // namespace vok::tool
