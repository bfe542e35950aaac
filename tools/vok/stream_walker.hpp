// Walks a stream held in a file, entry by entry: the header, each body item
// and the end marker.  The frame (length field, end marker, start marker,
// version) is checked first; the items are then read with the library's
// handle readers, which refuse anything that runs past the block.  The walk
// stops at the first malformed item and records why and where.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "item.hpp"
#include "vok32.h"

namespace vok::tool {

struct Problem {
    uint64_t offset;
    std::string message;
};

struct Entry {
    uint64_t offset;
    std::span<const uint8_t> bytes; // the entry's bytes in the file
    Item item;
};

class StreamWalker {
  public:
    // file must outlive the walker and the entries it hands out.
    explicit StreamWalker(std::span<const uint8_t> file);

    // The next entry, or false when the walk is over (at the end marker or at
    // a problem).
    bool next(Entry &entry);

    // Everything found wrong so far, in the order found: a frame problem
    // first, then the item at which the walk stopped.
    const std::vector<Problem> &problems() const noexcept { return problems_; }

    // The value of the length field (0 if the file is too short for one).
    uint32_t declared_length() const noexcept { return declared_length_; }

  private:
    enum class Phase : uint8_t { header, body, done };

    void check_frame();
    bool next_body_item(Entry &entry);
    bool read_item(uint8_t tag, Item &item, const char *&kind_name);
    bool stop(uint64_t offset, std::string message);

    std::span<const uint8_t> file_;
    // The block the library reads: the file itself, or, when its frame is
    // broken, a copy of what it holds with a length field and end marker
    // that make its items readable.
    std::vector<uint8_t> repaired_;
    const uint8_t *block_ = nullptr;
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
