#include "json_writer.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

#include "hex_column.hpp"
#include "notation_words.hpp"
#include "text_escape.hpp"

namespace vok::tool {

void JsonObject::text(const char *name, std::string_view value) {
    write_json_string(key(name), value);
}

namespace {

void write_content(JsonObject &json, Sink &out, const Item &item, const NotationOptions &options) {
    std::string_view shown = item.text;
    if (shown.size() > options.shorten_above) {
        shown = shown.substr(0, utf8_prefix_length(shown, options.shortened_to));
        json.key("shortened") << "true";
    }
    // Content that is not UTF-8 cannot be a JSON string: it goes as hex.
    if (is_valid_utf8(shown)) {
        write_json_string(json.key("text"), shown);
    } else {
        json.key("hex") << '"';
        write_hex(out, shown);
        out << '"';
    }
}

// The keys that tell what the item holds, but for its width and content.
void write_fields(JsonObject &json, const Item &item, uint32_t declared_length) {
    switch (item.kind) {
    case ItemKind::header:
        json.number("length", declared_length);
        json.number("type", item.extra);
        json.number("version", item.number);
        return;
    case ItemKind::signed_int:
        json.number("value", signed_reading(item));
        json.number("magnitude", item.number);
        json.number("sign", item.extra);
        return;
    case ItemKind::plain_string:
    case ItemKind::utf8_string:
    case ItemKind::safe_string:
        json.number("length", item.number);
        return;
    case ItemKind::end:
        return;
    default: // marks, flag, unsigned
        json.number("value", item.number);
        return;
    }
}

} // namespace

void write_json_entry(Sink &out, const Entry &entry, uint32_t declared_length,
                      std::optional<uint8_t> in_phrase, const NotationOptions &options) {
    const Item &item = entry.item;
    JsonObject json(out);
    json.number("offset", static_cast<int64_t>(entry.offset));
    json.number("size", static_cast<int64_t>(entry.bytes.size()));
    json.text("kind", words::word_of(item.kind, &words::KindWords::json));
    if (in_phrase) json.number("in_phrase", *in_phrase);
    write_fields(json, item, declared_length);
    if (item.kind == ItemKind::header || words::takes_width(item.kind))
        json.number("width", item.width);
    if (item.kind == ItemKind::plain_string || item.kind == ItemKind::utf8_string)
        write_content(json, out, item, options);
}

void write_problem_keys(JsonObject &json, const Problem &problem, bool with_block) {
    if (with_block) json.number("block", static_cast<int64_t>(problem.block));
    json.number("byte", static_cast<int64_t>(problem.offset));
    json.text("status", vokxStatusName(problem.status));
    if (problem.record) json.text("path", problem.path);
    json.text("message", problem.message);
}

void write_json_problem(Sink &out, const Problem &problem, bool warning) {
    if (warning) out << "{\"warning\":";
    {
        JsonObject json(out, !warning);
        write_problem_keys(json, problem);
    }
    if (warning) out << "}\n";
}

void write_json_skipped(Sink &out, const Skipped &skipped) {
    out << "{\"skipped\":";
    {
        JsonObject range(out, false);
        range.number("from", static_cast<int64_t>(skipped.from));
        range.number("to", static_cast<int64_t>(skipped.to));
    }
    out << "}\n";
}

} // namespace vok::tool
