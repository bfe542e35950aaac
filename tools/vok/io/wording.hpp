// Small helpers for the tool's messages.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

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

// Text from the input as a message may show it: bytes outside printable
// ASCII become \xHH, so that a zero byte cannot cut the message short.
inline std::string printable(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            shown.push_back(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            shown += escape;
        }
    }
    return shown;
}

} // namespace vok::tool
