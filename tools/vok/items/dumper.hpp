// The items part: the item-level commands' engines — dump lists a
// stream, check reports on each block, pack builds blocks from lines of
// notation or JSON.  It uses json, notation, stream and io.
//
// `vok dump`: a listing of a stream, one entry per line, as it is read.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "notation_writer.hpp"
#include "sink.hpp"
#include "stream_walker.hpp"
#include "vok32x.h"

namespace vok::tool {

struct DumpOptions {
    bool json = false;
    NotationOptions notation;
    // With a schema, each mark of the notation is labelled with its field's
    // name in a comment (the JSON lines are the records', see record_json.hpp).
    const vokxSchema *schema = nullptr;
    // JSON: the entries alone, without lines for the problems.
    bool entries_only = false;
};

// Lists every entry that can be read, then returns what was found wrong
// (nothing for a well-formed stream); JSON lines name it too.
std::vector<Problem> dump_stream(const Block &block, Sink &out, const DumpOptions &options);

} // namespace vok::tool
