// Reading a record by its schema: one vokxNextItem per item, with the checks
// of presence, repetition and counts made as the items go by, so that the
// reader needs no memory beyond its own record and never looks back.
#include <cstdio>
#include <cstring>

#include "record_error.hpp"
#include "vok32x.h"
#include "vok32x/kind_class.hpp"

namespace vok::records {
namespace {

constexpr int32_t kNone = -1;
constexpr int32_t kUnknownPhrase = -2;

int32_t find_field(const Level &level, uint32_t mark) {
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

uint16_t at_mark(vokxRecordReader &r, vokxRecordField &out, vokxRecordError *error) {
    if (r.pending != kNone)
        return refuse(r, error, VOKX_BAD_FIELD, r.pending_offset, r.pending,
                      "has a mark but no value item after it%s");
    r.completed = kNone;
    const int32_t field = find_field(level_of(*r.schema, r.group), out.item.value);
    r.passing = field == kNone;
    if (field == kNone) {
        out.field = VOKX_RECORD_UNKNOWN; // passed over, with its values
        return VOK_OK;
    }
    r.pending = field;
    r.pending_offset = out.item.offset;
    return VOKX_NEED_MORE; // the mark alone is no field yet
}

uint16_t at_value(vokxRecordReader &r, vokxRecordField &out, vokxRecordError *error) {
    const uint32_t offset = out.item.offset;
    if (r.pending == kNone) {
        if (r.completed != kNone)
            return refuse(r, error, VOKX_BAD_FIELD, offset, r.completed,
                          "has a second value item after its value%s");
        r.status = VOKX_BAD_FIELD;
        return fail(error, VOKX_BAD_FIELD, offset, "", "a value item with no mark before it");
    }
    const int32_t field = r.pending;
    const vokxFieldSpec &spec = level_of(*r.schema, r.group).fields[field];
    const uint32_t kind = vok::x::kind_class(out.item.kind);
    if (kind != spec.kind) {
        char message[64];
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

} // namespace
} // namespace vok::records

using namespace vok::records;

VOKX_API uint16_t vokxRecordOpen(vokxRecordReader *reader, const vokxSchema *schema,
                                 const uint8_t *bytes, size_t size, vokxRecordError *error) {
    reader->stream = vokStream{};
    reader->schema = schema;
    reader->group = -1;
    reader->occurrence = 0;
    reader->pending = -1;
    reader->pending_offset = 0;
    reader->completed = -1;
    reader->passing = 0;
    reader->status = VOK_OK;
    clear_counts(reader->field_counts, schema->field_count);
    clear_counts(reader->group_counts, schema->group_count);
    const uint16_t status =
        vokxOpen(&reader->stream, bytes, size, static_cast<uint8_t>(schema->type), schema->version);
    if (status == VOK_OK || status == VOK_OLDER_VERSION || status == VOK_NEWER_VERSION) {
        clear(error);
        return status;
    }
    reader->status = status;
    return fail(error, status, reader->stream.position, "", "%s", vokxStatusText(status));
}

VOKX_API uint16_t vokxRecordNext(vokxRecordReader *reader, vokxRecordField *field,
                                 vokxRecordError *error) {
    vokxRecordReader &r = *reader;
    for (;;) {
        if (r.status != VOK_OK) {
            const uint32_t at = r.stream.position;
            return r.status == VOK_END_OF_STREAM
                       ? VOK_END_OF_STREAM
                       : fail(error, r.status, at, "", "the record was refused before");
        }
        // Filled in place: a copy of the item vokxNextItem has just stored
        // would wait for those stores (a third of the time, measured).
        vokxRecordField &out = *field;
        out.group = r.group < 0 ? -1 : r.group;
        out.occurrence = r.occurrence;
        out.field = VOKX_RECORD_UNKNOWN;
        const uint16_t walked = vokxNextItem(&r.stream, &out.item);
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
            status = at_value(r, out, error);
        }
        if (status == VOKX_NEED_MORE) continue;
        return status;
    }
}
