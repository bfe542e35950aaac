// What a mistyped or borrowed item word most likely meant.
#pragma once

#include <optional>
#include <string_view>

#include "notation_words.hpp"

namespace vok::tool {

// The word of one notation (&KindWords::notation or &KindWords::json) that
// word most likely stands for: a known alias's meaning first (signed -> s in
// the text notation), then the nearest word within 2 edits; nothing if none.
std::optional<std::string_view> suggest_word(std::string_view word,
                                             std::string_view words::KindWords::*notation);

} // namespace vok::tool
