// C for a schema: a struct per record and per group, with the engine's tables
// (the schema, and where the structs keep each field) and three functions.  Decoding allocates
// nothing: strings are views into the block.  Encoding allocates only through vok32's handle.
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

// Where the struct keeps each field of a level, as the engine's layout.
std::string places(const std::string &table, const std::string &type, const vokxFieldSpec *fields,
                   uint32_t count) {
    std::string out = "static const vokxPlace " + table + "[] = {\n";
    for (uint32_t i = 0; i < count; ++i) {
        const vokxFieldSpec &f = fields[i];
        const std::string member = type + ", " + f.name;
        std::string present = "0", stride = "0";
        if (repeated(f.flags)) {
            present = "offsetof(" + type + ", " + f.name + "_count)";
            stride = std::string("sizeof(") + c_type(f.kind).name + ")";
        } else if (optional(f.flags)) {
            present = "offsetof(" + type + ", has_" + f.name + ")";
        }
        out += "    {offsetof(" + member + "), " + present + ", " + stride + "},\n";
    }
    return out + "};\n";
}

std::string layout_tables(const Names &n, const vokxSchema &s) {
    std::string out;
    std::string fields = "NULL", groups = "NULL", group_fields = "NULL";
    if (s.field_count != 0) {
        fields = n.type + "_places";
        out += places(fields, n.type, s.fields, s.field_count);
    }
    std::string group_places, group_field_list;
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        const std::string type = n.type + "_" + group.name;
        std::string present = "0", stride = "0";
        if (repeated(group.flags)) {
            present = "offsetof(" + n.type + ", " + group.name + "_count)";
            stride = "sizeof(" + type + ")";
        } else if (optional(group.flags)) {
            present = "offsetof(" + n.type + ", has_" + group.name + ")";
        }
        group_places += "    {offsetof(" + n.type + ", " + group.name + "), " + present + ", " +
                        stride + "},\n";
        if (group.field_count != 0) {
            out += places(type + "_places", type, group.fields, group.field_count);
            group_field_list += "    " + type + "_places,\n";
        } else {
            group_field_list += "    NULL,\n";
        }
    }
    if (s.group_count != 0) {
        groups = n.type + "_group_places";
        group_fields = n.type + "_group_fields";
        out += "static const vokxPlace " + groups + "[] = {\n" + group_places + "};\n";
        out += "static const vokxPlace *const " + group_fields + "[] = {\n" + group_field_list +
               "};\n";
    }
    return out + "static const vokxRecordLayout " + n.type + "_layout = {" + fields + ", " +
           groups + ", " + group_fields + ", sizeof(" + n.type + ")};\n\n";
}

std::string source(const Names &n, const vokxSchema &s, const CodegenOptions &options) {
    std::string out = banner(options, "/*", "*/") + "#include \"" + n.file +
                      ".vok.h\"\n\n#include <string.h>\n\n";
    out += schema_tables(s, n.type + "_", "static const ", "const ", n.type + "_schema") + "\n";
    out += layout_tables(n, s);
    out += "uint16_t " + n.type + "_write(vokStream *stream, const " + n.type +
           " *record) {\n    return vokxRecordEncode(&" + n.type + "_schema, &" + n.type +
           "_layout, record, stream, NULL);\n}\n\n";
    out +=
        "uint16_t " + n.type + "_encode(const " + n.type +
        " *record, vokStream *out) {\n    uint16_t s = vokCreateStream(out, " + n.macro +
        "_TYPE, " + n.macro + "_VERSION);\n    if (s == VOK_OK) s = " + n.type +
        "_write(out, record);\n    if (s == VOK_OK) s = vokCloseStream(out);\n"
        "    if (s != VOK_OK) {\n        if (out->data != NULL && vokCloseStream(out) == VOK_OK)\n"
        "            vokDestroyStream(vokGetData(out));\n        memset(out, 0, sizeof *out);\n    "
        "}\n"
        "    return s;\n}\n\n";
    out += "uint16_t " + n.type + "_decode(const uint8_t *bytes, size_t size, " + n.type +
           " *record, vokxRecordError *error) {\n    return vokxRecordDecode(&" + n.type +
           "_schema, &" + n.type + "_layout, bytes, size, record, error);\n}\n";
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
