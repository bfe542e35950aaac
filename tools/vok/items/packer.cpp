#include "packer.hpp"

#include "item_bytes.hpp"
#include "json_reader.hpp"
#include "vok32x.h"

namespace vok::tool {

Packer::~Packer() { release_block(); }

// The block goes back through the accessors, closed first if need be.
void Packer::release_block() {
    if (created_ && vokCloseStream(&stream_) == VOK_OK) vokDestroyStream(vokGetData(&stream_));
    created_ = false;
    finished_ = false;
}

bool Packer::fail(size_t column, std::string message) {
    error_ = {line_, column, std::move(message)};
    return false;
}

Packer::Packer(bool json) : parser_(json ? make_json_reader() : make_notation_parser()) {}

bool Packer::add_line(std::string_view line) {
    ++line_;
    if (finished_) release_block();
    bool has_item = false;
    Item item{};
    NotationError parse_error;
    if (!parser_->parse_line(line, has_item, item, parse_error))
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
    std::vector<uint8_t> header;
    uint16_t status = empty_block(item, header);
    if (status == VOK_OK)
        status = vokReopenCopyStream(&stream_, header.data(), item.extra, item.number);
    created_ = status == VOK_OK;
    any_block_ = true;
    if (!created_)
        return fail(column,
                    "the library refused the header (" + std::string(vokxStatusName(status)) + ")");
    return true;
}

bool Packer::write(const Item &item, size_t column) {
    if (item.kind == ItemKind::end) return close_block();
    uint16_t status = VOK_OK;
    if (needs_raw_bytes(item)) {
        status = item_bytes(item, item_bytes_);
        if (status == VOK_OK)
            status = vokxWriteItem(&stream_, item_bytes_.data(), item_bytes_.size());
    } else {
        const vokxItem x = described(item);
        status = vokxPutItem(&stream_, &x);
    }
    if (status != VOK_OK)
        return fail(column,
                    "the library refused the item (" + std::string(vokxStatusName(status)) + ")");
    return true;
}

// Closing the stream writes the end marker.
bool Packer::close_block() {
    const uint16_t status = vokCloseStream(&stream_);
    if (status != VOK_OK)
        return fail(1, "the library could not close the stream (" +
                           std::string(vokxStatusName(status)) + ")");
    finished_ = true;
    return true;
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

bool pack_text(std::string_view text, std::vector<uint8_t> &blocks, PackError &error, bool json) {
    Packer packer(json);
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
