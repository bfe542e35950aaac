#include "schema_file.hpp"

#include <cstring>
#include <initializer_list>
#include <nlohmann/json.hpp>

#include "input.hpp"

namespace vok::tool {

namespace {

using nlohmann::json;

// A fault in the file's shape: where (a JSON path) and what.
struct ShapeError {
    std::string where;
    std::string what;
};

std::string at(const std::string &prefix, const std::string &key) {
    return prefix.empty() ? key : prefix + "." + key;
}

void only_keys(const json &object, const std::string &where,
               std::initializer_list<const char *> allowed) {
    if (!object.is_object()) throw ShapeError{where, "must be an object"};
    for (const auto &[key, value] : object.items()) {
        bool known = key == "doc";
        for (const char *name : allowed)
            known = known || key == name;
        if (!known) throw ShapeError{at(where, key), "is not a key of the schema format"};
        if (key == "doc" && !value.is_string())
            throw ShapeError{at(where, key), "must be a string"};
    }
}

const json &required(const json &object, const std::string &where, const char *key) {
    const auto found = object.find(key);
    if (found == object.end()) throw ShapeError{at(where, key), "is required"};
    return *found;
}

uint32_t number(const json &value, const std::string &where) {
    if (!value.is_number_unsigned() || value.get<uint64_t>() > UINT32_MAX)
        throw ShapeError{where, "must be an integer from 0 to 4294967295"};
    return static_cast<uint32_t>(value.get<uint64_t>());
}

bool flag(const json &object, const std::string &where, const char *key) {
    const auto found = object.find(key);
    if (found == object.end()) return false;
    if (!found->is_boolean()) throw ShapeError{at(where, key), "must be true or false"};
    return found->get<bool>();
}

uint32_t kind_of(const json &value, const std::string &where) {
    static constexpr std::pair<const char *, uint32_t> kKinds[] = {
        {"flag", VOKX_CLASS_FLAG},     {"unsigned", VOKX_CLASS_UNSIGNED},
        {"signed", VOKX_CLASS_SIGNED}, {"string", VOKX_CLASS_STRING},
        {"utf8", VOKX_CLASS_UTF8},     {"safe", VOKX_CLASS_SAFE}};
    if (value.is_string())
        for (const auto &[name, kind] : kKinds)
            if (value.get_ref<const std::string &>() == name) return kind;
    throw ShapeError{where, "unknown kind " + value.dump()};
}

} // namespace

// Names, flags and counts of one field or group as the engine's table holds them.
struct SchemaBuilder {
    std::deque<std::string> &names;

    const char *name(const json &object, const std::string &where) {
        const json &value = required(object, where, "name");
        if (!value.is_string()) throw ShapeError{at(where, "name"), "must be a string"};
        return names.emplace_back(value.get<std::string>()).c_str();
    }

    // VOKX_OPTIONAL / VOKX_REPEATED, and max as written (the engine checks them).
    void occurrence(const json &object, const std::string &where, uint32_t &flags, uint32_t &max) {
        flags = (flag(object, where, "optional") ? VOKX_OPTIONAL : 0) |
                (flag(object, where, "repeated") ? VOKX_REPEATED : 0);
        const auto found = object.find("max");
        max = found == object.end() ? 0 : number(*found, at(where, "max"));
        if (found != object.end() && max == 0)
            throw ShapeError{at(where, "max"), "must be at least 1"};
    }

    std::vector<vokxFieldSpec> fields(const json &object, const std::string &where) {
        const auto found = object.find("fields");
        if (found == object.end()) return {};
        if (!found->is_array()) throw ShapeError{at(where, "fields"), "must be an array"};
        std::vector<vokxFieldSpec> out;
        for (size_t i = 0; i < found->size(); ++i) {
            const std::string here = at(where, "fields[" + std::to_string(i) + "]");
            const json &f = (*found)[i];
            only_keys(f, here, {"mark", "name", "kind", "optional", "repeated", "max"});
            vokxFieldSpec spec{};
            spec.name = name(f, here);
            spec.mark = number(required(f, here, "mark"), at(here, "mark"));
            spec.kind = kind_of(required(f, here, "kind"), at(here, "kind"));
            occurrence(f, here, spec.flags, spec.max);
            out.push_back(spec);
        }
        return out;
    }
};

bool SchemaFile::parse(const std::string &text, const std::string &name, std::string &error) {
    try {
        const json doc = json::parse(text);
        only_keys(doc, "", {"name", "type", "version", "fields", "groups"});
        SchemaBuilder build{names_};
        schema_.name = build.name(doc, "");
        schema_.type = number(required(doc, "", "type"), "type");
        schema_.version = number(required(doc, "", "version"), "version");
        fields_ = build.fields(doc, "");
        const auto groups = doc.find("groups");
        if (groups != doc.end() && !groups->is_array())
            throw ShapeError{"groups", "must be an array"};
        for (size_t g = 0; groups != doc.end() && g < groups->size(); ++g) {
            const std::string here = "groups[" + std::to_string(g) + "]";
            const json &object = (*groups)[g];
            if (object.is_object() && object.contains("groups"))
                throw ShapeError{at(here, "groups"), "groups cannot nest"};
            only_keys(object, here, {"phrase", "name", "optional", "repeated", "max", "fields"});
            vokxGroupSpec spec{};
            spec.name = build.name(object, here);
            spec.phrase = number(required(object, here, "phrase"), at(here, "phrase"));
            build.occurrence(object, here, spec.flags, spec.max);
            required(object, here, "fields");
            const auto &fields = group_fields_.emplace_back(build.fields(object, here));
            spec.fields = fields.data();
            spec.field_count = static_cast<uint32_t>(fields.size());
            groups_.push_back(spec);
        }
    } catch (const json::exception &e) {
        error = name + ": not JSON: " + e.what();
        return false;
    } catch (const ShapeError &e) {
        error = name + ": " + e.where + ": " + e.what;
        return false;
    }
    schema_.fields = fields_.data();
    schema_.field_count = static_cast<uint32_t>(fields_.size());
    schema_.groups = groups_.data();
    schema_.group_count = static_cast<uint32_t>(groups_.size());
    vokxRecordError checked;
    if (vokxSchemaCheck(&schema_, &checked) == VOK_OK) return true;
    error = name + ": " + checked.path + ": " + checked.message;
    return false;
}

bool SchemaFile::load(const std::string &path, std::string &error) {
    Input input;
    std::string text, read_error;
    if (!input.open(path, read_error)) {
        error = path + ": " + read_error;
        return false;
    }
    uint8_t chunk[1 << 16];
    for (long got; (got = input.read(chunk, sizeof chunk, read_error)) != 0;) {
        if (got < 0 || text.size() > (size_t{16} << 20)) {
            error = path + ": " + (got < 0 ? read_error : "larger than 16 MiB: not a schema file");
            return false;
        }
        text.append(reinterpret_cast<const char *>(chunk), static_cast<size_t>(got));
    }
    return parse(text, path, error);
}

} // namespace vok::tool
