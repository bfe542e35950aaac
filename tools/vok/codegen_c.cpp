// C for a schema: a struct per record and per group, with the engine's table
// and three functions.  Decoding allocates nothing: strings are views into
// the block.  Encoding allocates only through vok32's handle.
#include <set>

#include "codegen.hpp"

namespace vok::tool {

namespace {

using namespace codegen;

struct CType {
    const char *name;
    unsigned size, align;
};

CType c_type(uint32_t kind) {
    switch (kind) {
    case VOKX_CLASS_FLAG:
        return {"bool", 1, 1};
    case VOKX_CLASS_SIGNED:
        return {"int32_t", 4, 4};
    case VOKX_CLASS_STRING:
    case VOKX_CLASS_UTF8:
        return {"vokxText", 16, 8};
    default: // unsigned, safe (its length)
        return {"uint32_t", 4, 4};
    }
}

// Lays out members as a 64-bit C compiler does, for the sizeof comments.
struct Layout {
    unsigned size = 0, align = 1;
    void add(unsigned member_size, unsigned member_align, unsigned count = 1) {
        size = (size + member_align - 1) / member_align * member_align + member_size * count;
        align = std::max(align, member_align);
    }
    unsigned total() const { return (size + align - 1) / align * align; }
};

// The members of one field, added to layout as well.
std::string field_members(const vokxFieldSpec &f, Layout &layout) {
    const CType t = c_type(f.kind);
    const std::string name = f.name;
    if (repeated(f.flags)) {
        layout.add(4, 4);
        layout.add(t.size, t.align, f.max);
        return "    uint32_t " + name + "_count;\n    " + t.name + " " + name + "[" +
               std::to_string(f.max) + "];\n";
    }
    std::string out;
    if (optional(f.flags)) {
        layout.add(1, 1);
        out = "    bool has_" + name + ";\n";
    }
    layout.add(t.size, t.align);
    const char *note = f.kind == VOKX_CLASS_SAFE ? " /* a safe string: its length */"
                       : t.size == 16            ? " /* a view into the block */"
                                                 : "";
    return out + "    " + t.name + " " + name + ";" + note + "\n";
}

struct Names {
    std::string type, macro, file;
};

std::string group_struct(const Names &n, const vokxGroupSpec &g, Layout &layout) {
    std::string body;
    for (uint32_t i = 0; i < g.field_count; ++i)
        body += field_members(g.fields[i], layout);
    if (g.field_count == 0) {
        body = "    char unused; /* a group of no fields */\n";
        layout.add(1, 1);
    }
    const std::string type = n.type + "_" + g.name;
    return "/* sizeof(" + type + ") is " + std::to_string(layout.total()) +
           " bytes on 64-bit platforms. */\ntypedef struct " + type + " {\n" + body + "} " + type +
           ";\n\n";
}

std::string record_struct(const Names &n, const vokxSchema &s, const std::vector<Layout> &groups) {
    Layout layout;
    std::string body;
    for (uint32_t i = 0; i < s.field_count; ++i)
        body += field_members(s.fields[i], layout);
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        const std::string type = n.type + "_" + group.name;
        const Layout &inner = groups[g];
        if (repeated(group.flags)) {
            layout.add(4, 4);
            layout.add(inner.total(), inner.align, group.max);
            body += "    uint32_t " + std::string(group.name) + "_count;\n    " + type + " " +
                    group.name + "[" + std::to_string(group.max) + "];\n";
            continue;
        }
        if (optional(group.flags)) {
            layout.add(1, 1);
            body += "    bool has_" + std::string(group.name) + ";\n";
        }
        layout.add(inner.total(), inner.align);
        body += "    " + type + " " + group.name + ";\n";
    }
    if (body.empty()) {
        body = "    char unused; /* a record of no fields */\n";
        layout.add(1, 1);
    }
    return "/* sizeof(" + n.type + ") is " + std::to_string(layout.total()) +
           " bytes on 64-bit platforms. */\ntypedef struct " + n.type + " {\n" + body + "} " +
           n.type + ";\n\n";
}

std::string header(const Names &n, const vokxSchema &s, const CodegenOptions &options) {
    const std::string guard = n.macro + "_VOK_H";
    std::string out = banner(options, "/*", "*/") + "#ifndef " + guard + "\n#define " + guard +
                      "\n\n#include <stdbool.h>\n#include <stddef.h>\n#include <stdint.h>\n\n"
                      "#include \"vok32.h\"\n#include \"vok32x.h\"\n\n#ifdef __cplusplus\n"
                      "extern \"C\" {\n#endif\n\n#define " +
                      n.macro + "_TYPE " + std::to_string(s.type) + "\n#define " + n.macro +
                      "_VERSION " + std::to_string(s.version) + "u\n\n";
    out += "/* Strings (vokxText) are views: decoding points them into the block, which\n"
           " * must outlive the struct; encoding reads them the same way, zero bytes\n"
           " * included. */\n";
    std::vector<Layout> layouts(s.group_count);
    for (uint32_t g = 0; g < s.group_count; ++g)
        out += group_struct(n, s.groups[g], layouts[g]);
    out += record_struct(n, s, layouts);
    out += "/* The schema, as the records engine takes it. */\nextern const vokxSchema " + n.type +
           "_schema;\n\n";
    out += "/* Appends the record's fields to a stream open for writing; on failure the\n"
           " * stream's position is where it was.  VOK_OK or the engine's refusal\n"
           " * (VOKX_TOO_MANY for a count above its array...). */\n"
           "uint16_t " +
           n.type + "_write(vokStream *stream, const " + n.type +
           " *record);\n\n"
           "/* Creates a stream of the schema's type and version, writes the record and\n"
           " * closes it: out holds the block (release it with vokDestroyStream).  After\n"
           " * a failure out is inactive and holds nothing to free. */\n"
           "uint16_t " +
           n.type + "_encode(const " + n.type +
           " *record, vokStream *out);\n\n"
           "/* Reads the record in size bytes: VOK_OK, VOK_OLDER_VERSION or\n"
           " * VOK_NEWER_VERSION (error cleared), or the engine's refusal with *record\n"
           " * zeroed and *error (may be null) filled.  Allocates nothing. */\n"
           "uint16_t " +
           n.type + "_decode(const uint8_t *bytes, size_t size, " + n.type +
           " *record, vokxRecordError *error);\n\n";
    return out + "#ifdef __cplusplus\n} /* extern \"C\" */\n#endif\n\n#endif /* " + guard + " */\n";
}

// The statement that stores a field's value from the item v into target.
std::string take_value(const vokxFieldSpec &f, const std::string &target) {
    const std::string name = f.name;
    std::string value;
    switch (f.kind) {
    case VOKX_CLASS_FLAG:
        value = "v->value != 0";
        break;
    case VOKX_CLASS_SIGNED:
        value = "v->signed_value";
        break;
    case VOKX_CLASS_STRING:
    case VOKX_CLASS_UTF8:
        value = "text_of(v)";
        break;
    default:
        value = "v->value";
    }
    if (repeated(f.flags))
        return target + name + "[" + target + name + "_count++] = " + value + ";";
    if (optional(f.flags))
        return target + "has_" + name + " = true;\n            " + target + name + " = " + value +
               ";";
    return target + name + " = " + value + ";";
}

std::string take_level(const vokxFieldSpec *fields, uint32_t count, const std::string &target) {
    std::string out = "        switch (f->field) {\n";
    for (uint32_t i = 0; i < count; ++i)
        out += "        case " + std::to_string(i) + ":\n            " +
               take_value(fields[i], target) + "\n            break;\n";
    return out + "        }\n";
}

std::string take_function(const Names &n, const vokxSchema &s) {
    std::string out = "/* Stores one field the engine reported. */\nstatic void take(" + n.type +
                      " *r, const vokxRecordField *f) {\n    const vokxItem *v = &f->item;\n"
                      "    (void)v;\n";
    out += "    if (f->field == VOKX_RECORD_GROUP) {\n        switch (f->group) {\n";
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const std::string name = s.groups[g].name;
        out += "        case " + std::to_string(g) + ":\n            ";
        out += repeated(s.groups[g].flags)   ? "r->" + name + "_count = f->occurrence + 1;"
               : optional(s.groups[g].flags) ? "r->has_" + name + " = true;"
                                             : "(void)r;";
        out += "\n            break;\n";
    }
    out += "        }\n        return;\n    }\n    if (f->field < 0) return; /* passed over */\n";
    out += "    switch (f->group) {\n    case -1:\n" + take_level(s.fields, s.field_count, "r->") +
           "        break;\n";
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        if (group.field_count == 0) continue;
        const std::string at = repeated(group.flags)
                                   ? std::string("r->") + group.name + "[f->occurrence]."
                                   : std::string("r->") + group.name + ".";
        out += "    case " + std::to_string(g) + ":\n" +
               take_level(group.fields, group.field_count, at) + "        break;\n";
    }
    return out + "    }\n}\n\n";
}

// The call that writes field i of the current level from expression value.
std::string put_call(const vokxFieldSpec &f, uint32_t i, const std::string &value) {
    const char *helper = f.kind == VOKX_CLASS_SIGNED                                ? "put_signed"
                         : f.kind == VOKX_CLASS_STRING || f.kind == VOKX_CLASS_UTF8 ? "put_text"
                                                                                    : "put_value";
    return std::string(helper) + "(&w, " + std::to_string(i) + ", " + value + ")";
}

std::string put_level(const vokxFieldSpec *fields, uint32_t count, const std::string &source,
                      const std::string &indent) {
    std::string out;
    for (uint32_t i = 0; i < count; ++i) {
        const vokxFieldSpec &f = fields[i];
        const std::string name = source + f.name;
        if (repeated(f.flags))
            out += indent + "for (i = 0; s == VOK_OK && i < " + name + "_count; ++i)\n" + indent +
                   "    s = " + put_call(f, i, name + "[i]") + ";\n";
        else if (optional(f.flags))
            out += indent + "if (s == VOK_OK && " + source + "has_" + f.name +
                   ") s = " + put_call(f, i, name) + ";\n";
        else
            out += indent + "if (s == VOK_OK) s = " + put_call(f, i, name) + ";\n";
    }
    return out;
}

// Counts beyond an array are refused before anything is written.
std::string count_checks(const vokxSchema &s) {
    std::string out;
    const auto check = [&out](const std::string &count, uint32_t max) {
        out += "    if (" + count + " > " + std::to_string(max) + ") return VOKX_TOO_MANY;\n";
    };
    for (uint32_t i = 0; i < s.field_count; ++i)
        if (repeated(s.fields[i].flags))
            check(std::string("record->") + s.fields[i].name + "_count", s.fields[i].max);
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        if (repeated(group.flags))
            check(std::string("record->") + group.name + "_count", group.max);
        for (uint32_t i = 0; i < group.field_count; ++i) {
            if (!repeated(group.fields[i].flags)) continue;
            if (repeated(group.flags)) {
                out +=
                    "    for (i = 0; i < record->" + std::string(group.name) + "_count; ++i)\n    ";
                check(std::string("record->") + group.name + "[i]." + group.fields[i].name +
                          "_count",
                      group.fields[i].max);
            } else {
                check(std::string("record->") + group.name + "." + group.fields[i].name + "_count",
                      group.fields[i].max);
            }
        }
    }
    return out;
}

std::string write_function(const Names &n, const vokxSchema &s) {
    std::string out = "uint16_t " + n.type + "_write(vokStream *stream, const " + n.type +
                      " *record) {\n    vokxRecordWriter w;\n    vokxRecordError e;\n"
                      "    uint32_t i = 0;\n    uint16_t s;\n" +
                      count_checks(s) + "    s = vokxRecordBegin(&w, &" + n.type +
                      "_schema, stream, &e);\n    (void)i;\n";
    out += put_level(s.fields, s.field_count, "record->", "    ");
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        const std::string gi = std::to_string(g);
        if (repeated(group.flags)) {
            out += "    for (uint32_t j = 0; s == VOK_OK && j < record->" +
                   std::string(group.name) + "_count; ++j) {\n        const " + n.type + "_" +
                   group.name + " *g = &record->" + group.name +
                   "[j];\n        s = vokxRecordGroup(&w, " + gi + ", &e);\n" +
                   put_level(group.fields, group.field_count, "g->", "        ") +
                   "        (void)g;\n    }\n";
        } else {
            const std::string cond =
                optional(group.flags) ? " && record->has_" + std::string(group.name) : "";
            out += "    if (s == VOK_OK" + cond + ") {\n        const " + n.type + "_" +
                   group.name + " *g = &record->" + group.name +
                   ";\n        s = vokxRecordGroup(&w, " + gi + ", &e);\n" +
                   put_level(group.fields, group.field_count, "g->", "        ") +
                   "        (void)g;\n    }\n";
        }
    }
    return out + "    if (s == VOK_OK) s = vokxRecordEnd(&w, &e);\n    return s;\n}\n\n";
}

std::string put_helpers(const vokxSchema &s) {
    std::set<std::string> used;
    const auto note = [&used](const vokxFieldSpec *fields, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i)
            used.insert(fields[i].kind == VOKX_CLASS_SIGNED ? "signed"
                        : fields[i].kind == VOKX_CLASS_STRING || fields[i].kind == VOKX_CLASS_UTF8
                            ? "text"
                            : "value");
    };
    note(s.fields, s.field_count);
    for (uint32_t g = 0; g < s.group_count; ++g)
        note(s.groups[g].fields, s.groups[g].field_count);
    std::string out;
    const std::string start =
        "    vokxItem item;\n    vokxRecordError e;\n    memset(&item, 0, sizeof item);\n";
    const std::string end = "    return vokxRecordPut(w, field, &item, &e);\n}\n\n";
    if (used.count("value"))
        out +=
            "static uint16_t put_value(vokxRecordWriter *w, uint32_t field, uint32_t value) {\n" +
            start + "    item.value = value;\n" + end;
    if (used.count("signed"))
        out +=
            "static uint16_t put_signed(vokxRecordWriter *w, uint32_t field, int32_t value) {\n" +
            start + "    item.signed_value = value;\n" + end;
    if (used.count("text"))
        out += "static uint16_t put_text(vokxRecordWriter *w, uint32_t field, vokxText text) {\n" +
               start + "    item.text = text.data;\n    item.length = text.length;\n" + end;
    if (used.count("text"))
        out +=
            "static vokxText text_of(const vokxItem *v) {\n    vokxText t;\n    t.data = v->text;\n"
            "    t.length = v->length;\n    return t;\n}\n\n";
    return out;
}

std::string source(const Names &n, const vokxSchema &s, const CodegenOptions &options) {
    std::string out = banner(options, "/*", "*/") + "#include \"" + n.file +
                      ".vok.h\"\n\n#include <string.h>\n\n";
    out += schema_tables(s, n.type + "_", "static const ", "const ", n.type + "_schema") + "\n";
    out += put_helpers(s) + take_function(n, s) + write_function(n, s);
    out +=
        "uint16_t " + n.type + "_encode(const " + n.type +
        " *record, vokStream *out) {\n    uint16_t s = vokCreateStream(out, " + n.macro +
        "_TYPE, " + n.macro + "_VERSION);\n    if (s == VOK_OK) s = " + n.type +
        "_write(out, record);\n    if (s == VOK_OK) s = vokCloseStream(out);\n"
        "    if (s != VOK_OK) {\n        if (out->data != NULL && vokCloseStream(out) == VOK_OK)\n"
        "            vokDestroyStream(vokGetData(out));\n        memset(out, 0, sizeof *out);\n    "
        "}\n"
        "    return s;\n}\n\n";
    out +=
        "uint16_t " + n.type + "_decode(const uint8_t *bytes, size_t size, " + n.type +
        " *record, vokxRecordError *error) {\n    vokxRecordReader reader;\n    vokxRecordField "
        "field;\n"
        "    vokxRecordError scratch;\n    vokxRecordError *e = error != NULL ? error : &scratch;\n"
        "    uint16_t opened, s;\n    memset(record, 0, sizeof *record);\n"
        "    opened = s = vokxRecordOpen(&reader, &" +
        n.type +
        "_schema, bytes, size, e);\n"
        "    if (opened == VOK_OK || opened == VOK_OLDER_VERSION || opened == VOK_NEWER_VERSION)\n"
        "        while ((s = vokxRecordNext(&reader, &field, e)) == VOK_OK)\n            "
        "take(record, &field);\n"
        "    if (s == VOK_END_OF_STREAM) { /* cleared: status 0, empty texts */\n"
        "        e->status = 0;\n        e->offset = 0;\n"
        "        e->path[0] = e->message[0] = '\\0';\n        return opened;\n    }\n"
        "    memset(record, 0, sizeof *record);\n    return s;\n}\n";
    return out;
}

} // namespace

bool generate_c(const vokxSchema &schema, const CodegenOptions &options,
                std::vector<GeneratedFile> &files, std::string &error) {
    if (!check_names(schema, error)) return false;
    const Names n{schema.name, upper(schema.name), lower(schema.name)};
    files = {{n.file + ".vok.h", header(n, schema, options)},
             {n.file + ".vok.c", source(n, schema, options)}};
    return true;
}

} // namespace vok::tool
