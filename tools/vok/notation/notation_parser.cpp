// Reads the text notation one line at a time.
#include <charconv>
#include <optional>
#include <unicode/utf8.h>

#include "line_parser.hpp"
#include "notation_words.hpp"
#include "suggestion.hpp"
#include "vok32.h"
#include "wording.hpp"

namespace vok::tool {

namespace {

class NotationParser final : public LineParser {
  public:
    bool parse_line(std::string_view line, bool &has_item, Item &item,
                    NotationError &error) override;
};

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool is_word_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_hex_digit(char c) {
    return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A cursor over one line that records the first error with its column.
class LineCursor {
  public:
    LineCursor(std::string_view line, NotationError &error) : line_(line), error_(error) {}

    size_t column() const { return pos_ + 1; }
    bool at_end() const { return pos_ >= line_.size(); }
    char peek() const { return at_end() ? '\0' : line_[pos_]; }
    bool looking_at(std::string_view text) const { return line_.substr(pos_).starts_with(text); }
    void advance(size_t n = 1) { pos_ += n; }

    void skip_spaces() {
        while (!at_end() && is_space(line_[pos_]))
            ++pos_;
    }
    // True if nothing but spaces and a comment is left.
    bool at_line_end() {
        skip_spaces();
        return at_end() || peek() == words::kComment;
    }

    std::string_view word() {
        const size_t start = pos_;
        while (!at_end() && is_word_char(line_[pos_]))
            ++pos_;
        return line_.substr(start, pos_ - start);
    }

    // A run of non-space characters, for messages.
    std::string_view token() const {
        size_t end = pos_;
        while (end < line_.size() && !is_space(line_[end]))
            ++end;
        return line_.substr(pos_, end - pos_);
    }

    bool fail(size_t column, std::string message) {
        error_ = {column, std::move(message)};
        return false;
    }
    bool fail(std::string message) { return fail(column(), std::move(message)); }

    // A decimal or 0x-prefixed hexadecimal number no greater than max.
    bool number(uint32_t max, const char *what, uint32_t &value) {
        skip_spaces();
        const size_t start = column();
        int base = 10;
        if (looking_at("0x") || looking_at("0X")) {
            base = 16;
            advance(2);
        }
        const char *first = line_.data() + pos_;
        const char *last = line_.data() + line_.size();
        uint64_t parsed = 0;
        const auto [end, ec] = std::from_chars(first, last, parsed, base);
        if (ec == std::errc::invalid_argument || end == first)
            return fail(start,
                        std::string("expected ") + what + ", found '" + printable(token()) + "'");
        advance(static_cast<size_t>(end - first));
        if (ec == std::errc::result_out_of_range || parsed > max || is_word_char(peek()))
            return fail(start,
                        std::string(what) + " must be a number from 0 to " + std::to_string(max));
        value = static_cast<uint32_t>(parsed);
        return true;
    }

    bool expect_word(std::string_view expected) {
        skip_spaces();
        const size_t start = column();
        if (word() != expected) return fail(start, "expected '" + std::string(expected) + "'");
        return true;
    }

  private:
    std::string_view line_;
    size_t pos_ = 0;
    NotationError &error_;
};

void append_utf8(std::string &out, UChar32 c) {
    uint8_t bytes[U8_MAX_LENGTH];
    int32_t length = 0;
    U8_APPEND_UNSAFE(bytes, length, c); // c is a scalar value, checked by the caller
    out.append(reinterpret_cast<const char *>(bytes), static_cast<size_t>(length));
}

// The two hex digits of \xHH, as one byte appended to out.
bool parse_hex_escape(LineCursor &in, size_t start, std::string &out) {
    const char high = in.peek();
    in.advance();
    const char low = in.peek();
    if (!is_hex_digit(high) || !is_hex_digit(low))
        return in.fail(start, "\\x needs two hex digits");
    in.advance();
    const char digits[] = {high, low};
    uint32_t byte = 0;
    std::from_chars(digits, digits + 2, byte, 16);
    out.push_back(static_cast<char>(byte));
    return true;
}

// The code point of \u{H...}, appended to out in UTF-8.
bool parse_unicode_escape(LineCursor &in, size_t start, std::string &out) {
    if (in.peek() != '{') return in.fail(start, "\\u needs a code point in braces: \\u{e9}");
    in.advance();
    uint32_t code = 0;
    size_t digits = 0;
    for (; is_hex_digit(in.peek()) && digits < 7; ++digits, in.advance())
        code =
            code * 16 + static_cast<uint32_t>(is_digit(in.peek()) ? in.peek() - '0'
                                                                  : (in.peek() | 0x20) - 'a' + 10);
    if (digits == 0 || in.peek() != '}' || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return in.fail(start, "\\u{...} needs a Unicode scalar value in hex");
    in.advance();
    append_utf8(out, static_cast<UChar32>(code));
    return true;
}

// The byte a one-letter escape stands for, or -1.
int single_escape(char c) {
    switch (c) {
    case '\\':
    case '"':
        return c;
    case 'n':
        return '\n';
    case 't':
        return '\t';
    case 'r':
        return '\r';
    case '0':
        return 0;
    default:
        return -1;
    }
}

// One escape after a backslash, appended to out.
bool parse_escape(LineCursor &in, std::string &out) {
    const size_t start = in.column() - 1;
    const char c = in.peek();
    in.advance();
    if (c == 'x') return parse_hex_escape(in, start, out);
    if (c == 'u') return parse_unicode_escape(in, start, out);
    const int byte = single_escape(c);
    if (byte < 0)
        return in.fail(start, "unknown escape: a backslash before '" + printable({&c, 1}) + "'");
    out.push_back(static_cast<char>(byte));
    return true;
}

// A quoted string; a trailing "..." marks one that dump shortened.
bool parse_quoted(LineCursor &in, std::string &out) {
    in.skip_spaces();
    const size_t start = in.column();
    if (in.peek() != '"') return in.fail("expected a string in double quotes");
    in.advance();
    out.clear();
    for (;;) {
        if (in.at_end()) return in.fail(start, "string without its closing quote");
        const char c = in.peek();
        in.advance();
        if (c == '"') break;
        if (c != '\\') {
            out.push_back(c);
        } else if (in.at_end()) {
            return in.fail(start, "string without its closing quote");
        } else if (!parse_escape(in, out)) {
            return false;
        }
    }
    if (in.looking_at(words::kShortened))
        return in.fail(start, "this string was shortened by dump; dump with --full to pack it");
    return true;
}

// The optional ":8", ":16" or ":32" after a keyword, as a width in bytes.
bool parse_width(LineCursor &in, unsigned max_bits, unsigned &width) {
    width = 0;
    if (in.peek() != words::kWidth) return true;
    const size_t start = in.column();
    in.advance();
    const std::string_view bits = in.word();
    if (bits == "8") {
        width = 1;
    } else if (bits == "16") {
        width = 2;
    } else if (bits == "32" && max_bits >= 32) {
        width = 4;
    } else {
        return in.fail(start,
                       max_bits >= 32 ? "width must be :8, :16 or :32" : "width must be :8 or :16");
    }
    return true;
}

bool check_fits(LineCursor &in, size_t column, const Item &item) {
    if (item.width == 0 || narrowest_width(item.number) <= item.width) return true;
    return in.fail(column, std::to_string(item.number) + " does not fit in " +
                               std::to_string(item.width * 8) + " bits");
}

// Skips the offset and hex columns of a dump listing, up to and including
// its bar.
bool skip_listing_columns(LineCursor &in) {
    const size_t start = in.column();
    while (!in.at_end() && in.peek() != words::kListingBar) {
        const char c = in.peek();
        if (!is_hex_digit(c) && !is_space(c) && c != '.')
            return in.fail(start, "a line that starts with an offset needs '|' before its item");
        in.advance();
    }
    if (in.at_end())
        return in.fail(start, "a line that starts with an offset needs '|' before its item");
    in.advance();
    return true;
}

// A number no greater than max that must fit the item's recorded width.
bool parse_sized_number(LineCursor &in, uint32_t max, const char *what, Item &item) {
    in.skip_spaces();
    const size_t column = in.column();
    return in.number(max, what, item.number) && check_fits(in, column, item);
}

bool parse_header(LineCursor &in, Item &item) {
    uint32_t type = 0;
    if (!in.expect_word(words::kType) || !in.number(255, "a stream type", type)) return false;
    item.extra = static_cast<uint8_t>(type);
    return in.expect_word(words::kVersion) && parse_width(in, 32, item.width) &&
           parse_sized_number(in, UINT32_MAX, "a version", item);
}

bool parse_signed(LineCursor &in, Item &item) {
    in.skip_spaces();
    const size_t column = in.column();
    const bool minus = in.peek() == '-';
    if (minus) in.advance();
    if (!in.number(UINT32_MAX, "a magnitude", item.number) || !check_fits(in, column, item))
        return false;
    item.extra = minus ? 1 : 0;
    in.skip_spaces();
    if (!in.looking_at(words::kSign)) return true;
    const size_t sign_column = in.column();
    in.advance(words::kSign.size());
    uint32_t sign = 0;
    if (!in.number(255, "a sign byte", sign)) return false;
    if ((sign != 0) != minus)
        return in.fail(sign_column, minus ? "a minus sign needs a non-zero sign byte"
                                          : "a non-zero sign byte needs a minus sign");
    item.extra = static_cast<uint8_t>(sign);
    return true;
}

bool parse_flag(LineCursor &in, Item &item) {
    in.skip_spaces();
    if (in.looking_at(words::kTrue)) {
        in.advance(words::kTrue.size());
        item.number = 1;
        return true;
    }
    if (in.looking_at(words::kFalse)) {
        in.advance(words::kFalse.size());
        item.number = 0;
        return true;
    }
    return in.number(255, "true, false or a flag byte", item.number);
}

bool parse_string(LineCursor &in, Item &item, std::string &content) {
    in.skip_spaces();
    const size_t column = in.column();
    if (!parse_quoted(in, content)) return false;
    item.text = content;
    item.number = static_cast<uint32_t>(content.size());
    if (item.kind == ItemKind::plain_string && content.size() > VOK_MAX_SHORT_STRING)
        return in.fail(column, "a plain string holds at most 65535 bytes, this one " +
                                   counted(content.size(), "byte"));
    if (content.size() > UINT32_MAX) return in.fail(column, "string too long for a stream");
    return check_fits(in, column, item);
}

// The keyword and its optional width.
bool parse_keyword(LineCursor &in, Item &item) {
    const size_t start = in.column();
    const std::string_view keyword = in.word();
    const std::optional<ItemKind> kind = words::kind_named(keyword);
    if (!kind) {
        if (keyword.empty()) return in.fail(start, "expected an item");
        const auto meant = suggest_word(keyword, &words::KindWords::notation);
        return in.fail(start, "unknown item '" + std::string(keyword) + "'" +
                                  (meant ? " (did you mean '" + std::string(*meant) + "'?)" : ""));
    }
    item = Item{};
    item.kind = *kind;
    if (!words::takes_width(*kind)) return true;
    const bool wide = *kind != ItemKind::plain_string && *kind != ItemKind::safe_string;
    return parse_width(in, wide ? 32 : 16, item.width);
}

// What follows the keyword.
bool parse_fields(LineCursor &in, Item &item, std::string &content) {
    switch (item.kind) {
    case ItemKind::header:
        return parse_header(in, item);
    case ItemKind::user_mark:
        return in.number(VOK_MAX_USER_MARK, "a user mark", item.number);
    case ItemKind::phrase_mark:
        return in.number(255, "a phrase identifier", item.number);
    case ItemKind::flag:
        return parse_flag(in, item);
    case ItemKind::unsigned_int:
        return parse_sized_number(in, UINT32_MAX, "a value", item);
    case ItemKind::signed_int:
        return parse_signed(in, item);
    case ItemKind::plain_string:
    case ItemKind::utf8_string:
        return parse_string(in, item, content);
    case ItemKind::safe_string:
        return parse_sized_number(in, VOK_MAX_SHORT_STRING, "a safe string length", item);
    case ItemKind::end:
        return true;
    }
    return false;
}

} // namespace

bool NotationParser::parse_line(std::string_view line, bool &has_item, Item &item,
                                NotationError &error) {
    has_item = false;
    LineCursor in(line, error);
    in.skip_spaces();
    if (is_digit(in.peek()) && !skip_listing_columns(in)) return false;
    if (in.at_line_end()) return true;
    if (!parse_keyword(in, item) || !parse_fields(in, item, content_)) return false;
    if (!in.at_line_end())
        return in.fail("unexpected '" + printable(in.token()) + "' after the item");
    has_item = true;
    return true;
}

std::unique_ptr<LineParser> make_notation_parser() { return std::make_unique<NotationParser>(); }

} // namespace vok::tool
