// Checking a schema table before any record is read or written by it: every
// later step trusts what is checked here.
#include <cstdio>
#include <cstring>

#include "field_kinds.hpp"
#include "record_error.hpp"
#include "vok32x.h"

namespace vok::records {
namespace {

constexpr uint32_t kMaxMark = VOK_MAX_USER_MARK;
constexpr uint32_t kMaxPhrase = 255;
constexpr uint32_t kMaxEnumNumber = 0x7fffffff;

bool is_identifier(const char *name) {
    if (name == nullptr) return false;
    const auto letter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    if (!letter(name[0])) return false;
    for (const char *p = name + 1; *p != '\0'; ++p)
        if (!letter(*p) && !(*p >= '0' && *p <= '9')) return false;
    return true;
}

// Where a fault lies: a prefix such as "groups[1].fields[2]" and a key.
struct Place {
    char text[96];
    Place(const char *prefix, const char *key) {
        print_cut(text, sizeof text, "%s%s%s", prefix, *prefix != '\0' ? "." : "", key);
    }
};

uint16_t bad(vokxRecordError *error, const char *prefix, const char *key, const char *message,
             const char *detail) {
    return fail(error, VOKX_BAD_SCHEMA, 0, Place(prefix, key).text, message, detail);
}

uint16_t check_name(vokxRecordError *error, const char *prefix, const char *name) {
    if (name == nullptr) return bad(error, prefix, "name", "%sa name is required", "");
    if (!is_identifier(name))
        return bad(error, prefix, "name", "\"%s\" is not an identifier", name);
    return VOK_OK;
}

// The flags and max of a field or group.
uint16_t check_occurrence(vokxRecordError *error, const char *prefix, uint32_t flags,
                          uint32_t max) {
    if ((flags & ~(VOKX_OPTIONAL | VOKX_REPEATED)) != 0)
        return bad(error, prefix, "flags", "%sunknown flags", "");
    const bool repeated = (flags & VOKX_REPEATED) != 0;
    if (repeated && (flags & VOKX_OPTIONAL) != 0)
        return bad(error, prefix, "optional", "%sa repeated field or group is never optional", "");
    if (repeated && max == 0)
        return bad(error, prefix, "max", "%sa repeated field or group needs a max of at least 1",
                   "");
    if (!repeated && max != 0)
        return bad(error, prefix, "max", "%sonly a repeated field or group has a max", "");
    return VOK_OK;
}

bool name_taken(const vokxFieldSpec *fields, uint32_t before, const char *name) {
    for (uint32_t i = 0; i < before; ++i)
        if (std::strcmp(fields[i].name, name) == 0) return true;
    return false;
}

// An enumeration's names and numbers, each unique; a default where the
// field can have one.
uint16_t check_detail(vokxRecordError *error, const char *prefix, const vokxFieldSpec &f) {
    const vokxFieldDetail *d = f.detail;
    if (d == nullptr) return VOK_OK;
    if (d->values == nullptr && d->value_count != 0)
        return bad(error, prefix, "values", "%sare missing", "");
    if (d->value_count != 0 && f.kind != VOKX_KIND_ENUM)
        return bad(error, prefix, "values", "%sonly an enum field names values", "");
    for (uint32_t i = 0; i < d->value_count; ++i) {
        const vokxEnumValue &v = d->values[i];
        char at[96];
        print_cut(at, sizeof at, "%s.values", prefix);
        if (!is_identifier(v.name))
            return bad(error, at, v.name != nullptr ? v.name : "", "%sis not an identifier", "");
        char number[16];
        print_cut(number, sizeof number, "%u", v.number);
        if (v.number > kMaxEnumNumber)
            return bad(error, at, v.name, "%s is above 2147483647", number);
        for (uint32_t j = 0; j < i; ++j) {
            if (std::strcmp(d->values[j].name, v.name) == 0)
                return bad(error, at, v.name, "%sthe name is used twice", "");
            if (d->values[j].number == v.number)
                return bad(error, at, v.name, "%s is used twice", number);
        }
    }
    if (d->has_default == 0) return VOK_OK;
    if ((f.flags & VOKX_OPTIONAL) == 0)
        return bad(error, prefix, "default",
                   "%sonly an optional field that is not repeated "
                   "has a default",
                   "");
    if (f.kind == VOKX_KIND_SAFE)
        return bad(error, prefix, "default", "%sa safe field has no default", "");
    if (is_text_kind(f.kind) && d->default_text.data == nullptr && d->default_text.length != 0)
        return bad(error, prefix, "default", "%sthe text is missing", "");
    const char *why = "";
    Carried carried;
    if (!is_text_kind(f.kind) && carry_value(f.kind, d->default_value, carried, &why) != VOK_OK)
        return bad(error, prefix, "default", "%s", why);
    return VOK_OK;
}

uint16_t check_field(vokxRecordError *error, const char *prefix, const vokxFieldSpec *fields,
                     uint32_t i) {
    const vokxFieldSpec &f = fields[i];
    if (const uint16_t status = check_name(error, prefix, f.name)) return status;
    char number[16];
    print_cut(number, sizeof number, "%u", f.mark);
    if (f.mark > kMaxMark) return bad(error, prefix, "mark", "%s is above 199", number);
    for (uint32_t j = 0; j < i; ++j)
        if (fields[j].mark == f.mark) return bad(error, prefix, "mark", "%s is used twice", number);
    if (name_taken(fields, i, f.name))
        return bad(error, prefix, "name", "\"%s\" is used twice", f.name);
    print_cut(number, sizeof number, "%u", f.kind);
    if (!is_kind(f.kind)) return bad(error, prefix, "kind", "unknown kind %s", number);
    if (const uint16_t status = check_occurrence(error, prefix, f.flags, f.max)) return status;
    return check_detail(error, prefix, f);
}

uint16_t check_fields(vokxRecordError *error, const char *prefix, const vokxFieldSpec *fields,
                      uint32_t count) {
    if (fields == nullptr && count != 0) return bad(error, prefix, "fields", "%sare missing", "");
    for (uint32_t i = 0; i < count; ++i) {
        char at[96];
        print_cut(at, sizeof at, "%s%sfields[%u]", prefix, *prefix != '\0' ? "." : "", i);
        if (const uint16_t status = check_field(error, at, fields, i)) return status;
    }
    return VOK_OK;
}

uint16_t check_group(vokxRecordError *error, const vokxSchema &s, uint32_t g) {
    const vokxGroupSpec &group = s.groups[g];
    char at[32];
    print_cut(at, sizeof at, "groups[%u]", g);
    if (const uint16_t status = check_name(error, at, group.name)) return status;
    char number[16];
    print_cut(number, sizeof number, "%u", group.phrase);
    if (group.phrase > kMaxPhrase) return bad(error, at, "phrase", "%s is above 255", number);
    for (uint32_t j = 0; j < g; ++j) {
        if (s.groups[j].phrase == group.phrase)
            return bad(error, at, "phrase", "%s is used twice", number);
        if (std::strcmp(s.groups[j].name, group.name) == 0)
            return bad(error, at, "name", "\"%s\" is used twice", group.name);
    }
    if (name_taken(s.fields, s.field_count, group.name))
        return bad(error, at, "name", "\"%s\" is a field's name already", group.name);
    if (const uint16_t status = check_occurrence(error, at, group.flags, group.max)) return status;
    return check_fields(error, at, group.fields, group.field_count);
}

} // namespace
} // namespace vok::records

using namespace vok::records;

VOKX_API uint16_t vokxSchemaCheck(const vokxSchema *schema, vokxRecordError *error) {
    if (schema == nullptr) return fail(error, VOKX_BAD_SCHEMA, 0, "", "no schema");
    if (const uint16_t status = check_name(error, "", schema->name)) return status;
    if (schema->type > 255)
        return fail(error, VOKX_BAD_SCHEMA, 0, "type", "%u is above 255", schema->type);
    if (const uint16_t status = check_fields(error, "", schema->fields, schema->field_count))
        return status;
    if (schema->groups == nullptr && schema->group_count != 0)
        return fail(error, VOKX_BAD_SCHEMA, 0, "groups", "are missing");
    for (uint32_t g = 0; g < schema->group_count; ++g)
        if (const uint16_t status = check_group(error, *schema, g)) return status;
    if (error != nullptr) *error = vokxRecordError{};
    return VOK_OK;
}
