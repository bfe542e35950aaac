// The kinds of record fields and the items that carry them: which items a
// reader takes for a kind, the value they hold, and the one item a writer
// puts for a value (the narrowest).  The reader, the writer, the whole-record
// paths and the value calls all go through here.
#pragma once

#include <cstdint>

#include "integer_item.hpp"
#include "string_item.hpp"
#include "vok32x.h"

namespace vok::records {

// A kind's name as schema files write it ("unsigned64"...), "invalid" for
// a number that is no kind; and the kind of a name, 0 for none.
const char *kind_name(uint32_t kind);
uint32_t kind_named(const char *name, uint32_t length);
bool is_kind(uint32_t kind);
// The kinds whose values are text (string, utf8), not a vokxValue.
inline bool is_text_kind(uint32_t kind) {
    return kind == VOKX_KIND_STRING || kind == VOKX_KIND_UTF8;
}
// The kinds that ride on a class of their own: the item's class is the kind.
inline bool is_item_class_kind(uint32_t kind) {
    return kind >= VOKX_KIND_FLAG && kind <= VOKX_KIND_SAFE;
}

// Whether an item of class item_class (vokxKindClass) read for a field of
// this kind is one of its carriers.  length is a string item's.  The six
// kinds of an item class are answered inline: they are most fields.
bool carries_other(uint32_t kind, uint8_t item_class, uint32_t length);
inline bool carries(uint32_t kind, uint8_t item_class, uint32_t length) {
    return item_class == kind || (kind > VOKX_KIND_SAFE && carries_other(kind, item_class, length));
}

// The value an item that carries(kind...) holds.
vokxValue value_of_item(uint32_t kind, uint8_t item_class, const vokxItem &item);

// The item a writer puts for a value of a field: the narrowest carrier, its
// tag in item.kind.  Its text, if any, points into bytes, so use it before
// this object goes.
struct Carried {
    vokxItem item;
    uint8_t bytes[8];
};

// VOK_OK, or VOK_WRONG_TYPE (with *why) for a value outside the kind's
// range: an unsigned above 2^32 - 1, a signed outside -2^31..2^31 - 1...
uint16_t carry_value(uint32_t kind, const vokxValue &value, Carried &out, const char **why);

// The item a writer puts for a field given as an item (vokxRecordPut): text
// kinds and the classes keep it, in the narrowest width; the other kinds
// take any of their carriers.  VOK_OK, VOK_WRONG_TYPE or VOK_STRING_TOO_LONG.
// The commonest kinds are inline: the whole-record writer calls this per
// value.
uint16_t carry_other_item(uint32_t kind, const vokxItem &given, Carried &out, const char **why);
inline uint16_t carry_item(uint32_t kind, const vokxItem &given, Carried &out, const char **why) {
    namespace fmt = vok::format;
    out.item = given;
    switch (kind) {
    case VOKX_KIND_FLAG:
        out.item.kind = VOK_FLAG;
        out.item.value = given.value != 0;
        return VOK_OK;
    case VOKX_KIND_UNSIGNED:
        out.item.kind = fmt::unsigned_tag(fmt::field_width(given.value));
        return VOK_OK;
    case VOKX_KIND_SIGNED:
        out.item.kind = fmt::signed_tag(fmt::field_width(fmt::magnitude_of(given.signed_value)));
        return VOK_OK;
    case VOKX_KIND_STRING:
        if (given.length > VOK_MAX_SHORT_STRING) return VOK_STRING_TOO_LONG;
        out.item.kind = fmt::string_tag(fmt::StringKind::plain, fmt::field_width(given.length));
        return VOK_OK;
    case VOKX_KIND_UTF8:
        out.item.kind = fmt::string_tag(fmt::StringKind::utf8, fmt::field_width(given.length));
        return VOK_OK;
    default:
        return carry_other_item(kind, given, out, why);
    }
}

// A value as a field's struct keeps it (the storage type of its kind), and
// back.  Text kinds keep a vokxText, which these do not handle.
vokxValue load_value(uint32_t kind, const unsigned char *slot);
void store_value(uint32_t kind, const vokxValue &value, unsigned char *slot);

// Whether two values of a kind are the same (floats by their bits).
bool same_value(uint32_t kind, const vokxValue &a, const vokxValue &b);

// The field's default, or null.
inline const vokxFieldDetail *default_of(const vokxFieldSpec &field) {
    return field.detail != nullptr && field.detail->has_default != 0 ? field.detail : nullptr;
}

} // namespace vok::records
