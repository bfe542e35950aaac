#include "notation_writer.hpp"

#include <string>

#include "notation_words.hpp"
#include "text_escape.hpp"

namespace vok::tool {

namespace {

void write_number(Sink &out, uint64_t value) { out << std::to_string(value); }

void write_keyword(Sink &out, const Item &item) {
    out << words::word_of(item.kind);
    if (words::takes_width(item.kind) && item.width != narrowest_width(item.number)) {
        out << words::kWidth;
        write_number(out, item.width * 8u);
    }
}

void write_header(Sink &out, const Item &item) {
    out << words::kStream << ' ' << words::kType << ' ';
    write_number(out, item.extra);
    out << ' ' << words::kVersion;
    if (item.width != narrowest_width(item.number)) {
        out << words::kWidth;
        write_number(out, item.width * 8u);
    }
    out << ' ';
    write_number(out, item.number);
}

void write_signed(Sink &out, const Item &item) {
    if (item.extra != 0) out << '-';
    write_number(out, item.number);
    if (item.extra > 1) {
        out << ' ' << words::kSign;
        write_number(out, item.extra);
    }
    // Only a magnitude above 2^31 makes the reader's value differ from the
    // signed magnitude shown.
    const int64_t shown = item.extra != 0 ? -int64_t{item.number} : int64_t{item.number};
    const int32_t reading = signed_reading(item);
    if (shown != reading) out << "  " << words::kComment << " reads as " << std::to_string(reading);
}

void write_string(Sink &out, const Item &item, const NotationOptions &options) {
    const bool utf8 = item.kind == ItemKind::utf8_string;
    if (item.text.size() <= options.shorten_above) {
        write_quoted(out, item.text, utf8);
        return;
    }
    const size_t shown =
        utf8 ? utf8_prefix_length(item.text, options.shortened_to) : options.shortened_to;
    write_quoted(out, item.text.substr(0, shown), utf8);
    out << words::kShortened << "  " << words::kComment << ' ';
    write_number(out, item.text.size());
    out << " bytes, shortened";
}

} // namespace

void write_notation(Sink &out, const Item &item, const NotationOptions &options) {
    if (item.kind == ItemKind::header) {
        write_header(out, item);
        return;
    }
    write_keyword(out, item);
    switch (item.kind) {
    case ItemKind::end:
        return;
    case ItemKind::flag:
        out << ' ';
        if (item.number <= 1) {
            out << (item.number != 0 ? words::kTrue : words::kFalse);
        } else {
            write_number(out, item.number);
        }
        return;
    case ItemKind::signed_int:
        out << ' ';
        write_signed(out, item);
        return;
    case ItemKind::plain_string:
    case ItemKind::utf8_string:
        out << ' ';
        write_string(out, item, options);
        return;
    default:
        out << ' ';
        write_number(out, item.number);
        return;
    }
}

} // namespace vok::tool
