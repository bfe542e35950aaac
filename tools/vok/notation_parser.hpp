// Reads the text notation one line at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "item.hpp"

namespace vok::tool {

struct NotationError {
    size_t column = 0; // 1-based, in bytes
    std::string message;
};

class NotationParser {
  public:
    // Parses one line (without its newline).  Returns false with error set
    // if the line is not valid notation; otherwise has_item tells whether it
    // held an item (blank lines, comments and bare listing columns do not).
    // A parsed string's text stays valid, and zero-terminated, until the
    // next call.
    bool parse_line(std::string_view line, bool &has_item, Item &item, NotationError &error);

  private:
    std::string content_;
};

} // namespace vok::tool
