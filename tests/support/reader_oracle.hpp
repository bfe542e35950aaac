// An independent model of what each handle reader must do at a position of
// an opened block, and a checker that runs one reader call and compares it
// with the model.  It holds the reader fuzzer's calls, and the exhaustive
// test's walk over every short body, to the rules: nothing is read at or past
// the block's length, an item that does not end before the end marker is
// refused, and a refusal moves the position only where documented.
//
// Written from the byte layout alone, without the library's own helpers, so
// that a fault in those helpers shows up as a disagreement.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "vok32.h"

namespace oracle {

enum class Op : uint8_t {
    peek,
    can_read,
    read_user_mark,
    read_phrase_mark,
    read_flag,
    read_signed,
    read_unsigned,
    get_string_size,
    read_string,
    skip_phrase,
    reset,
    count
};

inline const char *op_name(Op op) {
    static const char *const names[] = {"vokPeek",           "vokCanRead",       "vokReadUserMark",
                                        "vokReadPhraseMark", "vokReadFlag",      "vokReadSigned",
                                        "vokReadUnsigned",   "vokGetStringSize", "vokReadString",
                                        "vokSkipPhrase",     "vokReset"};
    return names[static_cast<unsigned>(op)];
}

struct Block {
    const uint8_t *bytes;
    uint32_t total;      // equals the length field
    uint32_t body_start; // offset of the first body item
};

inline uint8_t type_code(uint8_t b) { return b < 200 ? 225 : b > 232 ? 233 : b; }

inline uint32_t big_endian(const uint8_t *p, unsigned width) {
    uint32_t v = 0;
    for (unsigned i = 0; i < width; ++i)
        v = (v << 8) | p[i];
    return v;
}

// Width of the length field of a string tag, or 0.
inline unsigned string_width(uint8_t tag) {
    switch (tag) {
    case 204:
    case 208:
    case 226:
        return 1;
    case 205:
    case 209:
    case 227:
        return 2;
    case 232:
        return 4;
    default:
        return 0;
    }
}

inline unsigned unsigned_width(uint8_t tag) {
    return tag == 210 ? 1 : tag == 212 ? 2 : tag == 213 ? 4 : 0;
}
inline unsigned signed_width(uint8_t tag) {
    return tag == 216 ? 1 : tag == 217 ? 2 : tag == 218 ? 4 : 0;
}

// Size of the item at pos if it has a size rule and ends before the end
// marker (offset total - 1); 0 otherwise.  pos < total.
inline uint64_t item_size(const Block &b, uint32_t pos) {
    const uint8_t tag = b.bytes[pos];
    const uint64_t room = uint64_t{b.total} - 1 - pos; // bytes before the end marker
    uint64_t size = 0;
    if (tag < 200 || tag == 225)
        size = 1;
    else if (tag == 202 || tag == 224)
        size = 2;
    else if (unsigned w = unsigned_width(tag))
        size = 1 + w;
    else if (unsigned w2 = signed_width(tag))
        size = 2 + w2;
    else if (unsigned w3 = string_width(tag)) {
        if (1 + w3 > room) return 0;
        size = 1 + w3;
        if (tag != 226 && tag != 227) size += big_endian(b.bytes + pos + 1, w3);
    }
    return size <= room ? size : 0;
}

// Runs `op` on the handle (opened on b) and checks status, result, position
// and output against the model.  Returns an empty string when they agree.
inline std::string check(vokStream &s, const Block &b, Op op) {
    const uint32_t pos = s.position;
    const bool in = pos < b.total;
    const uint8_t tag = in ? b.bytes[pos] : 0;
    const uint64_t size = in ? item_size(b, pos) : 0;
    std::string why;
    auto expect = [&](bool ok, const char *what) {
        if (!ok && why.empty())
            why = std::string(op_name(op)) + " at " + std::to_string(pos) + ": " + what;
    };
    auto moved_to = [&](uint64_t where) { expect(s.position == where, "position"); };

    switch (op) {
    case Op::peek:
        expect(vokPeek(&s) == (in ? type_code(tag) : 233), "type code");
        moved_to(pos);
        break;
    case Op::can_read: {
        const uint16_t want = !in ? 5 : (tag < 200 || tag == 225) ? 0 : tag == 201 ? 14 : 5;
        expect(vokCanRead(&s) == want, "status");
        moved_to(pos);
        break;
    }
    case Op::read_user_mark:
        expect(vokReadUserMark(&s) == (in ? tag : 233), "mark");
        moved_to(in ? pos + 1 : pos);
        break;
    case Op::read_phrase_mark:
    case Op::read_flag: {
        const uint8_t want_tag = op == Op::read_flag ? 202 : 224;
        uint32_t flag = 0xDEADBEEF;
        uint8_t phrase = 0xA5;
        const uint16_t st =
            op == Op::read_flag ? vokReadFlag(&s, &flag) : vokReadPhraseMark(&s, &phrase);
        const uint16_t want = !in ? 11 : tag != want_tag ? 7 : size == 0 ? 11 : 0;
        expect(st == want, "status");
        moved_to(want == 0 ? pos + 2 : pos);
        if (want == 0)
            expect(op == Op::read_flag ? flag == b.bytes[pos + 1] : phrase == b.bytes[pos + 1],
                   "value");
        else
            expect(flag == 0xDEADBEEF && phrase == 0xA5, "output written on failure");
        break;
    }
    case Op::read_signed: {
        int32_t v = 0x5A5A5A5A;
        const uint16_t st = vokReadSigned(&s, &v);
        const unsigned w = in ? signed_width(tag) : 0;
        const uint16_t want = !in ? 11 : w == 0 ? 5 : size == 0 ? 11 : 0;
        expect(st == want, "status");
        moved_to(want == 0 ? pos + size : pos);
        if (want == 0) {
            const uint32_t m = big_endian(b.bytes + pos + 1, w);
            const uint32_t bits = b.bytes[pos + 1 + w] != 0 ? 0u - m : m;
            expect(v == static_cast<int32_t>(bits), "value");
        } else {
            expect(v == 0x5A5A5A5A, "output written on failure");
        }
        break;
    }
    case Op::read_unsigned: {
        uint32_t v = 0x5A5A5A5A;
        const uint16_t st = vokReadUnsigned(&s, &v);
        const unsigned w = in ? unsigned_width(tag) : 0;
        const uint16_t want = !in ? 11 : w == 0 ? 5 : size == 0 ? 11 : 0;
        expect(st == want, "status");
        moved_to(want == 0 ? pos + size : pos);
        expect(want == 0 ? v == big_endian(b.bytes + pos + 1, w) : v == 0x5A5A5A5A, "value");
        break;
    }
    case Op::get_string_size: {
        uint32_t n = 0x5A5A5A5A;
        const uint16_t st = vokGetStringSize(&s, &n);
        const unsigned w = in ? string_width(tag) : 0;
        const uint16_t want = !in ? 11 : w == 0 ? 5 : size == 0 ? 11 : 0;
        expect(st == want, "status");
        moved_to(pos);
        if (want == 0) expect(n == big_endian(b.bytes + pos + 1, w), "size");
        if (want == 5) expect(n == 0, "size on another item");
        if (want == 11) expect(n == 0x5A5A5A5A, "size written on failure");
        break;
    }
    case Op::read_string: {
        // An exact-size heap buffer, so that an overrun is an ASan report.
        uint32_t n = 0;
        const bool sized = vokGetStringSize(&s, &n) == VOK_OK;
        std::vector<char> buffer(sized ? n + 1u : 1u, '\x7F');
        const uint16_t st = vokReadString(&s, buffer.data());
        const unsigned w = in ? string_width(tag) : 0;
        const bool safe = tag == 226 || tag == 227;
        const uint16_t want = !in ? 11 : w == 0 ? 5 : size == 0 ? 11 : safe ? 7 : 0;
        expect(st == want, "status");
        moved_to(want == 5 ? pos + 1 : want == 7 ? pos + 1 + w : want == 0 ? pos + size : pos);
        if (want == 0) {
            expect(std::memcmp(buffer.data(), b.bytes + pos + 1 + w, n) == 0 && buffer[n] == 0,
                   "content");
        } else {
            expect(buffer[0] == '\x7F', "buffer written on failure");
        }
        break;
    }
    case Op::skip_phrase: {
        uint64_t p = pos;
        uint8_t want = 233;
        while (p < b.total) {
            const uint8_t t = type_code(b.bytes[p]);
            if (t == 201 || t == 224 || t == 225) {
                want = t;
                break;
            }
            const uint64_t n = item_size(b, static_cast<uint32_t>(p));
            if (n == 0) break;
            p += n;
        }
        expect(vokSkipPhrase(&s) == want, "result");
        moved_to(p);
        break;
    }
    case Op::reset:
        expect(vokReset(&s) == VOK_OK, "status");
        moved_to(b.body_start);
        break;
    default:
        break;
    }
    expect(s.active == 1 && s.data == b.bytes, "handle fields");
    return why;
}

} // namespace oracle
