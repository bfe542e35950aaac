// The json part: items as JSON lines — the reader pack --json uses, the
// writer behind dump --json and check --json, and the bounds every JSON
// line passes first.  It uses notation (the kinds' words, the line reader
// interface), stream and io.
//
// What every JSON line the tool reads goes through: a bound on nesting,
// checked before any parser sees the line, and nlohmann's reason for a line
// that is not JSON, in one form for item lines and record lines.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "line_parser.hpp"

namespace vok::tool {

// No item or record needs deeper values, and a parsed value is copied and
// printed by recursion: a line nested deeper is refused.
inline constexpr size_t kMaxJsonDepth = 256;

// Refuses a line nested deeper than kMaxJsonDepth (error.column: the byte
// that opens one level too many).  Brackets inside strings do not count.
bool within_depth(std::string_view line, NotationError &error);

// nlohmann's explanation of a parse error, without its exception id and
// line prefix: "syntax error while parsing value - invalid literal...".
std::string parse_reason(const std::string &what);

// Parses a whole line into out, refusing deep nesting first.
bool parse_json_line(std::string_view line, nlohmann::json &out, NotationError &error);

} // namespace vok::tool
