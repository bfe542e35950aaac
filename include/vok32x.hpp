/*
 * vok32x.hpp -- a header-only C++17 layer over vok32x.h.
 *
 *   vokx::open(b, n, type, version)
 *                         a vok::reader opened by vokxOpen, which reads
 *                         nothing at or past the n bytes given.
 *   vokx::items(stream)   range-for over the items of a stream opened for
 *   vokx::items(reader)   reading, yielding each as a const vokxItem &, a
 *                         view into the block; the range's status() tells
 *                         afterwards why the walk stopped.
 *   vokx::frames(b, n)    range-for over the blocks lying back to back in n
 *                         bytes, yielding each as a vokx::frame; status()
 *                         and offset() tell afterwards where and why it
 *                         stopped.
 *   vokx::text(item)      a string item's content as a std::string_view.
 *   vokx::kind_class(item)  vokxKindClass of the item's kind.
 *
 * Both ranges are single-pass and copy nothing; the bytes they view must
 * outlive them.  Nothing here throws or allocates.
 */
#ifndef VOK32X_HPP
#define VOK32X_HPP

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "vok32.hpp"
#include "vok32x.h"

namespace vokx {

/* The content of a plain or UTF-8 string item, zero bytes included; empty for
 * every other item. */
inline std::string_view text(const vokxItem &item) noexcept {
    if (item.text == nullptr) return {};
    return {reinterpret_cast<const char *>(item.text), item.length};
}

/* End of a single-pass range: reached when the range's last call did not
 * succeed. */
struct sentinel {};

namespace detail {
/* The iterator of a single-pass range, which provides current(), advance()
 * and done(). */
template <class Range, class Value> class pass_iterator {
  public:
    explicit pass_iterator(Range *range) noexcept : range_(range) {}
    const Value &operator*() const noexcept { return range_->current(); }
    const Value *operator->() const noexcept { return &range_->current(); }
    pass_iterator &operator++() noexcept {
        range_->advance();
        return *this;
    }
    friend bool operator==(const pass_iterator &it, sentinel) noexcept { return it.at_end(); }
    friend bool operator!=(const pass_iterator &it, sentinel end) noexcept { return !(it == end); }

  private:
    bool at_end() const noexcept { return range_->done(); }
    Range *range_;
};
} // namespace detail

/* The items of a stream opened for reading, from its position on. */
class item_range {
  public:
    explicit item_range(vokStream &stream) noexcept : stream_(&stream) {}

    using iterator = detail::pass_iterator<item_range, vokxItem>;

    iterator begin() noexcept {
        advance();
        return iterator(this);
    }
    sentinel end() const noexcept { return {}; }

    /* After the loop: VOK_END_OF_STREAM when every item was walked (the
     * position stays on the end marker), otherwise vokxNextItem's refusal
     * with the position on the item it refused. */
    [[nodiscard]] std::uint16_t status() const noexcept { return status_; }

  private:
    friend iterator;
    const vokxItem &current() const noexcept { return item_; }
    void advance() noexcept { status_ = vokxNextItem(stream_, &item_); }
    bool done() const noexcept { return status_ != VOK_OK; }

    vokStream *stream_;
    vokxItem item_{};
    std::uint16_t status_ = VOK_OK;
};

inline item_range items(vokStream &stream) noexcept { return item_range(stream); }
inline item_range items(vok::reader &reader) noexcept {
    return item_range(*reader.native_handle());
}

/* Opens a block of which size bytes are there with vokxOpen, which reads
 * nothing at or past size: the reader's open_status() is what vokxOpen
 * returned. */
inline vok::reader open(const std::uint8_t *bytes, std::size_t size, std::uint8_t type,
                        std::uint32_t version) noexcept {
    vokStream stream{};
    const auto status = static_cast<vok::status>(vokxOpen(&stream, bytes, size, type, version));
    return vok::reader::adopt(stream, status);
}

/* vokxKindClass for an item: VOKX_CLASS_UNSIGNED for 210, 212 and 213... */
inline std::uint8_t kind_class(const vokxItem &item) noexcept { return vokxKindClass(item.kind); }

/* One whole, well-formed block found by vokx::frames. */
struct frame {
    const std::uint8_t *bytes; /* its first byte; info.length bytes follow */
    std::size_t offset;        /* where it starts in the sequence */
    vokxBlockInfo info;
};

/* The blocks that lie back to back at the start of a byte sequence. */
class frame_range {
  public:
    frame_range(const std::uint8_t *bytes, std::size_t size) noexcept
        : bytes_(bytes), size_(size) {}

    using iterator = detail::pass_iterator<frame_range, frame>;

    iterator begin() noexcept {
        next_ = 0;
        frame_ = frame{};
        advance();
        return iterator(this);
    }
    sentinel end() const noexcept { return {}; }

    /* After the loop: VOK_OK when the blocks filled the sequence exactly,
     * VOKX_NEED_MORE when an incomplete block trails, VOK_INVALID_STREAM when
     * the bytes at offset() can never be a block. */
    [[nodiscard]] std::uint16_t status() const noexcept { return status_; }
    /* After the loop: where the first byte not in a yielded block lies. */
    std::size_t offset() const noexcept { return next_; }

  private:
    friend iterator;
    const frame &current() const noexcept { return frame_; }
    bool done() const noexcept { return !more_; }
    void advance() noexcept {
        if (frame_.bytes != nullptr) next_ = frame_.offset + frame_.info.length;
        frame_ = frame{};
        status_ =
            next_ == size_ ? VOK_OK : vokxInspect(bytes_ + next_, size_ - next_, &frame_.info);
        more_ = next_ != size_ && status_ == VOK_OK;
        if (more_) {
            frame_.bytes = bytes_ + next_;
            frame_.offset = next_;
        }
    }

    const std::uint8_t *bytes_;
    std::size_t size_;
    std::size_t next_ = 0;
    frame frame_{};
    std::uint16_t status_ = VOK_OK;
    bool more_ = false;
};

inline frame_range frames(const std::uint8_t *bytes, std::size_t size) noexcept {
    return frame_range(bytes, size);
}

} // namespace vokx

#endif /* VOK32X_HPP */
