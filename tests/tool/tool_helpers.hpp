// Shared helpers for the tests of the vok tool's modules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "byte_helpers.hpp"
#include "dumper.hpp"
#include "packer.hpp"

namespace vok::tool::testing {

using Bytes = std::vector<uint8_t>;

// A finished block around the given body: type 1, version 0.
inline Bytes framed(const Bytes &body) { return vok_test::block_of(body); }

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
