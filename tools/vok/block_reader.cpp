#include "block_reader.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vok::tool {

namespace {

// The smallest buffer; also the most a read brings beyond a small block.
constexpr size_t kReadAhead = size_t{1} << 20;

uint32_t length_field(const uint8_t *p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

} // namespace

BlockReader::~BlockReader() { std::free(buffer_); }

// Makes room to read more of the current block, which needs want bytes in
// all, always keeping the spare byte after what is held: moves the block to
// the front first, then grows at most to twice what is held, so that memory
// tracks the bytes that arrived rather than the length field.
bool BlockReader::make_room(size_t want, std::string &error) {
    if (end_ + 1 < capacity_) return true;
    if (begin_ > 0) {
        std::memmove(buffer_, buffer_ + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
        if (end_ + 1 < capacity_) return true;
    }
    const size_t grown = std::min(want + 1, std::max(2 * capacity_, kReadAhead));
    void *p = std::realloc(buffer_, grown);
    if (p == nullptr) {
        error = "offset " + std::to_string(offset_) + ": not enough memory for a block of " +
                std::to_string(want) + " bytes";
        return false;
    }
    buffer_ = static_cast<uint8_t *>(p);
    capacity_ = grown;
    return true;
}

// Reads until want bytes of the current block are held or the input ends.
bool BlockReader::fill(size_t want, std::string &error) {
    while (end_ - begin_ < want && !at_end_) {
        if (!make_room(want, error)) return false;
        const long got = input_.read(buffer_ + end_, capacity_ - end_ - 1, error);
        if (got < 0) return false;
        at_end_ = got == 0;
        end_ += static_cast<size_t>(got);
    }
    return true;
}

BlockReader::Result BlockReader::next(Block &block, std::string &error) {
    if (!fill(4, error)) return Result::error;
    if (end_ == begin_) return Result::end;
    size_t size = std::min<size_t>(end_ - begin_, 4);
    if (size == 4) {
        const size_t length = std::max<uint32_t>(length_field(buffer_ + begin_), 4);
        if (!fill(length, error)) return Result::error;
        size = std::min(length, end_ - begin_);
    }
    block = {offset_, buffer_ + begin_, size};
    begin_ += size;
    offset_ += size;
    return Result::block;
}

bool visit_blocks(BlockReader &reader, const std::function<bool(const Block &)> &visit,
                  std::string &error) {
    Block block;
    for (bool first = true;; first = false) {
        const BlockReader::Result result = reader.next(block, error);
        if (result == BlockReader::Result::error) return false;
        if (result == BlockReader::Result::end && !first) return true;
        if (result == BlockReader::Result::end) block = {};
        if (!visit(block) || result == BlockReader::Result::end) return true;
    }
}

} // namespace vok::tool
