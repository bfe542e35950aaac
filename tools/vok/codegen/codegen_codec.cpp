// The compiled codec of generated C and C++: for each level of a schema (the
// record, each group), the exact size of its items, a writer of them and a
// reader of blocks in the form writers make, as straight-line code over the
// inline item functions of vok32_items.h.
//
// The codec decides nothing the engine has not decided the same way: the
// size function answers "refused" for any record the engine would refuse
// (a count above max, a string too long, text without bytes), and the reader
// gives up on anything but a block it can read to the end without a doubt
// (an unknown mark or phrase, an item of another kind, a field twice, a
// required one missing, a count above max).  Generated code then hands the
// record or the block to the engine, which refuses it with the status, path
// and offset the model expects, or reads what the codec would not.  So the
// rules stay in one place, and the tests hold the codec to the engine on
// every vector and every block of the model.
#include <cstdio>
#include <cstring>
#include <vector>

#include "codegen.hpp"

namespace vok::tool::codegen {

namespace {

bool is_c(const CodecNames &n) { return n.language == Language::c; }

// The member of field f in the struct that expression r names (a pointer in
// C, a reference in C++).
std::string member(const CodecNames &n, const std::string &r, const vokxFieldSpec &f) {
    return r + (is_c(n) ? "->" : ".") + f.name;
}

// A field's one value (not an element of a repeated one) as an expression
// of its member's type.
std::string single_value(const CodecNames &n, const std::string &r, const vokxFieldSpec &f) {
    const std::string m = member(n, r, f);
    return !is_c(n) && has_flag(f) ? "(*" + m + ")" : m;
}

std::string count_of(const CodecNames &n, const std::string &r, const vokxFieldSpec &f) {
    return is_c(n) ? member(n, r, f) + "_count" : member(n, r, f) + ".size()";
}

std::string present(const CodecNames &n, const std::string &r, const vokxFieldSpec &f) {
    return is_c(n) ? r + "->has_" + f.name : member(n, r, f) + ".has_value()";
}

// A value of the member's type as the number the item carries.
std::string wire(const CodecNames &n, const vokxFieldSpec &f, const std::string &value) {
    if (is_c(n)) return value;
    if (f.kind == VOKX_KIND_ENUM) return "static_cast<std::uint32_t>(" + value + ")";
    if (f.kind == VOKX_KIND_TIMESTAMP) return value + ".time_since_epoch().count()";
    return value;
}

std::string text_data(const CodecNames &n, const std::string &value) {
    return is_c(n) ? value + ".data"
                   : "reinterpret_cast<const std::uint8_t *>(" + value + ".data())";
}

std::string text_length(const CodecNames &n, const std::string &value) {
    return is_c(n) ? value + ".length" : value + ".size()";
}

const char *string_form(uint32_t kind) {
    return kind == VOKX_KIND_UTF8 ? "VOK_STRING_UTF8" : "VOK_STRING_PLAIN";
}

// The bytes of one value item, for the size functions: statements that add
// to n, or give up when the engine would refuse the value.
std::string value_size(const CodecNames &n, const vokxFieldSpec &f, const std::string &value,
                       const std::string &indent) {
    const std::string v = wire(n, f, value);
    switch (f.kind) {
    case VOKX_KIND_FLAG:
        return indent + "n += 3;\n";
    case VOKX_KIND_UNSIGNED:
    case VOKX_KIND_ENUM:
        return indent + "n += 1u + vok_unsigned_size(" + v + ");\n";
    case VOKX_KIND_SIGNED:
        return indent + "n += 1u + vok_signed_size(" + v + ");\n";
    case VOKX_KIND_UNSIGNED64:
        return indent + "n += 1u + vok_u64_size(" + v + ");\n";
    case VOKX_KIND_SIGNED64:
    case VOKX_KIND_TIMESTAMP:
        return indent + "n += 1u + vok_s64_size(" + v + ");\n";
    case VOKX_KIND_FLOAT32:
        return indent + "n += 7;\n";
    case VOKX_KIND_FLOAT64:
        return indent + "n += 11;\n";
    case VOKX_KIND_SAFE:
        return indent + "if (" + v + " > 65535u) return VOK_SIZE_REFUSED;\n" + indent +
               "n += 1u + vok_string_head_size(" + v + ");\n";
    default: { // string, utf8
        const std::string length = text_length(n, value);
        std::string refused;
        if (f.kind == VOKX_KIND_STRING)
            refused = length + " > 65535u";
        else if (!is_c(n))
            refused = length + " > UINT32_MAX";
        if (is_c(n))
            refused += (refused.empty() ? "" : " || ") + std::string("(") + value +
                       ".data == NULL && " + length + " != 0)";
        const std::string narrow = is_c(n) ? length : "static_cast<std::uint32_t>(" + length + ")";
        return indent + "if (" + refused + ") return VOK_SIZE_REFUSED;\n" + indent +
               "n += 1u + vok_string_head_size(" + narrow + ") + " + narrow + ";\n";
    }
    }
}

// The statement that writes one value item at p.
std::string value_put(const CodecNames &n, const vokxFieldSpec &f, const std::string &value,
                      const std::string &indent) {
    const std::string v = wire(n, f, value);
    const auto put = [&](const std::string &call) { return indent + "p = " + call + ";\n"; };
    switch (f.kind) {
    case VOKX_KIND_FLAG:
        return put("vok_put_flag(p, " + v + ")");
    case VOKX_KIND_UNSIGNED:
    case VOKX_KIND_ENUM:
        return put("vok_put_unsigned(p, " + v + ")");
    case VOKX_KIND_SIGNED:
        return put("vok_put_signed(p, " + v + ")");
    case VOKX_KIND_UNSIGNED64:
        return put("vok_put_u64(p, " + v + ")");
    case VOKX_KIND_SIGNED64:
    case VOKX_KIND_TIMESTAMP:
        return put("vok_put_s64(p, " + v + ")");
    case VOKX_KIND_FLOAT32:
        return put("vok_put_f32(p, " + v + ")");
    case VOKX_KIND_FLOAT64:
        return put("vok_put_f64(p, " + v + ")");
    case VOKX_KIND_SAFE:
        return put("vok_put_string_head(p, VOK_STRING_SAFE, " + v + ")");
    default: {
        const std::string length =
            is_c(n) ? text_length(n, value)
                    : "static_cast<std::uint32_t>(" + text_length(n, value) + ")";
        return put("vok_put_string(p, " + std::string(string_form(f.kind)) + ", " +
                   text_data(n, value) + ", " + length + ")");
    }
    }
}

// Whether a field with a default holds something else, as the engine
// compares them: floats by their bits, text by its bytes.
std::string differs_from_default(const CodecNames &n, const vokxFieldSpec &f,
                                 const std::string &value) {
    const vokxFieldDetail &d = *f.detail;
    switch (f.kind) {
    case VOKX_KIND_FLAG:
        return "(" + value + " ? 1 : 0) != " + std::to_string(d.default_value.unsigned64 != 0);
    case VOKX_KIND_FLOAT32:
        return "vok_f32_bits(" + value + ") != " + hex_literal(float32_bits(d.default_value));
    case VOKX_KIND_FLOAT64:
        return "vok_f64_bits(" + value + ") != " + hex_literal(d.default_value.unsigned64);
    case VOKX_KIND_SIGNED:
    case VOKX_KIND_SIGNED64:
    case VOKX_KIND_TIMESTAMP:
        return wire(n, f, value) + " != " + signed_literal(d.default_value.signed64);
    case VOKX_KIND_STRING:
    case VOKX_KIND_UTF8:
        return "!vok_same_bytes(" + text_data(n, value) + ", " + text_length(n, value) + ", \"" +
               escaped_bytes(d.default_text.data, d.default_text.length) + "\", " +
               std::to_string(d.default_text.length) + ")";
    default:
        return wire(n, f, value) + " != " + hex_literal(d.default_value.unsigned64);
    }
}

// The items of one field: its mark and value, once or per element, or none.
// job is value_size or value_put.
using ValueCode = std::string (*)(const CodecNames &, const vokxFieldSpec &, const std::string &,
                                  const std::string &);
std::string field_code(const CodecNames &n, const vokxFieldSpec &f, ValueCode job, bool sizing) {
    const std::string mark =
        sizing ? "" : "        p = vok_put_mark(p, " + std::to_string(f.mark) + ");\n";
    if (repeated(f.flags)) {
        const std::string count = count_of(n, "r", f);
        std::string out;
        if (sizing)
            out += "    if (" + count + " > " + std::to_string(f.max) +
                   "u) return VOK_SIZE_REFUSED;\n";
        return out + "    for (" + std::string(is_c(n) ? "uint32_t" : "std::size_t") +
               " i = 0; i < " + count + "; ++i) {\n" + mark +
               job(n, f, member(n, "r", f) + "[i]", "        ") + "    }\n";
    }
    const std::string value = single_value(n, "r", f);
    const std::string body = mark + job(n, f, value, "        ");
    if (default_of(f) != nullptr)
        return "    if (" + differs_from_default(n, f, value) + ") {\n" + body + "    }\n";
    if (has_flag(f)) return "    if (" + present(n, "r", f) + ") {\n" + body + "    }\n";
    return "    {\n" + body + "    }\n";
}

struct LevelRef {
    const vokxGroupSpec *group; // null for the record's own fields
    const vokxFieldSpec *fields;
    uint32_t count;
};

// Names of a level's functions: C has one function per level and role,
// C++ overloads on the struct.
std::string function_name(const CodecNames &n, const char *role, const vokxGroupSpec *g) {
    if (!is_c(n)) return std::string("level_") + role;
    return n.c_prefix + "__" + role + (g == nullptr ? "" : std::string("_") + g->name);
}

std::string parameter(const CodecNames &n, const vokxGroupSpec *g, bool writable) {
    const std::string type = n.struct_type(g);
    if (is_c(n)) return std::string(writable ? "" : "const ") + type + " *r";
    return std::string(writable ? "" : "const ") + type + " &r";
}

std::string storage(const CodecNames &n) { return is_c(n) ? "static " : "inline "; }

std::string size_function(const CodecNames &n, const LevelRef &level, const std::string &groups) {
    std::string body;
    for (uint32_t i = 0; i < level.count; ++i)
        body += field_code(n, level.fields[i], value_size, true);
    return storage(n) + (is_c(n) ? "uint64_t " : "std::uint64_t ") +
           function_name(n, "size", level.group) + "(" + parameter(n, level.group, false) +
           ") {\n    " + (is_c(n) ? "uint64_t" : "std::uint64_t") + " n = 0;\n" + body + groups +
           "    (void)r;\n    return n;\n}\n\n";
}

std::string put_function(const CodecNames &n, const LevelRef &level, const std::string &groups) {
    std::string body;
    for (uint32_t i = 0; i < level.count; ++i)
        body += field_code(n, level.fields[i], value_put, false);
    const std::string bytes = is_c(n) ? "uint8_t" : "std::uint8_t";
    return storage(n) + bytes + " *" + function_name(n, "put", level.group) + "(" +
           parameter(n, level.group, false) + ", " + bytes + " *p) {\n" + body + groups +
           "    (void)r;\n    return p;\n}\n\n";
}

// The C type of the value taken for a kind, and the call that takes it.
struct Taking {
    const char *c_type, *cpp_type, *call; // call: vok_take_x(p + 1, end, &v
};

Taking taking(uint32_t kind) {
    switch (kind) {
    case VOKX_KIND_FLAG:
        return {"uint8_t", "std::uint8_t", "vok_take_flag(p + 1, end, &v"};
    case VOKX_KIND_SIGNED:
        return {"int32_t", "std::int32_t", "vok_take_signed(p + 1, end, &v"};
    case VOKX_KIND_UNSIGNED64:
        return {"uint64_t", "std::uint64_t", "vok_take_u64(p + 1, end, &v"};
    case VOKX_KIND_SIGNED64:
    case VOKX_KIND_TIMESTAMP:
        return {"int64_t", "std::int64_t", "vok_take_s64(p + 1, end, &v"};
    case VOKX_KIND_FLOAT32:
        return {"float", "float", "vok_take_f32(p + 1, end, &v"};
    case VOKX_KIND_FLOAT64:
        return {"double", "double", "vok_take_f64(p + 1, end, &v"};
    case VOKX_KIND_SAFE:
        return {"uint32_t", "std::uint32_t", "vok_take_string(p + 1, end, VOK_STRING_SAFE, &t, &v"};
    case VOKX_KIND_STRING:
        return {"uint32_t", "std::uint32_t",
                "vok_take_string(p + 1, end, VOK_STRING_PLAIN, &t, &v"};
    case VOKX_KIND_UTF8:
        return {"uint32_t", "std::uint32_t", "vok_take_string(p + 1, end, VOK_STRING_UTF8, &t, &v"};
    default: // unsigned, enum
        return {"uint32_t", "std::uint32_t", "vok_take_unsigned(p + 1, end, &v"};
    }
}

// The value taken (v, and t for text) as the member's type.
std::string taken_value(const CodecNames &n, const LevelRef &level, const vokxFieldSpec &f) {
    if (is_text(f.kind))
        return is_c(n) ? "(vokxText){t, v}" : "reinterpret_cast<const char *>(t), v";
    if (f.kind == VOKX_KIND_FLAG) return "v != 0";
    if (is_c(n)) return "v";
    if (f.kind == VOKX_KIND_ENUM) return "static_cast<" + n.enum_type(level.group, f) + ">(v)";
    if (f.kind == VOKX_KIND_TIMESTAMP)
        return std::string(kTimestampType) + "{std::chrono::milliseconds{v}}";
    return "v";
}

bool needs_seen(const vokxFieldSpec &f) { return !repeated(f.flags) && !has_flag(f); }
bool required(uint32_t flags) { return !repeated(flags) && !optional(flags); }

// Bits kept in words of 64 (seen fields, groups that occur once): the
// declaration, and the check and setting of bit i.
std::string bit_words(const CodecNames &n, const char *name, uint32_t bits) {
    return std::string("    ") + (is_c(n) ? "uint64_t " : "std::uint64_t ") + name + "[" +
           std::to_string(bits / 64 + 1) + "] = {0};\n";
}
std::string take_bit(const char *name, uint32_t i, const std::string &none,
                     const std::string &indent) {
    const std::string word = std::string(name) + "[" + std::to_string(i / 64) + "]";
    const std::string bit = hex_literal(uint64_t{1} << (i % 64));
    return indent + "if (" + word + " & " + bit + ") return " + none + ";\n" + indent + word +
           " |= " + bit + ";\n";
}
std::string all_bits(const char *name, const std::vector<uint64_t> &words,
                     const std::string &none) {
    std::string out;
    for (size_t w = 0; w < words.size(); ++w)
        if (words[w] != 0)
            out += "    if ((" + std::string(name) + "[" + std::to_string(w) + "] & " +
                   hex_literal(words[w]) + ") != " + hex_literal(words[w]) + ") return " + none +
                   ";\n";
    return out;
}

// The statements that store a taken value, with the check that the field
// may take it; seen is the bit of a field that occurs once.
std::string store(const CodecNames &n, const LevelRef &level, uint32_t i) {
    const vokxFieldSpec &f = level.fields[i];
    const std::string value = taken_value(n, level, f), m = member(n, "r", f);
    if (repeated(f.flags)) {
        const std::string full = "            if (" + count_of(n, "r", f) +
                                 " == " + std::to_string(f.max) + "u) return " +
                                 (is_c(n) ? "NULL" : "nullptr") + ";\n";
        if (is_c(n)) return full + "            " + m + "[" + m + "_count++] = " + value + ";\n";
        return full + "            " + m + (is_text(f.kind) ? ".emplace_back(" : ".push_back(") +
               value + ");\n";
    }
    const std::string none = is_c(n) ? "NULL" : "nullptr";
    if (has_flag(f)) {
        const std::string check =
            "            if (" + present(n, "r", f) + ") return " + none + ";\n";
        if (is_c(n))
            return check + "            " + m + " = " + value + ";\n            r->has_" + f.name +
                   " = true;\n";
        return check + "            " + m +
               (is_text(f.kind) ? ".emplace(" + value + ")" : " = " + value) + ";\n";
    }
    const std::string check = take_bit("seen", i, none, "            ");
    if (!is_c(n) && is_text(f.kind))
        return check + "            " + m + ".assign(" + value + ");\n";
    return check + "            " + m + " = " + value + ";\n";
}

// The reader of a level: from the first item after its phrase (or the
// record's first) to the next phrase or the end marker.  Returns the
// position reached, or null to give the block to the engine.
std::string take_function(const CodecNames &n, const LevelRef &level) {
    const bool c = is_c(n);
    const std::string bytes = c ? "const uint8_t *" : "const std::uint8_t *";
    const std::string none = c ? "NULL" : "nullptr";
    std::string out = storage(n) + bytes + function_name(n, "take", level.group) + "(" + bytes +
                      "p, " + bytes + "end, " + parameter(n, level.group, true) + ") {\n";
    bool any_seen = false;
    std::vector<uint64_t> required_bits(level.count / 64 + 1);
    for (uint32_t i = 0; i < level.count; ++i) {
        any_seen |= needs_seen(level.fields[i]);
        if (required(level.fields[i].flags)) required_bits[i / 64] |= uint64_t{1} << (i % 64);
    }
    if (any_seen) out += bit_words(n, "seen", level.count);
    // Presence and counts first: what a decoder touches beside the values.
    if (c) {
        for (uint32_t i = 0; i < level.count; ++i) {
            const vokxFieldSpec &f = level.fields[i];
            if (repeated(f.flags))
                out += "    r->" + std::string(f.name) + "_count = 0;\n";
            else if (has_flag(f))
                out += "    r->has_" + std::string(f.name) + " = false;\n";
            else if (default_of(f) != nullptr)
                out +=
                    "    r->" + std::string(f.name) + " = " + n.c_default(level.group, i) + ";\n";
        }
    }
    out += "    while (p < end && *p != VOK_PHRASE_MARK) {\n        switch (*p) {\n";
    for (uint32_t i = 0; i < level.count; ++i) {
        const vokxFieldSpec &f = level.fields[i];
        const Taking t = taking(f.kind);
        out += "        case " + std::to_string(f.mark) + ": {\n            " +
               (c ? t.c_type : t.cpp_type) + " v;\n";
        if (is_text(f.kind) || f.kind == VOKX_KIND_SAFE)
            out += std::string("            ") + bytes + "t;\n";
        out += "            if ((p = " + std::string(t.call) + ")) == " + none + ") return " +
               none + ";\n";
        if (f.kind == VOKX_KIND_SAFE) out += "            (void)t;\n";
        out += store(n, level, i) + "            break;\n        }\n";
    }
    out += "        default:\n            return " + none + ";\n        }\n    }\n";
    out += all_bits("seen", required_bits, none);
    if (level.count == 0) out += "    (void)r;\n";
    return out + "    return p;\n}\n\n";
}

// The record's groups in the size and put functions: every occurrence, in
// schema order, behind its phrase.
std::string groups_code(const CodecNames &n, const vokxSchema &s, bool sizing) {
    std::string out;
    const bool c = is_c(n);
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        const std::string name = group.name, m = c ? "r->" + name : "r." + name;
        const std::string occurrence_call = [&](const std::string &target) {
            return sizing ? "        n += 2u + " + function_name(n, "size", &group) + "(" + target +
                                ");\n"
                          : "        p = vok_put_phrase(p, " + std::to_string(group.phrase) +
                                ");\n        p = " + function_name(n, "put", &group) + "(" +
                                target + ", p);\n";
        }(c ? "&" + m + "[i]" : m + "[i]");
        if (repeated(group.flags)) {
            const std::string count = c ? m + "_count" : m + ".size()";
            if (sizing)
                out += "    if (" + count + " > " + std::to_string(group.max) +
                       "u) return VOK_SIZE_REFUSED;\n";
            out += "    for (" + std::string(c ? "uint32_t" : "std::size_t") + " i = 0; i < " +
                   count + "; ++i) {\n";
            if (sizing)
                out += "        const " + std::string(c ? "uint64_t" : "std::uint64_t") +
                       " k = " + function_name(n, "size", &group) + "(" +
                       (c ? "&" + m + "[i]" : m + "[i]") +
                       ");\n        if (k == VOK_SIZE_REFUSED) return k;\n        n += 2u + k;\n";
            else
                out += occurrence_call;
            out += "    }\n";
            continue;
        }
        const std::string target = c ? "&" + m : (optional(group.flags) ? "*" + m : m);
        const std::string cond =
            optional(group.flags) ? (c ? "r->has_" + name : m + ".has_value()") : std::string("1");
        out += "    if (" + cond + ") {\n";
        if (sizing)
            out += "        const " + std::string(c ? "uint64_t" : "std::uint64_t") +
                   " k = " + function_name(n, "size", &group) + "(" + target +
                   ");\n        if (k == VOK_SIZE_REFUSED) return k;\n        n += 2u + k;\n";
        else
            out += "        p = vok_put_phrase(p, " + std::to_string(group.phrase) +
                   ");\n        p = " + function_name(n, "put", &group) + "(" + target + ", p);\n";
        out += "    }\n";
    }
    return out;
}

// The reader of a whole record in the plain form: 1 with *status the
// version's, or 0 to hand the block to the engine.
std::string record_take(const CodecNames &n, const vokxSchema &s) {
    const bool c = is_c(n);
    const std::string bytes = c ? "const uint8_t *" : "const std::uint8_t *";
    const std::string none = c ? "NULL" : "nullptr";
    std::string out = storage(n) + "int " +
                      (c ? n.c_prefix + "__read" : std::string("read_plain")) + "(" + bytes +
                      "bytes, " + (c ? "size_t" : "std::size_t") + " size, " +
                      parameter(n, nullptr, true) + ", " + (c ? "uint16_t" : "std::uint16_t") +
                      " *status) {\n    " + bytes + "p;\n    " + bytes + "end;\n";
    bool any_once = false;
    for (uint32_t g = 0; g < s.group_count; ++g)
        any_once |= !repeated(s.groups[g].flags);
    if (any_once) out += bit_words(n, "once", s.group_count);
    out += "    if (!vok_take_frame(bytes, size, " + n.macro + "_TYPE, " + n.macro +
           "_VERSION, &p, &end, status)) return 0;\n";
    if (!c) out += "    clear(r);\n";
    for (uint32_t g = 0; g < s.group_count && c; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        if (repeated(group.flags))
            out += "    r->" + std::string(group.name) + "_count = 0;\n";
        else if (optional(group.flags))
            out += "    r->has_" + std::string(group.name) + " = false;\n";
    }
    out += "    if ((p = " + function_name(n, "take", nullptr) + "(p, end, r)) == " + none +
           ") return 0;\n";
    if (s.group_count != 0) {
        out += "    while (p < end) {\n        if (end - p < 2) return 0;\n        switch (p[1]) "
               "{\n";
        std::vector<uint64_t> required_groups(s.group_count / 64 + 1);
        for (uint32_t g = 0; g < s.group_count; ++g) {
            const vokxGroupSpec &group = s.groups[g];
            const std::string name = group.name, m = c ? "r->" + name : "r." + name;
            out += "        case " + std::to_string(group.phrase) + ":\n";
            std::string target;
            if (repeated(group.flags)) {
                const std::string count = c ? m + "_count" : m + ".size()";
                out += "            if (" + count + " == " + std::to_string(group.max) +
                       "u) return 0;\n";
                target = c ? "&" + m + "[" + m + "_count++]" : m + ".emplace_back()";
            } else {
                out += take_bit("once", g, "0", "            ");
                if (optional(group.flags)) {
                    target = c ? "&" + m : m + ".emplace()";
                    if (c) out += "            r->has_" + name + " = true;\n";
                } else {
                    target = c ? "&" + m : m;
                    required_groups[g / 64] |= uint64_t{1} << (g % 64);
                }
            }
            out += "            if ((p = " + function_name(n, "take", &group) + "(p + 2, end, " +
                   target + ")) == " + none + ") return 0;\n            break;\n";
        }
        out += "        default:\n            return 0;\n        }\n    }\n";
        out += all_bits("once", required_groups, "0");
    }
    return out + "    return 1;\n}\n\n";
}

} // namespace

std::string escaped_bytes(const uint8_t *bytes, uint32_t length) {
    std::string out;
    for (uint32_t i = 0; i < length; ++i) {
        char text[8];
        std::snprintf(text, sizeof text, "\\x%02x", bytes[i]);
        out += text;
    }
    return out;
}

uint32_t float32_bits(const vokxValue &v) {
    uint32_t bits;
    std::memcpy(&bits, &v.float32, sizeof bits);
    return bits;
}

std::string signed_literal(int64_t n) {
    if (n == INT64_MIN) return "(-9223372036854775807LL - 1)";
    if (n == INT32_MIN) return "(-2147483647 - 1)";
    return std::to_string(n) + (n < INT32_MIN || n > INT32_MAX ? "LL" : "");
}

std::string codec_functions(const CodecNames &n, const vokxSchema &s) {
    std::string out;
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        const LevelRef level{&group, group.fields, group.field_count};
        out += size_function(n, level, "") + put_function(n, level, "") + take_function(n, level);
    }
    const LevelRef top{nullptr, s.fields, s.field_count};
    out += size_function(n, top, groups_code(n, s, true)) +
           put_function(n, top, groups_code(n, s, false)) + take_function(n, top) +
           record_take(n, s);
    return out;
}

} // namespace vok::tool::codegen
