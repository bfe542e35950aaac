#include "record_json.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>

#include "json_writer.hpp"
#include "text_escape.hpp"

namespace vok::tool {

namespace {

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

} // namespace vok::tool
