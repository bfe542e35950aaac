#include "stream_walker.hpp"

#include <algorithm>

#include "format/frame.hpp"
#include "format/integer_item.hpp"
#include "format/string_item.hpp"
#include "format/tags.hpp"
#include "wording.hpp"

namespace fmt = vok::format;

namespace vok::tool {

StreamWalker::StreamWalker(const Block &block) : block_(block) { check_frame(); }

bool StreamWalker::stop(uint64_t offset, std::string message) {
    problems_.push_back({block_.offset + offset, std::move(message)});
    phase_ = Phase::done;
    return false;
}

// Makes the bytes present readable as a block of their own: the end marker
// in the spare byte after them, a length field that counts it.  The header
// as read is kept for the listing.
bool StreamWalker::supply_end_marker() {
    if (block_.size >= UINT32_MAX) return stop(0, "the block is too large to be repaired");
    end_supplied_ = true;
    body_end_ = static_cast<uint32_t>(block_.size);
    block_.bytes[body_end_] = VOK_END;
    fmt::put_total_length(block_.bytes, body_end_ + 1);
    return true;
}

void StreamWalker::check_frame() {
    const size_t size = block_.size;
    if (size < 4) {
        stop(0, "only " + counted(size, "byte") + ": too short for the length field");
        return;
    }
    std::copy_n(block_.bytes, std::min<size_t>(size, sizeof header_bytes_), header_bytes_);
    declared_length_ = fmt::get_total_length(block_.bytes);
    const uint32_t length = declared_length_;
    if (length < fmt::kMinStreamLength) {
        stop(0, "the length field says " + counted(length, "byte") +
                    ", below the smallest stream of 9");
        return;
    }
    body_end_ = length - 1;
    if (length > size) {
        problems_.push_back({block_.offset, "the length field says " + counted(length, "byte") +
                                                " but the input ends after " +
                                                counted(size, "byte")});
        if (!supply_end_marker()) return;
    } else if (block_.bytes[length - 1] != VOK_END) {
        problems_.push_back(
            {block_.offset + length - 1,
             "no end marker: the block's last byte is " + byte_text(block_.bytes[length - 1])});
        if (!supply_end_marker()) return;
    }
    check_header();
}

void StreamWalker::check_header() {
    const uint8_t *bytes = block_.bytes;
    if (body_end_ <= fmt::kVersionOffset) {
        stop(body_end_, "the header is cut short");
        return;
    }
    if (bytes[fmt::kStartOffset] != VOK_START) {
        stop(fmt::kStartOffset,
             "no start marker: " + byte_text(bytes[fmt::kStartOffset]) + " instead of 0xc8");
        return;
    }
    const unsigned width = fmt::unsigned_width(bytes[fmt::kVersionOffset]);
    if (width == 0) {
        stop(fmt::kVersionOffset,
             "the version is not an unsigned item but " + byte_text(bytes[fmt::kVersionOffset]));
        return;
    }
    if (fmt::kVersionOffset + 1 + width > body_end_) {
        stop(fmt::kVersionOffset, "the version item runs past the end of the block");
        return;
    }
    open_block(width);
}

void StreamWalker::open_block(unsigned version_width) {
    header_.kind = ItemKind::header;
    header_.width = version_width;
    header_.extra = block_.bytes[fmt::kTypeOffset];
    first_body_ = fmt::get_version(block_.bytes, &header_.number);
    const uint16_t status = vokOpenStream(&stream_, block_.bytes, header_.extra, header_.number);
    if (status != VOK_OK) {
        stop(0, "the library refuses to open the block (status " + std::to_string(status) + ")");
        return;
    }
    phase_ = Phase::header;
}

bool StreamWalker::next(Entry &entry) {
    switch (phase_) {
    case Phase::header:
        entry = {block_.offset, {header_bytes_, first_body_}, header_};
        phase_ = Phase::body;
        return true;
    case Phase::body:
        return next_body_item(entry);
    default:
        return false;
    }
}

bool StreamWalker::next_body_item(Entry &entry) {
    const uint32_t offset = stream_.position;
    if (offset == body_end_) {
        phase_ = Phase::done;
        if (end_supplied_) return false; // the frame problem already says why
        entry = {block_.offset + offset, {block_.bytes + offset, 1}, Item{}};
        return true;
    }
    const uint8_t tag = block_.bytes[offset];
    if (tag == VOK_END) return end_marker_inside(offset);
    if (tag == VOK_START) return stop(offset, "start marker inside the body");
    if (tag > fmt::kLastTag)
        return stop(offset, "byte " + byte_text(tag) + " cannot start an item");

    Item item{};
    const char *kind_name = nullptr;
    if (!read_item(tag, item, kind_name)) {
        if (kind_name == nullptr) return stop(offset, "unassigned tag " + byte_text(tag));
        return stop(offset, std::string(kind_name) + " item runs past the end of the block");
    }
    entry = {block_.offset + offset, {block_.bytes + offset, stream_.position - offset}, item};
    return true;
}

// An end marker before the block's last byte.  In a repaired block the one
// that ends the bytes present is most likely the real one, with a length
// field too large: the frame problem already says so.
bool StreamWalker::end_marker_inside(uint32_t offset) {
    const uint32_t last = end_supplied_ ? body_end_ - 1 : body_end_;
    if (offset == last) {
        phase_ = Phase::done;
        return false;
    }
    const uint32_t following = (end_supplied_ ? body_end_ : body_end_ + 1) - offset - 1;
    return stop(offset, "end marker before the end of the block (" + counted(following, "byte") +
                            " follow)");
}

// Reads the item at the position with the reader of its kind.  On failure
// kind_name names the kind (the item was truncated) or stays null (no item
// starts with this tag).
bool StreamWalker::read_item(uint8_t tag, Item &item, const char *&kind_name) {
    const uint8_t *at = block_.bytes + stream_.position;
    if (fmt::is_user_mark(tag)) {
        item.kind = ItemKind::user_mark;
        item.number = vokReadUserMark(&stream_);
        return true;
    }
    if (tag == VOK_FLAG) {
        kind_name = "flag";
        item.kind = ItemKind::flag;
        return vokReadFlag(&stream_, &item.number) == VOK_OK;
    }
    if (tag == VOK_PHRASE_MARK) {
        kind_name = "phrase mark";
        item.kind = ItemKind::phrase_mark;
        uint8_t phrase = 0;
        if (vokReadPhraseMark(&stream_, &phrase) != VOK_OK) return false;
        item.number = phrase;
        return true;
    }
    if (const unsigned width = fmt::unsigned_width(tag)) {
        kind_name = "unsigned";
        item.kind = ItemKind::unsigned_int;
        item.width = width;
        return vokReadUnsigned(&stream_, &item.number) == VOK_OK;
    }
    if (const unsigned width = fmt::signed_width(tag)) {
        kind_name = "signed";
        int32_t value = 0;
        if (vokReadSigned(&stream_, &value) != VOK_OK) return false;
        // The reader folds magnitude and sign into one value; the notation
        // keeps both as stored.
        item.kind = ItemKind::signed_int;
        item.width = width;
        item.number = fmt::load_be(at + 1, width);
        item.extra = at[1 + width];
        return true;
    }
    if (const unsigned width = fmt::length_width(tag)) {
        kind_name = "string";
        uint32_t length = 0;
        if (vokGetStringSize(&stream_, &length) != VOK_OK) return false;
        item.width = width;
        item.number = length;
        if (fmt::is_safe_tag(tag)) {
            item.kind = ItemKind::safe_string;
            char none = 0;
            return vokReadString(&stream_, &none) == VOK_UNEXPECTED;
        }
        // The content is viewed in place rather than copied out with
        // vokReadString, so a string of any size costs no memory.
        item.kind = fmt::is_utf8_tag(tag) ? ItemKind::utf8_string : ItemKind::plain_string;
        item.text = {reinterpret_cast<const char *>(at + 1 + width), length};
        stream_.position += 1 + width + length;
        return true;
    }
    return false;
}

} // namespace vok::tool
