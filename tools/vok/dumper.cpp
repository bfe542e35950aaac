#include "dumper.hpp"

#include <cstdio>
#include <optional>
#include <string>

#include "hex_column.hpp"
#include "json_writer.hpp"
#include "notation_words.hpp"

namespace vok::tool {

namespace {

std::string_view as_chars(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char *>(bytes.data()), bytes.size()};
}

void write_listing_line(Sink &out, const Entry &entry, uint32_t declared_length, bool indent,
                        const NotationOptions &options) {
    char offset[24];
    std::snprintf(offset, sizeof offset, "%10llu  ", static_cast<unsigned long long>(entry.offset));
    out << std::string_view(offset);
    write_hex_column(out, as_chars(entry.bytes));
    out << words::kListingBar << ' ';
    if (indent) out << "  ";
    write_notation(out, entry.item, options);
    if (entry.item.kind == ItemKind::header) {
        out << "  " << words::kComment << ' ' << std::to_string(declared_length) << " bytes";
    }
    out << '\n';
}

} // namespace

std::vector<Problem> dump_stream(const Block &block, Sink &out, const DumpOptions &options) {
    StreamWalker walker(block);
    std::optional<uint8_t> phrase;
    Entry entry{};
    while (walker.next(entry)) {
        const ItemKind kind = entry.item.kind;
        if (kind == ItemKind::end) phrase.reset();
        // A phrase mark closes the phrase before it and opens its own.
        const std::optional<uint8_t> in_phrase =
            kind == ItemKind::phrase_mark ? std::nullopt : phrase;
        if (options.json) {
            write_json_entry(out, entry, walker.declared_length(), in_phrase, options.notation);
        } else {
            write_listing_line(out, entry, walker.declared_length(), in_phrase.has_value(),
                               options.notation);
        }
        if (kind == ItemKind::phrase_mark) phrase = static_cast<uint8_t>(entry.item.number);
    }
    if (options.json)
        for (const Problem &problem : walker.problems())
            write_json_problem(out, problem);
    return walker.problems();
}

} // namespace vok::tool
