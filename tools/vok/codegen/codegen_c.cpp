// C for a schema: a struct per record and per group, with the engine's tables
// (the schema, and where the structs keep each field) and three functions.  Decoding allocates
// nothing: strings are views into the block.  Encoding allocates only through vok32's handle.
#include "codegen.hpp"

namespace vok::tool {

namespace {

using namespace codegen;

struct CType {
    const char *name;
    uint64_t size, align;
};

CType c_type(uint32_t kind) {
    switch (kind) {
    case VOKX_KIND_FLAG:
        return {"bool", 1, 1};
    case VOKX_KIND_SIGNED:
        return {"int32_t", 4, 4};
    case VOKX_KIND_STRING:
    case VOKX_KIND_UTF8:
        return {"vokxText", 16, 8};
    case VOKX_KIND_UNSIGNED64:
        return {"uint64_t", 8, 8};
    case VOKX_KIND_SIGNED64:
    case VOKX_KIND_TIMESTAMP:
        return {"int64_t", 8, 8};
    case VOKX_KIND_FLOAT32:
        return {"float", 4, 4};
    case VOKX_KIND_FLOAT64:
        return {"double", 8, 8};
    default: // unsigned, enum, safe (its length)
        return {"uint32_t", 4, 4};
    }
}

// Lays out members as a 64-bit C compiler does, for the sizeof comments and
// the bound on a struct's size.  Counts are at most 2^32 - 1 and sizes at
// most 16 MiB when they are multiplied, so 64 bits hold every product.
struct Layout {
    uint64_t size = 0, align = 1;
    void add(uint64_t member_size, uint64_t member_align, uint64_t count = 1) {
        size = (size + member_align - 1) / member_align * member_align + member_size * count;
        align = std::max(align, member_align);
    }
    uint64_t total() const { return (size + align - 1) / align * align; }
};

void add_field(Layout &layout, const vokxFieldSpec &f) {
    const CType t = c_type(f.kind);
    if (repeated(f.flags)) {
        layout.add(4, 4);
        layout.add(t.size, t.align, f.max);
        return;
    }
    if (has_flag(f)) layout.add(1, 1);
    layout.add(t.size, t.align);
}

void add_group(Layout &layout, const vokxGroupSpec &g, const Layout &inner) {
    if (repeated(g.flags)) {
        layout.add(4, 4);
        layout.add(inner.total(), inner.align, g.max);
        return;
    }
    if (optional(g.flags)) layout.add(1, 1);
    layout.add(inner.total(), inner.align);
}

// Each group's struct, as the record's struct lays it out.
std::vector<Layout> group_layouts(const vokxSchema &s) {
    std::vector<Layout> layouts(s.group_count);
    for (uint32_t g = 0; g < s.group_count; ++g) {
        for (uint32_t i = 0; i < s.groups[g].field_count; ++i)
            add_field(layouts[g], s.groups[g].fields[i]);
        if (s.groups[g].field_count == 0) layouts[g].add(1, 1); // its placeholder member
    }
    return layouts;
}

// Refuses, with the schema path of the field or group that takes it there,
// a struct above kMaxGeneratedStruct.
bool check_size(const vokxSchema &s, std::string &error) {
    const auto over = [&](const Layout &layout, const std::string &type, const std::string &path,
                          uint32_t flags) {
        if (layout.total() <= kMaxGeneratedStruct) return false;
        error = path + (repeated(flags) ? ".max" : "") + ": makes sizeof(" + type + ") at least " +
                std::to_string(layout.total()) + " bytes, above the " +
                std::to_string(kMaxGeneratedStruct) + " a generated struct may take";
        return true;
    };
    std::vector<Layout> groups(s.group_count);
    for (uint32_t g = 0; g < s.group_count; ++g)
        for (uint32_t i = 0; i < s.groups[g].field_count; ++i) {
            const vokxFieldSpec &f = s.groups[g].fields[i];
            add_field(groups[g], f);
            if (over(groups[g], std::string(s.name) + "_" + s.groups[g].name,
                     "groups[" + std::to_string(g) + "].fields[" + std::to_string(i) + "]",
                     f.flags))
                return false;
        }
    Layout top;
    for (uint32_t i = 0; i < s.field_count; ++i) {
        add_field(top, s.fields[i]);
        if (over(top, s.name, "fields[" + std::to_string(i) + "]", s.fields[i].flags)) return false;
    }
    const std::vector<Layout> inner = group_layouts(s);
    for (uint32_t g = 0; g < s.group_count; ++g) {
        add_group(top, s.groups[g], inner[g]);
        if (over(top, s.name, "groups[" + std::to_string(g) + "]", s.groups[g].flags)) return false;
    }
    return true;
}

// The members of one field.
std::string field_members(const vokxFieldSpec &f) {
    const CType t = c_type(f.kind);
    const std::string name = f.name;
    if (repeated(f.flags))
        return "    uint32_t " + name + "_count;\n    " + t.name + " " + name + "[" +
               std::to_string(f.max) + "];\n";
    const std::string has = has_flag(f) ? "    bool has_" + name + ";\n" : "";
    const char *note = f.kind == VOKX_KIND_SAFE        ? " /* a safe string: its length */"
                       : t.size == 16                  ? " /* a view into the block */"
                       : f.kind == VOKX_KIND_TIMESTAMP ? " /* milliseconds since 1970, UTC */"
                       : default_of(f) != nullptr      ? " /* left out when the default */"
                                                       : "";
    return has + "    " + t.name + " " + name + ";" + note + "\n";
}

struct Names {
    std::string type, macro, file;
};

std::string struct_text(const std::string &type, const Layout &layout, const std::string &body) {
    return "/* sizeof(" + type + ") is " + std::to_string(layout.total()) +
           " bytes on 64-bit platforms. */\ntypedef struct " + type + " {\n" + body + "} " + type +
           ";\n\n";
}

std::string group_struct(const Names &n, const vokxGroupSpec &g, const Layout &layout) {
    std::string body;
    for (uint32_t i = 0; i < g.field_count; ++i)
        body += field_members(g.fields[i]);
    if (g.field_count == 0) body = "    char unused; /* a group of no fields */\n";
    return struct_text(n.type + "_" + g.name, layout, body);
}

std::string record_struct(const Names &n, const vokxSchema &s, const std::vector<Layout> &groups) {
    Layout layout;
    std::string body;
    for (uint32_t i = 0; i < s.field_count; ++i) {
        add_field(layout, s.fields[i]);
        body += field_members(s.fields[i]);
    }
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        const std::string type = n.type + "_" + group.name, name = group.name;
        add_group(layout, group, groups[g]);
        // struct X, not the typedef: included from C++, the header's members
        // hide types, and a field may be named like a group's type.
        if (repeated(group.flags))
            body += "    uint32_t " + name + "_count;\n    struct " + type + " " + name + "[" +
                    std::to_string(group.max) + "];\n";
        else
            body += (optional(group.flags) ? "    bool has_" + name + ";\n" : "") + "    struct " +
                    type + " " + name + ";\n";
    }
    if (body.empty()) {
        body = "    char unused; /* a record of no fields */\n";
        layout.add(1, 1);
    }
    return struct_text(n.type, layout, body);
}

// The named numbers of each enum field of a level, as prefix_field_NAME.
std::string enum_constants(const std::string &prefix, const vokxFieldSpec *fields, uint32_t count) {
    std::string out;
    for (uint32_t i = 0; i < count; ++i) {
        const vokxFieldDetail *d = fields[i].detail;
        if (d == nullptr || d->value_count == 0) continue;
        out += "/* The values of " + prefix + fields[i].name + ". */\nenum {\n";
        for (uint32_t k = 0; k < d->value_count; ++k)
            out += "    " + prefix + fields[i].name + "_" + d->values[k].name + " = " +
                   std::to_string(d->values[k].number) + (k + 1 < d->value_count ? ",\n" : "\n");
        out += "};\n\n";
    }
    return out;
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
    out += enum_constants(n.type + "_", s.fields, s.field_count);
    for (uint32_t g = 0; g < s.group_count; ++g)
        out += enum_constants(n.type + "_" + s.groups[g].name + "_", s.groups[g].fields,
                              s.groups[g].field_count);
    const std::vector<Layout> layouts = group_layouts(s);
    for (uint32_t g = 0; g < s.group_count; ++g)
        out += group_struct(n, s.groups[g], layouts[g]);
    out += record_struct(n, s, layouts);
    out += "/* The schema, and where the struct keeps each field, as the records\n"
           " * engine takes them (vokxRecordEncode, vokxRecordDecode). */\nextern const "
           "vokxSchema " +
           n.type + "_schema;\nextern const vokxRecordLayout " + n.type + "_layout;\n\n";
    out += "/* Appends the record's fields to a stream open for writing; on failure the\n"
           " * stream's position is where it was.  VOK_OK or the engine's refusal\n"
           " * (VOKX_TOO_MANY for a count above its array...), with *error (may be\n"
           " * null) naming the field: path, offset and message. */\n"
           "uint16_t " +
           n.type + "_write(vokStream *stream, const " + n.type +
           " *record, vokxRecordError *error);\n\n"
           "/* Creates a stream of the schema's type and version, writes the record and\n"
           " * closes it: out holds the block (release it with vokDestroyStream).  After\n"
           " * a failure out is inactive and holds nothing to free, and *error (may be\n"
           " * null) says why. */\n"
           "uint16_t " +
           n.type + "_encode(const " + n.type +
           " *record, vokStream *out, vokxRecordError *error);\n\n"
           "/* Bytes of the record's block, exactly; 0 for a record the engine refuses\n"
           " * (a count above its max, a plain string over 65,535 bytes, a text with a\n"
           " * length but no bytes). */\n"
           "size_t " +
           n.type + "_encoded_size(const " + n.type +
           " *record);\n\n"
           "/* Writes the record's block into buffer: VOK_OK with *length its bytes;\n"
           " * VOK_NO_MEMORY when capacity is short, with *length the bytes needed; or\n"
           " * the engine's refusal, which *error (may be null) words.  Allocates\n"
           " * nothing unless the record is refused: the engine words a refusal\n"
           " * through a stream of its own. */\n"
           "uint16_t " +
           n.type + "_encode_to(const " + n.type +
           " *record, uint8_t *buffer, size_t capacity, size_t *length,\n"
           "                          vokxRecordError *error);\n\n"
           "/* Reads the record in size bytes: VOK_OK, VOK_OLDER_VERSION or\n"
           " * VOK_NEWER_VERSION (error cleared), or the engine's refusal with *error\n"
           " * (may be null) filled.  Decoding touches what the block holds: after a\n"
           " * success the elements past each count and the values of absent fields\n"
           " * are unspecified; after a refusal only the counts (zero) and presence\n"
           " * flags (false) are.  Allocates nothing. */\n"
           "uint16_t " +
           n.type + "_decode(const uint8_t *bytes, size_t size, " + n.type +
           " *record, vokxRecordError *error);\n\n";
    return out + "#ifdef __cplusplus\n} /* extern \"C\" */\n#endif\n\n#endif /* " + guard + " */\n";
}

// A field's detail as a compound literal, which has static storage at file
// scope as the tables do.
std::string detail_literal(const vokxFieldSpec &f) {
    const vokxFieldDetail &d = *f.detail;
    std::string values = "NULL", text = "NULL";
    if (d.value_count != 0) {
        values = "(const vokxEnumValue[]){";
        for (uint32_t k = 0; k < d.value_count; ++k)
            values += std::string(k == 0 ? "" : ", ") + "{\"" + d.values[k].name + "\", " +
                      std::to_string(d.values[k].number) + "u}";
        values += "}";
    }
    if (default_of(f) != nullptr && is_text(f.kind) && d.default_text.length != 0)
        text = "(const uint8_t[])" + byte_list(d.default_text.data, d.default_text.length);
    return "&(const vokxFieldDetail)" + detail_initializer(f, values, text);
}

// The schema as one definition: its field and group tables are compound
// literals, so that no name is generated for them.
std::string schema_definition(const Names &n, const vokxSchema &s) {
    const auto fields = [](const vokxFieldSpec *list, uint32_t count, const std::string &indent) {
        return count == 0 ? std::string("NULL")
                          : "(const vokxFieldSpec[]){\n" +
                                field_rows(list, count, indent + "    ",
                                           [list](uint32_t i) { return detail_literal(list[i]); }) +
                                indent + "}";
    };
    std::string groups = "NULL";
    if (s.group_count != 0) {
        groups = "(const vokxGroupSpec[]){\n";
        for (uint32_t g = 0; g < s.group_count; ++g) {
            const vokxGroupSpec &group = s.groups[g];
            groups += "        " + group_head(group) +
                      fields(group.fields, group.field_count, "        ") + ", " +
                      std::to_string(group.field_count) + "},\n";
        }
        groups += "    }";
    }
    return "const vokxSchema " + n.type + "_schema = {\n    \"" + s.name + "\", " +
           std::to_string(s.type) + ", " + std::to_string(s.version) + "u,\n    " +
           fields(s.fields, s.field_count, "    ") + ", " + std::to_string(s.field_count) +
           ",\n    " + groups + ", " + std::to_string(s.group_count) + "};\n\n";
}

// Where a struct keeps each field of a level, as a compound literal of the
// engine's places.
std::string places(const std::string &type, const vokxFieldSpec *fields, uint32_t count,
                   const std::string &indent) {
    if (count == 0) return "NULL";
    std::string out = "(const vokxPlace[]){\n";
    for (uint32_t i = 0; i < count; ++i) {
        const vokxFieldSpec &f = fields[i];
        std::string present = "0", stride = "0";
        if (repeated(f.flags)) {
            present = "offsetof(" + type + ", " + f.name + "_count)";
            stride = std::string("sizeof(") + c_type(f.kind).name + ")";
        } else if (has_flag(f)) {
            present = "offsetof(" + type + ", has_" + f.name + ")";
        }
        out += indent + "    {offsetof(" + type + ", " + f.name + "), " + present + ", " + stride +
               "},\n";
    }
    return out + indent + "}";
}

// The struct's layout, the only table with a name of its own: both
// functions use it.
std::string layout_definition(const Names &n, const vokxSchema &s) {
    std::string groups = "NULL", group_fields = "NULL";
    if (s.group_count != 0) {
        groups = "(const vokxPlace[]){\n";
        group_fields = "(const vokxPlace *const[]){\n";
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
            groups += "        {offsetof(" + n.type + ", " + group.name + "), " + present + ", " +
                      stride + "},\n";
            group_fields +=
                "        " + places(type, group.fields, group.field_count, "        ") + ",\n";
        }
        groups += "    }";
        group_fields += "    }";
    }
    return "const vokxRecordLayout " + n.type + "_layout = {\n    " +
           places(n.type, s.fields, s.field_count, "    ") + ",\n    " + groups + ",\n    " +
           group_fields + ",\n    sizeof(" + n.type + ")};\n\n";
}

// A field's default as the struct keeps it; text points to the schema's own
// bytes, as the engine's decoding does.
std::string c_default(const Names &n, const vokxSchema &s, const vokxGroupSpec *g, uint32_t i) {
    const vokxFieldSpec &f = g == nullptr ? s.fields[i] : g->fields[i];
    const vokxValue &v = f.detail->default_value;
    switch (f.kind) {
    case VOKX_KIND_FLAG:
        return v.unsigned64 != 0 ? "true" : "false";
    case VOKX_KIND_SIGNED:
    case VOKX_KIND_SIGNED64:
    case VOKX_KIND_TIMESTAMP:
        return signed_literal(v.signed64);
    case VOKX_KIND_FLOAT32:
        return "vok_f32_of_bits(" + hex_literal(float32_bits(v)) + ")";
    case VOKX_KIND_FLOAT64:
        return "vok_f64_of_bits(" + hex_literal(v.unsigned64) + ")";
    case VOKX_KIND_STRING:
    case VOKX_KIND_UTF8:
        return n.type + "_schema." +
               (g == nullptr ? std::string() : "groups[" + std::to_string(g - s.groups) + "].") +
               "fields[" + std::to_string(i) + "].detail->default_text";
    default:
        return hex_literal(v.unsigned64);
    }
}

std::string codec(const Names &n, const vokxSchema &s) {
    CodecNames names{
        Language::c,
        n.type,
        n.macro,
        [&n](const vokxGroupSpec *g) { return g == nullptr ? n.type : n.type + "_" + g->name; },
        nullptr,
        [&n, &s](const vokxGroupSpec *g, uint32_t i) { return c_default(n, s, g, i); }};
    const std::string t = n.type;
    return codec_functions(names, s) + "size_t " + t + "_encoded_size(const " + t +
           " *record) {\n"
           "    const uint64_t body = " +
           t +
           "__size(record);\n"
           "    uint64_t n;\n    if (body == VOK_SIZE_REFUSED) return 0;\n"
           "    n = 7u + vok_unsigned_size(" +
           n.macro +
           "_VERSION) + body;\n"
           "    return n > UINT32_MAX ? 0 : (size_t)n;\n}\n\n"
           "/* What the compiled size refuses, the engine words; were it to take the\n"
           " * record, its block is copied out. */\n"
           "static uint16_t " +
           t + "__encode_refused(const " + t +
           " *record, uint8_t *buffer, size_t capacity,\n"
           "                                       size_t *length, vokxRecordError *error) {\n"
           "    vokStream s;\n    uint16_t status = " +
           t +
           "_encode(record, &s, error);\n"
           "    if (status != VOK_OK) return status;\n    *length = vokGetLengthEx(&s);\n"
           "    if (*length > capacity)\n        status = VOK_NO_MEMORY;\n    else\n"
           "        memcpy(buffer, vokGetData(&s), *length);\n"
           "    vokDestroyStream(vokGetData(&s));\n    return status;\n}\n\n"
           "uint16_t " +
           t + "_encode_to(const " + t +
           " *record, uint8_t *buffer, size_t capacity, size_t *length,\n"
           "                          vokxRecordError *error) {\n"
           "    static const vokxRecordError none;\n"
           "    static const char short_buffer[] = \"the buffer is smaller than the block\";\n"
           "    const size_t n = " +
           t +
           "_encoded_size(record);\n"
           "    if (error != NULL) *error = none;\n"
           "    if (n == 0) return " +
           t +
           "__encode_refused(record, buffer, capacity, length, error);\n"
           "    *length = n;\n    if (n > capacity) {\n        if (error != NULL) {\n"
           "            error->status = VOK_NO_MEMORY;\n"
           "            memcpy(error->message, short_buffer, sizeof short_buffer);\n        }\n"
           "        return VOK_NO_MEMORY;\n    }\n"
           "    vok_put_trailer(buffer, " +
           t + "__put(record, vok_put_header(buffer, " + n.macro + "_TYPE, " + n.macro +
           "_VERSION)));\n    return VOK_OK;\n}\n\n";
}

std::string source(const Names &n, const vokxSchema &s, const CodegenOptions &options) {
    std::string out = banner(options, "/*", "*/") + "#include \"" + n.file +
                      ".vok.h\"\n\n#include <string.h>\n\n#include \"vok32_items.h\"\n\n";
    out += schema_definition(n, s) + layout_definition(n, s);
    out += "uint16_t " + n.type + "_write(vokStream *stream, const " + n.type +
           " *record, vokxRecordError *error) {\n    return vokxRecordEncode(&" + n.type +
           "_schema, &" + n.type + "_layout, record, stream, error);\n}\n\n";
    // The error names the field when the engine refuses; a stream that
    // cannot be made or closed leaves only its status there.
    out +=
        "uint16_t " + n.type + "_encode(const " + n.type +
        " *record, vokStream *out, vokxRecordError *error) {\n"
        "    static const vokStream inactive;\n    static const vokxRecordError none;\n"
        "    uint16_t s = vokCreateStream(out, " +
        n.macro + "_TYPE, " + n.macro +
        "_VERSION);\n    if (error != NULL) *error = none;\n"
        "    if (s == VOK_OK) s = " +
        n.type +
        "_write(out, record, error);\n    if (s == VOK_OK) s = vokCloseStream(out);\n"
        "    if (s != VOK_OK && error != NULL && error->status == 0) error->status = s;\n"
        "    if (s != VOK_OK) {\n        if (out->data != NULL && vokCloseStream(out) == VOK_OK)\n"
        "            vokDestroyStream(vokGetData(out));\n        *out = inactive;\n    }\n"
        "    return s;\n}\n\n";
    out += codec(n, s);
    // Blocks in the form writers make are read by the compiled reader; the
    // engine reads, or refuses, the rest.
    out += "uint16_t " + n.type + "_decode(const uint8_t *bytes, size_t size, " + n.type +
           " *record, vokxRecordError *error) {\n"
           "    static const vokxRecordError none;\n    uint16_t status;\n"
           "    if (" +
           n.type +
           "__read(bytes, size, record, &status)) {\n"
           "        if (error != NULL) *error = none;\n        return status;\n    }\n"
           "    return vokxRecordDecode(&" +
           n.type + "_schema, &" + n.type + "_layout, bytes, size, record, error);\n}\n";
    return out;
}

} // namespace

bool generate_c(const vokxSchema &schema, const CodegenOptions &options,
                std::vector<GeneratedFile> &files, std::string &error) {
    if (!check_names(schema, Language::c, "", error) || !check_size(schema, error)) return false;
    const Names n{schema.name, upper(schema.name), lower(schema.name)};
    files = {{n.file + ".vok.h", header(n, schema, options)},
             {n.file + ".vok.c", source(n, schema, options)}};
    return true;
}

} // namespace vok::tool
