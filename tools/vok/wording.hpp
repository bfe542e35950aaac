// Small helpers for the tool's messages.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace vok::tool {

// "1 byte", "3 bytes"
inline std::string counted(uint64_t count, const char *unit) {
    return std::to_string(count) + " " + unit + (count == 1 ? "" : "s");
}

// "0x2a"
inline std::string byte_text(uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", byte);
    return text;
}

} // namespace vok::tool
