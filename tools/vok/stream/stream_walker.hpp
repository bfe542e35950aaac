// The stream part: a stream as the tool sees it, on the libraries' public
// headers — items and their tags, the bytes of an item, blocks read from
// an input with resynchronisation after damage, and the walk through one
// block's items.  It uses io.
//
// Walks one block, entry by entry: the header, each body item and the end
// marker.  The frame is checked with vokxInspect, the block opened with
// vokxOpen and the items walked with vokxNextItem, which never read past
// the bytes present.  A block whose length field or end marker is wrong is
// repaired in place so that its items can still be listed.  The walk stops
// at the first problem and records why and where; offsets are the input's.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "block_reader.hpp"
#include "item.hpp"
#include "vok32x.h"

namespace vok::tool {

// Where a block went wrong: the byte, and the start of the block it is in,
// both as offsets in the input; the status names the kind of fault (framing
// and items: VOK_INVALID_STREAM, bytes missing at the end of the input:
// VOKX_NEED_MORE), and for a record the engine's status and the field's path.
struct Problem {
    uint64_t offset;
    std::string message;
    uint64_t block = 0;
    uint16_t status = VOK_INVALID_STREAM;
    std::string path{};  // a record's field, when the schema refused it
    bool record = false; // found by the records engine
};

// "path: message (STATUS)" for a record, else the message.
std::string problem_text(const Problem &problem);

struct Entry {
    uint64_t offset;
    std::span<const uint8_t> bytes; // the entry's bytes as read
    Item item;
};

// The tool's item for what vokxNextItem described; at is the item's bytes.
Item item_of(const vokxItem &x, const uint8_t *at);

class StreamWalker {
  public:
    // The block's bytes must outlive the walker and the entries it hands
    // out; the walker may change them (see above).
    explicit StreamWalker(const Block &block);
    StreamWalker(const StreamWalker &) = delete;
    StreamWalker &operator=(const StreamWalker &) = delete;

    // The next entry, or false when the walk is over (at the end marker or at
    // a problem).
    bool next(Entry &entry);

    // Everything found wrong, in the order found: a frame problem first,
    // then the item at which the walk stopped.
    const std::vector<Problem> &problems() const noexcept { return problems_; }

    // The value of the length field (0 if the block is too short for one).
    uint32_t declared_length() const noexcept { return declared_length_; }

  private:
    enum class Phase : uint8_t { header, body, done };

    void check_frame();
    bool check_end();
    bool supply_end_marker(size_t present);
    void diagnose_header();
    void open_block();
    bool next_body_item(Entry &entry);
    bool end_marker(uint32_t offset, Entry &entry);
    bool bad_item(uint32_t offset);
    bool stop(uint64_t offset, std::string message, uint16_t status = VOK_INVALID_STREAM);
    void record(uint64_t offset, std::string message, uint16_t status = VOK_INVALID_STREAM);

    Block block_;
    // The header as read, before a repair changed its length field.
    uint8_t header_bytes_[VOK_MAX_FRAME_SIZE] = {};
    uint32_t declared_length_ = 0;
    uint32_t length_ = 0; // of the block as walked, after any repair
    bool end_supplied_ = false;
    // Where the bytes stop being trustworthy: items that reach past it are
    // not handed out (the block's last byte when it is not an end marker).
    uint32_t trusted_end_ = 0;
    Item header_{};
    vokxBlockInfo info_{};
    uint32_t next_offset_ = 0; // where the next item starts
    vokStream stream_{};
    Phase phase_ = Phase::done;
    std::vector<Problem> problems_;
};

} // namespace vok::tool
