#include "packer.hpp"

#include "noncanonical_items.hpp"

namespace vok::tool {

Packer::~Packer() { release_block(); }

void Packer::release_block() {
    if (created_) vokDestroyStream(stream_.data);
    created_ = false;
    finished_ = false;
}

bool Packer::fail(size_t column, std::string message) {
    error_ = {line_, column, std::move(message)};
    return false;
}

bool Packer::add_line(std::string_view line) {
    ++line_;
    if (finished_) release_block();
    bool has_item = false;
    Item item{};
    NotationError parse_error;
    if (!parser_.parse_line(line, has_item, item, parse_error))
        return fail(parse_error.column, std::move(parse_error.message));
    if (!has_item) return true;
    // Where the item starts, for messages about it as a whole.
    const size_t column = line.find_first_not_of(" \t") + 1;
    if (item.kind == ItemKind::header) return start_block(item, column);
    if (!created_) {
        return fail(column, any_block_ ? "after an end line only a new stream header may follow"
                                       : "the stream header must come first: stream type T "
                                         "version V");
    }
    return write(item, column);
}

bool Packer::start_block(const Item &item, size_t column) {
    if (created_) return fail(column, "a stream header before the end line of the block before");
    uint16_t status = vokCreateStream(&stream_, item.extra, item.number);
    created_ = status == VOK_OK;
    any_block_ = true;
    if (created_ && !is_canonical(item))
        status = rewrite_version(&stream_, item.number, item.width);
    if (status != VOK_OK)
        return fail(column,
                    "the library refused the header (status " + std::to_string(status) + ")");
    return true;
}

bool Packer::write(const Item &item, size_t column) {
    if (item.kind == ItemKind::end) return close_block();
    uint16_t success = VOK_OK;
    const uint16_t status = is_canonical(item) ? write_with_library(item, success)
                                               : append_noncanonical(&stream_, item);
    if (status != success)
        return fail(column, "the library refused the item (status " + std::to_string(status) + ")");
    return true;
}

// Closing the stream writes the end marker.
bool Packer::close_block() {
    const uint16_t status = vokCloseStream(&stream_);
    if (status != VOK_OK)
        return fail(1, "the library could not close the stream (status " + std::to_string(status) +
                           ")");
    finished_ = true;
    return true;
}

uint16_t Packer::write_with_library(const Item &item, uint16_t &success) {
    switch (item.kind) {
    case ItemKind::user_mark:
        return vokWriteUserMark(&stream_, static_cast<uint8_t>(item.number));
    case ItemKind::phrase_mark:
        return vokWritePhraseMark(&stream_, static_cast<uint8_t>(item.number));
    case ItemKind::flag:
        return vokWriteFlag(&stream_, static_cast<int32_t>(item.number));
    case ItemKind::unsigned_int:
        return vokWriteUnsigned(&stream_, item.number);
    case ItemKind::signed_int:
        return vokWriteSigned(&stream_, signed_reading(item));
    // The parser's text is zero-terminated, as the string writers need.
    case ItemKind::plain_string:
        return vokWriteString(&stream_, item.text.data());
    case ItemKind::utf8_string:
        return vokWriteUTF8String(&stream_, item.text.data());
    case ItemKind::safe_string:
        // Only the length is stored, so any content of that length will do.
        safe_filler_.assign(item.number + 1, 'x');
        safe_filler_.back() = '\0';
        success = VOK_UNEXPECTED; // "length stored, content withheld"
        return vokWriteSafeString(&stream_, safe_filler_.data());
    default:
        return VOK_OK;
    }
}

bool Packer::finish() {
    ++line_;
    if (finished_) release_block();
    if (!any_block_)
        return fail(1, "no stream header: the notation starts with stream type T version V");
    return !created_ || close_block();
}

std::span<const uint8_t> Packer::finished_block() const noexcept {
    if (!finished_) return {};
    return {vokGetData(&stream_), vokGetLength(&stream_)};
}

bool pack_text(std::string_view text, std::vector<uint8_t> &blocks, PackError &error) {
    Packer packer;
    const auto take = [&](bool ok) {
        const std::span<const uint8_t> block = packer.finished_block();
        blocks.insert(blocks.end(), block.begin(), block.end());
        return ok;
    };
    bool ok = true;
    while (ok && !text.empty()) {
        const size_t newline = text.find('\n');
        ok = take(packer.add_line(text.substr(0, newline)));
        text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
    }
    if (ok) ok = take(packer.finish());
    if (!ok) error = packer.error();
    return ok;
}

} // namespace vok::tool
