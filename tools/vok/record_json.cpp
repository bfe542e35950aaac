#include "record_json.hpp"

#include <cstring>
#include <memory>
#include <optional>

#include "json_writer.hpp"
#include "text_escape.hpp"

namespace vok::tool {

namespace {

using nlohmann::ordered_json;
using json = nlohmann::json;

bool repeated(uint32_t flags) { return (flags & VOKX_REPEATED) != 0; }

std::string hex_of(const uint8_t *bytes, uint32_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (uint32_t i = 0; i < length; ++i) {
        out.push_back(kDigits[bytes[i] >> 4]);
        out.push_back(kDigits[bytes[i] & 15]);
    }
    return out;
}

ordered_json text_value(const uint8_t *bytes, uint32_t length) {
    const std::string_view text(reinterpret_cast<const char *>(bytes), length);
    if (is_valid_utf8(text)) return std::string(text);
    return ordered_json{{"hex", hex_of(bytes, length)}};
}

// A value as JSON, in the form vokxValueFormat writes for the kinds that
// ride on other items.
ordered_json formatted(const vokxFieldSpec &field, const vokxValue &value) {
    char text[128];
    const size_t length = vokxValueFormat(&field, &value, text, sizeof text);
    if (length < sizeof text) return ordered_json::parse(std::string_view(text, length));
    std::string longer(length + 1, '\0');
    vokxValueFormat(&field, &value, longer.data(), longer.size());
    longer.resize(length);
    return ordered_json::parse(longer);
}

ordered_json value_of(const vokxItem &item, const vokxFieldSpec &field) {
    switch (field.kind) {
    case VOKX_KIND_FLAG:
        return item.value != 0;
    case VOKX_KIND_SIGNED:
        return item.signed_value;
    case VOKX_KIND_STRING:
    case VOKX_KIND_UTF8:
        return text_value(item.text, item.length);
    case VOKX_KIND_UNSIGNED:
    case VOKX_KIND_SAFE: // its length
        return item.value;
    default: {
        vokxValue value{};
        vokxFieldValue(&field, &item, &value); // the reader checked the carrier
        return formatted(field, value);
    }
    }
}

// What an absent field reads as: its default, or nothing.
const vokxFieldDetail *default_of(const vokxFieldSpec &field) {
    return field.detail != nullptr && field.detail->has_default != 0 ? field.detail : nullptr;
}

ordered_json default_value(const vokxFieldSpec &field) {
    const vokxFieldDetail &d = *field.detail;
    if (field.kind == VOKX_KIND_STRING || field.kind == VOKX_KIND_UTF8)
        return text_value(d.default_text.data, d.default_text.length);
    return formatted(field, d.default_value);
}

// The values read for one level: the top, or one group occurrence.
struct LevelValues {
    std::vector<std::vector<ordered_json>> fields;
    ordered_json unknown = ordered_json::array();
};

// One item passed over, as dump --json lists it.
ordered_json unknown_entry(const Block &block, const vokxItem &item) {
    const uint8_t *at = block.bytes + item.offset;
    Sink line;
    write_json_entry(line, {block.offset + item.offset, {at, item.size}, item_of(item, at)}, 0,
                     std::nullopt, {});
    return ordered_json::parse(line.text());
}

ordered_json level_object(const LevelValues &values, const vokxFieldSpec *fields, uint32_t count) {
    ordered_json object = ordered_json::object();
    for (uint32_t i = 0; i < count; ++i) {
        const std::vector<ordered_json> &seen = values.fields[i];
        if (repeated(fields[i].flags))
            object[fields[i].name] = ordered_json(seen);
        else if (!seen.empty())
            object[fields[i].name] = seen.front();
        else if (default_of(fields[i]) != nullptr)
            object[fields[i].name] = default_value(fields[i]);
    }
    if (!values.unknown.empty()) object["$unknown"] = values.unknown;
    return object;
}

struct RecordValues {
    LevelValues top;
    std::vector<std::vector<LevelValues>> groups; // occurrences of each group
};

LevelValues &level_for(RecordValues &r, const vokxRecordField &f) {
    if (f.group < 0) return r.top;
    return r.groups[static_cast<size_t>(f.group)][f.occurrence];
}

LevelValues empty_level(uint32_t field_count) {
    LevelValues level;
    level.fields.resize(field_count);
    return level;
}

bool read_record(const Block &block, const vokxSchema &s, RecordValues &values, Problem &problem) {
    vokxRecordReader reader;
    vokxRecordError error;
    uint16_t status = vokxRecordOpen(&reader, &s, block.bytes, block.size, &error);
    values.top = empty_level(s.field_count);
    values.groups.resize(s.group_count);
    vokxRecordField f;
    if (status == VOK_OK || status == VOK_OLDER_VERSION || status == VOK_NEWER_VERSION)
        while ((status = vokxRecordNext(&reader, &f, &error)) == VOK_OK) {
            if (f.field == VOKX_RECORD_GROUP)
                values.groups[static_cast<size_t>(f.group)].push_back(
                    empty_level(s.groups[f.group].field_count));
            else if (f.field == VOKX_RECORD_UNKNOWN)
                level_for(values, f).unknown.push_back(unknown_entry(block, f.item));
            else
                level_for(values, f).fields[static_cast<size_t>(f.field)].push_back(
                    value_of(f.item, (f.group < 0 ? s.fields : s.groups[f.group].fields)[f.field]));
        }
    if (status == VOK_END_OF_STREAM) return true;
    const std::string path = error.path;
    problem = {block.offset + error.offset,
               (path.empty() ? "" : path + ": ") + error.message + " (" + vokxStatusName(status) +
                   ")",
               block.offset};
    return false;
}

} // namespace

bool check_record(const Block &block, const vokxSchema &schema, Problem &problem) {
    RecordValues values;
    return read_record(block, schema, values, problem);
}

bool write_record_json(Sink &out, const Block &block, const vokxSchema &s, Problem &problem) {
    RecordValues values;
    if (!read_record(block, s, values, problem)) return false;
    vokxBlockInfo info{};
    vokxInspect(block.bytes, block.size, &info);
    ordered_json record = {
        {"$type", info.type}, {"$version", info.version}, {"$offset", block.offset}};
    const ordered_json top = level_object(values.top, s.fields, s.field_count);
    for (const auto &[key, value] : top.items())
        record[key] = value;
    record.erase("$unknown"); // after the groups
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        ordered_json occurrences = ordered_json::array();
        for (const LevelValues &level : values.groups[g])
            occurrences.push_back(level_object(level, group.fields, group.field_count));
        if (repeated(group.flags))
            record[group.name] = occurrences;
        else if (!occurrences.empty())
            record[group.name] = occurrences.front();
    }
    if (!values.top.unknown.empty()) record["$unknown"] = values.top.unknown;
    out << record.dump() << '\n';
    return true;
}

namespace {

// A JSON value as the item a field of `kind` takes; text points into
// storage.  Throws the message for a value of the wrong shape.
vokxItem item_for(const json &value, uint32_t kind, std::string &storage) {
    // (the kinds of the item classes; the others go by put_value_json)
    vokxItem item{};
    const auto integer = [&](int64_t low, int64_t high, const char *what) {
        if (!value.is_number_integer() ||
            (value.is_number_unsigned()
                 ? value.get<uint64_t>() > uint64_t(high)
                 : value.get<int64_t>() < low || value.get<int64_t>() > high))
            throw std::string("must be ") + what;
        return value.get<int64_t>();
    };
    switch (kind) {
    case VOKX_CLASS_FLAG:
        if (!value.is_boolean()) throw std::string("must be true or false");
        item.value = value.get<bool>();
        return item;
    case VOKX_CLASS_SIGNED:
        item.signed_value = static_cast<int32_t>(
            integer(INT32_MIN, INT32_MAX, "an integer from -2147483648 to 2147483647"));
        return item;
    case VOKX_CLASS_STRING:
    case VOKX_CLASS_UTF8:
        if (value.is_string()) {
            storage = value.get<std::string>();
        } else if (value.is_object() && value.size() == 1 && value.contains("hex") &&
                   value["hex"].is_string() &&
                   value["hex"].get_ref<const std::string &>().size() % 2 == 0) {
            const std::string &digits = value["hex"].get_ref<const std::string &>();
            storage.clear();
            for (size_t i = 0; i < digits.size(); i += 2) {
                const auto nibble = [](char c) {
                    if (c >= '0' && c <= '9') return c - '0';
                    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
                    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
                    throw std::string(R"(must be a string or {"hex": "<pairs of hex digits>"})");
                };
                storage.push_back(
                    static_cast<char>(nibble(digits[i]) * 16 + nibble(digits[i + 1])));
            }
        } else {
            throw std::string(R"(must be a string or {"hex": "<pairs of hex digits>"})");
        }
        if (storage.size() > UINT32_MAX) throw std::string("is too long");
        item.text = reinterpret_cast<const uint8_t *>(storage.data());
        item.length = static_cast<uint32_t>(storage.size());
        return item;
    default: // unsigned, safe
        item.value =
            static_cast<uint32_t>(integer(0, UINT32_MAX, "an integer from 0 to 4294967295"));
        return item;
    }
}

struct Packing {
    vokxRecordWriter writer;
    vokxRecordError error;
    std::string path;
};

bool is_item_class_kind(uint32_t kind) { return kind >= VOKX_KIND_FLAG && kind <= VOKX_KIND_SAFE; }

// Whether an item-class value (as item_for made it) is the field's default.
bool holds_default(const vokxFieldSpec &field, const vokxItem &item) {
    const vokxFieldDetail *d = default_of(field);
    if (d == nullptr) return false;
    if (field.kind == VOKX_KIND_STRING || field.kind == VOKX_KIND_UTF8)
        return item.length == d->default_text.length &&
               (item.length == 0 || std::memcmp(item.text, d->default_text.data, item.length) == 0);
    if (field.kind == VOKX_KIND_SIGNED) return item.signed_value == d->default_value.signed64;
    if (field.kind == VOKX_KIND_FLAG)
        return (item.value != 0) == (d->default_value.unsigned64 != 0);
    return item.value == d->default_value.unsigned64;
}

// Writes the JSON value of field number `index` of the current level, or
// leaves it out when it is the field's default.  Throws "path: message".
void put_value_json(Packing &p, const vokxFieldSpec &field, uint32_t index, const json &value,
                    const std::string &path) {
    uint16_t status = VOK_OK;
    if (is_item_class_kind(field.kind)) {
        std::string storage;
        vokxItem item;
        try {
            item = item_for(value, field.kind, storage);
        } catch (const std::string &message) {
            throw path + ": " + message;
        }
        if (holds_default(field, item)) return;
        status = vokxRecordPut(&p.writer, index, &item, &p.error);
    } else {
        const std::string text = value.dump();
        vokxValue parsed{};
        const char *why = "";
        if (vokxValueParse(&field, text.data(), text.size(), &parsed, &why) != VOK_OK)
            throw path + ": " + why;
        const vokxFieldDetail *d = default_of(field);
        const size_t bytes = field.kind == VOKX_KIND_FLOAT32 ? 4 : 8; // floats by their bits
        if (d != nullptr && std::memcmp(&parsed, &d->default_value, bytes) == 0) return;
        status = vokxRecordPutValue(&p.writer, index, &parsed, &p.error);
    }
    if (status != VOK_OK) throw std::string(p.error.path) + ": " + p.error.message;
}

std::string field_path(const char *group, size_t occurrence, const char *field) {
    return group == nullptr ? std::string(field)
                            : std::string(group) + "[" + std::to_string(occurrence) + "]." + field;
}

void refuse_unknown_keys(const json &object, const vokxFieldSpec *fields, uint32_t count,
                         const vokxSchema *top, const std::string &where) {
    for (const auto &[key, value] : object.items()) {
        if (key == "$unknown") {
            if (!value.empty()) throw where + "$unknown: items passed over cannot be packed";
            continue;
        }
        if (top != nullptr && (key == "$type" || key == "$version" || key == "$offset")) continue;
        bool known = false;
        for (uint32_t i = 0; i < count && !known; ++i)
            known = key == fields[i].name;
        for (uint32_t g = 0; top != nullptr && g < top->group_count && !known; ++g)
            known = key == top->groups[g].name;
        if (!known) throw where + key + ": not a field of the schema";
    }
}

void put_fields(Packing &p, const json &object, const vokxFieldSpec *fields, uint32_t count,
                const char *group, size_t occurrence) {
    for (uint32_t i = 0; i < count; ++i) {
        const auto found = object.find(fields[i].name);
        if (found == object.end() || found->is_null()) continue;
        const std::string path = field_path(group, occurrence, fields[i].name);
        if (repeated(fields[i].flags) && !found->is_array()) throw path + ": must be an array";
        const json single = json::array({*found});
        const json &values = repeated(fields[i].flags) ? *found : single;
        for (const json &value : values)
            put_value_json(p, fields[i], i, value, path);
    }
}

void put_groups(Packing &p, const json &object, const vokxSchema &s) {
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        const auto found = object.find(group.name);
        if (found == object.end() || found->is_null()) continue;
        if (repeated(group.flags) && !found->is_array())
            throw std::string(group.name) + ": must be an array of objects";
        const json single = json::array({*found});
        const json &occurrences = repeated(group.flags) ? *found : single;
        for (size_t n = 0; n < occurrences.size(); ++n) {
            const std::string where = std::string(group.name) + "[" + std::to_string(n) + "].";
            if (!occurrences[n].is_object())
                throw where.substr(0, where.size() - 1) + ": must be an object";
            refuse_unknown_keys(occurrences[n], group.fields, group.field_count, nullptr, where);
            if (vokxRecordGroup(&p.writer, g, &p.error) != VOK_OK)
                throw std::string(p.error.path) + ": " + p.error.message;
            put_fields(p, occurrences[n], group.fields, group.field_count, group.name, n);
        }
    }
}

uint32_t header_number(const json &object, const char *key, uint32_t fallback, uint32_t max) {
    const auto found = object.find(key);
    if (found == object.end()) return fallback;
    if (!found->is_number_unsigned() || found->get<uint64_t>() > max)
        throw std::string(key) + ": must be an integer from 0 to " + std::to_string(max);
    return static_cast<uint32_t>(found->get<uint64_t>());
}

} // namespace

bool pack_record_json(const json &object, const vokxSchema &s, std::vector<uint8_t> &block,
                      std::string &error) {
    vokStream stream{};
    const auto release = [&stream] {
        if (stream.data != nullptr && vokCloseStream(&stream) == VOK_OK)
            vokDestroyStream(vokGetData(&stream));
        stream = vokStream{};
    };
    try {
        if (!object.is_object()) throw std::string("a record must be a JSON object");
        const uint32_t type = header_number(object, "$type", s.type, 255);
        if (type != s.type)
            throw "$type: " + std::to_string(type) + " is not the schema's " +
                std::to_string(s.type);
        refuse_unknown_keys(object, s.fields, s.field_count, &s, "");
        const uint32_t version = header_number(object, "$version", s.version, UINT32_MAX);
        Packing p{};
        if (vokCreateStream(&stream, static_cast<uint8_t>(s.type), version) != VOK_OK)
            throw std::string("not enough memory");
        vokxRecordBegin(&p.writer, &s, &stream, &p.error);
        put_fields(p, object, s.fields, s.field_count, nullptr, 0);
        put_groups(p, object, s);
        if (vokxRecordEnd(&p.writer, &p.error) != VOK_OK)
            throw std::string(p.error.path) + ": " + p.error.message;
        if (vokCloseStream(&stream) != VOK_OK) throw std::string("not enough memory");
        const uint8_t *data = vokGetData(&stream);
        block.assign(data, data + vokGetLength(&stream));
    } catch (const std::string &message) {
        error = message;
        release();
        return false;
    }
    release();
    return true;
}

} // namespace vok::tool
