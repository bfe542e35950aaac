// Reads the JSON lines of `vok dump --json`.  The fields that only describe
// (offset, size, in_phrase, a signed item's value when magnitude and sign
// are there, a string's length) are not needed; a missing width means the
// narrowest.
#include <nlohmann/json.hpp>
#include <optional>

#include "line_parser.hpp"
#include "notation_words.hpp"
#include "vok32.h"
#include "wording.hpp"

namespace vok::tool {

namespace {

class JsonReader final : public LineParser {
  public:
    bool parse_line(std::string_view line, bool &has_item, Item &item,
                    NotationError &error) override;
};

using nlohmann::json;

// Thrown inside this file only, for a field that is missing or out of range.
struct FieldError {
    std::string message;
};

uint32_t number(const json &entry, const char *key, uint32_t max) {
    const auto found = entry.find(key);
    if (found == entry.end() || !found->is_number_unsigned() || found->get<uint64_t>() > max)
        throw FieldError{"\"" + std::string(key) + "\" must be a number from 0 to " +
                         std::to_string(max)};
    return static_cast<uint32_t>(found->get<uint64_t>());
}

// The recorded width in bytes, or 0 (the narrowest) when there is none.
unsigned width(const json &entry, const Item &item, unsigned widest) {
    if (!entry.contains("width")) return 0;
    const uint32_t bytes = number(entry, "width", widest);
    if ((bytes != 1 && bytes != 2 && bytes != 4) || narrowest_width(item.number) > bytes)
        throw FieldError{"\"width\" " + std::to_string(bytes) + " cannot hold " +
                         std::to_string(item.number)};
    return bytes;
}

void read_signed(const json &entry, Item &item) {
    if (entry.contains("magnitude") || entry.contains("sign")) {
        item.number = number(entry, "magnitude", UINT32_MAX);
        item.extra = static_cast<uint8_t>(number(entry, "sign", 255));
    } else {
        const auto value = entry.value("value", json());
        if (!value.is_number_integer() || value.get<int64_t>() < INT32_MIN ||
            value.get<int64_t>() > INT32_MAX)
            throw FieldError{"a signed entry needs \"magnitude\" and \"sign\", or \"value\""};
        const int64_t v = value.get<int64_t>();
        item.number = static_cast<uint32_t>(v < 0 ? -v : v);
        item.extra = v < 0 ? 1 : 0;
    }
    item.width = width(entry, item, 4);
}

uint8_t hex_digit(char c) {
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return static_cast<uint8_t>((c | 0x20) - 'a' + 10);
    throw FieldError{"\"hex\" must hold pairs of hex digits"};
}

void read_content(const json &entry, std::string &content) {
    if (entry.value("shortened", false))
        throw FieldError{"this string was shortened by dump; dump with --full to pack it"};
    if (const auto text = entry.find("text"); text != entry.end() && text->is_string()) {
        content = text->get<std::string>();
        return;
    }
    const auto hex = entry.find("hex");
    if (hex == entry.end() || !hex->is_string() || hex->get_ref<const std::string &>().size() % 2)
        throw FieldError{"a string entry needs \"text\" or \"hex\""};
    const std::string &digits = hex->get_ref<const std::string &>();
    content.clear();
    for (size_t i = 0; i < digits.size(); i += 2)
        content.push_back(static_cast<char>(hex_digit(digits[i]) << 4 | hex_digit(digits[i + 1])));
}

void read_string(const json &entry, Item &item, std::string &content) {
    read_content(entry, content);
    const bool plain = item.kind == ItemKind::plain_string;
    if (content.size() > (plain ? VOK_MAX_SHORT_STRING : UINT32_MAX))
        throw FieldError{"string too long for its kind"};
    item.text = content;
    item.number = static_cast<uint32_t>(content.size());
    item.width = width(entry, item, plain ? 2 : 4);
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

void read_fields(const json &entry, Item &item, std::string &content) {
    if (item.kind == ItemKind::signed_int) return read_signed(entry, item);
    if (item.kind == ItemKind::plain_string || item.kind == ItemKind::utf8_string)
        return read_string(entry, item, content);
    if (item.kind == ItemKind::header)
        item.extra = static_cast<uint8_t>(number(entry, "type", 255));
    if (const std::optional<NumberField> field = number_field(item.kind)) {
        item.number = number(entry, field->key, field->max);
        if (field->widest != 0) item.width = width(entry, item, field->widest);
    }
}

} // namespace

bool JsonReader::parse_line(std::string_view line, bool &has_item, Item &item,
                            NotationError &error) {
    has_item = false;
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) return true;
    try {
        const json entry = json::parse(line);
        const auto kind = entry.is_object() ? entry.find("kind") : entry.end();
        const std::optional<ItemKind> known =
            kind != entry.end() && kind->is_string()
                ? words::kind_named(kind->get_ref<const std::string &>(), &words::KindWords::json)
                : std::nullopt;
        if (!known) throw FieldError{"expected an object with a known \"kind\""};
        item = Item{};
        item.kind = *known;
        read_fields(entry, item, content_);
    } catch (const json::parse_error &e) {
        error = {e.byte, "not JSON: " + printable(e.what())};
        return false;
    } catch (const json::exception &e) {
        error = {1, printable(e.what())};
        return false;
    } catch (const FieldError &e) {
        error = {1, e.message};
        return false;
    }
    has_item = true;
    return true;
}

std::unique_ptr<LineParser> make_json_reader() { return std::make_unique<JsonReader>(); }

} // namespace vok::tool
