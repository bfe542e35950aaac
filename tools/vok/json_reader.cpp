#include "json_reader.hpp"

#include <nlohmann/json.hpp>
#include <optional>

#include "json_words.hpp"
#include "vok32.h"
#include "wording.hpp"

namespace vok::tool {

namespace {

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

void read_fields(const json &entry, Item &item, std::string &content) {
    switch (item.kind) {
    case ItemKind::header:
        item.extra = static_cast<uint8_t>(number(entry, "type", 255));
        item.number = number(entry, "version", UINT32_MAX);
        item.width = width(entry, item, 4);
        return;
    case ItemKind::user_mark:
        item.number = number(entry, "value", VOK_MAX_USER_MARK);
        return;
    case ItemKind::phrase_mark:
    case ItemKind::flag:
        item.number = number(entry, "value", 255);
        return;
    case ItemKind::unsigned_int:
        item.number = number(entry, "value", UINT32_MAX);
        item.width = width(entry, item, 4);
        return;
    case ItemKind::signed_int:
        read_signed(entry, item);
        return;
    case ItemKind::plain_string:
    case ItemKind::utf8_string:
        read_string(entry, item, content);
        return;
    case ItemKind::safe_string:
        item.number = number(entry, "length", VOK_MAX_SHORT_STRING);
        item.width = width(entry, item, 2);
        return;
    case ItemKind::end:
        return;
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
                ? json_words::kind_named(kind->get_ref<const std::string &>())
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

} // namespace vok::tool
