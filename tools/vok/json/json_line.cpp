#include "json_line.hpp"

#include "wording.hpp"

namespace vok::tool {

namespace {

// The bytes that matter to nesting, outside strings and in them.
struct DepthBytes {
    bool outside[256] = {};
    bool inside[256] = {};
    constexpr DepthBytes() {
        for (const char c : std::string_view("\"[]{}"))
            outside[static_cast<unsigned char>(c)] = true;
        inside[static_cast<unsigned char>('"')] = inside[static_cast<unsigned char>('\\')] = true;
    }
};
constexpr DepthBytes kDepthBytes;

} // namespace

// Most bytes of a line are neither brackets nor quotes: the loops pass over
// them with one table look-up each, as lines are scanned before every parse.
bool within_depth(std::string_view line, NotationError &error) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(line.data());
    const size_t size = line.size();
    size_t depth = 0, i = 0;
    while (i < size) {
        while (i < size && !kDepthBytes.outside[bytes[i]])
            ++i;
        if (i == size) break;
        const unsigned char c = bytes[i++];
        if (c == '"') { // past the closing quote; an escaped byte cannot end it
            while (i < size && bytes[i] != '"') {
                while (i < size && !kDepthBytes.inside[bytes[i]])
                    ++i;
                if (i < size && bytes[i] == '\\') i += 2;
            }
            ++i;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxJsonDepth) {
                error = {i, "nested deeper than " + std::to_string(kMaxJsonDepth)}; // 1-based
                return false;
            }
        } else if (depth > 0) {
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
