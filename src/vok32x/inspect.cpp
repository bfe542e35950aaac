// Framing: how much of a block is there and whether it can still become a
// well-formed one.  Each test runs as soon as the bytes it needs are there, so
// a reader of a socket learns of a hopeless frame without waiting for it.
#include "frame.hpp"
#include "vok32x.h"

namespace fmt = vok::format;

namespace {

// The checks that need only the header; size bytes of it are there.
uint16_t check_header(const uint8_t *bytes, size_t size, vokxBlockInfo *info) {
    const uint32_t total = fmt::get_total_length(bytes);
    info->length = total;
    if (total < fmt::kMinStreamLength) return VOK_INVALID_STREAM;
    if (size <= fmt::kStartOffset) return VOKX_NEED_MORE;
    if (bytes[fmt::kStartOffset] != VOK_START) return VOK_INVALID_STREAM;
    if (size <= fmt::kTypeOffset) return VOKX_NEED_MORE;
    info->type = bytes[fmt::kTypeOffset];
    if (size <= fmt::kVersionOffset) return VOKX_NEED_MORE;
    const uint32_t body = fmt::body_start(bytes);
    if (body == 0 || !fmt::version_fits(body, total)) return VOK_INVALID_STREAM;
    if (size < body) return VOKX_NEED_MORE;
    fmt::get_version(bytes, &info->version);
    info->body = body;
    return VOK_OK;
}

} // namespace

VOKX_API uint16_t vokxInspect(const uint8_t *bytes, size_t size, vokxBlockInfo *info) {
    vokxBlockInfo scratch{};
    if (info == nullptr) info = &scratch;
    *info = vokxBlockInfo{};
    if (bytes == nullptr || size < fmt::kStartOffset) return VOKX_NEED_MORE;
    if (const uint16_t status = check_header(bytes, size, info)) return status;
    if (size < info->length) return VOKX_NEED_MORE;
    if (bytes[info->length - 1] != VOK_END) return VOK_INVALID_STREAM;
    return VOK_OK;
}
