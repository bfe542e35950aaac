// Writing a record by its schema: each field as its mark and one value item
// in the narrowest width, in schema order, checked as it goes.  A refusal
// takes the stream back to where the record began, so a caller's stream
// never keeps half a record.
#include <cstring>

#include "format/integer_item.hpp"
#include "format/string_item.hpp"
#include "record_error.hpp"
#include "vok32x.h"
#include "vok32x/item_writer.hpp"

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

} // namespace
} // namespace vok::records

using namespace vok::records;

VOKX_API uint16_t vokxRecordBegin(vokxRecordWriter *writer, const vokxSchema *schema,
                                  vokStream *stream, vokxRecordError *error) {
    writer->stream = stream;
    writer->status = VOK_OK;
    clear_counts(writer->field_counts, schema->field_count);
    clear_counts(writer->group_counts, schema->group_count);
    writer->schema = schema;
    writer->group = -1;
    writer->last_field = -1;
    writer->last_group = -1;
    const bool writable = stream->active != 0 && stream->data != nullptr && stream->position >= 8 &&
                          std::memcmp(stream->data, "\0\0\0\0", 4) == 0;
    writer->start = stream->position;
    if (writable) return VOK_OK;
    writer->status = VOK_NOT_ACTIVE;
    return fail(error, VOK_NOT_ACTIVE, 0, "", "the stream is not open for writing");
}

VOKX_API uint16_t vokxRecordPut(vokxRecordWriter *writer, uint32_t field, const vokxItem *value,
                                vokxRecordError *error) {
    vokxRecordWriter &w = *writer;
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
    if (const uint16_t status = put_value(w, spec, *value))
        return refuse(w, error, status, w.group, occurrence, index, vokxStatusText(status));
    return VOK_OK;
}

VOKX_API uint16_t vokxRecordGroup(vokxRecordWriter *writer, uint32_t group,
                                  vokxRecordError *error) {
    vokxRecordWriter &w = *writer;
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
    vokxItem phrase{};
    phrase.kind = VOK_PHRASE_MARK;
    phrase.value = spec.phrase;
    if (const uint16_t status = vokxPutItem(w.stream, &phrase))
        return refuse(w, error, status, index, occurrence, -1, vokxStatusText(status));
    return VOK_OK;
}

VOKX_API uint16_t vokxRecordEnd(vokxRecordWriter *writer, vokxRecordError *error) {
    vokxRecordWriter &w = *writer;
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
