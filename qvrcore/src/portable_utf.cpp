#include "portable_utf.hpp"

#include "qvrcore.h"

namespace qvrcore::portable {
namespace {

// What ICU reports when a conversion has more to write than room for it;
// callers measure first, so they never see it.
constexpr int32_t kBufferOverflow = 15;
constexpr uint16_t kReplacementCharacter = 0xFFFD;

// One code point read from UTF-8, or, when ill-formed, the length of the
// longest start of a well-formed sequence found there (at least one byte),
// which is what one replacement character stands for.
struct Decoded {
    int32_t code_point; // -1 when ill-formed
    int32_t length;
};

Decoded decode(const uint8_t *bytes, int32_t left) noexcept {
    const uint8_t lead = bytes[0];
    if (lead < 0x80) return {lead, 1};
    int32_t needed = 0;
    uint8_t low = 0x80, high = 0xBF; // the second byte's range, the tighter one
    int32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        needed = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        needed = 2;
        value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;  // no overlong forms
        if (lead == 0xED) high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        needed = 3;
        value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;  // no overlong forms
        if (lead == 0xF4) high = 0x8F; // nothing above U+10FFFF
    } else {
        return {-1, 1};
    }
    for (int32_t i = 1; i <= needed; ++i) {
        if (i >= left) return {-1, i};
        const uint8_t next = bytes[i];
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return {-1, i};
        value = (value << 6) | (next & 0x3F);
    }
    return {value, needed + 1};
}

// Puts one unit, or only counts it when there is no output.
bool put(uint16_t unit, uint16_t *units, int32_t capacity, int32_t &count) noexcept {
    if (units != nullptr) {
        if (count >= capacity) return false;
        units[count] = unit;
    }
    ++count;
    return true;
}

int32_t utf8_length(uint32_t code_point) noexcept {
    return code_point < 0x80 ? 1 : code_point < 0x800 ? 2 : code_point < 0x10000 ? 3 : 4;
}

} // namespace

int32_t utf8_to_utf16(const uint8_t *bytes, int32_t length, bool replace_invalid, uint16_t *units,
                      int32_t capacity, int32_t *produced) noexcept {
    int32_t count = 0;
    bool room = true;
    for (int32_t at = 0; at < length;) {
        const Decoded d = decode(bytes + at, length - at);
        at += d.length;
        if (d.code_point < 0) {
            if (!replace_invalid) return QVRCORE_INVALID_CHAR;
            room = put(kReplacementCharacter, units, capacity, count) && room;
        } else if (d.code_point < 0x10000) {
            room = put(static_cast<uint16_t>(d.code_point), units, capacity, count) && room;
        } else {
            const int32_t above = d.code_point - 0x10000;
            room =
                put(static_cast<uint16_t>(0xD800 + (above >> 10)), units, capacity, count) && room;
            room = put(static_cast<uint16_t>(0xDC00 + (above & 0x3FF)), units, capacity, count) &&
                   room;
        }
    }
    *produced = count;
    return room ? QVRCORE_OK : kBufferOverflow;
}

int32_t utf16_to_utf8(const uint16_t *units, int32_t length, uint8_t *bytes, int32_t capacity,
                      int32_t *produced) noexcept {
    int32_t count = 0;
    bool room = true;
    for (int32_t at = 0; at < length; ++at) {
        uint32_t code_point = units[at];
        if (code_point >= 0xD800 && code_point <= 0xDFFF) {
            const bool paired = code_point <= 0xDBFF && at + 1 < length &&
                                units[at + 1] >= 0xDC00 && units[at + 1] <= 0xDFFF;
            if (!paired) return QVRCORE_INVALID_CHAR;
            code_point = 0x10000 + ((code_point - 0xD800) << 10) + (units[++at] - 0xDC00u);
        }
        const int32_t size = utf8_length(code_point);
        if (bytes != nullptr && count + size > capacity) {
            room = false;
        } else if (bytes != nullptr) {
            static constexpr uint8_t kLeads[] = {0, 0, 0xC0, 0xE0, 0xF0};
            for (int32_t i = size - 1; i > 0; --i, code_point >>= 6)
                bytes[count + i] = static_cast<uint8_t>(0x80 | (code_point & 0x3F));
            bytes[count] = static_cast<uint8_t>((size == 1 ? 0 : kLeads[size]) | code_point);
        }
        count += size;
    }
    *produced = count;
    return room ? QVRCORE_OK : kBufferOverflow;
}

} // namespace qvrcore::portable
