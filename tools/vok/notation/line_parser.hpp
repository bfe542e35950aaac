// How pack reads a line of its input: the interface that the text notation
// here and the JSON lines (json/json_reader.hpp) both implement.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "item.hpp"

namespace vok::tool {

struct NotationError {
    size_t column = 0; // 1-based, in bytes
    std::string message;
};

class LineParser {
  public:
    virtual ~LineParser() = default;

    // Parses one line (without its newline).  Returns false with error set
    // if the line is not valid; otherwise has_item tells whether it held an
    // item (blank lines, comments and bare listing columns do not).  A
    // parsed string's text stays valid, and zero-terminated, until the next
    // call.
    virtual bool parse_line(std::string_view line, bool &has_item, Item &item,
                            NotationError &error) = 0;

  protected:
    std::string content_; // the text of the last string parsed
};

// The text notation, line by line.
std::unique_ptr<LineParser> make_notation_parser();

} // namespace vok::tool
