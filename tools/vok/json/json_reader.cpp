// Reads the JSON lines of `vok dump --json`.  The fields that only describe
// (offset, size, in_phrase, a signed item's value when magnitude and sign
// are there, a string's length) are not needed; a missing width means the
// narrowest.
//
// A line is parsed event by event and only the keys that make bytes are
// kept, each as one scalar: whatever else a line holds (an array of millions
// of elements under an unknown key, say) passes through without being built
// in memory.
#include <nlohmann/json.hpp>
#include <optional>
#include <unordered_map>

#include "json_line.hpp"
#include "json_reader.hpp"
#include "notation_words.hpp"
#include "suggestion.hpp"
#include "vok32.h"
#include "wording.hpp"

namespace vok::tool {

namespace {

using nlohmann::json;

// Thrown inside this file only, for a field that is missing or out of range.
struct FieldError {
    std::string message;
};

// The value of a key at the top level of a line, if it was a scalar.
struct Scalar {
    enum class Type : uint8_t { integer, boolean, string, other } type = Type::other;
    int64_t integer = 0;  // integers from INT64_MIN to INT64_MAX
    bool in_range = true; // false for an integer beyond int64_t
    bool boolean = false;
    std::string text;
};

// The keys pack uses; every other key's value is passed over.
bool is_used_key(std::string_view key) {
    static constexpr std::string_view kUsed[] = {"kind",      "type",   "version",  "value",
                                                 "magnitude", "sign",   "width",    "text",
                                                 "hex",       "length", "shortened"};
    for (const std::string_view used : kUsed)
        if (key == used) return true;
    return false;
}

// Collects the used top-level keys of one JSON object; nested values and
// unused keys are counted through, not stored.
class FieldCollector final : public nlohmann::json_sax<json> {
  public:
    std::unordered_map<std::string, Scalar> fields;
    bool is_object = false;
    size_t error_byte = 0;
    std::string error;

    bool null() override { return put(Scalar{}); }
    bool boolean(bool value) override { return put({Scalar::Type::boolean, 0, true, value, {}}); }
    bool number_integer(number_integer_t value) override {
        return put({Scalar::Type::integer, value, true, false, {}});
    }
    bool number_unsigned(number_unsigned_t value) override {
        const bool fits = value <= static_cast<uint64_t>(INT64_MAX);
        return put(
            {Scalar::Type::integer, fits ? static_cast<int64_t>(value) : 0, fits, false, {}});
    }
    bool number_float(number_float_t, const string_t &) override { return put(Scalar{}); }
    bool string(string_t &value) override {
        return put({Scalar::Type::string, 0, true, false, std::move(value)});
    }
    bool binary(binary_t &) override { return put(Scalar{}); }
    bool start_object(std::size_t) override { return open(true); }
    bool start_array(std::size_t) override { return open(false); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool key(string_t &name) override {
        if (depth_ == 1) key_ = is_used_key(name) ? std::move(name) : std::string();
        return true;
    }
    bool parse_error(std::size_t position, const std::string &,
                     const nlohmann::detail::exception &e) override {
        error_byte = position;
        error = e.what();
        return false;
    }

  private:
    // A value at the top level of the object under a used key is kept; a
    // container there is kept as "other", its contents passed over.
    bool put(Scalar value) {
        if (depth_ == 1 && !key_.empty()) fields[key_] = std::move(value);
        return true;
    }
    bool open(bool object) {
        if (depth_ == 0)
            is_object = object;
        else
            put(Scalar{});
        ++depth_;
        return true;
    }
    bool close() {
        --depth_;
        return true;
    }

    size_t depth_ = 0;
    std::string key_;
};

const Scalar *find(const FieldCollector &line, const char *key) {
    const auto found = line.fields.find(key);
    return found == line.fields.end() ? nullptr : &found->second;
}

// The integer under key, which must lie in min..max.
int64_t integer(const FieldCollector &line, const char *key, int64_t min, int64_t max) {
    const Scalar *value = find(line, key);
    if (value == nullptr || value->type != Scalar::Type::integer || !value->in_range ||
        value->integer < min || value->integer > max)
        throw FieldError{"\"" + std::string(key) + "\" must be an integer from " +
                         std::to_string(min) + " to " + std::to_string(max)};
    return value->integer;
}

uint32_t number(const FieldCollector &line, const char *key, uint32_t max) {
    return static_cast<uint32_t>(integer(line, key, 0, max));
}

// The recorded width in bytes, or 0 (the narrowest) when there is none.
unsigned width(const FieldCollector &line, const Item &item, unsigned widest) {
    if (find(line, "width") == nullptr) return 0;
    const auto bytes = static_cast<unsigned>(integer(line, "width", 1, widest));
    if (bytes == 3) throw FieldError{"\"width\" must be 1, 2 or 4"};
    if (narrowest_width(item.number) > bytes)
        throw FieldError{"\"width\" " + std::to_string(bytes) + " cannot hold " +
                         std::to_string(item.number)};
    return bytes;
}

void read_signed(const FieldCollector &line, Item &item) {
    if (find(line, "magnitude") != nullptr || find(line, "sign") != nullptr) {
        item.number = number(line, "magnitude", UINT32_MAX);
        item.extra = static_cast<uint8_t>(number(line, "sign", 255));
    } else {
        const int64_t v = integer(line, "value", INT32_MIN, INT32_MAX);
        item.number = static_cast<uint32_t>(v < 0 ? -v : v);
        item.extra = v < 0 ? 1 : 0;
    }
    item.width = width(line, item, 4);
}

uint8_t hex_digit(char c) {
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return static_cast<uint8_t>((c | 0x20) - 'a' + 10);
    throw FieldError{"\"hex\" must hold pairs of hex digits"};
}

void read_content(const FieldCollector &line, std::string &content) {
    if (const Scalar *s = find(line, "shortened"); s != nullptr && s->boolean)
        throw FieldError{"this string was shortened by dump; dump with --full to pack it"};
    if (const Scalar *text = find(line, "text"); text != nullptr) {
        if (text->type != Scalar::Type::string) throw FieldError{"\"text\" must be a string"};
        content = text->text;
        return;
    }
    const Scalar *hex = find(line, "hex");
    if (hex == nullptr || hex->type != Scalar::Type::string || hex->text.size() % 2)
        throw FieldError{"a string entry needs \"text\" or \"hex\""};
    content.clear();
    for (size_t i = 0; i < hex->text.size(); i += 2)
        content.push_back(
            static_cast<char>(hex_digit(hex->text[i]) << 4 | hex_digit(hex->text[i + 1])));
}

void read_string(const FieldCollector &line, Item &item, std::string &content) {
    const bool plain = item.kind == ItemKind::plain_string;
    const uint32_t longest = plain ? VOK_MAX_SHORT_STRING : UINT32_MAX;
    if (find(line, "length") != nullptr) number(line, "length", longest);
    read_content(line, content);
    if (content.size() > longest) throw FieldError{"string too long for its kind"};
    item.text = content;
    item.number = static_cast<uint32_t>(content.size());
    item.width = width(line, item, plain ? 2 : 4);
}

// Where an entry keeps a kind's number: the key, the largest value, and the
// widest width in bytes (0 for a kind without one).
struct NumberField {
    const char *key;
    uint32_t max;
    unsigned widest;
};

std::optional<NumberField> number_field(ItemKind kind) {
    switch (kind) {
    case ItemKind::header:
        return NumberField{"version", UINT32_MAX, 4};
    case ItemKind::user_mark:
        return NumberField{"value", VOK_MAX_USER_MARK, 0};
    case ItemKind::phrase_mark:
    case ItemKind::flag:
        return NumberField{"value", 255, 0};
    case ItemKind::unsigned_int:
        return NumberField{"value", UINT32_MAX, 4};
    case ItemKind::safe_string:
        return NumberField{"length", VOK_MAX_SHORT_STRING, 2};
    default:
        return std::nullopt;
    }
}

void read_fields(const FieldCollector &line, Item &item, std::string &content) {
    if (item.kind == ItemKind::signed_int) return read_signed(line, item);
    if (item.kind == ItemKind::plain_string || item.kind == ItemKind::utf8_string)
        return read_string(line, item, content);
    if (item.kind == ItemKind::header) item.extra = static_cast<uint8_t>(number(line, "type", 255));
    if (const std::optional<NumberField> field = number_field(item.kind)) {
        item.number = number(line, field->key, field->max);
        if (field->widest != 0) item.width = width(line, item, field->widest);
    }
}

ItemKind kind_of(const FieldCollector &line) {
    const Scalar *kind = find(line, "kind");
    if (!line.is_object || kind == nullptr || kind->type != Scalar::Type::string)
        throw FieldError{"expected an object with a \"kind\" string"};
    if (const auto known = words::kind_named(kind->text, &words::KindWords::json)) return *known;
    const auto meant = suggest_word(kind->text, &words::KindWords::json);
    throw FieldError{"unknown \"kind\" \"" + printable(kind->text) + "\"" +
                     (meant ? " (did you mean \"" + std::string(*meant) + "\"?)" : "")};
}

class JsonReader final : public LineParser {
  public:
    bool parse_line(std::string_view line, bool &has_item, Item &item,
                    NotationError &error) override {
        has_item = false;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) return true;
        try {
            if (!within_depth(line, error)) return false;
            FieldCollector fields;
            if (!json::sax_parse(line.begin(), line.end(), &fields)) {
                error = {fields.error_byte, "not JSON: " + printable(parse_reason(fields.error))};
                return false;
            }
            item = Item{};
            item.kind = kind_of(fields);
            read_fields(fields, item, content_);
        } catch (const FieldError &e) {
            error = {1, e.message};
            return false;
        }
        has_item = true;
        return true;
    }
};

} // namespace

std::unique_ptr<LineParser> make_json_reader() { return std::make_unique<JsonReader>(); }

} // namespace vok::tool
