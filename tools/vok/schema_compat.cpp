#include "schema_compat.hpp"

#include <cstring>

namespace vok::tool {

namespace {

bool repeated(uint32_t flags) { return (flags & VOKX_REPEATED) != 0; }
bool required(uint32_t flags) { return (flags & (VOKX_OPTIONAL | VOKX_REPEATED)) == 0; }

const char *kind_word(uint32_t kind) {
    static const char *const kWords[] = {"?",      "flag", "unsigned", "signed",
                                         "string", "utf8", "safe"};
    return kind < 7 ? kWords[kind] : "?";
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
                           false, false});
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
