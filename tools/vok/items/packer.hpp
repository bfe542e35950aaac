// `vok pack`: builds blocks from their text notation, or from the JSON lines
// of `vok dump --json`, line by line.  Each block starts as a copy of its
// bare header and takes every item, in its recorded width, through
// vokxPutItem; only a signed item with an odd sign byte goes as raw bytes
// through vokxWriteItem.  A block ends at its "end" line, after which a new
// header may start the next one; the last block may leave out its "end".
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "line_parser.hpp"
#include "vok32.h"

namespace vok::tool {

struct PackError {
    size_t line = 0;
    size_t column = 0;
    std::string message;
};

class Packer {
  public:
    explicit Packer(bool json = false);
    Packer(const Packer &) = delete;
    Packer &operator=(const Packer &) = delete;
    ~Packer();

    // Feeds the next line of notation (without its newline).  False on an
    // error, after which the packer takes no more lines.
    bool add_line(std::string_view line);

    // Closes the last block after the last line.  False if the notation held
    // no header at all.
    bool finish();

    const PackError &error() const noexcept { return error_; }

    // The block that the last add_line() or finish() completed, or no bytes;
    // valid until the next call.
    std::span<const uint8_t> finished_block() const noexcept;

  private:
    bool write(const Item &item, size_t column);
    bool start_block(const Item &item, size_t column);
    bool close_block();
    void release_block();
    bool fail(size_t column, std::string message);

    std::unique_ptr<LineParser> parser_;
    vokStream stream_{};
    bool created_ = false;  // a block is being written or waits to be taken
    bool finished_ = false; // ... and it is closed
    bool any_block_ = false;
    size_t line_ = 0;
    PackError error_;
    std::vector<uint8_t> item_bytes_; // reused from item to item
};

// Packs a whole text into its blocks, back to back; on failure error holds
// the line and column.
bool pack_text(std::string_view text, std::vector<uint8_t> &blocks, PackError &error,
               bool json = false);

} // namespace vok::tool
