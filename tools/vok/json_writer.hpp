// Writes a stream entry as one JSON object per line, for programs.
#pragma once

#include <cstdint>
#include <optional>

#include "notation_writer.hpp"
#include "sink.hpp"
#include "stream_walker.hpp"

namespace vok::tool {

// in_phrase: the identifier of the phrase the entry belongs to, if any.
// declared_length is reported on the header.
void write_json_entry(Sink &out, const Entry &entry, uint32_t declared_length,
                      std::optional<uint8_t> in_phrase, const NotationOptions &options);

} // namespace vok::tool
