// Bytes the encoders write, from the same width rules they use.
#include "frame.hpp"
#include "integer_item.hpp"
#include "string_item.hpp"
#include "vok32x.h"

namespace fmt = vok::format;

VOKX_API uint32_t vokxUnsignedSize(uint32_t value) { return fmt::unsigned_item_size(value); }

VOKX_API uint32_t vokxSignedSize(int32_t value) { return fmt::signed_item_size(value); }

VOKX_API uint32_t vokxStringSize(uint32_t length) {
    const uint32_t header = fmt::string_header_size(length);
    return length > UINT32_MAX - header ? UINT32_MAX : header + length;
}

VOKX_API uint32_t vokxFrameSize(uint32_t version) {
    return fmt::kVersionOffset + fmt::unsigned_item_size(version) + fmt::kEndMarkerSize;
}
