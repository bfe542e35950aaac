#include "opening.hpp"

#include "frame.hpp"

namespace vok::stream {

namespace fmt = vok::format;

uint16_t open_block(vokStream *s, const uint8_t *block, uint8_t type, uint32_t version) noexcept {
    if (block == nullptr) return VOK_INVALID_STREAM;
    s->active = 0;
    s->data = const_cast<uint8_t *>(block); // read in place; never written through
    const uint32_t total = fmt::get_total_length(block);
    // A length below the smallest stream would put the end-marker test, and
    // every later read, before or inside the header.
    if (total < fmt::kMinStreamLength || block[total - 1] != VOK_END) return VOK_INVALID_STREAM;
    s->position = fmt::kStartOffset;
    if (block[fmt::kStartOffset] != VOK_START) {
        s->position = fmt::kTypeOffset;
        return VOK_UNEXPECTED;
    }
    s->position = fmt::kVersionOffset;
    if (block[fmt::kTypeOffset] != type) return VOK_WRONG_STREAM_TYPE;
    const uint32_t body = fmt::body_start(block);
    if (body == 0) return VOK_BAD_VERSION;
    if (!fmt::version_fits(body, total)) return VOK_INVALID_STREAM;
    uint32_t found = 0;
    fmt::get_version(block, &found);
    s->position = body;
    s->active = 1;
    return fmt::compare_versions(found, version);
}

} // namespace vok::stream
