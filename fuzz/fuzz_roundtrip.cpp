// Builds one stream from a fuzz-made program of items in several ways and
// checks that they agree:
//   - handle side, in pieces: create, write, close, reopen, write more, then
//     append the body of a second stream holding the rest, close;
//   - a writable copy of the result (reopen-copy), closed again;
//   - cursor side, in caller memory (marks and safe strings, which have no
//     encoder, are put in by hand).
// All blocks must be byte-identical; reading back with the handle readers,
// with phrase skipping and with the cursor decoders must give the program's
// values.  Refused items (marks above 199, plain or safe strings above
// 65,535 bytes) must leave no trace, and every write and close must grow the
// buffer exactly as the growth rule says (seeds growth_*: each writer with
// just enough room and one byte less).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vok32.h"

#define REQUIRE(cond)                                                                              \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond);                        \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace {

enum class Kind : uint8_t {
    user_mark,
    phrase_mark,
    flag,
    signed_int,
    unsigned_int,
    plain,
    utf8,
    safe
};
constexpr uint8_t kKinds = 8;

struct Item {
    Kind kind;
    uint32_t value; // mark, phrase, flag or integer bits
    std::string text;
};

uint32_t pick_number(FuzzedDataProvider &in) {
    static const uint32_t edges[] = {0,          1,          255,        256,
                                     65535,      65536,      0x7FFFFFFF, 0x80000000,
                                     0x80000001, 0xFFFFFF00, 0xFFFF0000, 0xFFFFFFFF};
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return in.ConsumeIntegral<uint8_t>();
    case 1:
        return in.ConsumeIntegral<uint16_t>();
    case 2:
        return in.ConsumeIntegral<uint32_t>();
    default:
        return edges[in.ConsumeIntegralInRange<size_t>(0, std::size(edges) - 1)];
    }
}

std::string pick_text(FuzzedDataProvider &in) {
    static const size_t long_lengths[] = {255, 256, 65535, 65536, 70000};
    const size_t length = in.ConsumeBool() ? in.ConsumeIntegralInRange<size_t>(0, 300)
                                           : long_lengths[in.ConsumeIntegralInRange<size_t>(0, 4)];
    std::string text = in.ConsumeBytesAsString(length);
    const char fill = static_cast<char>('a' + text.size() % 26);
    text.resize(length, fill);
    for (char &c : text)
        if (c == '\0') c = '0'; // writers stop at the first zero byte
    return text;
}

Item pick_item(FuzzedDataProvider &in) {
    Item item{static_cast<Kind>(in.ConsumeIntegralInRange<uint8_t>(0, kKinds - 1)), 0, {}};
    switch (item.kind) {
    case Kind::user_mark:
    case Kind::phrase_mark:
        item.value = in.ConsumeIntegral<uint8_t>();
        break;
    case Kind::flag:
    case Kind::signed_int:
    case Kind::unsigned_int:
        item.value = pick_number(in);
        break;
    default:
        item.text = pick_text(in);
    }
    return item;
}

// Whether the writers refuse the item (and so write nothing for it).
bool refused(const Item &item) {
    if (item.kind == Kind::user_mark) return item.value > 199;
    if (item.kind == Kind::plain || item.kind == Kind::safe) return item.text.size() > 65535;
    return false;
}

uint16_t write(vokStream *s, const Item &item) {
    switch (item.kind) {
    case Kind::user_mark:
        return vokWriteUserMark(s, static_cast<uint8_t>(item.value));
    case Kind::phrase_mark:
        return vokWritePhraseMark(s, static_cast<uint8_t>(item.value));
    case Kind::flag:
        return vokWriteFlag(s, static_cast<int32_t>(item.value));
    case Kind::signed_int:
        return vokWriteSigned(s, static_cast<int32_t>(item.value));
    case Kind::unsigned_int:
        return vokWriteUnsigned(s, item.value);
    case Kind::plain:
        return vokWriteString(s, item.text.c_str());
    case Kind::utf8:
        return vokWriteUTF8String(s, item.text.c_str());
    case Kind::safe:
        return vokWriteSafeString(s, item.text.c_str());
    }
    return 0xFFFF;
}

uint16_t expected_write_status(const Item &item) {
    if (item.kind == Kind::user_mark && item.value > 199) return VOK_MARK_OUT_OF_RANGE;
    if (refused(item)) return VOK_STRING_TOO_LONG;
    return item.kind == Kind::safe ? VOK_UNEXPECTED : VOK_OK;
}

// The bytes a writer makes sure of before writing: the widest form of its
// item (strings: a 4-byte length field), or the end marker when closing.
uint32_t need(const Item *item) {
    if (item == nullptr || item->kind == Kind::user_mark) return 1;
    if (item->kind == Kind::phrase_mark || item->kind == Kind::flag) return 2;
    if (item->kind == Kind::signed_int || item->kind == Kind::unsigned_int) return 6;
    return static_cast<uint32_t>(item->text.size()) + 5;
}

// A buffer with fewer bytes left than the need grows to the position plus the
// larger of the need and 128; otherwise, and on a refusal, it stays.
void require_growth(const vokStream &s, uint32_t position, uint32_t capacity, uint32_t need,
                    bool refused) {
    const bool grows = !refused && capacity - position < need;
    REQUIRE(s.capacity == (grows ? position + std::max(need, 128u) : capacity));
}

void write_range(vokStream *s, const std::vector<Item> &items, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        const uint32_t before = s->position, capacity = s->capacity;
        const uint16_t status = write(s, items[i]);
        REQUIRE(status == expected_write_status(items[i]));
        if (refused(items[i])) REQUIRE(s->position == before);
        require_growth(*s, before, capacity, need(&items[i]), refused(items[i]));
    }
}

void close_checked(vokStream *s) {
    const uint32_t position = s->position, capacity = s->capacity;
    REQUIRE(vokCloseStream(s) == VOK_OK);
    require_growth(*s, position, capacity, need(nullptr), false);
}

std::vector<uint8_t> take_block(vokStream *s) {
    close_checked(s);
    const uint8_t *data = vokGetData(s);
    std::vector<uint8_t> out(data, data + vokGetLength(s));
    vokDestroyStream(vokGetData(s));
    return out;
}

std::vector<uint8_t> build_with_handles(const std::vector<Item> &items, uint8_t type,
                                        uint32_t version, size_t split1, size_t split2) {
    vokStream a{};
    REQUIRE(vokCreateStream(&a, type, version) == VOK_OK);
    write_range(&a, items, 0, split1);
    close_checked(&a);
    REQUIRE(vokReopenStream(&a) == VOK_OK);
    write_range(&a, items, split1, split2);

    // The rest comes from another stream, of another type and version.
    vokStream b{};
    REQUIRE(vokCreateStream(&b, static_cast<uint8_t>(type ^ 0x5A), ~version) == VOK_OK);
    write_range(&b, items, split2, items.size());
    close_checked(&b);
    const std::vector<uint8_t> b_before(b.data, b.data + b.position);
    REQUIRE(vokAppendStream(&a, &b) == VOK_OK);
    REQUIRE(std::memcmp(b.data, b_before.data(), b_before.size()) == 0 && b.active == 0);
    vokDestroyStream(vokGetData(&b));
    return take_block(&a);
}

std::vector<uint8_t> build_with_cursor(const std::vector<Item> &items, uint8_t type,
                                       uint32_t version) {
    size_t room = VOK_MAX_FRAME_SIZE;
    for (const Item &item : items)
        room += item.text.size() + 6;
    std::vector<uint8_t> memory(room);
    uint8_t *start = memory.data();
    uint8_t *p = start;
    REQUIRE(vokStartStream(&p, type, version) == VOK_OK);
    for (const Item &item : items) {
        uint8_t *before = p;
        uint16_t status = VOK_OK;
        switch (item.kind) {
        case Kind::user_mark:
            if (item.value <= 199) *p++ = static_cast<uint8_t>(item.value);
            break;
        case Kind::phrase_mark:
            *p++ = VOK_PHRASE_MARK;
            *p++ = static_cast<uint8_t>(item.value);
            break;
        case Kind::flag:
            status = vokEncodeFlag(&p, static_cast<int32_t>(item.value));
            break;
        case Kind::signed_int:
            status = vokEncodeSigned(&p, static_cast<int32_t>(item.value));
            break;
        case Kind::unsigned_int:
            status = vokEncodeUnsigned(&p, item.value);
            break;
        case Kind::plain:
            status = vokEncodeString(&p, item.text.c_str());
            REQUIRE(status == (refused(item) ? VOK_STRING_TOO_LONG : VOK_OK));
            status = VOK_OK;
            break;
        case Kind::utf8:
            status = vokEncodeUTF8String(&p, item.text.c_str());
            break;
        case Kind::safe:
            REQUIRE(vokEncodeSafeString(&p, item.text.c_str()) == VOK_UNEXPECTED);
            REQUIRE(p == before);
            if (!refused(item)) { // no encoder: the bytes a writer would store
                const auto n = static_cast<uint32_t>(item.text.size());
                if (n <= 255) {
                    *p++ = VOK_SAFE_1;
                } else {
                    *p++ = VOK_SAFE_2;
                    *p++ = static_cast<uint8_t>(n >> 8);
                }
                *p++ = static_cast<uint8_t>(n);
            }
            break;
        }
        REQUIRE(status == VOK_OK);
    }
    REQUIRE(vokFinalStream(start, p) == VOK_OK);
    memory.resize(static_cast<size_t>(p - start) + 1);
    return memory;
}

void read_back_with_handle(const std::vector<uint8_t> &block, const std::vector<Item> &items,
                           uint8_t type, uint32_t version) {
    vokStream s{};
    REQUIRE(vokOpenStream(&s, block.data(), type, version) == VOK_OK);
    for (const Item &item : items) {
        if (refused(item)) continue;
        const uint32_t before = s.position;
        switch (item.kind) {
        case Kind::user_mark:
            REQUIRE(vokCanRead(&s) == VOK_OK);
            REQUIRE(vokReadUserMark(&s) == item.value);
            break;
        case Kind::phrase_mark: {
            uint8_t phrase = 0;
            REQUIRE(vokReadPhraseMark(&s, &phrase) == VOK_OK && phrase == item.value);
            break;
        }
        case Kind::flag: {
            uint32_t flag = 7;
            REQUIRE(vokReadFlag(&s, &flag) == VOK_OK && flag == (item.value != 0 ? 1u : 0u));
            break;
        }
        case Kind::signed_int: {
            int32_t v = 0;
            uint32_t other = 0;
            REQUIRE(vokReadUnsigned(&s, &other) == VOK_WRONG_TYPE); // refused, not moved
            REQUIRE(vokReadSigned(&s, &v) == VOK_OK && v == static_cast<int32_t>(item.value));
            break;
        }
        case Kind::unsigned_int: {
            uint32_t v = 0;
            int32_t other = 0;
            REQUIRE(vokReadSigned(&s, &other) == VOK_WRONG_TYPE);
            REQUIRE(vokReadUnsigned(&s, &v) == VOK_OK && v == item.value);
            break;
        }
        default: {
            uint32_t n = 0;
            REQUIRE(vokGetStringSize(&s, &n) == VOK_OK && n == item.text.size());
            std::vector<char> buffer(n + 1u);
            const uint16_t status = vokReadString(&s, buffer.data());
            if (item.kind == Kind::safe) {
                REQUIRE(status == VOK_UNEXPECTED);
            } else {
                REQUIRE(status == VOK_OK && item.text == buffer.data());
            }
        }
        }
        REQUIRE(s.position > before);
    }
    REQUIRE(vokCanRead(&s) == VOK_END_OF_STREAM && s.position == block.size() - 1);
}

// Skipping stops on every mark (a user mark, by our choice, with 225).
void skip_through(const std::vector<uint8_t> &block, const std::vector<Item> &items, uint8_t type,
                  uint32_t version) {
    vokStream s{};
    REQUIRE(vokOpenStream(&s, block.data(), type, version) == VOK_OK);
    for (const Item &item : items) {
        if (refused(item) || (item.kind != Kind::user_mark && item.kind != Kind::phrase_mark))
            continue;
        if (item.kind == Kind::user_mark) {
            REQUIRE(vokSkipPhrase(&s) == VOK_USER_MARK);
            REQUIRE(vokReadUserMark(&s) == item.value);
        } else {
            REQUIRE(vokSkipPhrase(&s) == VOK_PHRASE_MARK);
            uint8_t phrase = 0;
            REQUIRE(vokReadPhraseMark(&s, &phrase) == VOK_OK && phrase == item.value);
        }
    }
    REQUIRE(vokSkipPhrase(&s) == VOK_END && s.position == block.size() - 1);
}

void decode_back(std::vector<uint8_t> block, const std::vector<Item> &items, uint8_t type,
                 uint32_t version) {
    uint8_t *p = block.data();
    REQUIRE(vokValidateStream(&p, type, version) == VOK_OK);
    for (const Item &item : items) {
        if (refused(item)) continue;
        switch (item.kind) {
        case Kind::user_mark:
            REQUIRE(vokPeekType(p) == item.value);
            ++p;
            break;
        case Kind::phrase_mark:
            REQUIRE(vokPeekType(p) == VOK_PHRASE_MARK && p[1] == item.value);
            p += 2;
            break;
        case Kind::flag: {
            uint32_t flag = 7;
            REQUIRE(vokDecodeFlag(&p, &flag) == VOK_OK && flag == (item.value != 0 ? 1u : 0u));
            break;
        }
        case Kind::signed_int: {
            int32_t v = 0;
            REQUIRE(vokDecodeSigned(&p, &v) == VOK_OK && v == static_cast<int32_t>(item.value));
            break;
        }
        case Kind::unsigned_int: {
            uint32_t v = 0;
            REQUIRE(vokDecodeUnsigned(&p, &v) == VOK_OK && v == item.value);
            break;
        }
        case Kind::safe: {
            char *none = nullptr;
            uint8_t *before = p;
            REQUIRE(vokDecodeString(&p, &none) == VOK_UNEXPECTED && p == before && !none);
            p += item.text.size() <= 255 ? 2 : 3;
            break;
        }
        default: {
            REQUIRE(vokIsUTF8String(vokPeekType(p)) ==
                    (item.kind == Kind::utf8 ? VOK_OK : VOK_NOT_UTF8));
            char *text = nullptr;
            REQUIRE(vokDecodeString(&p, &text) == VOK_OK && item.text == text);
            vokDestroyStream(text);
        }
        }
    }
    REQUIRE(vokPeekType(p) == VOK_END && p == block.data() + block.size() - 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
    const auto type = in.ConsumeIntegral<uint8_t>();
    const uint32_t version = pick_number(in);
    std::vector<Item> items(in.ConsumeIntegralInRange<size_t>(0, 48));
    for (Item &item : items)
        item = pick_item(in);
    const size_t split2 = in.ConsumeIntegralInRange<size_t>(0, items.size());
    const size_t split1 = in.ConsumeIntegralInRange<size_t>(0, split2);

    const std::vector<uint8_t> handle_block =
        build_with_handles(items, type, version, split1, split2);

    vokStream copy{};
    REQUIRE(vokReopenCopyStream(&copy, handle_block.data(), type, version) == VOK_OK);
    REQUIRE(copy.capacity >= 256 && copy.capacity % 128 == 0 &&
            copy.capacity > handle_block.size());
    REQUIRE(take_block(&copy) == handle_block);

    REQUIRE(build_with_cursor(items, type, version) == handle_block);

    read_back_with_handle(handle_block, items, type, version);
    skip_through(handle_block, items, type, version);
    decode_back(handle_block, items, type, version);
    return 0;
}
