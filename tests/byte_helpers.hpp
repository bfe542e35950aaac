// Small helpers shared by the tests: hex literals and closed streams.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "vok32.h"

namespace vok_test {

using Bytes = std::vector<uint8_t>;

// "C8 07 D2" -> {0xC8, 0x07, 0xD2}
inline Bytes hex(const std::string &text) {
    Bytes out;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<uint8_t>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
        i += 2;
    }
    return out;
}

inline Bytes concat(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Closes the stream and returns a copy of its block, releasing the original.
inline Bytes finish(vokStream &s) {
    if (vokCloseStream(&s) != VOK_OK) return {};
    const uint8_t *data = vokGetData(&s);
    Bytes out(data, data + vokGetLength(&s));
    vokDestroyStream(vokGetData(&s));
    return out;
}

// Bytes written so far to a stream that is still open.
inline Bytes written(const vokStream &s) { return Bytes(s.data, s.data + s.position); }

// A finished block of type 1, version 0 holding `body`.
inline Bytes block_of(const Bytes &body) {
    Bytes b = concat(hex("00 00 00 00 C8 01 D2 00"), body);
    b.push_back(VOK_END);
    const auto n = static_cast<uint32_t>(b.size());
    b[0] = static_cast<uint8_t>(n >> 24);
    b[1] = static_cast<uint8_t>(n >> 16);
    b[2] = static_cast<uint8_t>(n >> 8);
    b[3] = static_cast<uint8_t>(n);
    return b;
}

inline Bytes block_with_body(const std::string &body) { return block_of(hex(body)); }

} // namespace vok_test
