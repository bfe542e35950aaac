#include "record_packer.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include "json_line.hpp"
#include "text_escape.hpp"
#include "wording.hpp"

namespace vok::tool {

namespace {

using Value = rapidjson::Value;

bool repeated(uint32_t flags) { return (flags & VOKX_REPEATED) != 0; }

std::string_view name_of(const Value &v) { return {v.GetString(), v.GetStringLength()}; }

// Numbers are parsed as their text, which the engine then reads itself, so
// that a float field sees the digits as written, not a double's rounding.
// Parsed in place, a string's characters follow its opening quote, and a
// number's follow a separator: that tells the two apart.
bool is_number(const Value &v) { return v.IsString() && v.GetString()[-1] != '"'; }
bool is_text(const Value &v) { return v.IsString() && v.GetString()[-1] == '"'; }

// "Invalid value." as "invalid value", the form of the tool's other messages.
std::string parse_reason(rapidjson::ParseErrorCode code) {
    std::string reason = rapidjson::GetParseError_En(code);
    if (!reason.empty() && reason.back() == '.') reason.pop_back();
    if (!reason.empty()) reason[0] = static_cast<char>(std::tolower(reason[0]));
    return reason;
}

// The first key an object names twice, or null; too_deep when the value
// nests deeper than kMaxJsonDepth, where the walk stops.
const Value *repeated_key(const Value &value, size_t depth, bool &too_deep) {
    if (!value.IsArray() && !value.IsObject()) return nullptr;
    if (depth == kMaxJsonDepth) {
        too_deep = true;
        return nullptr;
    }
    if (value.IsArray()) {
        for (const Value &element : value.GetArray())
            if (const Value *found = repeated_key(element, depth + 1, too_deep); found || too_deep)
                return found;
        return nullptr;
    }
    for (auto m = value.MemberBegin(); m != value.MemberEnd(); ++m) {
        for (auto earlier = value.MemberBegin(); earlier != m; ++earlier)
            if (name_of(earlier->name) == name_of(m->name)) return &m->name;
        if (const Value *found = repeated_key(m->value, depth + 1, too_deep); found || too_deep)
            return found;
    }
    return nullptr;
}

const Value *member(const Value &object, const char *key) {
    const auto found = object.FindMember(key);
    return found == object.MemberEnd() ? nullptr : &found->value;
}

// What an absent field reads as: its default, or nothing.
const vokxFieldDetail *default_of(const vokxFieldSpec &field) {
    return field.detail != nullptr && field.detail->has_default != 0 ? field.detail : nullptr;
}

// A value as JSON text, for vokxValueParse and messages: numbers as written.
void append_json(std::string &text, const Value &value) {
    if (is_text(value)) {
        append_json_string(text, name_of(value));
    } else if (value.IsString()) {
        text.append(name_of(value));
    } else if (value.IsArray()) {
        char separator = '[';
        for (const Value &element : value.GetArray()) {
            text.push_back(separator);
            append_json(text, element);
            separator = ',';
        }
        text.append(value.Empty() ? "[]" : "]");
    } else if (value.IsObject()) {
        char separator = '{';
        for (auto m = value.MemberBegin(); m != value.MemberEnd(); ++m) {
            text.push_back(separator);
            append_json_string(text, name_of(m->name));
            text.push_back(':');
            append_json(text, m->value);
            separator = ',';
        }
        text.append(value.ObjectEmpty() ? "{}" : "}");
    } else {
        text.append(value.IsNull() ? "null" : value.IsTrue() ? "true" : "false");
    }
}

std::string json_text(const Value &value) {
    std::string text;
    append_json(text, value);
    return text;
}

uint8_t nibble(char c) {
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
    throw std::string(R"(must be a string or {"hex": "<pairs of hex digits>"})");
}

// The bytes of a string field: a JSON string, or {"hex": "..."}.  Points
// into the document or into storage.  Throws the message for another shape.
std::string_view text_of(const Value &value, std::string &storage) {
    if (is_text(value)) return name_of(value);
    const Value *digits =
        value.IsObject() && value.MemberCount() == 1 ? member(value, "hex") : nullptr;
    if (digits == nullptr || !is_text(*digits) || digits->GetStringLength() % 2 != 0)
        throw std::string(R"(must be a string or {"hex": "<pairs of hex digits>"})");
    const std::string_view hex = name_of(*digits);
    storage.clear();
    for (size_t i = 0; i < hex.size(); i += 2)
        storage.push_back(static_cast<char>(nibble(hex[i]) * 16 + nibble(hex[i + 1])));
    return storage;
}

// Whether all of digits is one number of type T, in range.
template <typename T> bool whole(std::string_view digits, T &n) {
    const char *end = digits.data() + digits.size();
    const auto [stop, failure] = std::from_chars(digits.data(), end, n);
    return failure == std::errc() && stop == end;
}

// A whole number from low to high, from its text; a fraction or an
// exponent makes it no integer, as it does for JSON's readers.
int64_t integer(const Value &value, int64_t low, int64_t high, const char *what) {
    const std::string_view digits = is_number(value) ? name_of(value) : std::string_view();
    int64_t n = 0;
    uint64_t u = 0;
    if (!digits.empty() && digits[0] == '-' && whole(digits, n) && n >= low) return n;
    if (!digits.empty() && digits[0] != '-' && whole(digits, u) && u <= uint64_t(high))
        return static_cast<int64_t>(u);
    throw std::string("must be ") + what;
}

// A JSON value as the item a field of `kind` takes; text points into the
// document or storage.  Throws the message for a value of the wrong shape.
vokxItem item_for(const Value &value, uint32_t kind, std::string &storage) {
    vokxItem item{};
    switch (kind) {
    case VOKX_CLASS_FLAG:
        if (!value.IsBool()) throw std::string("must be true or false");
        item.value = value.GetBool() ? 1 : 0;
        return item;
    case VOKX_CLASS_SIGNED:
        item.signed_value = static_cast<int32_t>(
            integer(value, INT32_MIN, INT32_MAX, "an integer from -2147483648 to 2147483647"));
        return item;
    case VOKX_CLASS_STRING:
    case VOKX_CLASS_UTF8: {
        const std::string_view text = text_of(value, storage);
        if (text.size() > UINT32_MAX) throw std::string("is too long");
        item.text = reinterpret_cast<const uint8_t *>(text.data());
        item.length = static_cast<uint32_t>(text.size());
        return item;
    }
    default: // unsigned, safe
        item.value =
            static_cast<uint32_t>(integer(value, 0, UINT32_MAX, "an integer from 0 to 4294967295"));
        return item;
    }
}

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

struct Packing {
    vokxRecordWriter writer;
    vokxRecordError error;
    std::string text; // a value's JSON text, reused from value to value
};

std::string field_path(const char *group, size_t occurrence, const char *field) {
    return group == nullptr ? std::string(field)
                            : std::string(group) + "[" + std::to_string(occurrence) + "]." + field;
}

// Writes the value of field number `index` of the current level, or leaves
// it out when it is the field's default.  Throws "path: message".
void put_value(Packing &p, const vokxFieldSpec &field, uint32_t index, const Value &value,
               const char *group, size_t occurrence) {
    uint16_t status = VOK_OK;
    if (is_item_class_kind(field.kind)) {
        std::string storage;
        vokxItem item;
        try {
            item = item_for(value, field.kind, storage);
        } catch (const std::string &message) {
            throw field_path(group, occurrence, field.name) + ": " + message;
        }
        if (holds_default(field, item)) return;
        status = vokxRecordPut(&p.writer, index, &item, &p.error);
    } else {
        if (!is_number(value)) {
            p.text.clear();
            append_json(p.text, value);
        }
        const std::string_view text = is_number(value) ? name_of(value) : p.text;
        vokxValue parsed{};
        const char *why = "";
        if (vokxValueParse(&field, text.data(), text.size(), &parsed, &why) != VOK_OK)
            throw field_path(group, occurrence, field.name) + ": " + why;
        const vokxFieldDetail *d = default_of(field);
        const size_t bytes = field.kind == VOKX_KIND_FLOAT32 ? 4 : 8; // floats by their bits
        if (d != nullptr && std::memcmp(&parsed, &d->default_value, bytes) == 0) return;
        status = vokxRecordPutValue(&p.writer, index, &parsed, &p.error);
    }
    if (status != VOK_OK) throw std::string(p.error.path) + ": " + p.error.message;
}

// A level's names (its fields', or the groups'), measured once.
using Names = std::vector<std::string_view>;

Names names_of(const vokxFieldSpec *fields, uint32_t count) {
    Names names;
    for (uint32_t i = 0; i < count; ++i)
        names.emplace_back(fields[i].name);
    return names;
}

size_t index_of(const Names &names, std::string_view key) {
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == key) return i;
    return names.size();
}

// The most fields or groups a level can have: marks and phrases are below 256.
constexpr size_t kMaxSlots = 256;
using Slots = std::array<const Value *, kMaxSlots>;

// Puts each member of a level's object in the slot of its field (or, for
// the record itself, of its group), in one pass; refuses any other key but
// the $ keys a record may carry, and a non-empty $unknown.
void place_members(const Value &object, const Names &fields, const Names *groups,
                   const std::string &where, Slots &field_slots, Slots &group_slots) {
    if (fields.size() > kMaxSlots || (groups != nullptr && groups->size() > kMaxSlots))
        throw where + "more fields than marks"; // a schema the engine would refuse
    std::fill_n(field_slots.begin(), fields.size(), nullptr);
    if (groups != nullptr) std::fill_n(group_slots.begin(), groups->size(), nullptr);
    for (auto m = object.MemberBegin(); m != object.MemberEnd(); ++m) {
        const std::string_view key = name_of(m->name);
        if (const size_t i = index_of(fields, key); i < fields.size()) {
            field_slots[i] = &m->value;
            continue;
        }
        if (groups != nullptr)
            if (const size_t g = index_of(*groups, key); g < groups->size()) {
                group_slots[g] = &m->value;
                continue;
            }
        if (key == "$unknown") {
            const Value &v = m->value;
            if (!v.IsNull() && !(v.IsArray() && v.Empty()) && !(v.IsObject() && v.ObjectEmpty()))
                throw where + "$unknown: items passed over cannot be packed";
            continue;
        }
        if (groups != nullptr && (key == "$type" || key == "$version" || key == "$offset"))
            continue;
        throw where + std::string(key) + ": not a field of the schema";
    }
}

void put_fields(Packing &p, const Slots &slots, const vokxFieldSpec *fields, uint32_t count,
                const char *group, size_t occurrence) {
    for (uint32_t i = 0; i < count; ++i) {
        const Value *found = slots[i];
        if (found == nullptr || found->IsNull()) continue;
        if (!repeated(fields[i].flags)) {
            put_value(p, fields[i], i, *found, group, occurrence);
            continue;
        }
        if (!found->IsArray())
            throw field_path(group, occurrence, fields[i].name) + ": must be an array";
        for (const Value &value : found->GetArray())
            put_value(p, fields[i], i, value, group, occurrence);
    }
}

void put_occurrence(Packing &p, const Value &occurrence, uint32_t g, const vokxGroupSpec &group,
                    const Names &names, size_t n) {
    const std::string where = std::string(group.name) + "[" + std::to_string(n) + "].";
    if (!occurrence.IsObject()) throw where.substr(0, where.size() - 1) + ": must be an object";
    Slots slots;
    place_members(occurrence, names, nullptr, where, slots, slots);
    if (vokxRecordGroup(&p.writer, g, &p.error) != VOK_OK)
        throw std::string(p.error.path) + ": " + p.error.message;
    put_fields(p, slots, group.fields, group.field_count, group.name, n);
}

void put_groups(Packing &p, const Slots &slots, const vokxSchema &s,
                const std::vector<Names> &group_fields) {
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        const Value *found = slots[g];
        if (found == nullptr || found->IsNull()) continue;
        if (!repeated(group.flags)) {
            put_occurrence(p, *found, g, group, group_fields[g], 0);
            continue;
        }
        if (!found->IsArray()) throw std::string(group.name) + ": must be an array of objects";
        size_t n = 0;
        for (const Value &occurrence : found->GetArray())
            put_occurrence(p, occurrence, g, group, group_fields[g], n++);
    }
}

uint32_t header_number(const Value &object, const char *key, uint32_t fallback, uint32_t max) {
    const Value *found = member(object, key);
    if (found == nullptr) return fallback;
    const std::string what = "an integer from 0 to " + std::to_string(max);
    try {
        return static_cast<uint32_t>(integer(*found, 0, max, what.c_str()));
    } catch (const std::string &message) {
        throw std::string(key) + ": " + message;
    }
}

} // namespace

struct RecordPacker::Parsed {
    std::string text; // a space and the line, which the parser changes in place
    rapidjson::Document document;
    Names fields, groups;            // of the record
    std::vector<Names> group_fields; // of each group
};

RecordPacker::RecordPacker(const vokxSchema &schema)
    : schema_(schema), parsed_(std::make_unique<Parsed>()) {
    Parsed &p = *parsed_;
    p.fields = names_of(schema.fields, schema.field_count);
    for (uint32_t g = 0; g < schema.group_count; ++g) {
        p.groups.emplace_back(schema.groups[g].name);
        p.group_fields.push_back(names_of(schema.groups[g].fields, schema.groups[g].field_count));
    }
}

RecordPacker::~RecordPacker() = default;

// The parser works without recursion, and the pool it allocates from
// frees nothing value by value, so a deep line costs memory in proportion
// to its length and no stack; the depth is bounded after parsing, by the
// walk that looks for repeated keys.  Only when a line is refused is it
// scanned for the column where it goes too deep, which is the message then.
bool RecordPacker::parse(std::string_view line, NotationError &error) {
    Parsed &p = *parsed_;
    // The document's pool keeps every line's values until it is cleared:
    // cleared once it holds a mebibyte, memory follows the longest line.
    p.document.SetNull();
    if (p.document.GetAllocator().Size() > (size_t{1} << 20)) p.document.GetAllocator().Clear();
    // A space ahead of the line gives every value a byte before it, which
    // is_number reads, a document that is a bare number included.
    p.text.assign(1, ' ');
    p.text.append(line);
    p.document.ParseInsitu<rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag |
                           rapidjson::kParseValidateEncodingFlag>(p.text.data() + 1);
    if (p.document.HasParseError()) {
        if (within_depth(line, error))
            error = {p.document.GetErrorOffset() + 1,
                     "not JSON: " + parse_reason(p.document.GetParseError())};
        return false;
    }
    bool too_deep = false;
    const Value *key = repeated_key(p.document, 0, too_deep);
    if (too_deep) { // the scan finds the same nesting, and names its column
        error = {1, "nested deeper than " + std::to_string(kMaxJsonDepth)};
        within_depth(line, error);
        return false;
    }
    if (key != nullptr) {
        // In place, a key's characters stay where they were, after its quote.
        error = {static_cast<size_t>(key->GetString() - (p.text.data() + 1)),
                 "the key \"" + printable(name_of(*key)) + "\" appears twice in one object"};
        return false;
    }
    return true;
}

size_t RecordPacker::size() const {
    const rapidjson::Document &d = parsed_->document;
    return d.IsArray() ? d.Size() : 1;
}

bool RecordPacker::is_array() const { return parsed_->document.IsArray(); }

namespace {

const Value &record_at(const rapidjson::Document &d, size_t index) {
    return d.IsArray() ? d[static_cast<rapidjson::SizeType>(index)] : d;
}

} // namespace

std::optional<std::string> RecordPacker::refused_by_dump(size_t index) const {
    const Value &record = record_at(parsed_->document, index);
    if (!record.IsObject() || member(record, "$error") == nullptr) return std::nullopt;
    const Value *offset = member(record, "$offset");
    return offset != nullptr ? json_text(*offset) : std::string();
}

bool RecordPacker::pack(size_t index, std::vector<uint8_t> &block, std::string &error) {
    const Value &object = record_at(parsed_->document, index);
    const vokxSchema &s = schema_;
    vokStream stream{};
    const auto release = [&stream] {
        if (stream.data != nullptr && vokCloseStream(&stream) == VOK_OK)
            vokDestroyStream(vokGetData(&stream));
        stream = vokStream{};
    };
    try {
        if (!object.IsObject()) throw std::string("a record must be a JSON object");
        const uint32_t type = header_number(object, "$type", s.type, 255);
        if (type != s.type)
            throw "$type: " + std::to_string(type) + " is not the schema's " +
                std::to_string(s.type);
        Slots fields, groups;
        place_members(object, parsed_->fields, &parsed_->groups, "", fields, groups);
        const uint32_t version = header_number(object, "$version", s.version, UINT32_MAX);
        Packing p{};
        if (vokCreateStream(&stream, static_cast<uint8_t>(s.type), version) != VOK_OK)
            throw std::string("not enough memory");
        vokxRecordBegin(&p.writer, &s, &stream, &p.error);
        put_fields(p, fields, s.fields, s.field_count, nullptr, 0);
        put_groups(p, groups, s, parsed_->group_fields);
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
