#include <algorithm>
#include <cctype>
#include <set>

#include "codegen.hpp"

namespace vok::tool::codegen {

namespace {

// Reserved in C99, C11, C++17 or C++20, and the names generated code uses.
const std::set<std::string> kReserved = {"alignas",
                                         "alignof",
                                         "and",
                                         "and_eq",
                                         "asm",
                                         "auto",
                                         "bitand",
                                         "bitor",
                                         "bool",
                                         "break",
                                         "case",
                                         "catch",
                                         "char",
                                         "char8_t",
                                         "char16_t",
                                         "char32_t",
                                         "class",
                                         "compl",
                                         "concept",
                                         "const",
                                         "consteval",
                                         "constexpr",
                                         "constinit",
                                         "const_cast",
                                         "continue",
                                         "co_await",
                                         "co_return",
                                         "co_yield",
                                         "decltype",
                                         "default",
                                         "delete",
                                         "do",
                                         "double",
                                         "dynamic_cast",
                                         "else",
                                         "enum",
                                         "explicit",
                                         "export",
                                         "extern",
                                         "false",
                                         "float",
                                         "for",
                                         "friend",
                                         "goto",
                                         "if",
                                         "inline",
                                         "int",
                                         "long",
                                         "mutable",
                                         "namespace",
                                         "new",
                                         "noexcept",
                                         "not",
                                         "not_eq",
                                         "nullptr",
                                         "operator",
                                         "or",
                                         "or_eq",
                                         "private",
                                         "protected",
                                         "public",
                                         "register",
                                         "reinterpret_cast",
                                         "requires",
                                         "restrict",
                                         "return",
                                         "short",
                                         "signed",
                                         "sizeof",
                                         "static",
                                         "static_assert",
                                         "static_cast",
                                         "struct",
                                         "switch",
                                         "template",
                                         "this",
                                         "thread_local",
                                         "throw",
                                         "true",
                                         "try",
                                         "typedef",
                                         "typeid",
                                         "typename",
                                         "union",
                                         "unsigned",
                                         "using",
                                         "virtual",
                                         "void",
                                         "volatile",
                                         "wchar_t",
                                         "while",
                                         "xor",
                                         "xor_eq",
                                         "_Alignas",
                                         "_Alignof",
                                         "_Atomic",
                                         "_Bool",
                                         "_Complex",
                                         "_Generic",
                                         "_Imaginary",
                                         "_Noreturn",
                                         "_Static_assert",
                                         "_Thread_local",
                                         "NULL",
                                         "errno",
                                         "assert",
                                         "encode",
                                         "decode",
                                         "detail",
                                         "std",
                                         "vok",
                                         "vokx"};

std::string member_clash(const std::set<std::string> &names, const std::string &name,
                         const std::string &place) {
    return names.count(name) != 0 ? place + ": \"" + name + "\" collides with a generated name"
                                  : std::string();
}

// The members a level generates: each field's own, and has_X or X_count.
std::string check_level(const vokxFieldSpec *fields, uint32_t count, const vokxGroupSpec *groups,
                        uint32_t group_count, const std::string &prefix) {
    std::set<std::string> names, generated;
    for (uint32_t i = 0; i < count; ++i) {
        names.insert(fields[i].name);
        if (repeated(fields[i].flags)) generated.insert(std::string(fields[i].name) + "_count");
        if (optional(fields[i].flags)) generated.insert(std::string("has_") + fields[i].name);
    }
    for (uint32_t g = 0; g < group_count; ++g) {
        names.insert(groups[g].name);
        if (repeated(groups[g].flags)) generated.insert(std::string(groups[g].name) + "_count");
        if (optional(groups[g].flags)) generated.insert(std::string("has_") + groups[g].name);
    }
    for (uint32_t i = 0; i < count; ++i) {
        const std::string place = prefix + "fields[" + std::to_string(i) + "].name";
        if (kReserved.count(fields[i].name) != 0)
            return place + ": \"" + fields[i].name + "\" is a keyword of C or C++";
        if (std::string clash = member_clash(generated, fields[i].name, place); !clash.empty())
            return clash;
    }
    for (uint32_t g = 0; g < group_count; ++g) {
        const std::string place = "groups[" + std::to_string(g) + "].name";
        if (kReserved.count(groups[g].name) != 0)
            return place + ": \"" + groups[g].name + "\" is a keyword of C or C++";
        if (std::string clash = member_clash(generated, groups[g].name, place); !clash.empty())
            return clash;
    }
    return {};
}

} // namespace

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool repeated(uint32_t flags) { return (flags & VOKX_REPEATED) != 0; }
bool optional(uint32_t flags) { return (flags & VOKX_OPTIONAL) != 0; }

bool check_names(const vokxSchema &s, std::string &error) {
    if (kReserved.count(s.name) != 0) {
        error = std::string("name: \"") + s.name + "\" is a keyword of C or C++";
        return false;
    }
    error = check_level(s.fields, s.field_count, s.groups, s.group_count, "");
    for (uint32_t g = 0; g < s.group_count && error.empty(); ++g)
        error = check_level(s.groups[g].fields, s.groups[g].field_count, nullptr, 0,
                            "groups[" + std::to_string(g) + "].");
    return error.empty();
}

std::string banner(const CodegenOptions &options, const char *start, const char *end) {
    return std::string(start) + " Generated by vok " + vokxVersion() + " from " +
           options.schema_file + ": do not edit; run vok gen again instead. " + end + "\n";
}

namespace {

std::string field_table(const vokxFieldSpec *fields, uint32_t count, const std::string &name,
                        const std::string &qualifier) {
    if (count == 0) return {};
    std::string out = qualifier + "vokxFieldSpec " + name + "[] = {\n";
    for (uint32_t i = 0; i < count; ++i) {
        const vokxFieldSpec &f = fields[i];
        out += "    {\"" + std::string(f.name) + "\", " + std::to_string(f.mark) + ", " +
               std::to_string(f.kind) + ", " + std::to_string(f.flags) + ", " +
               std::to_string(f.max) + "},\n";
    }
    return out + "};\n";
}

} // namespace

std::string schema_tables(const vokxSchema &s, const std::string &prefix,
                          const std::string &qualifier, const std::string &schema_qualifier,
                          const std::string &schema_name) {
    std::string out = field_table(s.fields, s.field_count, prefix + "fields", qualifier);
    for (uint32_t g = 0; g < s.group_count; ++g)
        out += field_table(s.groups[g].fields, s.groups[g].field_count,
                           prefix + s.groups[g].name + "_fields", qualifier);
    if (s.group_count != 0) {
        out += qualifier + "vokxGroupSpec " + prefix + "groups[] = {\n";
        for (uint32_t g = 0; g < s.group_count; ++g) {
            const vokxGroupSpec &group = s.groups[g];
            out += "    {\"" + std::string(group.name) + "\", " + std::to_string(group.phrase) +
                   ", " + std::to_string(group.flags) + ", " + std::to_string(group.max) + ", " +
                   (group.field_count != 0 ? prefix + group.name + "_fields" : "NULL") + ", " +
                   std::to_string(group.field_count) + "},\n";
        }
        out += "};\n";
    }
    return out + schema_qualifier + "vokxSchema " + schema_name + " = {\"" + s.name + "\", " +
           std::to_string(s.type) + ", " + std::to_string(s.version) + "u, " +
           (s.field_count != 0 ? prefix + "fields" : "NULL") + ", " +
           std::to_string(s.field_count) + ", " +
           (s.group_count != 0 ? prefix + "groups" : "NULL") + ", " +
           std::to_string(s.group_count) + "};\n";
}

} // namespace vok::tool::codegen
