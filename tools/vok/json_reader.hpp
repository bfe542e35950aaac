// Reads the JSON lines that `vok dump --json` writes, one entry a line, so
// that `vok dump --json X | vok pack --json` gives X back byte for byte.
// The fields that only describe (offset, size, in_phrase, a signed item's
// value when magnitude and sign are there, a string's length) are not
// needed; a missing width means the narrowest.
#pragma once

#include <string>
#include <string_view>

#include "item.hpp"
#include "notation_parser.hpp"

namespace vok::tool {

class JsonReader {
  public:
    // As NotationParser::parse_line: false with error set for a line that
    // is not a valid entry; has_item false for a blank line.  A string's
    // text stays valid until the next call.
    bool parse_line(std::string_view line, bool &has_item, Item &item, NotationError &error);

  private:
    std::string content_;
};

} // namespace vok::tool
