// `vok pack`: builds a stream from its text notation with the library's
// writers, line by line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "notation_parser.hpp"
#include "vok32.h"

namespace vok::tool {

struct PackError {
    size_t line = 0;
    size_t column = 0;
    std::string message;
};

class Packer {
  public:
    Packer() = default;
    Packer(const Packer &) = delete;
    Packer &operator=(const Packer &) = delete;
    ~Packer();

    // Feeds the next line of notation (without its newline).  False on an
    // error, after which the packer takes no more lines.
    bool add_line(std::string_view line);

    // Closes the stream after the last line.  False if the notation was
    // incomplete (no header).
    bool finish();

    const PackError &error() const noexcept { return error_; }

    // The finished block, valid after a successful finish().
    std::span<const uint8_t> block() const noexcept;

  private:
    bool write(const Item &item, size_t column);
    uint16_t write_with_library(const Item &item, uint16_t &success);
    bool fail(size_t column, std::string message);

    NotationParser parser_;
    vokStream stream_{};
    bool created_ = false;
    bool ended_ = false;
    bool finished_ = false;
    size_t line_ = 0;
    size_t end_line_ = 0;
    std::vector<char> safe_filler_;
    PackError error_;
};

// Packs a whole text; on failure error holds the line and column.
bool pack_text(std::string_view text, std::vector<uint8_t> &block, PackError &error);

} // namespace vok::tool
