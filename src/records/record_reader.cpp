// Reading a record by its schema: one step of the walk per item, with the
// checks of presence, repetition and counts made as the items go by, so that
// the reader needs no memory beyond its own record and never looks back.
// The same steps serve vokxRecordNext (a field per call) and
// vokxRecordDecode (a whole record into a caller's struct).
#include <cstdio>
#include <cstring>

#include "field_kinds.hpp"
#include "frame.hpp"
#include "kind_class.hpp"
#include "record_error.hpp"
#include "record_layout.hpp"
#include "vok32x.h"
#include "walk_step.hpp"

namespace vok::records {
namespace {

constexpr int32_t kNone = -1;
constexpr int32_t kUnknownPhrase = -2;

// Writers put fields in schema order, so the field after the last one read
// is tried first.
int32_t find_field(const Level &level, uint32_t mark, int32_t last) {
    const auto next = static_cast<uint32_t>(last + 1);
    if (next < level.count && level.fields[next].mark == mark) return static_cast<int32_t>(next);
    for (uint32_t i = 0; i < level.count; ++i)
        if (level.fields[i].mark == mark) return static_cast<int32_t>(i);
    return kNone;
}

int32_t find_group(const vokxSchema &schema, uint32_t phrase) {
    for (uint32_t g = 0; g < schema.group_count; ++g)
        if (schema.groups[g].phrase == phrase) return static_cast<int32_t>(g);
    return kNone;
}

// Remembers a refusal so that every later call gives it again.
// message is a format taking detail.
uint16_t refuse(vokxRecordReader &r, vokxRecordError *error, uint16_t status, uint32_t offset,
                int32_t field, const char *message, const char *detail = "") {
    char path[96];
    field_path(path, sizeof path, *r.schema, r.group < 0 ? -1 : r.group, r.occurrence, field);
    r.status = status;
    return fail(error, status, offset, path, message, detail);
}

// The level being left must hold all of its required fields.
uint16_t close_level(vokxRecordReader &r, vokxRecordError *error, uint32_t offset) {
    if (r.group == kUnknownPhrase) return VOK_OK;
    const Level level = level_of(*r.schema, r.group);
    for (uint32_t i = 0; i < level.count; ++i)
        if (required(level.fields[i].flags) && r.field_counts[i] == 0)
            return refuse(r, error, VOKX_MISSING_FIELD, offset, static_cast<int32_t>(i),
                          "is required but absent%s");
    return VOK_OK;
}

uint16_t check_groups(vokxRecordReader &r, vokxRecordError *error, uint32_t offset) {
    const vokxSchema &s = *r.schema;
    for (uint32_t g = 0; g < s.group_count; ++g) {
        if (!required(s.groups[g].flags) || r.group_counts[g] != 0) continue;
        r.status = VOKX_MISSING_FIELD;
        return fail(error, VOKX_MISSING_FIELD, offset, s.groups[g].name,
                    "the group is required but absent");
    }
    return VOK_OK;
}

uint16_t at_end(vokxRecordReader &r, vokxRecordError *error, uint32_t offset) {
    if (r.pending != kNone)
        return refuse(r, error, VOKX_BAD_FIELD, r.pending_offset, r.pending,
                      "has a mark but no value item after it%s");
    if (const uint16_t status = close_level(r, error, offset)) return status;
    if (const uint16_t status = check_groups(r, error, offset)) return status;
    r.status = VOK_END_OF_STREAM;
    return VOK_END_OF_STREAM;
}

uint16_t at_phrase(vokxRecordReader &r, vokxRecordField &out, vokxRecordError *error) {
    const uint32_t offset = out.item.offset;
    if (r.pending != kNone)
        return refuse(r, error, VOKX_BAD_FIELD, r.pending_offset, r.pending,
                      "has a mark but no value item after it%s");
    if (const uint16_t status = close_level(r, error, offset)) return status;
    r.passing = 0;
    r.completed = kNone;
    const int32_t g = find_group(*r.schema, out.item.value);
    r.group = g == kNone ? kUnknownPhrase : g;
    if (g != kNone) clear_counts(r.field_counts, r.schema->groups[g].field_count);
    r.occurrence = 0;
    out.group = -1;
    out.field = VOKX_RECORD_UNKNOWN;
    if (g == kNone) return VOK_OK; // passed over, with everything up to the next phrase
    const vokxGroupSpec &spec = r.schema->groups[g];
    const uint32_t seen = r.group_counts[g];
    r.occurrence = seen;
    if (const uint16_t status = count_occurrence(r.group_counts[g], spec.flags, spec.max))
        return refuse(r, error, status, offset, -1, "%s", occurrence_message(status));
    out.group = g;
    out.occurrence = seen;
    out.field = VOKX_RECORD_GROUP;
    return VOK_OK;
}

[[gnu::always_inline]] inline uint16_t at_mark(vokxRecordReader &r, vokxRecordField &out,
                                               vokxRecordError *error) {
    if (r.pending != kNone)
        return refuse(r, error, VOKX_BAD_FIELD, r.pending_offset, r.pending,
                      "has a mark but no value item after it%s");
    const int32_t field = find_field(level_of(*r.schema, r.group), out.item.value, r.completed);
    r.completed = kNone;
    r.passing = field == kNone;
    if (field == kNone) {
        out.field = VOKX_RECORD_UNKNOWN; // passed over, with its values
        return VOK_OK;
    }
    r.pending = field;
    r.pending_offset = out.item.offset;
    return VOKX_NEED_MORE; // the mark alone is no field yet
}

// kind: the item's class.
[[gnu::always_inline]] inline uint16_t at_value(vokxRecordReader &r, vokxRecordField &out,
                                                uint32_t kind, vokxRecordError *error) {
    const uint32_t offset = out.item.offset;
    if (r.pending == kNone) {
        if (r.completed != kNone)
            return refuse(r, error, VOKX_BAD_FIELD, offset, r.completed,
                          "has a second value item after its value%s");
        return refuse(r, error, VOKX_BAD_FIELD, offset, -1,
                      "a value item with no mark before it%s");
    }
    const int32_t field = r.pending;
    const vokxFieldSpec &spec = level_of(*r.schema, r.group).fields[field];
    if (!carries(spec.kind, static_cast<uint8_t>(kind), out.item.length)) {
        char message[80];
        if (kind == VOKX_CLASS_STRING && !is_text_kind(spec.kind))
            print_cut(message, sizeof message, "holds a string item of %u bytes; the field is %s",
                      out.item.length, kind_name(spec.kind));
        else
            print_cut(message, sizeof message, "holds a %s item; the field is %s", kind_name(kind),
                      kind_name(spec.kind));
        return refuse(r, error, VOK_WRONG_TYPE, offset, field, "%s", message);
    }
    if (const uint16_t status = count_occurrence(r.field_counts[field], spec.flags, spec.max))
        return refuse(r, error, status, offset, field, "%s", occurrence_message(status));
    r.pending = kNone;
    r.completed = field;
    out.field = field;
    return VOK_OK;
}

uint16_t open_reader(vokxRecordReader &r, const vokxSchema *schema, const uint8_t *bytes,
                     size_t size, vokxRecordError *error) {
    r.stream = vokStream{};
    r.schema = schema;
    r.group = -1;
    r.occurrence = 0;
    r.pending = -1;
    r.pending_offset = 0;
    r.completed = -1;
    r.passing = 0;
    r.status = VOK_OK;
    clear_counts(r.field_counts, schema->field_count);
    clear_counts(r.group_counts, schema->group_count);
    const uint16_t status =
        vokxOpen(&r.stream, bytes, size, static_cast<uint8_t>(schema->type), schema->version);
    if (status == VOK_OK || status == VOK_OLDER_VERSION || status == VOK_NEWER_VERSION) {
        clear(error);
        return status;
    }
    r.status = status;
    // vokOpenStream leaves the position past the type byte; the refusal
    // names the byte itself, as the tool does.
    const uint32_t at =
        status == VOK_WRONG_STREAM_TYPE ? vok::format::kTypeOffset : r.stream.position;
    return fail(error, status, at, "", "%s", vokxStatusText(status));
}

[[gnu::always_inline]] inline uint16_t next_field(vokxRecordReader &r, vokxRecordField &out,
                                                  vokxRecordError *error) {
    for (;;) {
        if (r.status != VOK_OK) {
            const uint32_t at = r.stream.position;
            return r.status == VOK_END_OF_STREAM
                       ? VOK_END_OF_STREAM
                       : fail(error, r.status, at, "", "the record was refused before");
        }
        // Filled in place: a copy of the item the walk has just stored would
        // wait for those stores (a third of the time, measured).
        out.group = r.group < 0 ? -1 : r.group;
        out.occurrence = r.occurrence;
        out.field = VOKX_RECORD_UNKNOWN;
        const uint16_t walked = vok::x::walk_step(&r.stream, &out.item);
        if (walked == VOK_END_OF_STREAM) return at_end(r, error, out.item.offset);
        if (walked != VOK_OK) {
            r.status = walked;
            return fail(error, walked, r.stream.position, "", "%s", vokxStatusText(walked));
        }
        const uint8_t kind = vok::x::kind_class(out.item.kind);
        uint16_t status = VOK_OK;
        if (kind == VOKX_CLASS_PHRASE) {
            status = at_phrase(r, out, error);
        } else if (r.group == kUnknownPhrase) {
            out.group = -1; // the unknown phrase's items, passed over
        } else if (kind == VOKX_CLASS_USER_MARK) {
            status = at_mark(r, out, error);
        } else if (!r.passing) {
            status = at_value(r, out, kind, error);
        }
        if (status != VOKX_NEED_MORE) return status;
    }
}

// Makes a level's struct at base hold no field: counts zero, presence flags
// false, and every field with a default its default, which is what an
// absent one reads as.  Nothing else is touched, so that decoding costs what
// the block holds, not what the struct could.
void start_level(const Level &level, const vokxPlace *places, void *base) {
    for (uint32_t i = 0; i < level.count; ++i) {
        const vokxFieldDetail *d = default_of(level.fields[i]);
        if (d == nullptr) {
            mark_absent(at(base, places[i].present), level.fields[i].flags);
            continue;
        }
        unsigned char *slot = at(base, places[i].offset);
        if (is_text_kind(level.fields[i].kind))
            std::memcpy(slot, &d->default_text, sizeof d->default_text);
        else
            store_value(level.fields[i].kind, d->default_value, slot);
    }
}

// The record's own level and no occurrence of any group.
void start_record(const vokxSchema &schema, const vokxRecordLayout &layout, void *record) {
    start_level(level_of(schema, -1), layout.fields, record);
    for (uint32_t g = 0; g < schema.group_count; ++g)
        mark_absent(at(record, layout.groups[g].present), schema.groups[g].flags);
}

// Stores where a layout says a reported field or group occurrence goes;
// level is the struct of the level being read.
[[gnu::always_inline]] inline void store(const vokxRecordReader &r, const vokxRecordField &f,
                                         const vokxRecordLayout &layout, void *record,
                                         void *&level) {
    const vokxSchema &schema = *r.schema;
    if (f.field == VOKX_RECORD_GROUP) {
        const vokxPlace &place = layout.groups[f.group];
        const uint32_t flags = schema.groups[f.group].flags;
        level = at(record, place.offset + f.occurrence * place.stride);
        mark_present(at(record, place.present), flags, f.occurrence + 1);
        start_level(level_of(schema, f.group), layout.group_fields[f.group], level);
        return;
    }
    if (f.field < 0) return; // passed over
    const vokxFieldSpec &spec = level_of(schema, f.group).fields[f.field];
    const vokxPlace &place =
        f.group < 0 ? layout.fields[f.field] : layout.group_fields[f.group][f.field];
    const uint32_t count = r.field_counts[f.field]; // this one included
    unsigned char *value = at(level, place.offset + (count - 1) * place.stride);
    if (default_of(spec) == nullptr) mark_present(at(level, place.present), spec.flags, count);
    const vokxItem &v = f.item;
    switch (spec.kind) {
    case VOKX_KIND_FLAG:
        *value = v.value != 0;
        break;
    case VOKX_KIND_SIGNED:
        std::memcpy(value, &v.signed_value, sizeof v.signed_value);
        break;
    case VOKX_KIND_STRING:
    case VOKX_KIND_UTF8: {
        const vokxText text{v.text, v.length};
        std::memcpy(value, &text, sizeof text);
        break;
    }
    case VOKX_KIND_UNSIGNED:
    case VOKX_KIND_SAFE: // its length
    case VOKX_KIND_ENUM:
        std::memcpy(value, &v.value, sizeof v.value);
        break;
    default: // the kinds of 64 bits and the floats
        store_value(spec.kind, value_of_item(spec.kind, vok::x::kind_class(v.kind), v), value);
    }
}

} // namespace
} // namespace vok::records

using namespace vok::records;

VOKX_API uint16_t vokxRecordOpen(vokxRecordReader *reader, const vokxSchema *schema,
                                 const uint8_t *bytes, size_t size, vokxRecordError *error) {
    return open_reader(*reader, schema, bytes, size, error);
}

VOKX_API uint16_t vokxRecordNext(vokxRecordReader *reader, vokxRecordField *field,
                                 vokxRecordError *error) {
    return next_field(*reader, *field, error);
}

VOKX_API uint16_t vokxFieldValue(const vokxFieldSpec *field, const vokxItem *item,
                                 vokxValue *value) {
    const uint8_t item_class = vok::x::kind_class(item->kind);
    if (is_text_kind(field->kind) || !carries(field->kind, item_class, item->length) ||
        (item_class == VOKX_CLASS_STRING && item->text == nullptr))
        return VOK_WRONG_TYPE;
    *value = value_of_item(field->kind, item_class, *item);
    return VOK_OK;
}

VOKX_API uint16_t vokxRecordDecode(const vokxSchema *schema, const vokxRecordLayout *layout,
                                   const uint8_t *bytes, size_t size, void *record,
                                   vokxRecordError *error) {
    start_record(*schema, *layout, record);
    vokxRecordReader r;
    const uint16_t opened = open_reader(r, schema, bytes, size, error);
    uint16_t status = opened;
    if (opened == VOK_OK || opened == VOK_OLDER_VERSION || opened == VOK_NEWER_VERSION) {
        vokxRecordField field;
        void *level = record;
        while ((status = next_field(r, field, error)) == VOK_OK)
            store(r, field, *layout, record, level);
    }
    if (status == VOK_END_OF_STREAM) return opened; // *error was cleared on opening
    start_record(*schema, *layout, record);
    return status;
}
