#include "stream_walker.hpp"

#include <algorithm>

#include "tags.hpp"
#include "wording.hpp"

namespace vok::tool {

namespace {

// The smallest block: a header with a one-byte version and the end marker.
const uint32_t kSmallestBlock = vokxFrameSize(0);

} // namespace

// The tool's item for what vokxNextItem described; at is the item's bytes.
Item item_of(const vokxItem &x, const uint8_t *at) {
    Item item{};
    if (x.kind == VOK_USER_MARK) {
        item.kind = ItemKind::user_mark;
        item.number = x.value;
        return item;
    }
    kind_of_tag(x.kind, item.kind); // the walk describes only assigned tags
    item.width = vokxFieldWidth(x.kind);
    if (item.kind == ItemKind::signed_int) {
        // The reading folds magnitude and sign into one value; the notation
        // keeps both as stored, the sign byte being the item's last.
        item.extra = at[x.size - 1];
        const auto reading = static_cast<uint32_t>(x.signed_value);
        item.number = item.extra != 0 ? 0u - reading : reading;
    } else if (x.text != nullptr) {
        item.text = {reinterpret_cast<const char *>(x.text), x.length};
        item.number = x.length;
    } else {
        item.number = x.value;
    }
    return item;
}

std::string problem_text(const Problem &problem) {
    if (!problem.record) return problem.message;
    return (problem.path.empty() ? "" : problem.path + ": ") + problem.message + " (" +
           vokxStatusName(problem.status) + ")";
}

StreamWalker::StreamWalker(const Block &block) : block_(block) { check_frame(); }

void StreamWalker::record(uint64_t offset, std::string message, uint16_t status) {
    problems_.push_back({block_.offset + offset, std::move(message), block_.offset, status});
}

bool StreamWalker::stop(uint64_t offset, std::string message, uint16_t status) {
    record(offset, std::move(message), status);
    phase_ = Phase::done;
    return false;
}

void StreamWalker::check_frame() {
    if (block_.size < 4) {
        stop(0, "only " + counted(block_.size, "byte") + ": too short for the length field",
             VOKX_NEED_MORE);
        return;
    }
    std::copy_n(block_.bytes, std::min(block_.size, sizeof header_bytes_), header_bytes_);
    vokxInspect(block_.bytes, block_.size, &info_); // the length field, at least
    declared_length_ = info_.length;
    if (block_.limit != 0 && declared_length_ > block_.limit) {
        stop(0, "the length field says " + counted(declared_length_, "byte") +
                    ", more than the largest block allowed (" + std::to_string(block_.limit) +
                    "; see --max-block)");
        return;
    }
    if (declared_length_ < kSmallestBlock) {
        stop(0, "the length field says " + counted(declared_length_, "byte") +
                    ", below the smallest stream of " + std::to_string(kSmallestBlock));
        return;
    }
    length_ = declared_length_;
    if (!check_end()) return;
    if (vokxInspect(block_.bytes, length_, &info_) != VOK_OK) {
        diagnose_header();
        return;
    }
    open_block();
}

// The bytes the length field counts and the end marker: a block cut short
// or without its end marker is given one after the bytes present.
bool StreamWalker::check_end() {
    trusted_end_ = length_;
    if (length_ > block_.size) {
        record(0,
               "the length field says " + counted(length_, "byte") + " but the input ends after " +
                   counted(block_.size, "byte"),
               VOKX_NEED_MORE);
        trusted_end_ = static_cast<uint32_t>(std::min<size_t>(block_.size, UINT32_MAX));
        return supply_end_marker(block_.size);
    }
    if (block_.bytes[length_ - 1] != VOK_END) {
        record(length_ - 1,
               "no end marker: the block's last byte is " + byte_text(block_.bytes[length_ - 1]));
        trusted_end_ = length_ - 1;
        return supply_end_marker(length_);
    }
    return true;
}

// Makes the bytes present readable as a block of their own: the end marker
// in the spare byte after them, a length field that counts it.
bool StreamWalker::supply_end_marker(size_t present) {
    if (present >= UINT32_MAX) return stop(0, "the block is too large to be repaired");
    end_supplied_ = true;
    length_ = static_cast<uint32_t>(present + 1);
    vokFinalStream(block_.bytes, block_.bytes + present); // the end marker and the length
    return true;
}

// Names what vokxInspect refused in a block that ends with an end marker,
// in the order the opener checks it.
void StreamWalker::diagnose_header() {
    if (length_ < kSmallestBlock) {
        stop(length_ - 1, "the header is cut short");
        return;
    }
    const uint8_t *bytes = block_.bytes;
    switch (const uint16_t status = vokxOpen(&stream_, bytes, length_, bytes[kTypeOffset], 0)) {
    case VOK_UNEXPECTED:
        stop(kStartOffset,
             "no start marker: " + byte_text(bytes[kStartOffset]) + " instead of 0xc8");
        return;
    case VOK_BAD_VERSION:
        stop(kVersionOffset,
             "the version is not an unsigned item but " + byte_text(bytes[kVersionOffset]));
        return;
    case VOK_INVALID_STREAM:
        stop(kVersionOffset, "the version item runs past the end of the block");
        return;
    default:
        stop(0, "the frame is refused (" + std::string(vokxStatusName(status)) + ")");
    }
}

void StreamWalker::open_block() {
    header_.kind = ItemKind::header;
    header_.width = info_.body - kVersionOffset - 1; // the version item less its tag
    header_.extra = info_.type;
    header_.number = info_.version;
    const uint16_t status = vokxOpen(&stream_, block_.bytes, length_, info_.type, info_.version);
    if (status != VOK_OK) {
        stop(0,
             "the library refuses to open the block (" + std::string(vokxStatusName(status)) + ")");
        return;
    }
    next_offset_ = info_.body;
    phase_ = Phase::header;
}

bool StreamWalker::next(Entry &entry) {
    switch (phase_) {
    case Phase::header:
        entry = {block_.offset, {header_bytes_, info_.body}, header_};
        phase_ = Phase::body;
        return true;
    case Phase::body:
        return next_body_item(entry);
    default:
        return false;
    }
}

bool StreamWalker::next_body_item(Entry &entry) {
    vokxItem x{};
    const uint16_t status = vokxNextItem(&stream_, &x);
    // In a repaired block, what reaches the untrusted bytes is not listed:
    // the frame problem already says where the block went wrong.
    if (end_supplied_ && (status == VOK_OK ? x.offset + x.size : next_offset_ + 1) > trusted_end_) {
        phase_ = Phase::done;
        return false;
    }
    switch (status) {
    case VOK_OK: {
        const uint8_t *at = block_.bytes + x.offset;
        entry = {block_.offset + x.offset, {at, x.size}, item_of(x, at)};
        next_offset_ = x.offset + x.size;
        return true;
    }
    case VOK_END_OF_STREAM:
        return end_marker(x.offset, entry);
    default:
        return bad_item(next_offset_);
    }
}

// The block's own end marker ends the walk; one before it is a problem.  In
// a repaired block the one that ends the bytes present is most likely the
// real one, with a length field too large: the frame problem says so.
bool StreamWalker::end_marker(uint32_t offset, Entry &entry) {
    phase_ = Phase::done;
    const uint32_t last = length_ - 1;
    if (!end_supplied_ && offset == last) {
        entry = {block_.offset + offset, {block_.bytes + offset, 1}, Item{}};
        return true;
    }
    if (end_supplied_ && offset + 1 >= last) return false;
    // Bytes of the block after this one; a supplied end marker is not among them.
    const uint32_t following = last - offset - (end_supplied_ ? 1 : 0);
    return stop(offset, "end marker before the end of the block (" + counted(following, "byte") +
                            " follow)");
}

// Why vokxNextItem refused the item at offset.
bool StreamWalker::bad_item(uint32_t offset) {
    const uint8_t tag = block_.bytes[offset];
    if (tag == VOK_START) return stop(offset, "start marker inside the body");
    if (tag >= VOK_INVALID) return stop(offset, "byte " + byte_text(tag) + " cannot start an item");
    ItemKind kind{};
    if (!kind_of_tag(tag, kind)) return stop(offset, "unassigned tag " + byte_text(tag));
    return stop(offset, std::string(kind_word(kind)) + " item runs past the end of the block");
}

} // namespace vok::tool
