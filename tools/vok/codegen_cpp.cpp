// C++ for a schema, header-only: owning structs (std::string, std::optional,
// std::vector) and encode/decode on the records engine.  Nothing throws
// unless the caller asks a failed result for its value().
#include <cctype>

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

std::string value_type(uint32_t kind) {
    switch (kind) {
    case VOKX_CLASS_FLAG:
        return "bool";
    case VOKX_CLASS_SIGNED:
        return "std::int32_t";
    case VOKX_CLASS_STRING:
    case VOKX_CLASS_UTF8:
        return "std::string";
    default:
        return "std::uint32_t";
    }
}

std::string member(const std::string &type, const std::string &name, uint32_t flags,
                   const std::string &initial) {
    if (repeated(flags)) return "    std::vector<" + type + "> " + name + ";\n";
    if (optional(flags)) return "    std::optional<" + type + "> " + name + ";\n";
    return "    " + type + " " + name + initial + ";\n";
}

std::string initial_value(uint32_t kind) {
    if (kind == VOKX_CLASS_FLAG) return " = false";
    if (kind == VOKX_CLASS_STRING || kind == VOKX_CLASS_UTF8) return "";
    return " = 0";
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
        members += member(value_type(f.kind), f.name, f.flags, initial_value(f.kind));
        names.push_back(f.name);
    }
    return structure(t.group_name(g), t.group(g), members, names);
}

std::string record_struct(const Types &t, const vokxSchema &s) {
    std::string members;
    std::vector<std::string> names;
    for (uint32_t i = 0; i < s.field_count; ++i) {
        const vokxFieldSpec &f = s.fields[i];
        members += member(value_type(f.kind), f.name, f.flags, initial_value(f.kind));
        names.push_back(f.name);
    }
    for (uint32_t g = 0; g < s.group_count; ++g) {
        members += member(t.group(s.groups[g]), s.groups[g].name, s.groups[g].flags, "");
        names.push_back(s.groups[g].name);
    }
    return structure(s.name, t.record, members, names);
}

std::string take_value(const vokxFieldSpec &f, const std::string &target) {
    const std::string value = f.kind == VOKX_CLASS_FLAG     ? "v.value != 0"
                              : f.kind == VOKX_CLASS_SIGNED ? "v.signed_value"
                              : f.kind == VOKX_CLASS_STRING || f.kind == VOKX_CLASS_UTF8
                                  ? "text_of(v)"
                                  : "v.value";
    if (repeated(f.flags)) return target + f.name + ".push_back(" + value + ");";
    if (value == "text_of(v)" && !optional(f.flags))
        return "assign_text(" + target + f.name + ", v);";
    return target + f.name + " = " + value + ";";
}

std::string take_level(const vokxFieldSpec *fields, uint32_t count, const std::string &target) {
    std::string out = "        switch (f.field) {\n";
    for (uint32_t i = 0; i < count; ++i)
        out += "        case " + std::to_string(i) + ":\n            " +
               take_value(fields[i], target) + "\n            break;\n";
    return out + "        }\n";
}

std::string take_function(const std::string &type, const vokxSchema &s) { // type: qualified
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
           take_level(s.fields, s.field_count, "r.") + "        break;\n";
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        if (group.field_count == 0) continue;
        const std::string name = group.name;
        const std::string at = repeated(group.flags)   ? "r." + name + "[f.occurrence]."
                               : optional(group.flags) ? "r." + name + "->"
                                                       : "r." + name + ".";
        out += "    case " + std::to_string(g) + ":\n" +
               take_level(group.fields, group.field_count, at) + "        break;\n";
    }
    return out + "    }\n}\n\n";
}

// Empties a level's members but keeps the memory of its strings and vectors.
std::string clear_level(const vokxFieldSpec *fields, uint32_t count) {
    std::string out;
    for (uint32_t i = 0; i < count; ++i) {
        const vokxFieldSpec &f = fields[i];
        const bool text = f.kind == VOKX_CLASS_STRING || f.kind == VOKX_CLASS_UTF8;
        const std::string name = std::string("r.") + f.name;
        if (repeated(f.flags) || (text && !optional(f.flags)))
            out += "    " + name + ".clear();\n";
        else if (optional(f.flags))
            out += "    " + name + ".reset();\n";
        else
            out += "    " + name + " = " + (f.kind == VOKX_CLASS_FLAG ? "false" : "0") + ";\n";
    }
    return out.empty() ? "    (void)r;\n" : out;
}

std::string clear_functions(const Types &t, const vokxSchema &s) {
    std::string out, groups;
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        out += "inline void clear(" + t.group(group) + " &r) {\n" +
               clear_level(group.fields, group.field_count) + "}\n\n";
        const std::string name = std::string("r.") + group.name;
        groups += repeated(group.flags)   ? "    " + name + ".clear();\n"
                  : optional(group.flags) ? "    " + name + ".reset();\n"
                                          : "    clear(" + name + ");\n";
    }
    std::string top = clear_level(s.fields, s.field_count);
    if (!groups.empty() && top == "    (void)r;\n") top.clear();
    return out + "inline void clear(" + t.record + " &r) {\n" + top + groups + "}\n\n";
}

std::string put_level(const vokxFieldSpec *fields, uint32_t count, const std::string &source,
                      const std::string &indent) {
    std::string out;
    for (uint32_t i = 0; i < count; ++i) {
        const vokxFieldSpec &f = fields[i];
        const std::string name = source + f.name;
        const std::string call = "w.put(" + std::to_string(i) + ", ";
        if (repeated(f.flags))
            out += indent + "for (const auto &value : " + name + ")\n" + indent + "    " + call +
                   "value);\n";
        else if (optional(f.flags))
            out += indent + "if (" + name + ") " + call + "*" + name + ");\n";
        else
            out += indent + call + name + ");\n";
    }
    return out;
}

std::string encode_function(const std::string &type, const vokxSchema &s) {
    std::string out = "/* The record's block; empty when the engine refuses it (a vector over its\n"
                      " * max, a plain string over 65,535 bytes) or memory runs out. */\n"
                      "[[nodiscard]] inline std::vector<std::uint8_t> encode(const " +
                      type + " &record) {\n    detail::Writer w;\n";
    if (s.field_count == 0 && s.group_count == 0) out += "    (void)record;\n";
    out += put_level(s.fields, s.field_count, "record.", "    ");
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        const std::string name = group.name, gi = std::to_string(g);
        if (repeated(group.flags))
            out += "    for (const auto &g : record." + name + ") {\n        w.group(" + gi +
                   ");\n" + put_level(group.fields, group.field_count, "g.", "        ") +
                   "        (void)g;\n    }\n";
        else if (optional(group.flags))
            out += "    if (record." + name + ") {\n        const auto &g = *record." + name +
                   ";\n        w.group(" + gi + ");\n" +
                   put_level(group.fields, group.field_count, "g.", "        ") +
                   "        (void)g;\n    }\n";
        else
            out += "    {\n        const auto &g = record." + name + ";\n        w.group(" + gi +
                   ");\n" + put_level(group.fields, group.field_count, "g.", "        ") +
                   "        (void)g;\n    }\n";
    }
    return out + "    return w.finish();\n}\n\n";
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
           "    void group(std::uint32_t index) noexcept {\n"
           "        if (status_ == VOK_OK) status_ = vokxRecordGroup(&writer_, index, &error_);\n  "
           "  }\n"
           "    std::vector<std::uint8_t> finish() {\n        if (status_ == VOK_OK) status_ = "
           "vokxRecordEnd(&writer_, &error_);\n"
           "        if (status_ == VOK_OK) status_ = vokCloseStream(&stream_);\n        if "
           "(status_ != VOK_OK) return {};\n"
           "        const std::uint8_t *data = vokGetData(&stream_);\n"
           "        return std::vector<std::uint8_t>(data, data + vokGetLength(&stream_));\n    "
           "}\n\n"
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
           "    s.assign(reinterpret_cast<const char *>(v.text), v.length);\n}\n\n";
}

std::string decode_functions(const std::string &type) {
    return "/* The record in size bytes, into record, whose strings and vectors keep\n"
           " * their memory: VOK_OK, VOK_OLDER_VERSION or VOK_NEWER_VERSION, or the\n"
           " * engine's refusal with record emptied. */\n"
           "[[nodiscard]] inline vok::status decode(const std::uint8_t *bytes, std::size_t size, " +
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
           "    if (s == VOK_END_OF_STREAM) return static_cast<vok::status>(opened);\n"
           "    detail::clear(record);\n    return static_cast<vok::status>(s);\n}\n\n"
           "/* The record in size bytes, or the engine's refusal as the result's status\n"
           " * (an older or newer version reads as a value). */\n"
           "[[nodiscard]] inline vok::result<" +
           type + "> decode(const std::uint8_t *bytes, std::size_t size) {\n    " + type +
           " record;\n    const vok::status s = decode(bytes, size, record);\n"
           "    if (s != vok::status::ok && s != vok::status::older_version && s != "
           "vok::status::newer_version)\n"
           "        return vok::result<" +
           type +
           ">(s);\n"
           "    return record;\n}\n\n#if __cplusplus >= 202002L\n"
           "[[nodiscard]] inline vok::result<" +
           type +
           "> decode(std::span<const std::uint8_t> bytes) {\n"
           "    return decode(bytes.data(), bytes.size());\n}\n#endif\n";
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
    std::string out = "#pragma once\n\n#include <cstddef>\n#include <cstdint>\n"
                      "#include <optional>\n#include <string>\n#include <vector>\n"
                      "#if __cplusplus >= 202002L\n#include <span>\n#endif\n\n"
                      "#include \"vok32.hpp\"\n#include \"vok32x.h\"\n\n";
    out += "#ifndef " + macro + "_TYPE\n#define " + macro + "_TYPE " + std::to_string(s.type) +
           "\n#define " + macro + "_VERSION " + std::to_string(s.version) +
           "u\n#endif\n\nnamespace " + ns + " {\n\n";
    for (uint32_t g = 0; g < s.group_count; ++g)
        out += group_struct(t, s.groups[g]);
    out += record_struct(t, s);
    out += "namespace detail {\n\n" +
           schema_tables(s, file + "_", "inline constexpr ", "inline constexpr ", "schema") + "\n" +
           writer_class(macro) + clear_functions(t, s) + take_function(t.record, s) +
           "} // namespace detail\n\n";
    out +=
        encode_function(t.record, s) + decode_functions(t.record) + "\n} // namespace " + ns + "\n";
    files = {{file + ".vok.hpp", banner(options, "//", "") + qualify_library_names(out)}};
    return true;
}

} // namespace vok::tool
