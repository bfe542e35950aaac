#include "dumper.hpp"

#include <array>
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

// The name of the field a mark stands for in the level (fields of the top
// level or of a group), if the schema names it.
const char *field_name(const vokxFieldSpec *fields, uint32_t count, uint32_t mark) {
    for (uint32_t i = 0; i < count; ++i)
        if (fields[i].mark == mark) return fields[i].name;
    return nullptr;
}

// Which fields the marks after a phrase mark belong to: its group's, or none.
const vokxGroupSpec *group_of(const vokxSchema &schema, uint32_t phrase) {
    for (uint32_t g = 0; g < schema.group_count; ++g)
        if (schema.groups[g].phrase == phrase) return &schema.groups[g];
    return nullptr;
}

void write_listing_line(Sink &out, const Entry &entry, uint32_t declared_length, bool indent,
                        const NotationOptions &options, const char *label) {
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
    if (label != nullptr) out << "  " << words::kComment << ' ' << std::string_view(label);
    out << '\n';
}

} // namespace

std::vector<Problem> dump_stream(const Block &block, Sink &out, const DumpOptions &options) {
    StreamWalker walker(block);
    std::optional<uint8_t> phrase;
    std::array<uint32_t, 256> occurrences{}; // of each phrase so far, to name a group's
    std::string occurrence_label;
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
            const char *label = nullptr;
            if (options.schema != nullptr && kind == ItemKind::user_mark) {
                const vokxSchema &s = *options.schema;
                const vokxGroupSpec *group = phrase ? group_of(s, *phrase) : nullptr;
                label = !phrase ? field_name(s.fields, s.field_count, entry.item.number)
                        : group ? field_name(group->fields, group->field_count, entry.item.number)
                                : nullptr;
            }
            if (options.schema != nullptr && kind == ItemKind::phrase_mark) {
                const auto number = static_cast<uint8_t>(entry.item.number);
                if (const vokxGroupSpec *group = group_of(*options.schema, number)) {
                    occurrence_label = std::string(group->name) + "[" +
                                       std::to_string(occurrences[number]++) + "]";
                    label = occurrence_label.c_str();
                }
            }
            write_listing_line(out, entry, walker.declared_length(), in_phrase.has_value(),
                               options.notation, label);
        }
        if (kind == ItemKind::phrase_mark) phrase = static_cast<uint8_t>(entry.item.number);
    }
    if (options.json && !options.entries_only)
        for (const Problem &problem : walker.problems())
            write_json_problem(out, problem);
    return walker.problems();
}

} // namespace vok::tool
