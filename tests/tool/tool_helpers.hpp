// Shared helpers for the tests of the vok tool's modules.
#pragma once

#include <functional>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "block_reader.hpp"
#include "byte_helpers.hpp"
#include "checker.hpp"
#include "dumper.hpp"
#include "packer.hpp"

namespace vok::tool::testing {

using vok_test::block_of;
using vok_test::Bytes;
using vok_test::hex;

// Reads bytes as the tool reads its input, block by block, handing each to
// visit until it returns false.
inline void for_each_block(const Bytes &bytes, const std::function<bool(const Block &)> &visit) {
    const int fd = memfd_create("input", 0);
    if (!bytes.empty() && write(fd, bytes.data(), bytes.size()) < 0) std::abort();
    Input input;
    std::string error;
    if (!input.open("/proc/self/fd/" + std::to_string(fd), error)) std::abort();
    close(fd);
    BlockReader reader(input);
    if (!visit_blocks(reader, visit, error)) std::abort();
}

// The listing of the blocks; the problems found go to *problems.
inline std::string dump_text(const Bytes &bytes, const DumpOptions &options = {},
                             std::vector<Problem> *problems = nullptr) {
    Sink out;
    std::vector<Problem> found;
    for_each_block(bytes, [&](const Block &block) {
        found = dump_stream(block, out, options);
        return found.empty();
    });
    if (problems != nullptr) *problems = std::move(found);
    return out.text();
}

// The problems check finds in the first bad block.
inline std::vector<Problem> check_problems(const Bytes &bytes) {
    std::vector<Problem> found;
    for_each_block(bytes, [&](const Block &block) {
        found = check_stream(block, {}).problems;
        return found.empty();
    });
    return found;
}

// The packed blocks (from JSON lines if json), or no bytes and the error in *error.
inline Bytes pack_or_fail(const std::string &text, PackError *error = nullptr, bool json = false) {
    Bytes block;
    PackError ignored;
    return pack_text(text, block, error != nullptr ? *error : ignored, json) ? block : Bytes{};
}

} // namespace vok::tool::testing
