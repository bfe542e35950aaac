#include "suggestion.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "notation_words.hpp"

namespace vok::tool {

namespace {

// Words people reach for from other notations and languages, each with the
// kind it means.
constexpr std::pair<std::string_view, ItemKind> kAliases[] = {
    {"signed", ItemKind::signed_int},
    {"int", ItemKind::signed_int},
    {"unsigned", ItemKind::unsigned_int},
    {"uint", ItemKind::unsigned_int},
    {"s", ItemKind::signed_int},
    {"u", ItemKind::unsigned_int},
    {"string", ItemKind::plain_string},
    {"str", ItemKind::plain_string},
    {"bytes", ItemKind::plain_string},
    {"text", ItemKind::utf8_string},
    {"mark", ItemKind::user_mark},
    {"user", ItemKind::user_mark},
    {"user_mark", ItemKind::user_mark},
    {"phrase_mark", ItemKind::phrase_mark},
    {"bool", ItemKind::flag},
    {"header", ItemKind::header},
};

// Levenshtein distance, one row at a time.
size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

std::optional<std::string_view> suggest_word(std::string_view word,
                                             std::string_view words::KindWords::*notation) {
    for (const auto &[alias, kind] : kAliases) {
        const std::string_view meant = words::word_of(kind, notation);
        if (alias == word && meant != word) return meant;
    }
    std::optional<std::string_view> nearest;
    size_t best = 3; // within 2 edits
    for (const words::KindWords &k : words::kKindWords) {
        const size_t distance = edit_distance(word, k.*notation);
        if (distance < best) {
            best = distance;
            nearest = k.*notation;
        }
    }
    return nearest;
}

} // namespace vok::tool
