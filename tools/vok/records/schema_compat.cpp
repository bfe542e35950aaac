#include "schema_compat.hpp"

#include <cstring>
#include <tuple>

namespace vok::tool {

namespace {

bool repeated(uint32_t flags) { return (flags & VOKX_REPEATED) != 0; }
bool required(uint32_t flags) { return (flags & (VOKX_OPTIONAL | VOKX_REPEATED)) == 0; }

// Whether a reader of one kind takes every value a writer of another puts,
// as the same value: a 64-bit kind widens its 32-bit one.  Anything else
// changes the items (float32 and float64), the unit (timestamp) or how a
// value shows (an enum's names).
bool reads_kind(uint32_t reader, uint32_t writer) {
    return reader == writer || (reader == VOKX_KIND_UNSIGNED64 && writer == VOKX_KIND_UNSIGNED) ||
           (reader == VOKX_KIND_SIGNED64 && writer == VOKX_KIND_SIGNED);
}

const vokxFieldDetail *default_of(const vokxFieldSpec &f) {
    return f.detail != nullptr && f.detail->has_default != 0 ? f.detail : nullptr;
}

std::string default_text(const vokxFieldSpec &f) {
    const vokxFieldDetail &d = *f.detail;
    if (f.kind == VOKX_KIND_STRING || f.kind == VOKX_KIND_UTF8) {
        std::string quoted(1, '"');
        quoted.append(reinterpret_cast<const char *>(d.default_text.data), d.default_text.length);
        quoted.push_back('"');
        return quoted;
    }
    char text[128];
    vokxValueFormat(&f, &d.default_value, text, sizeof text);
    return text;
}

// An enumeration's names and a default: any change shows another value to
// one reader or the other (a name where there was a number, a default
// where the field was absent), so none is compatible.
void compare_detail(std::vector<SchemaChange> &out, const std::string &path,
                    const vokxFieldSpec &was, const vokxFieldSpec &now) {
    const auto named = [](const vokxFieldSpec &f, uint32_t number) -> const char * {
        for (uint32_t k = 0; f.detail != nullptr && k < f.detail->value_count; ++k)
            if (f.detail->values[k].number == number) return f.detail->values[k].name;
        return nullptr;
    };
    for (const auto &[from, to, how] :
         {std::tuple(&was, &now, "removed"), std::tuple(&now, &was, "added")})
        for (uint32_t k = 0; from->detail != nullptr && k < from->detail->value_count; ++k) {
            const vokxEnumValue &v = from->detail->values[k];
            const char *other = named(*to, v.number);
            if (other == nullptr || std::strcmp(other, v.name) != 0)
                out.push_back(
                    {path,
                     std::string("value ") + v.name + " (" + std::to_string(v.number) + ") " + how,
                     false, false});
        }
    const vokxFieldDetail *a = default_of(was), *b = default_of(now);
    if (a == nullptr && b == nullptr) return;
    if (a == nullptr || b == nullptr) {
        out.push_back({path,
                       std::string(a == nullptr ? "default added: " : "default removed: ") +
                           default_text(a == nullptr ? now : was),
                       false, false});
        return;
    }
    const std::string before = default_text(was), after = default_text(now);
    if (before != after)
        out.push_back({path, "default changed from " + before + " to " + after, false, false});
}

// How a field or group may occur; what the rules compare.
struct Occurrence {
    uint32_t flags;
    uint32_t max;
};

// Changes of presence, repetition and counts, for a field or a group ("what").
void compare_occurrence(std::vector<SchemaChange> &out, const std::string &path, Occurrence was,
                        Occurrence now) {
    if (repeated(was.flags) != repeated(now.flags)) {
        out.push_back({path, repeated(now.flags) ? "became repeated" : "is no longer repeated",
                       false, false});
        return;
    }
    if (repeated(now.flags)) {
        if (now.max > was.max)
            out.push_back(
                {path,
                 "max raised from " + std::to_string(was.max) + " to " + std::to_string(now.max),
                 true, false});
        if (now.max < was.max)
            out.push_back(
                {path,
                 "max lowered from " + std::to_string(was.max) + " to " + std::to_string(now.max),
                 false, true});
        return;
    }
    if (required(was.flags) && !required(now.flags))
        out.push_back({path, "became optional", true, false});
    if (!required(was.flags) && required(now.flags))
        out.push_back({path, "became required", false, true});
}

// Added or removed: harmless unless required where it is missing.
void compare_presence(std::vector<SchemaChange> &out, const std::string &path, const char *what,
                      uint32_t flags, bool added) {
    const bool needed = required(flags);
    const char *const how = needed ? "required " : repeated(flags) ? "repeated " : "optional ";
    const std::string change = std::string(added ? "added " : "removed ") + how + what;
    out.push_back({path, change, !(added && needed), !(!added && needed)});
}

const vokxFieldSpec *by_mark(const vokxFieldSpec *fields, uint32_t count, uint32_t mark) {
    for (uint32_t i = 0; i < count; ++i)
        if (fields[i].mark == mark) return &fields[i];
    return nullptr;
}

const vokxFieldSpec *by_name(const vokxFieldSpec *fields, uint32_t count, const char *name) {
    for (uint32_t i = 0; i < count; ++i)
        if (std::strcmp(fields[i].name, name) == 0) return &fields[i];
    return nullptr;
}

struct Fields {
    const vokxFieldSpec *list;
    uint32_t count;
};

void compare_fields(std::vector<SchemaChange> &out, const std::string &prefix, Fields was,
                    Fields now) {
    for (uint32_t i = 0; i < now.count; ++i) {
        const vokxFieldSpec &n = now.list[i];
        const vokxFieldSpec *o = by_mark(was.list, was.count, n.mark);
        const vokxFieldSpec *moved = by_name(was.list, was.count, n.name);
        const std::string path = prefix + n.name;
        if (moved != nullptr && moved->mark != n.mark)
            out.push_back({path,
                           "moved from mark " + std::to_string(moved->mark) + " to mark " +
                               std::to_string(n.mark),
                           false, false});
        if (o == nullptr) {
            if (moved == nullptr) compare_presence(out, path, "field", n.flags, true);
            continue;
        }
        if (std::strcmp(o->name, n.name) != 0)
            out.push_back({path, std::string("renamed from ") + o->name, true, true});
        if (o->kind != n.kind)
            out.push_back({path,
                           std::string("kind changed from ") + kind_word(o->kind) + " to " +
                               kind_word(n.kind),
                           reads_kind(n.kind, o->kind), reads_kind(o->kind, n.kind)});
        compare_detail(out, path, *o, n);
        compare_occurrence(out, path, {o->flags, o->max}, {n.flags, n.max});
    }
    for (uint32_t i = 0; i < was.count; ++i) {
        const vokxFieldSpec &o = was.list[i];
        const vokxFieldSpec *named = by_name(now.list, now.count, o.name);
        if (by_mark(now.list, now.count, o.mark) == nullptr && named == nullptr)
            compare_presence(out, prefix + o.name, "field", o.flags, false);
    }
}

const vokxGroupSpec *group_by_phrase(const vokxSchema &s, uint32_t phrase) {
    for (uint32_t g = 0; g < s.group_count; ++g)
        if (s.groups[g].phrase == phrase) return &s.groups[g];
    return nullptr;
}

const vokxGroupSpec *group_by_name(const vokxSchema &s, const char *name) {
    for (uint32_t g = 0; g < s.group_count; ++g)
        if (std::strcmp(s.groups[g].name, name) == 0) return &s.groups[g];
    return nullptr;
}

} // namespace

const char *kind_word(uint32_t kind) {
    switch (kind) {
    case VOKX_KIND_FLAG:
        return "flag";
    case VOKX_KIND_UNSIGNED:
        return "unsigned";
    case VOKX_KIND_SIGNED:
        return "signed";
    case VOKX_KIND_STRING:
        return "string";
    case VOKX_KIND_UTF8:
        return "utf8";
    case VOKX_KIND_SAFE:
        return "safe";
    case VOKX_KIND_UNSIGNED64:
        return "unsigned64";
    case VOKX_KIND_SIGNED64:
        return "signed64";
    case VOKX_KIND_FLOAT32:
        return "float32";
    case VOKX_KIND_FLOAT64:
        return "float64";
    case VOKX_KIND_ENUM:
        return "enum";
    case VOKX_KIND_TIMESTAMP:
        return "timestamp";
    default:
        return "?";
    }
}

std::vector<SchemaChange> compare_schemas(const vokxSchema &was, const vokxSchema &now) {
    std::vector<SchemaChange> out;
    if (was.type != now.type)
        out.push_back(
            {"(stream type)",
             "changed from " + std::to_string(was.type) + " to " + std::to_string(now.type), false,
             false});
    compare_fields(out, "", {was.fields, was.field_count}, {now.fields, now.field_count});
    for (uint32_t g = 0; g < now.group_count; ++g) {
        const vokxGroupSpec &n = now.groups[g];
        const vokxGroupSpec *o = group_by_phrase(was, n.phrase);
        const vokxGroupSpec *moved = group_by_name(was, n.name);
        if (moved != nullptr && moved->phrase != n.phrase)
            out.push_back({n.name,
                           "moved from phrase " + std::to_string(moved->phrase) + " to phrase " +
                               std::to_string(n.phrase),
                           false, false});
        if (o == nullptr) {
            if (moved == nullptr) compare_presence(out, n.name, "group", n.flags, true);
            continue;
        }
        if (std::strcmp(o->name, n.name) != 0)
            out.push_back({n.name, std::string("renamed from ") + o->name, true, true});
        compare_occurrence(out, n.name, {o->flags, o->max}, {n.flags, n.max});
        compare_fields(out, std::string(n.name) + ".", {o->fields, o->field_count},
                       {n.fields, n.field_count});
    }
    for (uint32_t g = 0; g < was.group_count; ++g) {
        const vokxGroupSpec &o = was.groups[g];
        if (group_by_phrase(now, o.phrase) == nullptr && group_by_name(now, o.name) == nullptr)
            compare_presence(out, o.name, "group", o.flags, false);
    }
    return out;
}

} // namespace vok::tool
