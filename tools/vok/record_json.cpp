#include "record_json.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>

#include "json_writer.hpp"
#include "text_escape.hpp"

namespace vok::tool {

namespace {

using json = nlohmann::json;

bool repeated(uint32_t flags) { return (flags & VOKX_REPEATED) != 0; }

void append_hex(std::string &out, const uint8_t *bytes, uint32_t length) {
    static const char kDigits[] = "0123456789abcdef";
    for (uint32_t i = 0; i < length; ++i) {
        out.push_back(kDigits[bytes[i] >> 4]);
        out.push_back(kDigits[bytes[i] & 15]);
    }
}

void append_text(std::string &out, const uint8_t *bytes, uint32_t length) {
    const std::string_view text(reinterpret_cast<const char *>(bytes), length);
    if (is_valid_utf8(text)) {
        append_json_string(out, text);
        return;
    }
    out += "{\"hex\":\"";
    append_hex(out, bytes, length);
    out += "\"}";
}

template <typename Number> void append_number(std::string &out, Number value) {
    char digits[24];
    const auto done = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, done.ptr);
}

// A value in the JSON vokxValueFormat writes, for the kinds that ride on
// other items.
void append_formatted(std::string &out, const vokxFieldSpec &field, const vokxValue &value) {
    char text[128];
    const size_t length = vokxValueFormat(&field, &value, text, sizeof text);
    if (length < sizeof text) {
        out.append(text, length);
        return;
    }
    const size_t at = out.size();
    out.resize(at + length + 1);
    vokxValueFormat(&field, &value, out.data() + at, length + 1);
    out.resize(at + length);
}

void append_value(std::string &out, const vokxItem &item, const vokxFieldSpec &field) {
    switch (field.kind) {
    case VOKX_KIND_FLAG:
        out += item.value != 0 ? "true" : "false";
        return;
    case VOKX_KIND_SIGNED:
        append_number(out, item.signed_value);
        return;
    case VOKX_KIND_STRING:
    case VOKX_KIND_UTF8:
        append_text(out, item.text, item.length);
        return;
    case VOKX_KIND_UNSIGNED:
    case VOKX_KIND_SAFE: // its length
        append_number(out, item.value);
        return;
    default: {
        vokxValue value{};
        vokxFieldValue(&field, &item, &value); // the reader checked the carrier
        append_formatted(out, field, value);
    }
    }
}

// What an absent field reads as: its default, or nothing.
const vokxFieldDetail *default_of(const vokxFieldSpec &field) {
    return field.detail != nullptr && field.detail->has_default != 0 ? field.detail : nullptr;
}

void append_default(std::string &out, const vokxFieldSpec &field) {
    const vokxFieldDetail &d = *field.detail;
    if (field.kind == VOKX_KIND_STRING || field.kind == VOKX_KIND_UTF8)
        append_text(out, d.default_text.data, d.default_text.length);
    else
        append_formatted(out, field, d.default_value);
}

void append_key(std::string &out, const char *name) {
    append_json_string(out, name);
    out.push_back(':');
}

// JSON lines, comma-separated.
void append_entries(std::string &out, std::string_view lines) {
    for (bool first = true; !lines.empty(); first = false) {
        const size_t newline = lines.find('\n');
        if (!first) out.push_back(',');
        out.append(lines.substr(0, newline));
        lines.remove_prefix(newline == std::string_view::npos ? lines.size() : newline + 1);
    }
}

Problem refusal(const Block &block, uint16_t status, const vokxRecordError &error) {
    return {block.offset + error.offset, error.message, block.offset, status, error.path, true};
}

bool readable(uint16_t status) {
    return status == VOK_OK || status == VOK_OLDER_VERSION || status == VOK_NEWER_VERSION;
}

} // namespace

void RecordJsonWriter::Level::reset(uint32_t field_count) {
    values.resize(field_count);
    counts.assign(field_count, 0);
    for (std::string &v : values)
        v.clear();
    unknown.clear();
}

RecordJsonWriter::RecordJsonWriter(const vokxSchema &schema) : schema_(schema) {
    groups_.resize(schema.group_count);
    used_.resize(schema.group_count);
}

RecordJsonWriter::Level &RecordJsonWriter::level_for(const vokxRecordField &f) {
    if (f.group < 0) return top_;
    return groups_[static_cast<size_t>(f.group)][f.occurrence];
}

void RecordJsonWriter::open_occurrence(uint32_t group) {
    std::vector<Level> &occurrences = groups_[group];
    if (used_[group] == occurrences.size()) occurrences.emplace_back();
    occurrences[used_[group]++].reset(schema_.groups[group].field_count);
}

void RecordJsonWriter::add_unknown(Level &level, const Block &block, const vokxItem &item) {
    const uint8_t *at = block.bytes + item.offset;
    Sink entry;
    write_json_entry(entry, {block.offset + item.offset, {at, item.size}, item_of(item, at)}, 0,
                     std::nullopt, {});
    if (!level.unknown.empty()) level.unknown.push_back(',');
    level.unknown.append(entry.text(), 0, entry.text().size() - 1); // less its newline
}

bool RecordJsonWriter::read(const Block &block, Problem &problem) {
    const vokxSchema &s = schema_;
    vokxRecordReader reader;
    vokxRecordError error;
    uint16_t status = vokxRecordOpen(&reader, &s, block.bytes, block.size, &error);
    top_.reset(s.field_count);
    std::fill(used_.begin(), used_.end(), 0);
    vokxRecordField f;
    if (readable(status))
        while ((status = vokxRecordNext(&reader, &f, &error)) == VOK_OK) {
            if (f.field == VOKX_RECORD_GROUP) {
                open_occurrence(static_cast<uint32_t>(f.group));
                continue;
            }
            Level &level = level_for(f);
            if (f.field == VOKX_RECORD_UNKNOWN) {
                add_unknown(level, block, f.item);
                continue;
            }
            const auto index = static_cast<size_t>(f.field);
            std::string &values = level.values[index];
            if (level.counts[index]++ != 0) values.push_back(',');
            append_value(values, f.item,
                         (f.group < 0 ? s.fields : s.groups[f.group].fields)[index]);
        }
    if (status == VOK_END_OF_STREAM) return true;
    problem = refusal(block, status, error);
    return false;
}

// The fields of a level in schema order: a repeated field as an array, a
// present field as its value, an absent one as its default if it has one.
void RecordJsonWriter::append_fields(const Level &level, const vokxFieldSpec *fields,
                                     uint32_t count, bool &first) {
    for (uint32_t i = 0; i < count; ++i) {
        const bool listed = repeated(fields[i].flags);
        if (!listed && level.counts[i] == 0 && default_of(fields[i]) == nullptr) continue;
        if (!first) line_.push_back(',');
        first = false;
        append_key(line_, fields[i].name);
        if (listed) line_.push_back('[');
        if (level.counts[i] != 0 || listed)
            line_ += level.values[i];
        else
            append_default(line_, fields[i]);
        if (listed) line_.push_back(']');
    }
}

void RecordJsonWriter::append_unknown(const Level &level, bool first) {
    if (level.unknown.empty()) return;
    if (!first) line_.push_back(',');
    line_ += "\"$unknown\":[";
    line_ += level.unknown;
    line_.push_back(']');
}

bool RecordJsonWriter::write(Sink &out, const Block &block, Problem &problem) {
    if (!read(block, problem)) return false;
    vokxBlockInfo info{};
    vokxInspect(block.bytes, block.size, &info);
    line_ = "{\"$type\":";
    append_number(line_, info.type);
    line_ += ",\"$version\":";
    append_number(line_, info.version);
    line_ += ",\"$offset\":";
    append_number(line_, block.offset);
    bool first = false;
    append_fields(top_, schema_.fields, schema_.field_count, first);
    for (uint32_t g = 0; g < schema_.group_count; ++g) {
        const vokxGroupSpec &group = schema_.groups[g];
        const bool listed = repeated(group.flags);
        if (!listed && used_[g] == 0) continue;
        line_.push_back(',');
        append_key(line_, group.name);
        if (listed) line_.push_back('[');
        for (uint32_t n = 0; n < used_[g]; ++n) {
            if (n != 0) line_.push_back(',');
            line_.push_back('{');
            bool inner_first = true;
            append_fields(groups_[g][n], group.fields, group.field_count, inner_first);
            append_unknown(groups_[g][n], inner_first);
            line_.push_back('}');
        }
        if (listed) line_.push_back(']');
    }
    append_unknown(top_, false);
    line_ += "}\n";
    out << line_;
    return true;
}

void write_refused_json(Sink &out, const Block &block, const Problem &problem,
                        std::string_view entries) {
    std::string line = "{\"$offset\":";
    append_number(line, block.offset);
    line += ",\"$error\":";
    {
        Sink keys;
        {
            JsonObject error(keys, false);
            write_problem_keys(error, problem, false);
        }
        line += keys.text();
    }
    line += ",\"$items\":[";
    append_entries(line, entries);
    line += "]}\n";
    out << line;
}

bool check_record(const Block &block, const vokxSchema &schema, Problem &problem) {
    vokxRecordReader reader;
    vokxRecordError error;
    uint16_t status = vokxRecordOpen(&reader, &schema, block.bytes, block.size, &error);
    vokxRecordField f;
    if (readable(status))
        while ((status = vokxRecordNext(&reader, &f, &error)) == VOK_OK) {
        }
    if (status == VOK_END_OF_STREAM) return true;
    problem = refusal(block, status, error);
    return false;
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
