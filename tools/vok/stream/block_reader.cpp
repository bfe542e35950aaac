#include "block_reader.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "vok32x.h"

namespace vok::tool {

namespace {

// The smallest buffer, and so the size of reads while blocks are small.
constexpr size_t kReadAhead = size_t{1} << 20;

// The length field, which vokxInspect reads as soon as four bytes are there.
uint32_t length_field(const uint8_t *p) {
    vokxBlockInfo info;
    vokxInspect(p, 4, &info);
    return info.length;
}

} // namespace

BlockReader::~BlockReader() { std::free(buffer_); }

// Makes room to read more from begin_, which needs want bytes in all, always
// keeping the spare byte after what is held.  What is held moves to the front
// only once at least as much (or a full read) lies before it, so that a
// search stepping a byte at a time does not move its window at each step;
// otherwise the buffer grows, at most to twice its size, so that memory
// tracks the bytes that arrived rather than the length field.
bool BlockReader::make_room(size_t want, std::string &error) {
    if (end_ + 1 < capacity_) return true;
    if (begin_ > 0 && (begin_ >= held() || begin_ >= kReadAhead)) {
        std::memmove(buffer_, buffer_ + begin_, held());
        if (!reach_.empty()) {
            const size_t kept = reach_end_ > begin_ ? reach_end_ - begin_ : 0;
            std::memmove(reach_.data(), reach_.data() + begin_, kept * sizeof reach_[0]);
            reach_end_ = kept;
        }
        end_ -= begin_;
        begin_ = 0;
        if (end_ + 1 < capacity_) return true;
    }
    const size_t grown = std::max(kReadAhead, std::min(begin_ + want + 1, 2 * capacity_));
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

// Reads until want bytes from begin_ are held or the input ends.
bool BlockReader::fill(size_t want, std::string &error) {
    while (held() < want && !at_end_) {
        if (!make_room(want, error)) return false;
        const long got = input_.read(buffer_ + end_, capacity_ - end_ - 1, error);
        if (got < 0) return false;
        at_end_ = got == 0;
        end_ += static_cast<size_t>(got);
    }
    return true;
}

BlockReader::Result BlockReader::next(Block &block, Skipped &skipped, std::string &error) {
    if (search_) return search(skipped, error);
    return read_block(block, error);
}

BlockReader::Result BlockReader::read_block(Block &block, std::string &error) {
    if (!fill(4, error)) return Result::error;
    if (held() == 0) return Result::end;
    if (held() < 4) return damaged(held(), 0, block);
    const uint32_t length = length_field(buffer_ + begin_);
    if (length > rules_.max_block)
        return damaged(std::min<size_t>(held(), rules_.max_block), rules_.max_block, block);
    if (!fill(length, error)) return Result::error;
    if (held() >= length && vokxInspect(buffer_ + begin_, length, nullptr) == VOK_OK) {
        block = {offset_, buffer_ + begin_, length, 0};
        begin_ += length;
        offset_ += length;
        return Result::block;
    }
    return damaged(std::min<size_t>(std::max<uint32_t>(length, 4), held()), 0, block);
}

// Hands over the damaged block's bytes in place.  A listing repairs such a
// block to read what it can (a length field and an end marker after the
// bytes present, see StreamWalker), and the search must see the bytes as
// they are: those five bytes are kept and put back before it starts.
BlockReader::Result BlockReader::damaged(size_t size, uint32_t limit, Block &block) {
    uint8_t *bytes = buffer_ + begin_;
    std::memcpy(kept_, bytes, std::min<size_t>(size, 4));
    kept_[4] = bytes[size];
    kept_size_ = size;
    block = {offset_, bytes, size, limit};
    search_ = offset_;
    return Result::damaged;
}

BlockReader::Result BlockReader::search(Skipped &skipped, std::string &error) {
    const uint64_t from = *search_;
    uint8_t *bytes = buffer_ + begin_;
    std::memcpy(bytes, kept_, std::min<size_t>(kept_size_, 4));
    bytes[kept_size_] = kept_[4];
    reach_end_ = begin_; // what earlier searches learnt is stale
    for (size_t step = 1;;) {
        begin_ += step;
        offset_ += step;
        if (held() < 5 && !fill(5, error)) return Result::error;
        if (held() < 5) { // too close to the end for a start marker
            offset_ += held();
            begin_ = end_;
            break;
        }
        // A block's start marker is its fifth byte: go to the next one held.
        const uint8_t *here = buffer_ + begin_;
        const auto *start =
            static_cast<const uint8_t *>(std::memchr(here + 4, VOK_START, held() - 4));
        step = start == nullptr ? held() - 4 : static_cast<size_t>(start - here - 4);
        if (step != 0) continue;
        step = 1;
        bool found = false;
        uint32_t length = 0;
        if (!candidate(0, found, length, error)) return Result::error;
        if (found && !fill(size_t{length} + 1, error)) return Result::error;
        if (found && held() == length) break; // the last block of the input
        uint32_t next_length = 0;
        if (found && !candidate(length, found, next_length, error)) return Result::error;
        if (found) break;
    }
    search_.reset();
    skipped = {from, offset_};
    return Result::skipped;
}

// Whether a block the search may accept starts at begin_ + at (ok), and its
// length; false only for a read error or lack of memory.
bool BlockReader::candidate(size_t at, bool &ok, uint32_t &length, std::string &error) {
    ok = false;
    if (!fill(at + 4, error)) return false;
    if (held() < at + 4) return true;
    length = length_field(buffer_ + begin_ + at);
    if (length > rules_.max_block) return true;
    // Most places are ruled out by the bytes already held.
    vokxBlockInfo info{};
    if (vokxInspect(buffer_ + begin_ + at, held() - at, &info) == VOK_INVALID_STREAM) return true;
    if (!fill(at + length, error)) return false;
    if (held() < at + length) return true;
    if (vokxInspect(buffer_ + begin_ + at, length, &info) != VOK_OK) return true;
    if (rules_.type && info.type != *rules_.type) return true;
    ok = walks_to_end(begin_ + at, length, info.body);
    return true;
}

// Whether the items of the block at buffer_[start], whose frame vokxInspect
// accepted, walk to its end marker.  An item's size does not depend on the
// block it is read in, as long as it fits: so the walk from each offset is
// remembered as how far it is known to go through valid items, every offset
// a walk passes is pointed at where that walk stopped, and a later walk
// through the same bytes jumps instead of stepping.  A jump past this
// block's end marker fails the walk, as an item running past it would: the
// offsets a jump passes over are no end markers, or the walk would have
// stopped there.
bool BlockReader::walks_to_end(size_t start, uint32_t length, uint32_t body) {
    const size_t last = start + length - 1;
    if (reach_.size() <= last) reach_.resize(last + 1);
    if (reach_end_ <= last) {
        std::fill(reach_.begin() + static_cast<long>(reach_end_),
                  reach_.begin() + static_cast<long>(last) + 1, 0);
        reach_end_ = last + 1;
    }
    vokStream stream{};
    vokxOpen(&stream, buffer_ + start, length, buffer_[start + 5], 0); // accepted above
    path_.clear();
    size_t at = start + body;
    bool reached = false;
    while (at <= last) {
        if (buffer_[at] == VOK_END) {
            reached = at == last;
            break;
        }
        if (reach_[at] == 0) {
            stream.position = static_cast<uint32_t>(at - start);
            vokxItem item;
            if (vokxNextItem(&stream, &item) != VOK_OK) break;
            reach_[at] = item.size;
        }
        path_.push_back(at);
        at += reach_[at];
    }
    for (const size_t passed : path_)
        reach_[passed] = static_cast<uint32_t>(at - passed);
    return reached;
}

bool visit_blocks(BlockReader &reader, const std::function<bool(const Found &)> &visit,
                  std::string &error) {
    Block block;
    Skipped skipped;
    for (bool first = true;; first = false) {
        const BlockReader::Result result = reader.next(block, skipped, error);
        if (result == BlockReader::Result::error) return false;
        if (result == BlockReader::Result::end) {
            if (first) visit({BlockReader::Result::damaged, &block, nullptr});
            return true;
        }
        if (!visit({result, &block, &skipped})) return true;
    }
}

} // namespace vok::tool
