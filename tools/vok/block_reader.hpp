// Reads blocks back to back from an input, one at a time.  Only the block
// being looked at is held, plus what one read brought beyond it, and the
// buffer grows only as bytes arrive: a length field's claim alone never
// allocates anything, so memory follows the largest block actually present.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "input.hpp"

namespace vok::tool {

struct Block {
    uint64_t offset = 0;      // where the block starts in the input
    uint8_t *bytes = nullptr; // writable, with room for one byte at bytes[size]
    size_t size = 0;          // bytes present: the length field's count, or
                              // fewer when the input ends first
};

class BlockReader {
  public:
    explicit BlockReader(Input &input) : input_(input) {}
    BlockReader(const BlockReader &) = delete;
    BlockReader &operator=(const BlockReader &) = delete;
    ~BlockReader();

    enum class Result : uint8_t { block, end, error };

    // The next block.  A block whose length field is missing or below 4
    // holds just the bytes seen (at most 4); nothing after such a block can
    // be framed, so the caller stops there.  The previous block's bytes are
    // invalid afterwards.  error: a read error or lack of memory.
    Result next(Block &block, std::string &error);

  private:
    bool fill(size_t want, std::string &error);
    bool make_room(size_t want, std::string &error);

    Input &input_;
    uint8_t *buffer_ = nullptr;
    size_t capacity_ = 0;
    size_t begin_ = 0;    // start of the current block in the buffer
    size_t end_ = 0;      // end of the bytes read
    uint64_t offset_ = 0; // input offset of buffer_[begin_]
    bool at_end_ = false;
};

// Hands each block of the reader's input to visit until visit returns false
// (after a bad block nothing can be framed).  An empty input comes as one
// empty block, so that it is reported like any other.  False with error set
// when the input cannot be read.
bool visit_blocks(BlockReader &reader, const std::function<bool(const Block &)> &visit,
                  std::string &error);

} // namespace vok::tool
