// Shared helpers for the tests of the vok tool's modules.
#pragma once

#include <string>
#include <vector>

#include "byte_helpers.hpp"
#include "dumper.hpp"
#include "packer.hpp"

namespace vok::tool::testing {

using vok_test::block_of;
using vok_test::Bytes;
using vok_test::hex;

// The listing of a block; the problems found go to *problems.
inline std::string dump_text(const Bytes &block, const DumpOptions &options = {},
                             std::vector<Problem> *problems = nullptr) {
    Sink out;
    std::vector<Problem> found = dump_stream(block, out, options);
    if (problems != nullptr) *problems = std::move(found);
    return out.text();
}

// The packed block, or no bytes and the error in *error.
inline Bytes pack_or_fail(const std::string &text, PackError *error = nullptr) {
    Bytes block;
    PackError ignored;
    return pack_text(text, block, error != nullptr ? *error : ignored) ? block : Bytes{};
}

} // namespace vok::tool::testing
