// The names generated code may use.  A schema's names become struct
// members, struct types (the schema's, and Schema_group for each group) and,
// in C++, a namespace; the generator adds has_X and X_count members, the
// functions Schema_write/_encode/_decode and Schema_schema (C), encode,
// decode and detail (C++), the macros SCHEMA_TYPE, SCHEMA_VERSION and
// SCHEMA_VOK_H, and for an enum field the constants Type_field_NAME (C) or
// the enum class Type_field (C++), Type being its level's struct.  The C++ refers to every type by
// its qualified name, so a member cannot hide one.  What remains is refused here, before anything
// is written, with the schema path of the name and the clash.
#include <set>
#include <string_view>

#include "codegen.hpp"

namespace vok::tool::codegen {

namespace {

// Keywords of C99, C11, C17, C++17 and C++20, and the alternative tokens.
const std::set<std::string, std::less<>> kKeywords = {"alignas",
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
                                                      "_Thread_local"};

// Namespaces a generated one must not be, or enter: the standard library's,
// the one reserved for its future, and vok32's.
const std::set<std::string, std::less<>> kForeignNamespaces = {"std", "posix", "vok"};

// The names generated beside Schema (C: Schema_layout is a static table) and
// in the namespace (C++).
const char *const kCFunctions[] = {"schema", "write",        "encode",   "decode",
                                   "layout", "encoded_size", "encode_to"};
const char *const kCppNamespaceMembers[] = {"encode", "decode", "detail"};
// The parameters and locals of the C functions, which a type of the same
// name would meet in their scope.
const char *const kCLocals[] = {
    "record", "stream", "out",  "bytes",  "size",   "error",    "s",      "inactive",
    "none",   "r",      "p",    "end",    "v",      "t",        "i",      "k",
    "n",      "seen",   "once", "status", "buffer", "capacity", "length", "short_buffer",
    "body"};

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Why a name may not be an identifier of generated code at all, or "".
std::string unusable(const std::string &name) {
    if (kKeywords.count(name) != 0) return "is a keyword of C or C++";
    if (name[0] == '_' || name.find("__") != std::string::npos)
        return "is reserved in C and C++ (a leading underscore or a double one)";
    if (is_header_macro(name) || starts_with(name, "VOK"))
        return "is a macro of the headers the generated code includes";
    // Types of the headers; included from C++, the C header's members would
    // hide them.
    if (name.size() >= 2 && name.compare(name.size() - 2, 2, "_t") == 0)
        return "ends in _t, which the C headers keep for their types";
    if (name == "vokxText") return "is a type the generated structs use";
    return {};
}

class Checker {
  public:
    Checker(const vokxSchema &s, Language language) : s_(s), language_(language) {
        const std::string macro = upper(s.name);
        generated_macros_ = {macro + "_TYPE", macro + "_VERSION", macro + "_VOK_H"};
    }

    // First refusal found, or "".
    std::string run(const std::string &name_space) {
        if (std::string why = name("name", s_.name); !why.empty()) return why;
        if (std::string why = schema_name(); !why.empty()) return why;
        if (language_ == Language::cpp)
            if (std::string why = namespace_name(name_space); !why.empty()) return why;
        if (std::string why = level("", s_.name, s_.fields, s_.field_count, true); !why.empty())
            return why;
        for (uint32_t g = 0; g < s_.group_count; ++g) {
            const std::string at = "groups[" + std::to_string(g) + "].";
            const std::string type = std::string(s_.name) + "_" + s_.groups[g].name;
            if (std::string why = group_name(at + "name", s_.groups[g].name); !why.empty())
                return why;
            if (std::string why =
                    level(at, type, s_.groups[g].fields, s_.groups[g].field_count, false);
                !why.empty())
                return why;
        }
        if (std::string why = enumerations("", s_.name, s_.fields, s_.field_count); !why.empty())
            return why;
        for (uint32_t g = 0; g < s_.group_count; ++g)
            if (std::string why = enumerations("groups[" + std::to_string(g) + "].",
                                               std::string(s_.name) + "_" + s_.groups[g].name,
                                               s_.groups[g].fields, s_.groups[g].field_count);
                !why.empty())
                return why;
        return {};
    }

  private:
    static std::string refusal(const std::string &path, const std::string &name,
                               const std::string &why) {
        return path + ": \"" + name + "\" " + why;
    }

    // Any identifier the code will hold: the name itself, or one made of it.
    std::string name(const std::string &path, const std::string &identifier,
                     const std::string &made_from = {}) const {
        const std::string &shown = made_from.empty() ? identifier : made_from;
        const std::string made = made_from.empty() ? "" : "makes " + identifier + ", which ";
        if (std::string why = unusable(identifier); !why.empty())
            return refusal(path, shown, made + why);
        if (generated_macros_.count(identifier) != 0)
            return refusal(path, shown, made + "collides with the generated macro " + identifier);
        return {};
    }

    std::string schema_name() const {
        const std::string n = s_.name;
        if (lower(n.substr(0, 3)) == "vok")
            return refusal("name", n, "begins with vok, which vok32 keeps for its own types");
        if (kForeignNamespaces.count(n) != 0) // the C header is read by C++ too
            return refusal("name", n, "is a namespace of C++");
        if (language_ == Language::cpp)
            for (const char *member : kCppNamespaceMembers)
                if (n == member) return refusal("name", n, "collides with the generated " + n);
        if (language_ == Language::c)
            for (const char *local : kCLocals)
                if (n == local)
                    return refusal("name", n, "is a parameter of the generated functions");
        return {};
    }

    std::string namespace_name(const std::string &given) const {
        const std::string ns = namespace_of(s_, given);
        const std::string path = given.empty() ? "name" : "--namespace";
        const std::string shown = given.empty() ? s_.name : given;
        size_t start = 0;
        for (;;) {
            const size_t end = ns.find("::", start);
            const std::string part = ns.substr(start, end - start);
            if (part.empty() || !valid_identifier(part))
                return refusal(path, shown, "is not a C++ namespace name");
            if (std::string why = name(path, part, given.empty() ? shown : ""); !why.empty())
                return why;
            if (kForeignNamespaces.count(part) != 0)
                return refusal(path, shown,
                               "puts the code into namespace " + part +
                                   ", which is not ours; choose one with --namespace");
            if (end == std::string::npos) return {};
            start = end + 2;
        }
    }

    std::string group_name(const std::string &path, const std::string &group) const {
        if (std::string why = name(path, group); !why.empty()) return why;
        const std::string type = std::string(s_.name) + "_" + group;
        if (std::string why = name(path, type, group); !why.empty()) return why;
        if (language_ == Language::c)
            for (const char *function : kCFunctions)
                if (group == function)
                    return refusal(path, group,
                                   "makes the type " + type +
                                       ", which collides with the generated " + type);
        return {};
    }

    // The members of one struct: each field's (and, at the top, each
    // group's) own, with has_X or X_count beside it.
    std::string level(const std::string &prefix, const std::string &type,
                      const vokxFieldSpec *fields, uint32_t count, bool top) const {
        std::set<std::string> members, generated;
        const auto add = [&](const char *member, uint32_t flags) {
            members.insert(member);
            if (repeated(flags)) generated.insert(std::string(member) + "_count");
            if (optional(flags)) generated.insert(std::string("has_") + member);
        };
        for (uint32_t i = 0; i < count; ++i)
            add(fields[i].name, fields[i].flags);
        for (uint32_t g = 0; top && g < s_.group_count; ++g)
            add(s_.groups[g].name, s_.groups[g].flags);
        for (uint32_t i = 0; i < count; ++i) {
            const std::string path = prefix + "fields[" + std::to_string(i) + "].name";
            if (std::string why = member(path, fields[i].name, fields[i].flags, type, generated);
                !why.empty())
                return why;
        }
        for (uint32_t g = 0; top && g < s_.group_count; ++g) {
            const std::string path = "groups[" + std::to_string(g) + "].name";
            if (std::string why =
                    member(path, s_.groups[g].name, s_.groups[g].flags, type, generated);
                !why.empty())
                return why;
        }
        return {};
    }

    std::string member(const std::string &path, const std::string &n, uint32_t flags,
                       const std::string &type, const std::set<std::string> &generated) const {
        if (std::string why = name(path, n); !why.empty()) return why;
        if (generated.count(n) != 0) return refusal(path, n, "collides with a generated member");
        const std::string made = repeated(flags)   ? n + "_count"
                                 : optional(flags) ? "has_" + n
                                                   : std::string();
        if (!made.empty())
            if (std::string why = name(path, made, n); !why.empty()) return why;
        if (language_ == Language::cpp && n == type)
            return refusal(path, n, "is the name of its struct, which C++ does not allow");
        return {};
    }

    // The names an enum field makes: in C a constant Type_field_NAME per
    // value, in C++ the enum class Type_field and its NAMEs; type is the
    // level's struct.  Each must be usable and none may be another
    // generated name.
    std::string enumerations(const std::string &prefix, const std::string &type,
                             const vokxFieldSpec *fields, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            const vokxFieldDetail *d = fields[i].detail;
            if (fields[i].kind != VOKX_KIND_ENUM) continue;
            const std::string path = prefix + "fields[" + std::to_string(i) + "]";
            const std::string made = type + "_" + fields[i].name;
            if (language_ == Language::cpp)
                if (std::string why = unique(path + ".name", made, fields[i].name); !why.empty())
                    return why;
            for (uint32_t k = 0; d != nullptr && k < d->value_count; ++k) {
                const std::string value = d->values[k].name;
                const std::string where = path + ".values";
                if (language_ == Language::cpp) {
                    if (std::string why = name(where, value); !why.empty()) return why;
                } else if (std::string why = unique(where, made + "_" + value, value);
                           !why.empty()) {
                    return why;
                }
            }
        }
        return {};
    }

    // A name generated at file (C) or namespace (C++) scope: usable, and
    // none of the others.
    std::string unique(const std::string &path, const std::string &made, const std::string &from) {
        if (globals_.empty()) {
            const std::string record = s_.name;
            globals_ = {record};
            for (uint32_t g = 0; g < s_.group_count; ++g)
                globals_.insert(record + "_" + s_.groups[g].name);
            for (const char *function : kCFunctions)
                globals_.insert(record + "_" + function);
        }
        if (std::string why = name(path, made, from); !why.empty()) return why;
        if (!globals_.insert(made).second)
            return refusal(path, from, "makes " + made + ", which another generated name is");
        return {};
    }

    static bool valid_identifier(const std::string &text) {
        const auto letter = [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        };
        if (text.empty() || !letter(text[0])) return false;
        for (const char c : text)
            if (!letter(c) && !(c >= '0' && c <= '9')) return false;
        return true;
    }

    const vokxSchema &s_;
    Language language_;
    std::set<std::string> generated_macros_;
    std::set<std::string> globals_; // at file or namespace scope, once asked for
};

} // namespace

std::string namespace_of(const vokxSchema &schema, const std::string &name_space) {
    return name_space.empty() ? lower(schema.name) : name_space;
}

bool check_names(const vokxSchema &schema, Language language, const std::string &name_space,
                 std::string &error) {
    error = Checker(schema, language).run(name_space);
    return error.empty();
}

} // namespace vok::tool::codegen
