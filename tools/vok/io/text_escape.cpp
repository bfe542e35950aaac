#include "text_escape.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unicode/utf8.h>

namespace vok::tool {

namespace {

// Decodes one code point at bytes[i] and advances i; a negative result is an
// invalid sequence, of which i has passed one byte or more.
UChar32 next_code_point(std::string_view bytes, size_t &i) noexcept {
    const auto *p = reinterpret_cast<const uint8_t *>(bytes.data() + i);
    const auto window = static_cast<int32_t>(std::min<size_t>(bytes.size() - i, 4));
    int32_t used = 0;
    UChar32 c = 0;
    U8_NEXT(p, used, window, c);
    i += static_cast<size_t>(used);
    return c;
}

bool needs_unicode_escape(UChar32 c) noexcept {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

void write_escape(Sink &out, const char *format, unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    out << std::string_view(text);
}

// The short escapes shared by the notation and JSON, or 0 if none applies.
char short_escape(char c) noexcept {
    switch (c) {
    case '"':
        return '"';
    case '\\':
        return '\\';
    case '\n':
        return 'n';
    case '\t':
        return 't';
    case '\r':
        return 'r';
    default:
        return 0;
    }
}

} // namespace

void write_quoted(Sink &out, std::string_view bytes, bool utf8) {
    out << '"';
    size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        const auto byte = static_cast<uint8_t>(c);
        if (const char e = short_escape(c)) {
            out << '\\' << e;
            ++i;
        } else if (byte >= 0x20 && byte < 0x7F) {
            out << c;
            ++i;
        } else if (!utf8 || byte < 0x80) {
            write_escape(out, byte < 0x80 && utf8 ? "\\u{%x}" : "\\x%02x", byte);
            ++i;
        } else {
            const size_t start = i;
            const UChar32 cp = next_code_point(bytes, i);
            if (cp < 0) {
                for (size_t k = start; k < i; ++k)
                    write_escape(out, "\\x%02x", static_cast<uint8_t>(bytes[k]));
            } else if (needs_unicode_escape(cp)) {
                write_escape(out, "\\u{%x}", static_cast<unsigned>(cp));
            } else {
                out << bytes.substr(start, i - start);
            }
        }
    }
    out << '"';
}

namespace {

// A JSON string literal of bytes, handed to emit in pieces: the runs that
// need no escape as they are, and each escape.
template <typename Emit> void emit_json_string(std::string_view bytes, Emit emit) {
    emit(std::string_view("\""));
    size_t run = 0; // start of the bytes that need no escape
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (static_cast<uint8_t>(c) >= 0x20 && c != '"' && c != '\\') continue;
        emit(bytes.substr(run, i - run));
        run = i + 1;
        char escape[8] = {'\\', short_escape(c)};
        if (escape[1] == 0)
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<uint8_t>(c));
        emit(std::string_view(escape));
    }
    emit(bytes.substr(run));
    emit(std::string_view("\""));
}

} // namespace

void append_json_string(std::string &out, std::string_view bytes) {
    emit_json_string(bytes, [&out](std::string_view piece) { out.append(piece); });
}

void write_json_string(Sink &out, std::string_view bytes) {
    emit_json_string(bytes, [&out](std::string_view piece) { out << piece; });
}

bool is_valid_utf8(std::string_view bytes) noexcept {
    size_t i = 0;
    while (i < bytes.size()) {
        if (static_cast<uint8_t>(bytes[i]) < 0x80) {
            ++i;
        } else if (next_code_point(bytes, i) < 0) {
            return false;
        }
    }
    return true;
}

size_t utf8_prefix_length(std::string_view bytes, size_t limit) noexcept {
    if (bytes.size() <= limit) return bytes.size();
    size_t end = limit;
    // Back off continuation bytes so that the cut falls between characters.
    while (end > 0 && limit - end < 3 && (static_cast<uint8_t>(bytes[end]) & 0xC0) == 0x80)
        --end;
    return end;
}

} // namespace vok::tool
