// Bytes the encoders write, from the same width rules they use.
#include "format/frame.hpp"
#include "format/integer_item.hpp"
#include "format/string_item.hpp"
#include "vok32x.h"

namespace fmt = vok::format;

extern "C" {

uint32_t vokxUnsignedSize(uint32_t value) { return fmt::unsigned_item_size(value); }

uint32_t vokxSignedSize(int32_t value) { return fmt::signed_item_size(value); }

uint32_t vokxStringSize(uint32_t length) {
    const uint32_t header = fmt::string_header_size(length);
    return length > UINT32_MAX - header ? UINT32_MAX : header + length;
}

uint32_t vokxFrameSize(uint32_t version) {
    return fmt::kVersionOffset + fmt::unsigned_item_size(version) + fmt::kEndMarkerSize;
}

} // extern "C"
