#include "field_kinds.hpp"

#include <cstring>

#include "big_endian.hpp"
#include "integer_item.hpp"
#include "kind_class.hpp"
#include "string_item.hpp"

namespace fmt = vok::format;

namespace vok::records {
namespace {

struct KindName {
    uint32_t kind;
    const char *name;
};
constexpr KindName kNames[] = {
    {VOKX_KIND_FLAG, "flag"},
    {VOKX_KIND_UNSIGNED, "unsigned"},
    {VOKX_KIND_SIGNED, "signed"},
    {VOKX_KIND_STRING, "string"},
    {VOKX_KIND_UTF8, "utf8"},
    {VOKX_KIND_SAFE, "safe"},
    {VOKX_KIND_UNSIGNED64, "unsigned64"},
    {VOKX_KIND_SIGNED64, "signed64"},
    {VOKX_KIND_FLOAT32, "float32"},
    {VOKX_KIND_FLOAT64, "float64"},
    {VOKX_KIND_ENUM, "enum"},
    {VOKX_KIND_TIMESTAMP, "timestamp"},
};

// The 64-bit kinds' wide carrier, and the floats' only one: a plain string
// of exactly this many bytes.
uint32_t string_carrier_length(uint32_t kind) {
    switch (kind) {
    case VOKX_KIND_UNSIGNED64:
    case VOKX_KIND_SIGNED64:
    case VOKX_KIND_TIMESTAMP:
    case VOKX_KIND_FLOAT64:
        return 8;
    case VOKX_KIND_FLOAT32:
        return 4;
    default:
        return 0;
    }
}

// The class of the narrow carrier: an unsigned or signed item.
uint8_t number_carrier(uint32_t kind) {
    switch (kind) {
    case VOKX_KIND_UNSIGNED64:
    case VOKX_KIND_ENUM:
        return VOKX_CLASS_UNSIGNED;
    case VOKX_KIND_SIGNED64:
    case VOKX_KIND_TIMESTAMP:
        return VOKX_CLASS_SIGNED;
    default:
        return VOKX_CLASS_INVALID;
    }
}

void carry_unsigned(uint32_t value, Carried &out) {
    out.item.kind = fmt::unsigned_tag(fmt::field_width(value));
    out.item.value = value;
}

void carry_signed(int32_t value, Carried &out) {
    out.item.kind = fmt::signed_tag(fmt::field_width(fmt::magnitude_of(value)));
    out.item.signed_value = value;
}

void carry_bytes(uint64_t bits, uint32_t length, Carried &out) {
    uint8_t wide[8];
    fmt::store_be64(wide, bits);
    std::memcpy(out.bytes, wide + 8 - length, length);
    out.item.kind = VOK_STRING_1;
    out.item.text = out.bytes;
    out.item.length = length;
}

uint64_t bits_of(uint32_t kind, const vokxValue &v) {
    if (kind == VOKX_KIND_FLOAT32) {
        uint32_t bits;
        std::memcpy(&bits, &v.float32, sizeof bits);
        return bits;
    }
    return v.unsigned64; // float64 shares the union's eight bytes
}

} // namespace

const char *kind_name(uint32_t kind) {
    for (const KindName &k : kNames)
        if (k.kind == kind) return k.name;
    return "invalid";
}

uint32_t kind_named(const char *name, uint32_t length) {
    for (const KindName &k : kNames)
        if (std::strlen(k.name) == length && std::memcmp(k.name, name, length) == 0) return k.kind;
    return 0;
}

bool is_kind(uint32_t kind) { return std::strcmp(kind_name(kind), "invalid") != 0; }

bool carries_other(uint32_t kind, uint8_t item_class, uint32_t length) {
    if (item_class == VOKX_CLASS_STRING)
        return length != 0 && length == string_carrier_length(kind);
    return item_class != VOKX_CLASS_INVALID && item_class == number_carrier(kind);
}

vokxValue value_of_item(uint32_t kind, uint8_t item_class, const vokxItem &item) {
    vokxValue v{};
    if (item_class == VOKX_CLASS_STRING && !is_text_kind(kind)) {
        const uint32_t length = item.length;
        uint8_t wide[8] = {};
        std::memcpy(wide + 8 - length, item.text, length);
        const uint64_t bits = fmt::load_be64(wide);
        if (kind == VOKX_KIND_FLOAT32) {
            const auto narrow = static_cast<uint32_t>(bits);
            std::memcpy(&v.float32, &narrow, sizeof narrow);
        } else {
            v.unsigned64 = bits; // two's complement, or a double's bits
        }
        return v;
    }
    if (item_class == VOKX_CLASS_SIGNED)
        v.signed64 = item.signed_value;
    else
        v.unsigned64 = item.value; // flag byte, unsigned, enum, safe length
    return v;
}

uint16_t carry_value(uint32_t kind, const vokxValue &v, Carried &out, const char **why) {
    out.item = vokxItem{};
    const auto refuse = [why](const char *message) {
        *why = message;
        return uint16_t{VOK_WRONG_TYPE};
    };
    switch (kind) {
    case VOKX_KIND_FLAG:
        if (v.unsigned64 > 1) return refuse("must be true or false");
        out.item.kind = VOK_FLAG;
        out.item.value = static_cast<uint32_t>(v.unsigned64);
        return VOK_OK;
    case VOKX_KIND_UNSIGNED:
    case VOKX_KIND_ENUM:
        if (v.unsigned64 > UINT32_MAX) return refuse("must be an integer from 0 to 4294967295");
        carry_unsigned(static_cast<uint32_t>(v.unsigned64), out);
        return VOK_OK;
    case VOKX_KIND_SAFE:
        if (v.unsigned64 > VOK_MAX_SHORT_STRING) return VOK_STRING_TOO_LONG;
        out.item.kind = fmt::string_tag(fmt::StringKind::safe,
                                        fmt::field_width(static_cast<uint32_t>(v.unsigned64)));
        out.item.value = static_cast<uint32_t>(v.unsigned64);
        return VOK_OK;
    case VOKX_KIND_SIGNED:
        if (v.signed64 < INT32_MIN || v.signed64 > INT32_MAX)
            return refuse("must be an integer from -2147483648 to 2147483647");
        carry_signed(static_cast<int32_t>(v.signed64), out);
        return VOK_OK;
    case VOKX_KIND_UNSIGNED64:
        if (vok_u64_is_narrow(v.unsigned64))
            carry_unsigned(static_cast<uint32_t>(v.unsigned64), out);
        else
            carry_bytes(v.unsigned64, 8, out);
        return VOK_OK;
    case VOKX_KIND_SIGNED64:
    case VOKX_KIND_TIMESTAMP:
        if (vok_s64_is_narrow(v.signed64))
            carry_signed(static_cast<int32_t>(v.signed64), out);
        else
            carry_bytes(v.unsigned64, 8, out);
        return VOK_OK;
    case VOKX_KIND_FLOAT32:
    case VOKX_KIND_FLOAT64:
        carry_bytes(bits_of(kind, v), string_carrier_length(kind), out);
        return VOK_OK;
    default:
        return refuse("takes text, not a number");
    }
}

uint16_t carry_other_item(uint32_t kind, const vokxItem &given, Carried &out, const char **why) {
    vokxValue v{};
    if (is_item_class_kind(kind) || kind == VOKX_KIND_ENUM) { // safe, enum
        v.unsigned64 = given.value;
        return carry_value(kind, v, out, why);
    }
    const uint8_t item_class = vok::x::kind_class(given.kind);
    if (!carries(kind, item_class, given.length) ||
        (item_class == VOKX_CLASS_STRING && given.text == nullptr)) {
        *why = "is given an item that does not carry its kind";
        return VOK_WRONG_TYPE;
    }
    return carry_value(kind, value_of_item(kind, item_class, given), out, why);
}

vokxValue load_value(uint32_t kind, const unsigned char *slot) {
    vokxValue v{};
    switch (kind) {
    case VOKX_KIND_FLAG:
        v.unsigned64 = *slot != 0;
        break;
    case VOKX_KIND_SIGNED: {
        int32_t n;
        std::memcpy(&n, slot, sizeof n);
        v.signed64 = n;
        break;
    }
    case VOKX_KIND_UNSIGNED64:
    case VOKX_KIND_SIGNED64:
    case VOKX_KIND_TIMESTAMP:
    case VOKX_KIND_FLOAT64:
        std::memcpy(&v, slot, 8);
        break;
    case VOKX_KIND_FLOAT32:
        std::memcpy(&v.float32, slot, sizeof v.float32);
        break;
    default: { // unsigned, enum, safe
        uint32_t n;
        std::memcpy(&n, slot, sizeof n);
        v.unsigned64 = n;
    }
    }
    return v;
}

void store_value(uint32_t kind, const vokxValue &v, unsigned char *slot) {
    switch (kind) {
    case VOKX_KIND_FLAG:
        *slot = v.unsigned64 != 0;
        break;
    case VOKX_KIND_SIGNED: {
        const auto n = static_cast<int32_t>(v.signed64);
        std::memcpy(slot, &n, sizeof n);
        break;
    }
    case VOKX_KIND_UNSIGNED64:
    case VOKX_KIND_SIGNED64:
    case VOKX_KIND_TIMESTAMP:
    case VOKX_KIND_FLOAT64:
        std::memcpy(slot, &v, 8);
        break;
    case VOKX_KIND_FLOAT32:
        std::memcpy(slot, &v.float32, sizeof v.float32);
        break;
    default: {
        const auto n = static_cast<uint32_t>(v.unsigned64);
        std::memcpy(slot, &n, sizeof n);
    }
    }
}

bool same_value(uint32_t kind, const vokxValue &a, const vokxValue &b) {
    if (kind == VOKX_KIND_FLOAT32) return bits_of(kind, a) == bits_of(kind, b);
    return a.unsigned64 == b.unsigned64;
}

} // namespace vok::records
