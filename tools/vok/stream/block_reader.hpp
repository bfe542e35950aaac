// Reads blocks back to back from an input, one at a time, and finds its way
// back to blocks after damage.
//
// While the blocks frame, only the block being looked at is held, plus what
// one read brought beyond it, and the buffer grows only as bytes arrive: a
// length field's claim alone never allocates anything, so memory follows the
// largest block actually present.
//
// A block whose frame is unsound (a length field below the smallest block or
// above the largest allowed, bytes missing, or a header or end marker that
// vokxInspect refuses) is handed over as damaged, and the reader then looks
// for the next place where a block starts.  A place counts only if
//   - vokxInspect accepts the bytes there, with a length no larger than the
//     largest block allowed and, when a stream type is asked for, that type;
//   - its items walk with vokxNextItem to the end marker at its last byte;
//   - it is followed by another such block, or by the end of the input.
// Everything from the damaged block's start to that place (or to the end of
// the input) is reported as skipped.  The rule cannot tell a block stored
// inside a damaged block's strings from a real one, so such a block is found
// and read.  The search holds at most twice the largest block allowed, plus
// four bytes of bookkeeping for each byte held, and its cost is linear in the
// bytes it passes over: the item walk from each offset is remembered, so no
// item is stepped over twice, however many places claim to start a block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "input.hpp"

namespace vok::tool {

struct Block {
    uint64_t offset = 0;      // where the block starts in the input
    uint8_t *bytes = nullptr; // writable, with room for one byte at bytes[size]
    size_t size = 0;          // bytes present: the length field's count, or
                              // fewer when the input ends first
    // The largest block allowed, when the length field claims more: only
    // the bytes up to that many are held.
    uint32_t limit = 0;
};

// What the search for blocks asks of a place where one may start.
struct ScanRules {
    static constexpr uint32_t kDefaultMaxBlock = uint32_t{16} << 20;
    uint32_t max_block = kDefaultMaxBlock;
    std::optional<uint8_t> type; // candidates must have this stream type
};

// Bytes passed over between a damaged block's start and the next block.
struct Skipped {
    uint64_t from = 0;
    uint64_t to = 0;
};

class BlockReader {
  public:
    explicit BlockReader(Input &input, ScanRules rules = {}) : input_(input), rules_(rules) {}
    BlockReader(const BlockReader &) = delete;
    BlockReader &operator=(const BlockReader &) = delete;
    ~BlockReader();

    enum class Result : uint8_t { block, damaged, skipped, end, error };

    // block: a block whose frame is sound, in the reader's buffer (its items
    // may still be bad).  damaged: a block whose frame is not (fewer than 4
    // bytes when the input ends first), which the caller may repair as
    // StreamWalker does; the next call searches and answers skipped with the
    // range passed over.
    // The previous block's bytes are invalid afterwards.  error: a read
    // error or lack of memory, with error set.
    Result next(Block &block, Skipped &skipped, std::string &error);

  private:
    Result read_block(Block &block, std::string &error);
    Result damaged(size_t size, uint32_t limit, Block &block);
    Result search(Skipped &skipped, std::string &error);
    bool candidate(size_t at, bool &ok, uint32_t &length, std::string &error);
    bool walks_to_end(size_t start, uint32_t length, uint32_t body);
    bool fill(size_t want, std::string &error);
    bool make_room(size_t want, std::string &error);
    size_t held() const noexcept { return end_ - begin_; }

    Input &input_;
    ScanRules rules_;
    uint8_t *buffer_ = nullptr;
    size_t capacity_ = 0;
    size_t begin_ = 0;    // start of the current block in the buffer
    size_t end_ = 0;      // end of the bytes read
    uint64_t offset_ = 0; // input offset of buffer_[begin_]
    bool at_end_ = false;
    uint8_t kept_[5] = {}; // a damaged block's bytes a listing may repair
    size_t kept_size_ = 0;
    std::optional<uint64_t> search_; // set after a damaged block: its start
    // During a search, for each byte held: 0, or how far the item walk from
    // there is known to go through valid items (see walks_to_end).
    std::vector<uint32_t> reach_;
    size_t reach_end_ = 0; // reach_ is known up to here
    std::vector<size_t> path_;
};

// One thing the reader found, for visit_blocks' callers.
struct Found {
    BlockReader::Result kind;
    const Block *block;     // for block and damaged
    const Skipped *skipped; // for skipped
};

// Hands everything the reader finds to visit until visit returns false.  An
// empty input comes as one damaged empty block, so that it is reported like
// any other.  False with error set when the input cannot be read.
bool visit_blocks(BlockReader &reader, const std::function<bool(const Found &)> &visit,
                  std::string &error);

} // namespace vok::tool
