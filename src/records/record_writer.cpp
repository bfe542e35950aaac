// Writing a record by its schema: each field as its mark and one value item
// in the narrowest width, in schema order, checked as it goes.  A refusal
// takes the stream back to where the record began, so a caller's stream
// never keeps half a record.  The same checks serve the calls per field and
// vokxRecordEncode, which writes a whole record from a caller's struct.
#include <cstring>

#include "field_kinds.hpp"
#include "frame.hpp"
#include "integer_item.hpp"
#include "item_writer.hpp"
#include "kind_class.hpp"
#include "record_error.hpp"
#include "record_layout.hpp"
#include "string_item.hpp"
#include "vok32x.h"

namespace fmt = vok::format;

namespace vok::records {
namespace {

// Ends the record with a refusal: the stream is cut back, the status kept.
uint16_t refuse(vokxRecordWriter &w, vokxRecordError *error, uint16_t status, int32_t group,
                uint32_t occurrence, int32_t field, const char *message) {
    char path[96];
    field_path(path, sizeof path, *w.schema, group, occurrence, field);
    if (w.stream->active != 0) w.stream->position = w.start;
    w.status = status;
    return fail(error, status, w.stream->position, path, "%s", message);
}

// The writer's group once vokxRecordEnd has been called: nothing but a new
// vokxRecordBegin may touch the stream after that.
constexpr int32_t kEnded = -2;

uint16_t refuse_if_ended(const vokxRecordWriter &w, vokxRecordError *error) {
    if (w.group != kEnded) return VOK_OK;
    return fail(error, VOK_INVALID_STREAM, w.stream->position, "", "the record is ended");
}

uint32_t occurrence_of(const vokxRecordWriter &w) {
    return w.group < 0 ? 0 : w.group_counts[w.group] - 1;
}

uint16_t close_level(vokxRecordWriter &w, vokxRecordError *error) {
    const Level level = level_of(*w.schema, w.group);
    for (uint32_t i = 0; i < level.count; ++i)
        if (required(level.fields[i].flags) && w.field_counts[i] == 0)
            return refuse(w, error, VOKX_MISSING_FIELD, w.group, occurrence_of(w),
                          static_cast<int32_t>(i), "is required but was not written");
    return VOK_OK;
}

// The value item of a field as the writer puts it; VOK_OK, or the refusal.
[[gnu::always_inline]] inline uint16_t carried_item(vokxRecordWriter &w, const vokxFieldSpec &spec,
                                                    const vokxItem &given, Carried &out,
                                                    vokxRecordError *error) {
    const char *why = "";
    const uint16_t status = carry_item(spec.kind, given, out, &why);
    if (status == VOK_OK) return VOK_OK;
    return refuse(w, error, status, w.group, occurrence_of(w), w.last_field,
                  status == VOK_WRONG_TYPE ? why : vokxStatusText(status));
}

// Numbers and flags go through vok32's own writers, which choose the
// narrowest width and grow the buffer in place; strings, whose content may
// hold zero bytes, go as described items.  Each writer writes all or nothing.
uint16_t put_value(vokxRecordWriter &w, const vokxFieldSpec &spec, const vokxItem &item) {
    vokStream *s = w.stream;
    if (const uint16_t status = vokWriteUserMark(s, static_cast<uint8_t>(spec.mark))) return status;
    switch (vok::x::kind_class(item.kind)) {
    case VOKX_CLASS_FLAG:
        return vokWriteFlag(s, item.value != 0);
    case VOKX_CLASS_UNSIGNED:
        return vokWriteUnsigned(s, item.value);
    case VOKX_CLASS_SIGNED:
        return vokWriteSigned(s, item.signed_value);
    default:
        return vok::x::put_items(s, &item, 1);
    }
}

// The checks of a put, made before anything is written; on success the
// field counts as written.
[[gnu::always_inline]] inline uint16_t admit_field(vokxRecordWriter &w, uint32_t field,
                                                   const vokxItem *value, vokxRecordError *error) {
    if (const uint16_t status = refuse_if_ended(w, error)) return status;
    if (w.status != VOK_OK) return fail(error, w.status, w.start, "", "the record was refused");
    const Level level = level_of(*w.schema, w.group);
    const auto index = static_cast<int32_t>(field);
    const uint32_t occurrence = occurrence_of(w);
    if (field >= level.count || index < w.last_field)
        return refuse(w, error, VOKX_BAD_FIELD, w.group, occurrence, -1,
                      field >= level.count ? "no such field in this level"
                                           : "fields are written in schema order");
    const vokxFieldSpec &spec = level.fields[field];
    if (const uint16_t status = count_occurrence(w.field_counts[field], spec.flags, spec.max))
        return refuse(w, error, status, w.group, occurrence, index, occurrence_message(status));
    if (value == nullptr ||
        (is_text_kind(spec.kind) && value->text == nullptr && value->length != 0))
        return refuse(w, error, VOK_INVALID_STREAM, w.group, occurrence, index, "has no value");
    w.last_field = index;
    return VOK_OK;
}

// The checks of a group occurrence; on success it is the current level.
uint16_t admit_group(vokxRecordWriter &w, uint32_t group, vokxRecordError *error) {
    if (const uint16_t status = refuse_if_ended(w, error)) return status;
    if (w.status != VOK_OK) return fail(error, w.status, w.start, "", "the record was refused");
    if (const uint16_t status = close_level(w, error)) return status;
    const auto index = static_cast<int32_t>(group);
    if (group >= w.schema->group_count || index < w.last_group)
        return refuse(w, error, VOKX_BAD_FIELD, -1, 0, -1,
                      group >= w.schema->group_count ? "no such group"
                                                     : "groups are written in schema order");
    const vokxGroupSpec &spec = w.schema->groups[group];
    const uint32_t occurrence = w.group_counts[group];
    if (const uint16_t status = count_occurrence(w.group_counts[group], spec.flags, spec.max))
        return refuse(w, error, status, index, occurrence, -1, occurrence_message(status));
    w.group = w.last_group = index;
    w.last_field = -1;
    clear_counts(w.field_counts, spec.field_count);
    return VOK_OK;
}

uint16_t admit_end(vokxRecordWriter &w, vokxRecordError *error) {
    if (const uint16_t status = refuse_if_ended(w, error)) return status;
    if (w.status != VOK_OK) return fail(error, w.status, w.start, "", "the record was refused");
    if (const uint16_t status = close_level(w, error)) return status;
    const vokxSchema &s = *w.schema;
    for (uint32_t g = 0; g < s.group_count; ++g)
        if (required(s.groups[g].flags) && w.group_counts[g] == 0) {
            char path[96];
            std::strncpy(path, s.groups[g].name, sizeof path - 1);
            path[sizeof path - 1] = '\0';
            if (w.stream->active != 0) w.stream->position = w.start;
            w.status = VOKX_MISSING_FIELD;
            return fail(error, VOKX_MISSING_FIELD, w.start, path,
                        "the group is required but was not written");
        }
    clear(error);
    return VOK_OK;
}

uint16_t begin(vokxRecordWriter &w, const vokxSchema *schema, vokStream *stream,
               vokxRecordError *error) {
    w.stream = stream;
    w.status = VOK_OK;
    clear_counts(w.field_counts, schema->field_count);
    clear_counts(w.group_counts, schema->group_count);
    w.schema = schema;
    w.group = -1;
    w.last_field = -1;
    w.last_group = -1;
    const bool writable = stream->active != 0 && stream->data != nullptr && stream->position >= 8 &&
                          std::memcmp(stream->data, "\0\0\0\0", 4) == 0;
    w.start = stream->position;
    if (writable) return VOK_OK;
    w.status = VOK_NOT_ACTIVE;
    return fail(error, VOK_NOT_ACTIVE, 0, "", "the stream is not open for writing");
}

// Whole-record writing: the items gathered in a carrier on the stack, which
// goes to the stream in one append when it is full and at the end.  A
// string too long for the carrier goes on its own, as vokxRecordPut puts it.
class Carrier {
  public:
    explicit Carrier(vokStream *stream) : stream_(stream) {}

    // A field's mark and its value: for the kinds of an item class and enum
    // the value as given, for the others the item carry_value made.
    uint16_t put(const vokxFieldSpec &spec, const vokxItem &value) {
        const uint32_t item_class = is_item_class_kind(spec.kind) ? spec.kind
                                    : spec.kind == VOKX_KIND_ENUM ? uint32_t{VOKX_CLASS_UNSIGNED}
                                                                  : vok::x::kind_class(value.kind);
        const uint64_t value_bytes = item_size(item_class, value);
        if (value_bytes == 0) return VOK_STRING_TOO_LONG;
        const uint64_t size = fmt::kUserMarkSize + value_bytes;
        if (size > kBody - used_)
            if (const uint16_t status = flush()) return status;
        if (size > kBody) return put_alone(spec, item_class, value);
        put_item_bytes(fmt::put_user_mark(body() + used_, static_cast<uint8_t>(spec.mark)),
                       item_class, value);
        used_ += static_cast<uint32_t>(size);
        return VOK_OK;
    }

    uint16_t put_phrase(uint32_t phrase) {
        if (fmt::kPhraseItemSize > kBody - used_)
            if (const uint16_t status = flush()) return status;
        fmt::put_phrase_mark(body() + used_, static_cast<uint8_t>(phrase));
        used_ += fmt::kPhraseItemSize;
        return VOK_OK;
    }

    uint16_t flush() {
        if (used_ == 0) return VOK_OK;
        const uint32_t body_size = used_;
        used_ = 0;
        return vok::x::append_carrier(stream_, block_, body_size);
    }

  private:
    static constexpr uint32_t kBody = 512;

    uint8_t *body() { return block_ + vok::x::kCarrierHeader; }

    static fmt::StringKind string_kind(uint32_t item_class) {
        return item_class == VOKX_CLASS_UTF8   ? fmt::StringKind::utf8
               : item_class == VOKX_CLASS_SAFE ? fmt::StringKind::safe
                                               : fmt::StringKind::plain;
    }

    // Bytes of the value item in the narrowest width, or 0 when no item of
    // its class can hold it.
    static uint64_t item_size(uint32_t item_class, const vokxItem &v) {
        switch (item_class) {
        case VOKX_CLASS_FLAG:
            return fmt::kFlagItemSize;
        case VOKX_CLASS_UNSIGNED:
            return fmt::unsigned_item_size(v.value);
        case VOKX_CLASS_SIGNED:
            return fmt::signed_item_size(v.signed_value);
        case VOKX_CLASS_SAFE:
            return v.value > VOK_MAX_SHORT_STRING ? 0 : fmt::string_header_size(v.value);
        default:
            return !fmt::string_length_allowed(string_kind(item_class), v.length)
                       ? 0
                       : fmt::string_header_size(v.length) + uint64_t{v.length};
        }
    }

    static void put_item_bytes(uint8_t *p, uint32_t item_class, const vokxItem &v) {
        switch (item_class) {
        case VOKX_CLASS_FLAG:
            fmt::put_flag(p, v.value != 0);
            return;
        case VOKX_CLASS_UNSIGNED:
            fmt::put_unsigned(p, v.value);
            return;
        case VOKX_CLASS_SIGNED:
            fmt::put_signed(p, v.signed_value);
            return;
        case VOKX_CLASS_SAFE:
            fmt::put_string_header(p, fmt::StringKind::safe, v.value);
            return;
        default:
            p = fmt::put_string_header(p, string_kind(item_class), v.length);
            if (v.length != 0) std::memcpy(p, v.text, v.length);
        }
    }

    // A string too long for the carrier, with its mark, as described items.
    uint16_t put_alone(const vokxFieldSpec &spec, uint32_t item_class, const vokxItem &value) {
        vokxItem items[2]{};
        items[0].kind = VOK_USER_MARK;
        items[0].value = spec.mark;
        items[1] = value;
        items[1].kind = fmt::string_tag(string_kind(item_class), fmt::field_width(value.length));
        return vok::x::put_items(stream_, items, 2);
    }

    vokStream *stream_;
    uint32_t used_ = 0;
    uint8_t block_[vok::x::kCarrierHeader + kBody + fmt::kEndMarkerSize];
};

// A field's value as the struct holds it, as the item vokxRecordPut takes.
vokxItem value_at(const unsigned char *p, uint32_t kind, Carried &scratch) {
    vokxItem v{};
    switch (kind) {
    case VOKX_KIND_FLAG:
        v.value = *p != 0;
        return v;
    case VOKX_KIND_SIGNED:
        std::memcpy(&v.signed_value, p, sizeof v.signed_value);
        return v;
    case VOKX_KIND_STRING:
    case VOKX_KIND_UTF8: {
        vokxText text;
        std::memcpy(&text, p, sizeof text);
        v.text = text.data;
        v.length = text.length;
        return v;
    }
    case VOKX_KIND_UNSIGNED:
    case VOKX_KIND_SAFE:
    case VOKX_KIND_ENUM:
        std::memcpy(&v.value, p, sizeof v.value);
        return v;
    default: { // the kinds of 64 bits and the floats: as their narrowest carrier
        const char *why = "";
        carry_value(kind, load_value(kind, p), scratch, &why); // in range: the struct's type
        return scratch.item;
    }
    }
}

// How many values of a field the struct holds: a field with a default is
// written unless it holds the default.
uint32_t values_held(const vokxFieldSpec &spec, const vokxPlace &place, const void *base) {
    const vokxFieldDetail *d = default_of(spec);
    if (d == nullptr) return occurrences(at(base, place.present), spec.flags);
    const unsigned char *slot = at(base, place.offset);
    if (!is_text_kind(spec.kind))
        return !same_value(spec.kind, load_value(spec.kind, slot), d->default_value);
    vokxText text;
    std::memcpy(&text, slot, sizeof text);
    return text.length != d->default_text.length ||
           (text.length != 0 && std::memcmp(text.data, d->default_text.data, text.length) != 0);
}

// The fields of one level of the struct at base, in schema order.
uint16_t put_level(vokxRecordWriter &w, Carrier &carrier, const Level &level,
                   const vokxPlace *places, const void *base, vokxRecordError *error) {
    for (uint32_t i = 0; i < level.count; ++i) {
        const vokxFieldSpec &spec = level.fields[i];
        const vokxPlace &place = places[i];
        const uint32_t count = values_held(spec, place, base);
        // The caller's array holds at most max elements: the one past them
        // is refused, as vokxRecordPut would refuse it, without being read.
        const bool past_max = count > spec.max && (spec.flags & VOKX_REPEATED) != 0;
        for (uint32_t k = 0; k < (past_max ? spec.max : count); ++k) {
            Carried scratch;
            const vokxItem value =
                value_at(at(base, place.offset + k * place.stride), spec.kind, scratch);
            if (const uint16_t status = admit_field(w, i, &value, error)) return status;
            if (const uint16_t status = carrier.put(spec, value))
                return refuse(w, error, status, w.group, occurrence_of(w), static_cast<int32_t>(i),
                              vokxStatusText(status));
        }
        if (past_max)
            return refuse(w, error, VOKX_TOO_MANY, w.group, occurrence_of(w),
                          static_cast<int32_t>(i), occurrence_message(VOKX_TOO_MANY));
    }
    return VOK_OK;
}

uint16_t put_record(vokxRecordWriter &w, Carrier &carrier, const vokxRecordLayout &layout,
                    const void *record, vokxRecordError *error) {
    const vokxSchema &s = *w.schema;
    if (const uint16_t status =
            put_level(w, carrier, level_of(s, -1), layout.fields, record, error))
        return status;
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &spec = s.groups[g];
        const vokxPlace &place = layout.groups[g];
        // An occurrence past max is refused by admit_group before it is read.
        const uint32_t count = occurrences(at(record, place.present), spec.flags);
        for (uint32_t k = 0; k < count; ++k) {
            if (const uint16_t status = admit_group(w, g, error)) return status;
            if (const uint16_t status = carrier.put_phrase(spec.phrase))
                return refuse(w, error, status, static_cast<int32_t>(g), k, -1,
                              vokxStatusText(status));
            const void *occurrence = at(record, place.offset + k * place.stride);
            if (const uint16_t status = put_level(w, carrier, level_of(s, static_cast<int32_t>(g)),
                                                  layout.group_fields[g], occurrence, error))
                return status;
        }
    }
    if (const uint16_t status = admit_end(w, error)) return status;
    if (const uint16_t status = carrier.flush())
        return refuse(w, error, status, -1, 0, -1, vokxStatusText(status));
    return VOK_OK;
}

} // namespace
} // namespace vok::records

using namespace vok::records;

VOKX_API uint16_t vokxRecordBegin(vokxRecordWriter *writer, const vokxSchema *schema,
                                  vokStream *stream, vokxRecordError *error) {
    return begin(*writer, schema, stream, error);
}

VOKX_API uint16_t vokxRecordPut(vokxRecordWriter *writer, uint32_t field, const vokxItem *value,
                                vokxRecordError *error) {
    vokxRecordWriter &w = *writer;
    if (const uint16_t status = admit_field(w, field, value, error)) return status;
    const vokxFieldSpec &spec = level_of(*w.schema, w.group).fields[field];
    Carried carried;
    if (const uint16_t status = carried_item(w, spec, *value, carried, error)) return status;
    if (const uint16_t status = put_value(w, spec, carried.item))
        return refuse(w, error, status, w.group, occurrence_of(w), static_cast<int32_t>(field),
                      vokxStatusText(status));
    return VOK_OK;
}

VOKX_API uint16_t vokxRecordPutValue(vokxRecordWriter *writer, uint32_t field,
                                     const vokxValue *value, vokxRecordError *error) {
    vokxRecordWriter &w = *writer;
    const vokxItem placeholder{};
    if (const uint16_t status =
            admit_field(w, field, value != nullptr ? &placeholder : nullptr, error))
        return status;
    const vokxFieldSpec &spec = level_of(*w.schema, w.group).fields[field];
    Carried carried;
    const char *why = "";
    if (const uint16_t status = carry_value(spec.kind, *value, carried, &why))
        return refuse(w, error, status, w.group, occurrence_of(w), static_cast<int32_t>(field),
                      status == VOK_WRONG_TYPE ? why : vokxStatusText(status));
    if (const uint16_t status = put_value(w, spec, carried.item))
        return refuse(w, error, status, w.group, occurrence_of(w), static_cast<int32_t>(field),
                      vokxStatusText(status));
    return VOK_OK;
}

VOKX_API uint16_t vokxRecordGroup(vokxRecordWriter *writer, uint32_t group,
                                  vokxRecordError *error) {
    vokxRecordWriter &w = *writer;
    if (const uint16_t status = admit_group(w, group, error)) return status;
    vokxItem phrase{};
    phrase.kind = VOK_PHRASE_MARK;
    phrase.value = w.schema->groups[group].phrase;
    if (const uint16_t status = vokxPutItem(w.stream, &phrase))
        return refuse(w, error, status, w.group, occurrence_of(w), -1, vokxStatusText(status));
    return VOK_OK;
}

VOKX_API uint16_t vokxRecordEnd(vokxRecordWriter *writer, vokxRecordError *error) {
    const uint16_t status = admit_end(*writer, error);
    writer->group = kEnded;
    return status;
}

VOKX_API uint16_t vokxRecordEncode(const vokxSchema *schema, const vokxRecordLayout *layout,
                                   const void *record, vokStream *stream, vokxRecordError *error) {
    vokxRecordWriter w;
    if (const uint16_t status = begin(w, schema, stream, error)) return status;
    Carrier carrier(stream);
    return put_record(w, carrier, *layout, record, error);
}
