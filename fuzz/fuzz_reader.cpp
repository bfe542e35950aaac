// Opens fuzz-made blocks and walks them with a fuzz-chosen sequence of reader
// calls, each checked against an independent model of the readers.
//
// Input: byte 0 chooses the framing, byte 1 the number of calls; the calls
// follow, one byte each, and the rest is the block's content.  Framing 0-127
// wraps the content as a body behind a valid header and before an end marker;
// 128-255 takes the content as the whole block.  Either way the length field
// is made to equal the block's real size, and the block is copied into an
// exact-size heap buffer so that ASan reports any read past it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "reader_oracle.hpp"
#include "vok32.h"

namespace {

void store_length(std::vector<uint8_t> &block) {
    const auto n = static_cast<uint32_t>(block.size());
    for (int i = 0; i < 4; ++i)
        block[static_cast<size_t>(i)] = static_cast<uint8_t>(n >> (24 - 8 * i));
}

// The block's own type and version, so that a well-framed block opens.
void expected_header(const std::vector<uint8_t> &block, uint8_t *type, uint32_t *version) {
    *type = block.size() > 5 ? block[5] : 0;
    *version = 0;
    if (block.size() < 7) return;
    const unsigned w = oracle::unsigned_width(block[6]);
    if (w != 0 && block.size() >= 7 + w) *version = oracle::big_endian(block.data() + 7, w);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    const bool wrap = data[0] < 128;
    const size_t calls = std::min<size_t>(data[1], size - 2);
    const uint8_t *program = data + 2;
    const uint8_t *content = program + calls;
    const size_t content_size = size - 2 - calls;

    std::vector<uint8_t> built;
    if (wrap) {
        // Version width from the framing byte: 1, 2 or 4 value bytes.
        const unsigned widths[] = {1, 2, 4, 1};
        const unsigned w = widths[data[0] & 3];
        built = {0,
                 0,
                 0,
                 0,
                 VOK_START,
                 static_cast<uint8_t>(data[0] >> 2),
                 static_cast<uint8_t>(w == 1   ? 210
                                      : w == 2 ? 212
                                               : 213)};
        for (unsigned i = 0; i < w; ++i)
            built.push_back(static_cast<uint8_t>(0x11 * (i + 1)));
        built.insert(built.end(), content, content + content_size);
        built.push_back(VOK_END);
    } else {
        if (content_size < 4) return 0;
        built.assign(content, content + content_size);
    }
    store_length(built);

    // Exactly the block's bytes on the heap: one byte further is a report.
    auto *block = static_cast<uint8_t *>(std::malloc(built.size()));
    std::memcpy(block, built.data(), built.size());

    uint8_t type = 0;
    uint32_t version = 0;
    expected_header(built, &type, &version);
    vokStream s{};
    const uint16_t opened = vokOpenStream(&s, block, type, version);
    if (opened == VOK_OK) {
        const oracle::Block b{block, static_cast<uint32_t>(built.size()), s.position};
        for (size_t i = 0; i < calls; ++i) {
            const auto op =
                static_cast<oracle::Op>(program[i] % static_cast<unsigned>(oracle::Op::count));
            const std::string why = oracle::check(s, b, op);
            if (!why.empty()) {
                std::fprintf(stderr, "reader disagrees with the model: %s\n", why.c_str());
                std::abort();
            }
        }
    } else {
        // Anything refused must stay unreadable.
        if (s.active != 0 || vokPeek(&s) != VOK_INVALID || vokSkipPhrase(&s) != VOK_INVALID)
            std::abort();
    }
    std::free(block);
    return 0;
}
