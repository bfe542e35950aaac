#include "stream_walker.hpp"

#include <algorithm>

#include "format/frame.hpp"
#include "format/integer_item.hpp"
#include "format/string_item.hpp"
#include "format/tags.hpp"
#include "wording.hpp"

namespace fmt = vok::format;

namespace vok::tool {

StreamWalker::StreamWalker(std::span<const uint8_t> file) : file_(file) { check_frame(); }

bool StreamWalker::stop(uint64_t offset, std::string message) {
    problems_.push_back({offset, std::move(message)});
    phase_ = Phase::done;
    return false;
}

void StreamWalker::check_frame() {
    const uint64_t size = file_.size();
    if (size < 4) {
        stop(0, "only " + counted(size, "byte") + ": too short for the length field");
        return;
    }
    declared_length_ = fmt::get_total_length(file_.data());
    const uint32_t length = declared_length_;
    if (length < fmt::kMinStreamLength) {
        stop(0, "the length field says " + counted(length, "byte") +
                    ", below the smallest stream of 9");
        return;
    }
    // The bytes of the block that are really there.
    const auto available = static_cast<uint32_t>(std::min<uint64_t>(length, size));
    if (length > size) {
        problems_.push_back({0, "the length field says " + counted(length, "byte") +
                                    " but the file holds " + counted(size, "byte")});
        end_supplied_ = true;
    } else if (file_[length - 1] != VOK_END) {
        problems_.push_back({length - 1u, "no end marker: the block's last byte is " +
                                              byte_text(file_[length - 1])});
        end_supplied_ = true;
    } else if (length < size) {
        problems_.push_back(
            {length, counted(size - length, "byte") + " follow the end of the block"});
    }
    body_end_ = end_supplied_ ? available : length - 1;

    if (available <= fmt::kVersionOffset) {
        stop(available, "the header is cut short");
        return;
    }
    if (file_[fmt::kStartOffset] != VOK_START) {
        stop(fmt::kStartOffset,
             "no start marker: " + byte_text(file_[fmt::kStartOffset]) + " instead of 0xc8");
        return;
    }
    const unsigned width = fmt::unsigned_width(file_[fmt::kVersionOffset]);
    if (width == 0) {
        stop(fmt::kVersionOffset,
             "the version is not an unsigned item but " + byte_text(file_[fmt::kVersionOffset]));
        return;
    }
    if (fmt::kVersionOffset + 1 + width > body_end_) {
        stop(fmt::kVersionOffset, "the version item runs past the end of the block");
        return;
    }

    if (end_supplied_) {
        repaired_.assign(file_.begin(), file_.begin() + available);
        repaired_.push_back(VOK_END);
        fmt::put_total_length(repaired_.data(), available + 1);
        block_ = repaired_.data();
    } else {
        block_ = file_.data();
    }
    header_.kind = ItemKind::header;
    header_.width = width;
    header_.extra = block_[fmt::kTypeOffset];
    first_body_ = fmt::get_version(block_, &header_.number);

    const uint16_t status = vokOpenStream(&stream_, block_, header_.extra, header_.number);
    if (status != VOK_OK) {
        stop(0, "the library refuses to open the block (status " + std::to_string(status) + ")");
        return;
    }
    phase_ = Phase::header;
}

bool StreamWalker::next(Entry &entry) {
    switch (phase_) {
    case Phase::header:
        entry = {0, file_.first(first_body_), header_};
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
        entry = {offset, file_.subspan(offset, 1), Item{}};
        return true;
    }
    const uint8_t tag = block_[offset];
    if (tag == VOK_END)
        return stop(offset, "end marker before the end of the block (" +
                                counted(body_end_ - offset, "byte") + " follow)");
    if (tag == VOK_START) return stop(offset, "start marker inside the body");
    if (tag > fmt::kLastTag)
        return stop(offset, "byte " + byte_text(tag) + " cannot start an item");

    Item item{};
    const char *kind_name = nullptr;
    if (!read_item(tag, item, kind_name)) {
        if (kind_name == nullptr) return stop(offset, "unassigned tag " + byte_text(tag));
        return stop(offset, std::string(kind_name) + " item runs past the end of the block");
    }
    entry = {offset, file_.subspan(offset, stream_.position - offset), item};
    return true;
}

// Reads the item at the position with the reader of its kind.  On failure
// kind_name names the kind (the item was truncated) or stays null (no item
// starts with this tag).
bool StreamWalker::read_item(uint8_t tag, Item &item, const char *&kind_name) {
    const uint8_t *at = file_.data() + stream_.position; // same bytes as the block
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
