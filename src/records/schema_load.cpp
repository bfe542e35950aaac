// The schema file's rules, once, for every program that reads one (the
// tool, Python): its JSON shape (keys, their types, the kinds' names),
// names as ASCII identifiers, then vokxSchemaCheck's ranges and uniqueness.
// The loader walks the parsed text twice with the same checks: first to
// refuse or count, then to fill a document allocated at its exact size, so
// that a schema is one malloc block that one free releases.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "field_kinds.hpp"
#include "json_tree.hpp"
#include "record_error.hpp"
#include "value_json.hpp"

struct vokxSchemaDocument {
    vokxSchema schema;
    // In the same block: the field tables (the top level's, then each
    // group's), the group table, the fields' details and enumeration
    // values, and the names and default texts, each terminated.
};

namespace vok::records {
namespace {

// Where a document's parts go in the fill pass; null in the counting pass.
struct Room {
    vokxFieldSpec *fields;
    vokxGroupSpec *groups;
    vokxFieldDetail *details;
    vokxEnumValue *values;
    char *names;
};

class Loader {
  public:
    Loader(const JsonTree &tree, vokxRecordError *error) : tree_(tree), error_(error) {}

    uint32_t field_count = 0, group_count = 0, detail_count = 0, value_count = 0;
    size_t name_bytes = 0;

    // Checks everything, counting; with room, fills it and *schema too.
    uint16_t load(Room *room, vokxSchema *schema) {
        room_ = room;
        field_count = group_count = detail_count = value_count = 0;
        name_bytes = 0;
        const JsonValue &top = tree_.root();
        static const char *const kKeys[] = {"name", "type", "version", "fields", "groups"};
        if (const uint16_t status = only_keys(top, "", kKeys)) return status;
        vokxSchema s{};
        if (const uint16_t status = name_of(top, "", s.name)) return status;
        if (const uint16_t status = number_at(top, "", "type", true, s.type)) return status;
        if (const uint16_t status = number_at(top, "", "version", true, s.version)) return status;
        if (const uint16_t status = fields_of(top, "", s.fields, s.field_count)) return status;
        if (const uint16_t status = groups_of(top, s)) return status;
        if (schema != nullptr) *schema = s;
        return VOK_OK;
    }

  private:
    uint16_t refuse(const char *prefix, const char *key, const JsonValue &at, const char *message,
                    const char *detail = "") {
        char path[96];
        print_cut(path, sizeof path, "%s%s%s", prefix, *prefix != '\0' && *key != '\0' ? "." : "",
                  key);
        return fail(error_, VOKX_BAD_SCHEMA, at.offset, path, message, detail);
    }

    bool text_is(uint32_t offset, uint32_t length, const char *text) const {
        const size_t size = std::strlen(text);
        return length == size && std::memcmp(tree_.decoded(offset), text, size) == 0;
    }
    bool key_is(const JsonValue &member, const char *key) const {
        return text_is(member.key, member.key_length, key);
    }

    const JsonValue *member(const JsonValue &object, const char *key) const {
        for (uint32_t i = object.first; i != 0; i = tree_.at(i).next)
            if (key_is(tree_.at(i), key)) return &tree_.at(i);
        return nullptr;
    }

    // An object whose keys are among allowed (and "doc", a string), each
    // once.  Linear in the members: a key is refused at its first repeat.
    template <size_t N>
    uint16_t only_keys(const JsonValue &object, const char *prefix,
                       const char *const (&allowed)[N]) {
        if (object.type != JsonValue::object)
            return refuse(prefix, "", object, "must be an object");
        bool seen[N + 1] = {};
        for (uint32_t i = object.first; i != 0; i = tree_.at(i).next) {
            const JsonValue &m = tree_.at(i);
            size_t k = 0;
            while (k < N && !key_is(m, allowed[k]))
                ++k;
            char key[64];
            print_cut(key, sizeof key, "%.*s", static_cast<int>(m.key_length),
                      tree_.decoded(m.key));
            if (k == N && !key_is(m, "doc"))
                return refuse(prefix, key, m, "is not a key of the schema format");
            if (seen[k]) return refuse(prefix, key, m, "appears twice");
            seen[k] = true;
            if (k == N && m.type != JsonValue::string)
                return refuse(prefix, key, m, "must be a string");
        }
        return VOK_OK;
    }

    // A name: ASCII letters, digits and _, not starting with a digit, over
    // its whole length (a \u0000 inside would cut a C string short).
    uint16_t name_of(const JsonValue &object, const char *prefix, const char *&out) {
        const JsonValue *value = member(object, "name");
        if (value == nullptr) return refuse(prefix, "name", object, "is required");
        if (value->type != JsonValue::string)
            return refuse(prefix, "name", *value, "must be a string");
        const char *text = tree_.decoded(value->text);
        if (!is_identifier(text, value->length)) {
            char shown[64]; // bytes outside printable ASCII as \xNN
            size_t used = 0;
            for (uint32_t i = 0; i < value->length && used + 5 < sizeof shown; ++i) {
                const auto c = static_cast<unsigned char>(text[i]);
                used += static_cast<size_t>(
                    c >= 0x20 && c < 0x7F && c != '"' && c != '\\'
                        ? std::snprintf(shown + used, sizeof shown - used, "%c", c)
                        : std::snprintf(shown + used, sizeof shown - used, "\\x%02x", c));
            }
            shown[used] = '\0';
            return refuse(prefix, "name", *value, "\"%s\" is not an identifier", shown);
        }
        const char *kept = keep(text, value->length);
        if (room_ != nullptr) out = kept;
        return VOK_OK;
    }

    static bool is_identifier(const char *text, uint32_t length) {
        bool identifier = length != 0 && !(text[0] >= '0' && text[0] <= '9');
        for (uint32_t i = 0; i < length && identifier; ++i) {
            const char c = text[i];
            identifier = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '_';
        }
        return identifier;
    }

    // A number written as digits only (no sign, fraction or exponent) that
    // fits 32 bits.
    bool digits_only(const JsonValue &value, uint32_t &out) const {
        const char *digits = tree_.source() + value.text;
        uint64_t n = 0;
        bool ok = value.type == JsonValue::number && value.length <= 10;
        for (uint32_t i = 0; ok && i < value.length; ++i) {
            ok = digits[i] >= '0' && digits[i] <= '9';
            n = n * 10 + static_cast<uint64_t>(digits[i] - '0');
        }
        out = static_cast<uint32_t>(n);
        return ok && n <= UINT32_MAX;
    }

    // An integer written as digits only (no sign, fraction or exponent).
    uint16_t number_at(const JsonValue &object, const char *prefix, const char *key, bool needed,
                       uint32_t &out) {
        const JsonValue *value = member(object, key);
        if (value == nullptr)
            return needed ? refuse(prefix, key, object, "is required") : uint16_t{VOK_OK};
        if (!digits_only(*value, out))
            return refuse(prefix, key, *value, "must be an integer from 0 to 4294967295");
        return VOK_OK;
    }

    uint16_t flag_at(const JsonValue &object, const char *prefix, const char *key, uint32_t bit,
                     uint32_t &flags) {
        const JsonValue *value = member(object, key);
        if (value == nullptr) return VOK_OK;
        if (value->type != JsonValue::boolean)
            return refuse(prefix, key, *value, "must be true or false");
        flags |= value->truth ? bit : 0;
        return VOK_OK;
    }

    // The flags and max as written; vokxSchemaCheck judges them together.
    uint16_t occurrence(const JsonValue &object, const char *prefix, uint32_t &flags,
                        uint32_t &max) {
        flags = 0;
        max = 0;
        if (const uint16_t status = flag_at(object, prefix, "optional", VOKX_OPTIONAL, flags))
            return status;
        if (const uint16_t status = flag_at(object, prefix, "repeated", VOKX_REPEATED, flags))
            return status;
        if (const uint16_t status = number_at(object, prefix, "max", false, max)) return status;
        const JsonValue *given = member(object, "max");
        if (given != nullptr && max == 0)
            return refuse(prefix, "max", *given, "must be at least 1");
        return VOK_OK;
    }

    uint16_t kind_of(const JsonValue &object, const char *prefix, uint32_t &kind) {
        const JsonValue *value = member(object, "kind");
        if (value == nullptr) return refuse(prefix, "kind", object, "is required");
        if (value->type != JsonValue::string)
            return refuse(prefix, "kind", *value,
                          "must be a string: flag, unsigned, signed, string, utf8, safe, "
                          "unsigned64, signed64, float32, float64, enum or timestamp");
        kind = kind_named(tree_.decoded(value->text), value->length);
        if (kind != 0) return VOK_OK;
        char shown[48];
        print_cut(shown, sizeof shown, "%.*s", static_cast<int>(value->length),
                  tree_.decoded(value->text));
        return refuse(prefix, "kind", *value, "unknown kind \"%s\"", shown);
    }

    // Text kept in the document: a name or a default's bytes, terminated.
    const char *keep(const char *text, uint32_t length) {
        name_bytes += length + 1;
        if (room_ == nullptr) return nullptr;
        char *kept = room_->names;
        std::memcpy(kept, text, length);
        kept[length] = '\0';
        room_->names += length + 1;
        return kept;
    }

    // An enum's "values": names to numbers.  vokxSchemaCheck refuses names
    // or numbers given twice.
    uint16_t values_of(const JsonValue &object, const char *prefix, const vokxFieldSpec &f,
                       vokxFieldDetail &d) {
        const JsonValue *list = member(object, "values");
        if (list == nullptr)
            return f.kind == VOKX_KIND_ENUM
                       ? refuse(prefix, "values", object, "is required for an enum")
                       : uint16_t{VOK_OK};
        if (f.kind != VOKX_KIND_ENUM)
            return refuse(prefix, "values", *list, "only an enum field names values");
        if (list->type != JsonValue::object)
            return refuse(prefix, "values", *list, "must be an object of names and numbers");
        vokxEnumValue *table = room_ != nullptr ? room_->values : nullptr;
        char at[96];
        print_cut(at, sizeof at, "%s.values", prefix);
        for (uint32_t i = list->first; i != 0; i = tree_.at(i).next, ++d.value_count) {
            const JsonValue &m = tree_.at(i);
            char key[64];
            print_cut(key, sizeof key, "%.*s", static_cast<int>(m.key_length),
                      tree_.decoded(m.key));
            if (!is_identifier(tree_.decoded(m.key), m.key_length))
                return refuse(at, key, m, "is not an identifier");
            uint32_t number = 0;
            if (!digits_only(m, number) || number > 0x7fffffff)
                return refuse(at, key, m, "must be an integer from 0 to 2147483647");
            const char *name = keep(tree_.decoded(m.key), m.key_length);
            if (table != nullptr) table[d.value_count] = {name, number};
        }
        value_count += d.value_count;
        if (table != nullptr) {
            d.values = table;
            room_->values += d.value_count;
        }
        return VOK_OK;
    }

    // A "default" in the JSON form of the field's kind; an enum's may be
    // one of the names its "values" give.
    uint16_t default_of(const JsonValue &object, const char *prefix, const vokxFieldSpec &f,
                        vokxFieldDetail &d) {
        const JsonValue *given = member(object, "default");
        if (given == nullptr) return VOK_OK;
        d.has_default = 1;
        if (is_text_kind(f.kind)) {
            if (given->type != JsonValue::string)
                return refuse(prefix, "default", *given, "must be a string");
            const char *text = keep(tree_.decoded(given->text), given->length);
            d.default_text = {reinterpret_cast<const uint8_t *>(text), given->length};
            return VOK_OK;
        }
        const JsonValue *names = member(object, "values");
        if (f.kind == VOKX_KIND_ENUM && given->type == JsonValue::string && names != nullptr &&
            names->type == JsonValue::object) {
            for (uint32_t i = names->first; i != 0; i = tree_.at(i).next)
                if (tree_.at(i).key_length == given->length &&
                    std::memcmp(tree_.decoded(tree_.at(i).key), tree_.decoded(given->text),
                                given->length) == 0) {
                    uint32_t number = 0;
                    digits_only(tree_.at(i), number);
                    d.default_value.unsigned64 = number;
                    return VOK_OK;
                }
            return refuse(prefix, "default", *given, "is not a name of the enumeration");
        }
        const char *why = "";
        if (parse_value(f, tree_, *given, d.default_value, &why) != VOK_OK)
            return refuse(prefix, "default", *given, "%s", why);
        return VOK_OK;
    }

    uint16_t field(const JsonValue &object, const char *prefix, vokxFieldSpec &f) {
        static const char *const kKeys[] = {"mark",     "name", "kind",   "optional",
                                            "repeated", "max",  "values", "default"};
        if (const uint16_t status = only_keys(object, prefix, kKeys)) return status;
        if (const uint16_t status = name_of(object, prefix, f.name)) return status;
        if (const uint16_t status = number_at(object, prefix, "mark", true, f.mark)) return status;
        if (const uint16_t status = kind_of(object, prefix, f.kind)) return status;
        if (const uint16_t status = occurrence(object, prefix, f.flags, f.max)) return status;
        if (member(object, "values") == nullptr && member(object, "default") == nullptr &&
            f.kind != VOKX_KIND_ENUM)
            return VOK_OK;
        vokxFieldDetail d{};
        if (const uint16_t status = values_of(object, prefix, f, d)) return status;
        if (const uint16_t status = default_of(object, prefix, f, d)) return status;
        ++detail_count;
        if (room_ != nullptr) {
            *room_->details = d;
            f.detail = room_->details++;
        }
        return VOK_OK;
    }

    uint16_t fields_of(const JsonValue &object, const char *prefix, const vokxFieldSpec *&out,
                       uint32_t &count) {
        const JsonValue *list = member(object, "fields");
        out = nullptr;
        count = 0;
        if (list == nullptr) return VOK_OK;
        if (list->type != JsonValue::array)
            return refuse(prefix, "fields", *list, "must be an array");
        vokxFieldSpec *table = room_ != nullptr ? room_->fields : nullptr;
        for (uint32_t i = list->first; i != 0; i = tree_.at(i).next, ++count) {
            char at[96];
            print_cut(at, sizeof at, "%s%sfields[%u]", prefix, *prefix != '\0' ? "." : "", count);
            vokxFieldSpec spec{};
            if (const uint16_t status = field(tree_.at(i), at, spec)) return status;
            if (table != nullptr) table[count] = spec;
        }
        field_count += count;
        if (table != nullptr && count != 0) {
            out = table;
            room_->fields += count;
        }
        return VOK_OK;
    }

    uint16_t group(const JsonValue &object, const char *prefix, vokxGroupSpec &g) {
        static const char *const kKeys[] = {"phrase",   "name", "optional",
                                            "repeated", "max",  "fields"};
        if (object.type == JsonValue::object)
            if (const JsonValue *nested = member(object, "groups"))
                return refuse(prefix, "groups", *nested, "groups cannot nest");
        if (const uint16_t status = only_keys(object, prefix, kKeys)) return status;
        if (const uint16_t status = name_of(object, prefix, g.name)) return status;
        if (const uint16_t status = number_at(object, prefix, "phrase", true, g.phrase))
            return status;
        if (const uint16_t status = occurrence(object, prefix, g.flags, g.max)) return status;
        if (member(object, "fields") == nullptr)
            return refuse(prefix, "fields", object, "is required");
        return fields_of(object, prefix, g.fields, g.field_count);
    }

    uint16_t groups_of(const JsonValue &top, vokxSchema &s) {
        const JsonValue *list = member(top, "groups");
        if (list == nullptr) return VOK_OK;
        if (list->type != JsonValue::array) return refuse("", "groups", *list, "must be an array");
        // Groups' own field tables come after the group table is reserved.
        vokxGroupSpec *table = room_ != nullptr ? room_->groups : nullptr;
        uint32_t count = 0;
        for (uint32_t i = list->first; i != 0; i = tree_.at(i).next, ++count) {
            char at[32];
            print_cut(at, sizeof at, "groups[%u]", count);
            vokxGroupSpec spec{};
            if (const uint16_t status = group(tree_.at(i), at, spec)) return status;
            if (table != nullptr) table[count] = spec;
        }
        group_count = count;
        s.groups = count != 0 ? table : nullptr;
        s.group_count = count;
        return VOK_OK;
    }

    const JsonTree &tree_;
    vokxRecordError *error_;
    Room *room_ = nullptr;
};

} // namespace
} // namespace vok::records

using namespace vok::records;

VOKX_API uint16_t vokxSchemaParse(const char *json, size_t length, vokxSchemaDocument **out,
                                  vokxRecordError *error) {
    if (out == nullptr) return fail(error, VOK_INVALID_STREAM, 0, "", "no place for the schema");
    *out = nullptr;
    if (json == nullptr && length != 0) return fail(error, VOKX_BAD_SCHEMA, 0, "", "no text");
    JsonTree tree;
    if (const uint16_t status = tree.parse(json != nullptr ? json : "", length, error))
        return status;
    Loader loader(tree, error);
    if (const uint16_t status = loader.load(nullptr, nullptr)) return status;
    const size_t size = sizeof(vokxSchemaDocument) +
                        (size_t{loader.field_count} * sizeof(vokxFieldSpec)) +
                        (size_t{loader.group_count} * sizeof(vokxGroupSpec)) +
                        (size_t{loader.detail_count} * sizeof(vokxFieldDetail)) +
                        (size_t{loader.value_count} * sizeof(vokxEnumValue)) + loader.name_bytes;
    auto *document = static_cast<vokxSchemaDocument *>(std::malloc(size));
    if (document == nullptr)
        return fail(error, VOK_NO_MEMORY, 0, "", "not enough memory for the schema");
    auto *bytes = reinterpret_cast<unsigned char *>(document + 1);
    Room room{reinterpret_cast<vokxFieldSpec *>(bytes), nullptr, nullptr, nullptr, nullptr};
    room.groups = reinterpret_cast<vokxGroupSpec *>(room.fields + loader.field_count);
    room.details = reinterpret_cast<vokxFieldDetail *>(room.groups + loader.group_count);
    room.values = reinterpret_cast<vokxEnumValue *>(room.details + loader.detail_count);
    room.names = reinterpret_cast<char *>(room.values + loader.value_count);
    loader.load(&room, &document->schema); // the same checks pass again
    if (const uint16_t status = vokxSchemaCheck(&document->schema, error)) {
        std::free(document);
        return status;
    }
    *out = document;
    return VOK_OK;
}

VOKX_API const vokxSchema *vokxSchemaOf(const vokxSchemaDocument *document) {
    return document != nullptr ? &document->schema : nullptr;
}

VOKX_API void vokxSchemaFree(vokxSchemaDocument *document) { std::free(document); }
