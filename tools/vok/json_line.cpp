#include "json_line.hpp"

#include "wording.hpp"

namespace vok::tool {

bool within_depth(std::string_view line, NotationError &error) {
    size_t depth = 0;
    bool in_string = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (in_string) {
            if (c == '\\')
                ++i; // the escaped character cannot end the string
            else if (c == '"')
                in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxJsonDepth) {
                error = {i + 1, "nested deeper than " + std::to_string(kMaxJsonDepth)};
                return false;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return true;
}

std::string parse_reason(const std::string &what) {
    // "[json.exception.parse_error.101] parse error at line 1, column 4: why"
    const size_t column = what.find(", column ");
    const size_t colon = column == std::string::npos ? column : what.find(": ", column);
    return colon == std::string::npos ? what : what.substr(colon + 2);
}

bool parse_json_line(std::string_view line, nlohmann::json &out, NotationError &error) {
    if (!within_depth(line, error)) return false;
    try {
        out = nlohmann::json::parse(line);
    } catch (const nlohmann::json::parse_error &e) {
        error = {e.byte, "not JSON: " + printable(parse_reason(e.what()))};
        return false;
    }
    return true;
}

} // namespace vok::tool
