#include "json_writer.hpp"

#include <algorithm>
#include <string>

#include "hex_column.hpp"
#include "json_words.hpp"
#include "text_escape.hpp"

namespace vok::tool {

namespace {

class JsonObject {
  public:
    explicit JsonObject(Sink &out) : out_(out) { out_ << '{'; }
    ~JsonObject() { out_ << "}\n"; }
    JsonObject(const JsonObject &) = delete;
    JsonObject &operator=(const JsonObject &) = delete;

    Sink &key(const char *name) {
        if (!first_) out_ << ',';
        first_ = false;
        return out_ << '"' << std::string_view(name) << "\":";
    }
    void number(const char *name, int64_t value) { key(name) << std::to_string(value); }
    void text(const char *name, std::string_view value) { key(name) << '"' << value << '"'; }

  private:
    Sink &out_;
    bool first_ = true;
};

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

} // namespace

void write_json_entry(Sink &out, const Entry &entry, uint32_t declared_length,
                      std::optional<uint8_t> in_phrase, const NotationOptions &options) {
    const Item &item = entry.item;
    JsonObject json(out);
    json.number("offset", static_cast<int64_t>(entry.offset));
    json.number("size", static_cast<int64_t>(entry.bytes.size()));
    json.text("kind", json_words::name_of(item.kind));
    if (in_phrase) json.number("in_phrase", *in_phrase);
    switch (item.kind) {
    case ItemKind::header:
        json.number("length", declared_length);
        json.number("type", item.extra);
        json.number("version", item.number);
        json.number("width", item.width);
        break;
    case ItemKind::user_mark:
    case ItemKind::phrase_mark:
    case ItemKind::flag:
        json.number("value", item.number);
        break;
    case ItemKind::unsigned_int:
        json.number("value", item.number);
        json.number("width", item.width);
        break;
    case ItemKind::signed_int:
        json.number("value", signed_reading(item));
        json.number("magnitude", item.number);
        json.number("sign", item.extra);
        json.number("width", item.width);
        break;
    case ItemKind::plain_string:
    case ItemKind::utf8_string:
        json.number("length", item.number);
        json.number("width", item.width);
        write_content(json, out, item, options);
        break;
    case ItemKind::safe_string:
        json.number("length", item.number);
        json.number("width", item.width);
        break;
    case ItemKind::end:
        break;
    }
}

} // namespace vok::tool
