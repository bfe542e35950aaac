// C++ for a schema, header-only: owning structs (std::string, std::optional,
// std::vector) and encode/decode on the records engine.  Nothing throws
// unless the caller asks a failed result for its value().
#include <cctype>
#include <cstdio>
#include <cstring>

#include "codegen.hpp"

namespace vok::tool {

namespace {

using namespace codegen;

// The generated types by their qualified names: a member, a namespace or a
// detail:: name can hide an unqualified one.
struct Types {
    std::string prefix; // "::order::"
    std::string record; // "::order::Order"
    std::string group_name(const vokxGroupSpec &g) const {
        return record.substr(prefix.size()) + "_" + g.name;
    }
    std::string group(const vokxGroupSpec &g) const { return prefix + group_name(g); }
};

// The enum class of an enum field: Schema_field, or Schema_group_field.
std::string enum_type(const Types &t, const vokxGroupSpec *g, const vokxFieldSpec &f) {
    return t.prefix + (g == nullptr ? t.record.substr(t.prefix.size()) : t.group_name(*g)) + "_" +
           f.name;
}

std::string value_type(const vokxFieldSpec &f, const std::string &enumeration) {
    switch (f.kind) {
    case VOKX_KIND_FLAG:
        return "bool";
    case VOKX_KIND_SIGNED:
        return "std::int32_t";
    case VOKX_KIND_STRING:
    case VOKX_KIND_UTF8:
        return "std::string";
    case VOKX_KIND_UNSIGNED64:
        return "std::uint64_t";
    case VOKX_KIND_SIGNED64:
        return "std::int64_t";
    case VOKX_KIND_FLOAT32:
        return "float";
    case VOKX_KIND_FLOAT64:
        return "double";
    case VOKX_KIND_ENUM:
        return enumeration;
    case VOKX_KIND_TIMESTAMP:
        return kTimestampType;
    default:
        return "std::uint32_t";
    }
}

// A float's default: a NaN by its bits (payload and sign kept), anything
// else as a literal.
std::string float_literal(double value, bool narrow, uint64_t bits) {
    if (value != value)
        return std::string(narrow ? "detail::float32_of(" : "detail::float64_of(") +
               hex_literal(bits) + ")";
    if (value - value != 0)
        return std::string(value < 0 ? "-" : "") + "std::numeric_limits<" +
               (narrow ? "float" : "double") + ">::infinity()";
    // Exact in hexadecimal, with the decimal beside it for people.
    char text[96];
    std::snprintf(text, sizeof text, "%a%s /* %.*g */", value, narrow ? "f" : "", narrow ? 9 : 17,
                  value);
    return text;
}

// The field's default as a C++ expression of its type.
std::string value_literal(const vokxFieldSpec &f, const std::string &type) {
    const vokxFieldDetail &d = *f.detail;
    const vokxValue &v = d.default_value;
    switch (f.kind) {
    case VOKX_KIND_FLAG:
        return v.unsigned64 != 0 ? "true" : "false";
    case VOKX_KIND_STRING:
    case VOKX_KIND_UTF8:
        return "std::string(\"" + escaped_bytes(d.default_text.data, d.default_text.length) +
               "\", " + std::to_string(d.default_text.length) + ")";
    case VOKX_KIND_FLOAT32:
        return float_literal(double{v.float32}, true, float32_bits(v));
    case VOKX_KIND_FLOAT64:
        return float_literal(v.float64, false, v.unsigned64);
    case VOKX_KIND_SIGNED:
    case VOKX_KIND_SIGNED64: // of the member's type, as same_bits compares them
        return type + "{" + signed_literal(v.signed64) + "}";
    case VOKX_KIND_TIMESTAMP:
        return type + "{std::chrono::milliseconds{" + signed_literal(v.signed64) + "}}";
    case VOKX_KIND_ENUM:
        return "static_cast<" + type + ">(" + std::to_string(v.unsigned64) + "u)";
    default:
        return type + "{" + hex_literal(v.unsigned64) + "}";
    }
}

std::string member(const std::string &type, const vokxFieldSpec &f, const std::string &initial) {
    const std::string name = f.name;
    if (repeated(f.flags)) return "    std::vector<" + type + "> " + name + ";\n";
    if (default_of(f) != nullptr)
        return "    " + type + " " + name + " = " + value_literal(f, type) + ";\n";
    if (optional(f.flags)) return "    std::optional<" + type + "> " + name + ";\n";
    return "    " + type + " " + name + initial + ";\n";
}

std::string member(const std::string &type, const std::string &name, uint32_t flags,
                   const std::string &initial) {
    if (repeated(flags)) return "    std::vector<" + type + "> " + name + ";\n";
    if (optional(flags)) return "    std::optional<" + type + "> " + name + ";\n";
    return "    " + type + " " + name + initial + ";\n";
}

std::string initial_value(uint32_t kind) {
    if (kind == VOKX_KIND_FLAG) return " = false";
    if (is_text(kind)) return "";
    if (kind == VOKX_KIND_ENUM || kind == VOKX_KIND_TIMESTAMP) return "{}";
    return " = 0";
}

// The enum classes of a level's enum fields.
std::string enum_classes(const Types &t, const vokxGroupSpec *g, const vokxFieldSpec *fields,
                         uint32_t count) {
    std::string out;
    for (uint32_t i = 0; i < count; ++i) {
        if (fields[i].kind != VOKX_KIND_ENUM) continue;
        const std::string type = enum_type(t, g, fields[i]);
        out += "// Numbers the schema does not name are kept by value.\nenum class " +
               type.substr(t.prefix.size()) + " : std::uint32_t {";
        const vokxFieldDetail *d = fields[i].detail;
        for (uint32_t k = 0; d != nullptr && k < d->value_count; ++k)
            out += std::string(k == 0 ? "\n" : ",\n") + "    " + d->values[k].name + " = " +
                   std::to_string(d->values[k].number) + "u";
        out += "\n};\n\n";
    }
    return out;
}

// The struct `name`, which the rest of the code calls by its qualified name
// `type`, with == defaulted under C++20 and written out under C++17, after
// the struct: inside it, its parameters would shadow members.
std::string structure(const std::string &name, const std::string &type, const std::string &members,
                      const std::vector<std::string> &names) {
    std::string compare = "true";
    for (const std::string &member : names)
        compare += " && a." + member + " == b." + member;
    const bool unused = names.empty(); // a struct of no members compares equal
    return "struct " + name + " {\n" + members +
           "\n#if __cplusplus >= 202002L\n    friend bool operator==(const " + type + " &, const " +
           type +
           " &) = default;\n#endif\n};\n\n#if __cplusplus < 202002L\ninline bool "
           "operator==(const " +
           type + " &" + (unused ? "" : "a") + ", const " + type + " &" + (unused ? "" : "b") +
           ") { return " + compare + "; }\ninline bool operator!=(const " + type + " &a, const " +
           type + " &b) { return !(a == b); }\n#endif\n\n";
}

std::string group_struct(const Types &t, const vokxGroupSpec &g) {
    std::string members;
    std::vector<std::string> names;
    for (uint32_t i = 0; i < g.field_count; ++i) {
        const vokxFieldSpec &f = g.fields[i];
        members += member(value_type(f, enum_type(t, &g, f)), f, initial_value(f.kind));
        names.push_back(f.name);
    }
    return structure(t.group_name(g), t.group(g), members, names);
}

std::string record_struct(const Types &t, const vokxSchema &s) {
    std::string members;
    std::vector<std::string> names;
    for (uint32_t i = 0; i < s.field_count; ++i) {
        const vokxFieldSpec &f = s.fields[i];
        members += member(value_type(f, enum_type(t, nullptr, f)), f, initial_value(f.kind));
        names.push_back(f.name);
    }
    for (uint32_t g = 0; g < s.group_count; ++g) {
        members += member(t.group(s.groups[g]), s.groups[g].name, s.groups[g].flags, "");
        names.push_back(s.groups[g].name);
    }
    return structure(s.name, t.record, members, names);
}

// The value of item v for field f as its member's type; table names the
// field's spec, which vokxFieldValue reads.
std::string value_from_item(const vokxFieldSpec &f, const std::string &type,
                            const std::string &table) {
    const std::string value = "detail::field_value(" + table + ", v)";
    switch (f.kind) {
    case VOKX_KIND_FLAG:
        return "v.value != 0";
    case VOKX_KIND_SIGNED:
        return "v.signed_value";
    case VOKX_KIND_STRING:
    case VOKX_KIND_UTF8:
        return "text_of(v)";
    case VOKX_KIND_ENUM:
        return "static_cast<" + type + ">(v.value)";
    case VOKX_KIND_UNSIGNED64:
        return value + ".unsigned64";
    case VOKX_KIND_SIGNED64:
        return value + ".signed64";
    case VOKX_KIND_FLOAT32:
        return value + ".float32";
    case VOKX_KIND_FLOAT64:
        return value + ".float64";
    case VOKX_KIND_TIMESTAMP:
        return type + "{std::chrono::milliseconds{" + value + ".signed64}}";
    default:
        return "v.value";
    }
}

std::string take_value(const vokxFieldSpec &f, const std::string &target, const std::string &type,
                       const std::string &table) {
    const std::string value = value_from_item(f, type, table);
    if (repeated(f.flags)) return target + f.name + ".push_back(" + value + ");";
    if (value == "text_of(v)" && !has_flag(f)) return "assign_text(" + target + f.name + ", v);";
    return target + f.name + " = " + value + ";";
}

std::string take_level(const Types &t, const vokxGroupSpec *g, const vokxFieldSpec *fields,
                       uint32_t count, const std::string &target, const std::string &table) {
    std::string out = "        switch (f.field) {\n";
    for (uint32_t i = 0; i < count; ++i)
        out += "        case " + std::to_string(i) + ":\n            " +
               take_value(fields[i], target, value_type(fields[i], enum_type(t, g, fields[i])),
                          table + "[" + std::to_string(i) + "]") +
               "\n            break;\n";
    return out + "        }\n";
}

std::string take_function(const Types &t, const vokxSchema &s, const std::string &file) {
    const std::string type = t.record;
    std::string out = "inline void take(" + type +
                      " &r, const vokxRecordField &f) {\n    const vokxItem &v = f.item;\n"
                      "    (void)v, (void)r; // unused in a record of no fields\n    if (f.field "
                      "== VOKX_RECORD_GROUP) {\n        switch (f.group) {\n";
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const std::string name = s.groups[g].name;
        out += "        case " + std::to_string(g) + ":\n            ";
        out += repeated(s.groups[g].flags)   ? "r." + name + ".emplace_back();"
               : optional(s.groups[g].flags) ? "r." + name + ".emplace();"
                                             : "(void)r;";
        out += "\n            break;\n";
    }
    out += "        }\n        return;\n    }\n    if (f.field < 0) return; // passed over\n"
           "    switch (f.group) {\n    case -1:\n" +
           take_level(t, nullptr, s.fields, s.field_count, "r.", file + "_fields") +
           "        break;\n";
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        if (group.field_count == 0) continue;
        const std::string name = group.name;
        const std::string at = repeated(group.flags)   ? "r." + name + "[f.occurrence]."
                               : optional(group.flags) ? "r." + name + "->"
                                                       : "r." + name + ".";
        out += "    case " + std::to_string(g) + ":\n" +
               take_level(t, &group, group.fields, group.field_count, at,
                          file + "_" + name + "_fields") +
               "        break;\n";
    }
    return out + "    }\n}\n\n";
}

// Empties a level's members but keeps the memory of its strings and vectors;
// a field with a default takes it.
std::string clear_level(const Types &t, const vokxGroupSpec *g, const vokxFieldSpec *fields,
                        uint32_t count) {
    std::string out;
    for (uint32_t i = 0; i < count; ++i) {
        const vokxFieldSpec &f = fields[i];
        const std::string name = std::string("r.") + f.name;
        const std::string type = value_type(f, enum_type(t, g, f));
        if (default_of(f) != nullptr)
            out += "    " + name + " = " + value_literal(f, type) + ";\n";
        else if (repeated(f.flags) || (is_text(f.kind) && !optional(f.flags)))
            out += "    " + name + ".clear();\n";
        else if (optional(f.flags))
            out += "    " + name + ".reset();\n";
        else
            out +=
                "    " + name + " = " + (f.kind == VOKX_KIND_FLAG ? "false" : type + "{}") + ";\n";
    }
    return out.empty() ? "    (void)r;\n" : out;
}

std::string clear_functions(const Types &t, const vokxSchema &s) {
    std::string out, groups;
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        out += "inline void clear(" + t.group(group) + " &r) {\n" +
               clear_level(t, &group, group.fields, group.field_count) + "}\n\n";
        const std::string name = std::string("r.") + group.name;
        groups += repeated(group.flags)   ? "    " + name + ".clear();\n"
                  : optional(group.flags) ? "    " + name + ".reset();\n"
                                          : "    clear(" + name + ");\n";
    }
    std::string top = clear_level(t, nullptr, s.fields, s.field_count);
    if (!groups.empty() && top == "    (void)r;\n") top.clear();
    return out + "inline void clear(" + t.record + " &r) {\n" + top + groups + "}\n\n";
}

// The call that writes one value of field i, named value.
std::string put_call(const vokxFieldSpec &f, uint32_t i, const std::string &value) {
    const std::string field = std::to_string(i) + ", ";
    switch (f.kind) {
    case VOKX_KIND_ENUM:
        return "w.put(" + field + "static_cast<std::uint32_t>(" + value + "));";
    case VOKX_KIND_UNSIGNED64:
    case VOKX_KIND_SIGNED64:
    case VOKX_KIND_FLOAT32:
    case VOKX_KIND_FLOAT64:
        return "w.put_value(" + field + "detail::value_of(" + value + "));";
    case VOKX_KIND_TIMESTAMP:
        return "w.put_value(" + field + "detail::value_of((" + value +
               ").time_since_epoch().count()));";
    default:
        return "w.put(" + field + value + ");";
    }
}

std::string put_level(const Types &t, const vokxGroupSpec *g, const vokxFieldSpec *fields,
                      uint32_t count, const std::string &source, const std::string &indent) {
    std::string out;
    for (uint32_t i = 0; i < count; ++i) {
        const vokxFieldSpec &f = fields[i];
        const std::string name = source + f.name;
        if (repeated(f.flags))
            out += indent + "for (const auto &value : " + name + ")\n" + indent + "    " +
                   put_call(f, i, "value") + "\n";
        else if (default_of(f) != nullptr) // left out when it holds the default
            out += indent + "if (!detail::same_bits(" + name + ", " +
                   value_literal(f, value_type(f, enum_type(t, g, f))) + ")) " +
                   put_call(f, i, name) + "\n";
        else if (optional(f.flags))
            out += indent + "if (" + name + ") " + put_call(f, i, "*" + name) + "\n";
        else
            out += indent + put_call(f, i, name) + "\n";
    }
    return out;
}

// The engine's encoding, for the records the compiled size refuses: it
// words the refusal.
std::string encode_slow(const Types &t, const vokxSchema &s) {
    const std::string type = t.record;
    std::string out = "inline vok::record_status encode_slow(const " + type +
                      " &record, std::vector<std::uint8_t> &out) {\n    detail::Writer w;\n";
    if (s.field_count == 0 && s.group_count == 0) out += "    (void)record;\n";
    out += put_level(t, nullptr, s.fields, s.field_count, "record.", "    ");
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        const std::string name = group.name, gi = std::to_string(g);
        if (repeated(group.flags))
            out += "    for (const auto &g : record." + name + ") {\n        w.group(" + gi +
                   ");\n" +
                   put_level(t, &group, group.fields, group.field_count, "g.", "        ") +
                   "        (void)g;\n    }\n";
        else if (optional(group.flags))
            out += "    if (record." + name + ") {\n        const auto &g = *record." + name +
                   ";\n        w.group(" + gi + ");\n" +
                   put_level(t, &group, group.fields, group.field_count, "g.", "        ") +
                   "        (void)g;\n    }\n";
        else
            out += "    {\n        const auto &g = record." + name + ";\n        w.group(" + gi +
                   ");\n" +
                   put_level(t, &group, group.fields, group.field_count, "g.", "        ") +
                   "        (void)g;\n    }\n";
    }
    return out + "    return w.finish(out);\n}\n\n";
}

std::string encode_functions(const Types &t, const std::string &macro) {
    const std::string type = t.record;
    return "/* Appends the record's block to out, whose memory is reused: ok(), or the\n"
           " * engine's refusal (a vector over its max, a plain string over 65,535\n"
           " * bytes) with its path, offset and message, out unchanged. */\n"
           "[[nodiscard]] inline vok::record_status encode(const " +
           type +
           " &record, std::vector<std::uint8_t> &out) {\n"
           "    const std::uint64_t body = detail::level_size(record);\n"
           "    if (body == VOK_SIZE_REFUSED || body > UINT32_MAX - 16u) return "
           "detail::encode_slow(record, out);\n"
           "    const std::size_t at = out.size();\n"
           "    out.resize(at + static_cast<std::size_t>(7u + vok_unsigned_size(" +
           macro +
           "_VERSION) + body));\n"
           "    std::uint8_t *block = out.data() + at;\n"
           "    vok_put_trailer(block, detail::level_put(record, vok_put_header(block, " +
           macro + "_TYPE, " + macro +
           "_VERSION)));\n"
           "    return vok::record_status();\n}\n\n"
           "/* The record's block, or the refusal: see encode(record, out). */\n"
           "[[nodiscard]] inline vok::record_result<std::vector<std::uint8_t>> encode(const " +
           type +
           " &record) {\n    std::vector<std::uint8_t> out;\n"
           "    vok::record_status s = encode(record, out);\n"
           "    if (!s.ok()) return {std::move(s)};\n    return {std::move(out)};\n}\n\n";
}

std::string writer_class(const std::string &upper_name) {
    return "// Writes one record through the engine; the first refusal ends it.\n"
           "class Writer {\n  public:\n    Writer() noexcept {\n"
           "        status_ = vokCreateStream(&stream_, " +
           upper_name + "_TYPE, " + upper_name +
           "_VERSION);\n"
           "        if (status_ == VOK_OK) status_ = vokxRecordBegin(&writer_, &schema, &stream_, "
           "&error_);\n    }\n"
           "    Writer(const Writer &) = delete;\n    Writer &operator=(const Writer &) = delete;\n"
           "    ~Writer() {\n        if (stream_.data != nullptr && vokCloseStream(&stream_) == "
           "VOK_OK)\n"
           "            vokDestroyStream(vokGetData(&stream_));\n    }\n"
           "    void put(std::uint32_t field, std::uint32_t value) noexcept {\n        vokxItem "
           "item{};\n"
           "        item.value = value;\n        put_item(field, item);\n    }\n"
           "    void put(std::uint32_t field, std::int32_t value) noexcept {\n        vokxItem "
           "item{};\n"
           "        item.signed_value = value;\n        put_item(field, item);\n    }\n"
           "    void put(std::uint32_t field, bool value) noexcept { put(field, "
           "std::uint32_t{value}); }\n"
           "    void put(std::uint32_t field, const std::string &text) noexcept {\n"
           "        vokxItem item{};\n        if (text.size() > UINT32_MAX) {\n            status_ "
           "= VOK_STRING_TOO_LONG;\n"
           "            return;\n        }\n        item.text = reinterpret_cast<const "
           "std::uint8_t *>(text.data());\n"
           "        item.length = static_cast<std::uint32_t>(text.size());\n        "
           "put_item(field, item);\n    }\n"
           "    void put_value(std::uint32_t field, const vokxValue &value) noexcept {\n"
           "        if (status_ == VOK_OK) status_ = vokxRecordPutValue(&writer_, field, &value, "
           "&error_);\n    }\n"
           "    void group(std::uint32_t index) noexcept {\n"
           "        if (status_ == VOK_OK) status_ = vokxRecordGroup(&writer_, index, &error_);\n  "
           "  }\n"
           "    // Appends the block to out, or says why there is none.\n"
           "    vok::record_status finish(std::vector<std::uint8_t> &out) {\n"
           "        if (status_ == VOK_OK) status_ = vokxRecordEnd(&writer_, &error_);\n"
           "        if (status_ == VOK_OK) status_ = vokCloseStream(&stream_);\n"
           "        if (status_ != VOK_OK) {\n"
           "            if (error_.status == VOK_OK) error_.status = status_;\n"
           "            return vok::record_status(error_);\n        }\n"
           "        const std::uint8_t *data = vokGetData(&stream_);\n"
           "        out.insert(out.end(), data, data + vokGetLength(&stream_));\n"
           "        return vok::record_status();\n    }\n\n"
           "  private:\n    void put_item(std::uint32_t field, const vokxItem &item) noexcept {\n"
           "        if (status_ == VOK_OK) status_ = vokxRecordPut(&writer_, field, &item, "
           "&error_);\n    }\n\n"
           "    vokStream stream_{};\n    vokxRecordWriter writer_{};\n    vokxRecordError "
           "error_{};\n"
           "    std::uint16_t status_ = VOK_OK;\n};\n\n"
           "inline std::string text_of(const vokxItem &v) {\n"
           "    return v.length == 0 ? std::string() : std::string(reinterpret_cast<const char "
           "*>(v.text), v.length);\n}\n\n"
           "inline void assign_text(std::string &s, const vokxItem &v) {\n"
           "    s.assign(reinterpret_cast<const char *>(v.text), v.length);\n}\n\n"
           "inline vokxValue field_value(const vokxFieldSpec &spec, const vokxItem &v) {\n"
           "    vokxValue value{};\n    vokxFieldValue(&spec, &v, &value); // the reader "
           "checked the carrier\n    return value;\n}\n\n"
           "inline vokxValue value_of(std::uint64_t n) {\n    vokxValue v{};\n"
           "    v.unsigned64 = n;\n    return v;\n}\n"
           "inline vokxValue value_of(std::int64_t n) {\n    vokxValue v{};\n"
           "    v.signed64 = n;\n    return v;\n}\n"
           "inline vokxValue value_of(float f) {\n    vokxValue v{};\n"
           "    v.float32 = f;\n    return v;\n}\n"
           "inline vokxValue value_of(double f) {\n    vokxValue v{};\n"
           "    v.float64 = f;\n    return v;\n}\n\n"
           "// Values compared as the block would hold them: floats by their bits.\n"
           "template <typename T> bool same_bits(const T &a, const T &b) { return a == b; }\n"
           "inline bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == "
           "0; }\n"
           "inline bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == "
           "0; }\n\n";
}

// The engine's decoding, for the blocks the compiled reader leaves to it.
std::string decode_slow(const std::string &type) {
    return "inline vok::record_status decode_slow(const std::uint8_t *bytes, std::size_t size, " +
           type +
           " &record) {\n"
           "    vokxRecordReader reader;\n    vokxRecordField f;\n    vokxRecordError e;\n"
           "    detail::clear(record);\n"
           "    const std::uint16_t opened = vokxRecordOpen(&reader, &detail::schema, bytes, "
           "size, &e);\n"
           "    std::uint16_t s = opened;\n"
           "    if (s == VOK_OK || s == VOK_OLDER_VERSION || s == VOK_NEWER_VERSION)\n"
           "        while ((s = vokxRecordNext(&reader, &f, &e)) == VOK_OK)\n"
           "            detail::take(record, f);\n"
           "    if (s == VOK_END_OF_STREAM) return vok::record_status(opened);\n"
           "    detail::clear(record);\n    return vok::record_status(e);\n}\n\n";
}

std::string decode_functions(const std::string &type) {
    return "/* Reads the record in size bytes into record, whose strings and vectors\n"
           " * keep their memory.  A success is ok(), with version_status() ok,\n"
           " * older_version or newer_version; a refusal has its status(), path(),\n"
           " * offset() and message(), and leaves record emptied. */\n"
           "[[nodiscard]] inline vok::record_status decode(const std::uint8_t *bytes, "
           "std::size_t size, " +
           type +
           " &record) {\n"
           "    std::uint16_t status = VOK_OK;\n"
           "    if (detail::read_plain(bytes, size, record, &status)) return "
           "vok::record_status(status);\n"
           "    return detail::decode_slow(bytes, size, record);\n}\n\n"
           "/* The record in size bytes, or the refusal: see decode(bytes, size, record). */\n"
           "[[nodiscard]] inline vok::record_result<" +
           type + "> decode(const std::uint8_t *bytes, std::size_t size) {\n    " + type +
           " record;\n    vok::record_status s = decode(bytes, size, record);\n"
           "    if (!s.ok()) return {std::move(s)};\n"
           "    return {std::move(record), static_cast<std::uint16_t>(s.status())};\n}\n\n"
           "#if __cplusplus >= 202002L\n"
           "[[nodiscard]] inline vok::record_result<" +
           type +
           "> decode(std::span<const std::uint8_t> bytes) {\n"
           "    return decode(bytes.data(), bytes.size());\n}\n#endif\n";
}

std::string codec(const Types &t, const vokxSchema &s, const std::string &macro) {
    const CodecNames names{
        Language::cpp,
        "",
        macro,
        [&t](const vokxGroupSpec *g) { return g == nullptr ? t.record : t.group(*g); },
        [&t](const vokxGroupSpec *g, const vokxFieldSpec &f) { return enum_type(t, g, f); },
        nullptr};
    return codec_functions(names, s);
}

// The standard library's names and vok32's, fully qualified in the output,
// so that nothing the schema names (a type, a namespace) can hide them.
std::string qualify_library_names(const std::string &text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t i = 0; i < text.size(); ++i) {
        const bool starts_name =
            i == 0 || !(std::isalnum(static_cast<unsigned char>(text[i - 1])) ||
                        text[i - 1] == '_' || text[i - 1] == ':');
        if (starts_name && (text.compare(i, 5, "std::") == 0 || text.compare(i, 5, "vok::") == 0))
            out += "::";
        out += text[i];
    }
    return out;
}

} // namespace

bool generate_cpp(const vokxSchema &s, const CodegenOptions &options,
                  std::vector<GeneratedFile> &files, std::string &error) {
    if (!check_names(s, Language::cpp, options.name_space, error)) return false;
    const std::string file = lower(s.name), macro = upper(s.name);
    const std::string ns = namespace_of(s, options.name_space);
    const Types t{"::" + ns + "::", "::" + ns + "::" + s.name};
    std::string out = "#pragma once\n\n#include <chrono>\n#include <cstddef>\n#include <cstdint>\n"
                      "#include <cstring>\n#include <limits>\n"
                      "#include <optional>\n#include <string>\n#include <vector>\n"
                      "#if __cplusplus >= 202002L\n#include <span>\n#endif\n\n"
                      "#include \"vok32.hpp\"\n#include \"vok32_items.h\"\n#include \"vok32x.h\"\n"
                      "#include \"vok32x.hpp\"\n\n";
    out += "#ifndef " + macro + "_TYPE\n#define " + macro + "_TYPE " + std::to_string(s.type) +
           "\n#define " + macro + "_VERSION " + std::to_string(s.version) +
           "u\n#endif\n\nnamespace " + ns + " {\n\n";
    out += "namespace detail {\n\n// A NaN default by its bits, which no literal keeps.\n"
           "inline float float32_of(std::uint32_t bits) {\n    float f;\n"
           "    std::memcpy(&f, &bits, sizeof f);\n    return f;\n}\n"
           "inline double float64_of(std::uint64_t bits) {\n    double d;\n"
           "    std::memcpy(&d, &bits, sizeof d);\n    return d;\n}\n\n} // namespace detail\n\n";
    out += enum_classes(t, nullptr, s.fields, s.field_count);
    for (uint32_t g = 0; g < s.group_count; ++g)
        out += enum_classes(t, &s.groups[g], s.groups[g].fields, s.groups[g].field_count);
    for (uint32_t g = 0; g < s.group_count; ++g)
        out += group_struct(t, s.groups[g]);
    out += record_struct(t, s);
    out += "namespace detail {\n\n" +
           schema_tables(s, file + "_", "inline constexpr ", "inline constexpr ", "schema") + "\n" +
           writer_class(macro) + clear_functions(t, s) + take_function(t, s, file) +
           codec(t, s, macro) + encode_slow(t, s) + decode_slow(t.record) +
           "} // namespace detail\n\n";
    out +=
        encode_functions(t, macro) + decode_functions(t.record) + "\n} // namespace " + ns + "\n";
    files = {{file + ".vok.hpp", banner(options, "//", "") + qualify_library_names(out)}};
    return true;
}

} // namespace vok::tool
