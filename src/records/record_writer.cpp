// Writing a record by its schema: each field as its mark and one value item
// in the narrowest width, in schema order, checked as it goes.  A refusal
// takes the stream back to where the record began, so a caller's stream
// never keeps half a record.  The same checks serve the calls per field and
// vokxRecordEncode, which writes a whole record from a caller's struct.
#include <cstring>

#include "frame.hpp"
#include "integer_item.hpp"
#include "item_writer.hpp"
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

// The tag that writes a string field's value in the narrowest width, or 0
// when no tag can hold it.
uint8_t narrowest_tag(uint32_t kind, const vokxItem &v) {
    switch (kind) {
    case VOKX_CLASS_STRING:
        return v.length > VOK_MAX_SHORT_STRING
                   ? 0
                   : fmt::string_tag(fmt::StringKind::plain, fmt::field_width(v.length));
    case VOKX_CLASS_UTF8:
        return fmt::string_tag(fmt::StringKind::utf8, fmt::field_width(v.length));
    default: // safe
        return v.value > VOK_MAX_SHORT_STRING
                   ? 0
                   : fmt::string_tag(fmt::StringKind::safe, fmt::field_width(v.value));
    }
}

uint16_t close_level(vokxRecordWriter &w, vokxRecordError *error) {
    const Level level = level_of(*w.schema, w.group);
    for (uint32_t i = 0; i < level.count; ++i)
        if (required(level.fields[i].flags) && w.field_counts[i] == 0)
            return refuse(w, error, VOKX_MISSING_FIELD, w.group, occurrence_of(w),
                          static_cast<int32_t>(i), "is required but was not written");
    return VOK_OK;
}

// Numbers and flags go through vok32's own writers, which choose the
// narrowest width and grow the buffer in place; strings, whose content may
// hold zero bytes, go as described items.  Each writer writes all or nothing.
uint16_t put_value(vokxRecordWriter &w, const vokxFieldSpec &spec, const vokxItem &value) {
    vokStream *s = w.stream;
    if (const uint16_t status = vokWriteUserMark(s, static_cast<uint8_t>(spec.mark))) return status;
    switch (spec.kind) {
    case VOKX_CLASS_FLAG:
        return vokWriteFlag(s, value.value != 0);
    case VOKX_CLASS_UNSIGNED:
        return vokWriteUnsigned(s, value.value);
    case VOKX_CLASS_SIGNED:
        return vokWriteSigned(s, value.signed_value);
    default: {
        vokxItem item = value;
        item.kind = narrowest_tag(spec.kind, value);
        return item.kind == 0 ? uint16_t{VOK_STRING_TOO_LONG} : vok::x::put_items(s, &item, 1);
    }
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
    if (value == nullptr || (spec.kind >= VOKX_CLASS_STRING && spec.kind <= VOKX_CLASS_UTF8 &&
                             value->text == nullptr && value->length != 0))
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

    uint16_t put(const vokxFieldSpec &spec, const vokxItem &value) {
        const uint64_t value_bytes = value_size(spec.kind, value);
        if (value_bytes == 0) return VOK_STRING_TOO_LONG;
        const uint64_t size = fmt::kUserMarkSize + value_bytes;
        if (size > kBody - used_)
            if (const uint16_t status = flush()) return status;
        if (size > kBody) return put_alone(spec, value);
        put_value_bytes(fmt::put_user_mark(body() + used_, static_cast<uint8_t>(spec.mark)),
                        spec.kind, value);
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

    // Bytes of the value item in the narrowest width, or 0 when its kind
    // cannot hold it.
    static uint64_t value_size(uint32_t kind, const vokxItem &v) {
        switch (kind) {
        case VOKX_CLASS_FLAG:
            return fmt::kFlagItemSize;
        case VOKX_CLASS_UNSIGNED:
            return fmt::unsigned_item_size(v.value);
        case VOKX_CLASS_SIGNED:
            return fmt::signed_item_size(v.signed_value);
        case VOKX_CLASS_SAFE:
            return narrowest_tag(kind, v) == 0 ? 0 : fmt::string_header_size(v.value);
        default:
            return narrowest_tag(kind, v) == 0
                       ? 0
                       : fmt::string_header_size(v.length) + uint64_t{v.length};
        }
    }

    static void put_value_bytes(uint8_t *p, uint32_t kind, const vokxItem &v) {
        switch (kind) {
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
        default: {
            const auto as =
                kind == VOKX_CLASS_UTF8 ? fmt::StringKind::utf8 : fmt::StringKind::plain;
            p = fmt::put_string_header(p, as, v.length);
            if (v.length != 0) std::memcpy(p, v.text, v.length);
        }
        }
    }

    uint16_t put_alone(const vokxFieldSpec &spec, const vokxItem &value) {
        vokxItem items[2]{};
        items[0].kind = VOK_USER_MARK;
        items[0].value = spec.mark;
        items[1] = value;
        items[1].kind = narrowest_tag(spec.kind, value);
        return vok::x::put_items(stream_, items, 2);
    }

    vokStream *stream_;
    uint32_t used_ = 0;
    uint8_t block_[vok::x::kCarrierHeader + kBody + fmt::kEndMarkerSize];
};

// A field's value as the struct holds it, as the item vokxRecordPut takes.
vokxItem value_at(const unsigned char *p, uint32_t kind) {
    vokxItem v{};
    switch (kind) {
    case VOKX_CLASS_FLAG:
        v.value = *p != 0;
        break;
    case VOKX_CLASS_SIGNED:
        std::memcpy(&v.signed_value, p, sizeof v.signed_value);
        break;
    case VOKX_CLASS_STRING:
    case VOKX_CLASS_UTF8: {
        vokxText text;
        std::memcpy(&text, p, sizeof text);
        v.text = text.data;
        v.length = text.length;
        break;
    }
    default:
        std::memcpy(&v.value, p, sizeof v.value);
    }
    return v;
}

// The fields of one level of the struct at base, in schema order.
uint16_t put_level(vokxRecordWriter &w, Carrier &carrier, const Level &level,
                   const vokxPlace *places, const void *base, vokxRecordError *error) {
    for (uint32_t i = 0; i < level.count; ++i) {
        const vokxFieldSpec &spec = level.fields[i];
        const vokxPlace &place = places[i];
        const uint32_t count = occurrences(at(base, place.present), spec.flags);
        // The caller's array holds at most max elements: the one past them
        // is refused, as vokxRecordPut would refuse it, without being read.
        const bool past_max = count > spec.max && (spec.flags & VOKX_REPEATED) != 0;
        for (uint32_t k = 0; k < (past_max ? spec.max : count); ++k) {
            const vokxItem value = value_at(at(base, place.offset + k * place.stride), spec.kind);
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
    if (const uint16_t status = put_value(w, spec, *value))
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
