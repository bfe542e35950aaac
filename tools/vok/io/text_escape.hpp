// Quoting of string contents for the text notation and for JSON.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "sink.hpp"

namespace vok::tool {

// Writes bytes between double quotes in the notation's escapes.  Printable
// ASCII stays as it is; for UTF-8 content valid non-control characters stay
// as they are too; everything else becomes \xHH (invalid or plain bytes) or
// \u{H} (control characters and line separators).
void write_quoted(Sink &out, std::string_view bytes, bool utf8);

// Writes (appends) a JSON string literal of bytes that are valid UTF-8.
void write_json_string(Sink &out, std::string_view bytes);
void append_json_string(std::string &out, std::string_view bytes);

bool is_valid_utf8(std::string_view bytes) noexcept;

// The longest prefix of at most limit bytes that does not split a UTF-8
// sequence.
size_t utf8_prefix_length(std::string_view bytes, size_t limit) noexcept;

} // namespace vok::tool
