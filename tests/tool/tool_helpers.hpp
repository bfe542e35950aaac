// Shared helpers for the tests of the vok tool's modules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dumper.hpp"
#include "format/frame.hpp"
#include "packer.hpp"

namespace vok::tool::testing {

using Bytes = std::vector<uint8_t>;

// A finished block around the given body: type 1, version 0.
inline Bytes framed(const Bytes &body) {
    Bytes block{0, 0, 0, 0, VOK_START, 1, VOK_UNSIGNED_1, 0};
    block.insert(block.end(), body.begin(), body.end());
    block.push_back(VOK_END);
    format::put_total_length(block.data(), static_cast<uint32_t>(block.size()));
    return block;
}

// The full listing (nothing shortened) and the problems found.
inline std::string dump_text(const Bytes &block, std::vector<Problem> *problems = nullptr,
                             bool json = false) {
    Sink out;
    DumpOptions options;
    options.json = json;
    std::vector<Problem> found = dump_stream(block, out, options);
    if (problems != nullptr) *problems = found;
    return out.text();
}

inline Bytes pack_or_fail(const std::string &text, PackError *error = nullptr) {
    Bytes block;
    PackError e;
    if (!pack_text(text, block, e)) {
        if (error != nullptr) *error = e;
        return {};
    }
    return block;
}

} // namespace vok::tool::testing
