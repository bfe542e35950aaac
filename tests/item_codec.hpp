// One item as a value, written and read through either family, so that tests
// comparing the two sides state each operation once.
#pragma once

#include <cstdint>
#include <string>

#include "vok32.h"

namespace vok_test {

enum class Kind { flag, signed_value, unsigned_value, plain, utf8 };

struct Item {
    Kind kind;
    uint32_t number = 0; // flag, unsigned value or the bits of a signed value
    std::string text{};  // string content

    bool is_string() const { return kind == Kind::plain || kind == Kind::utf8; }
    bool operator==(const Item &) const = default;
};

inline uint16_t write_item(vokStream *s, const Item &item) {
    const auto value = static_cast<int32_t>(item.number);
    switch (item.kind) {
    case Kind::flag:
        return vokWriteFlag(s, value);
    case Kind::signed_value:
        return vokWriteSigned(s, value);
    case Kind::unsigned_value:
        return vokWriteUnsigned(s, item.number);
    case Kind::plain:
        return vokWriteString(s, item.text.c_str());
    default:
        return vokWriteUTF8String(s, item.text.c_str());
    }
}

inline uint16_t encode_item(uint8_t **p, const Item &item) {
    const auto value = static_cast<int32_t>(item.number);
    switch (item.kind) {
    case Kind::flag:
        return vokEncodeFlag(p, value);
    case Kind::signed_value:
        return vokEncodeSigned(p, value);
    case Kind::unsigned_value:
        return vokEncodeUnsigned(p, item.number);
    case Kind::plain:
        return vokEncodeString(p, item.text.c_str());
    default:
        return vokEncodeUTF8String(p, item.text.c_str());
    }
}

// Reads an item of the given kind at an opened handle into *out.  A string
// is read into a buffer of exactly its size plus one, which must come back
// terminated.
inline uint16_t read_item(vokStream *s, Kind kind, Item *out) {
    *out = Item{kind};
    int32_t value = 0;
    uint16_t status = VOK_OK;
    switch (kind) {
    case Kind::flag:
        return vokReadFlag(s, &out->number);
    case Kind::signed_value:
        status = vokReadSigned(s, &value);
        out->number = static_cast<uint32_t>(value);
        return status;
    case Kind::unsigned_value:
        return vokReadUnsigned(s, &out->number);
    default: {
        uint32_t size = 0;
        if ((status = vokGetStringSize(s, &size)) != VOK_OK) return status;
        out->text.assign(size + 1, '\x7F');
        if ((status = vokReadString(s, out->text.data())) != VOK_OK) return status;
        if (out->text.back() != '\0') return VOK_UNEXPECTED; // not terminated
        out->text.pop_back();
        return VOK_OK;
    }
    }
}

inline uint16_t decode_item(uint8_t **p, Kind kind, Item *out) {
    *out = Item{kind};
    int32_t value = 0;
    uint16_t status = VOK_OK;
    switch (kind) {
    case Kind::flag:
        return vokDecodeFlag(p, &out->number);
    case Kind::signed_value:
        status = vokDecodeSigned(p, &value);
        out->number = static_cast<uint32_t>(value);
        return status;
    case Kind::unsigned_value:
        return vokDecodeUnsigned(p, &out->number);
    default: {
        char *copy = nullptr;
        if ((status = vokDecodeString(p, &copy)) != VOK_OK) return status;
        out->text = copy;
        vokDestroyStream(copy);
        return VOK_OK;
    }
    }
}

// The item as the readers deliver it: a flag comes back as its stored byte.
inline Item as_read(Item item) {
    if (item.kind == Kind::flag) item.number = item.number != 0;
    return item;
}

} // namespace vok_test
