// What every contender offers the benchmark driver.  A codec encodes each
// data set into a block it owns (valid until its next encode) and decodes a
// block of its own format, reporting every value to a sink (ChecksumSink
// when timed, VerifySink once before).  decode returns false when the
// library refuses the block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dataset.hpp"

namespace bench {

struct Encoded {
    const uint8_t *data = nullptr;
    size_t size = 0;
};

using Ints = std::vector<uint32_t>;
using Records = std::vector<Record>;
using Blobs = std::vector<std::string>;

// Largest encoding of any of the formats, to size caller buffers once.
inline size_t worst_case_size(const Ints &ints) { return 16 + ints.size() * 9; }
inline size_t worst_case_size(const Records &records) {
    return 16 + payload_bytes(records) + records.size() * 32;
}
inline size_t worst_case_size(const Blobs &blobs) {
    return 16 + payload_bytes(blobs) + blobs.size() * 16;
}

} // namespace bench
