// Walks one block, entry by entry: the header, each body item and the end
// marker.  The frame (length field, end marker, start marker, version) is
// checked first; the items are then read with the library's handle readers,
// which refuse anything that runs past the block.  The walk stops at the
// first malformed item and records why and where.  Offsets are the input's.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "block_reader.hpp"
#include "item.hpp"
#include "vok32.h"

namespace vok::tool {

struct Problem {
    uint64_t offset;
    std::string message;
};

struct Entry {
    uint64_t offset;
    std::span<const uint8_t> bytes; // the entry's bytes as read
    Item item;
};

class StreamWalker {
  public:
    // The block's bytes must outlive the walker and the entries it hands
    // out.  A block whose frame is broken is repaired in place (its length
    // field and the spare byte after it) so that its items can be listed.
    explicit StreamWalker(const Block &block);

    // The next entry, or false when the walk is over (at the end marker or at
    // a problem).
    bool next(Entry &entry);

    // Everything found wrong so far, in the order found: a frame problem
    // first, then the item at which the walk stopped.
    const std::vector<Problem> &problems() const noexcept { return problems_; }

    // The value of the length field (0 if the block is too short for one).
    uint32_t declared_length() const noexcept { return declared_length_; }

  private:
    enum class Phase : uint8_t { header, body, done };

    void check_frame();
    void check_header();
    void open_block(unsigned version_width);
    bool next_body_item(Entry &entry);
    bool read_item(uint8_t tag, Item &item, const char *&kind_name);
    bool stop(uint64_t offset, std::string message);
    bool supply_end_marker();
    bool end_marker_inside(uint32_t offset);

    Block block_;
    // The header as read, before any repair changed its length field.
    uint8_t header_bytes_[16] = {};
    uint32_t body_end_ = 0; // offset of the (real or supplied) end marker
    bool end_supplied_ = false;
    uint32_t declared_length_ = 0;
    Item header_{};
    uint32_t first_body_ = 0;
    vokStream stream_{};
    Phase phase_ = Phase::done;
    std::vector<Problem> problems_;
};

} // namespace vok::tool
