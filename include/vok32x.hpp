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
 * outlive them.  Nothing above throws or allocates.
 *
 *   vok::record_status    what encoding or decoding a record came to: ok()
 *                         for VOK_OK, VOK_OLDER_VERSION and VOK_NEWER_VERSION
 *                         alike; otherwise status(), path(), offset() and
 *                         message() of the refusal.
 *   vok::record_result<T> the same with a value (the record, or the bytes
 *                         of encode()), as generated code returns them.
 * They allocate only to keep the words of a refusal, and throw only from
 * record_result<T>::value() called on a refusal.
 */
#ifndef VOK32X_HPP
#define VOK32X_HPP

#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

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

namespace vok {

/* What became of a record: a success (of the version expected, or an older
 * or newer one, which read all the same) or a refusal with its words. */
class [[nodiscard]] record_status {
  public:
    record_status() noexcept = default;
    /* A success, or a refusal that has only its status. */
    explicit record_status(std::uint16_t code) noexcept : code_(code) {}
    /* A refusal as the engine wrote it; ok statuses keep no words. */
    explicit record_status(const vokxRecordError &error) noexcept : code_(error.status) {
        if (!ok()) words_ = new (std::nothrow) vokxRecordError(error);
    }
    record_status(const record_status &other) noexcept : code_(other.code_) {
        if (other.words_ != nullptr) words_ = new (std::nothrow) vokxRecordError(*other.words_);
    }
    record_status(record_status &&other) noexcept
        : code_(other.code_), words_(std::exchange(other.words_, nullptr)) {}
    record_status &operator=(record_status other) noexcept {
        code_ = other.code_;
        std::swap(words_, other.words_);
        return *this;
    }
    ~record_status() { delete words_; }

    bool ok() const noexcept {
        return code_ == VOK_OK || code_ == VOK_OLDER_VERSION || code_ == VOK_NEWER_VERSION;
    }
    explicit operator bool() const noexcept { return ok(); }
    /* The status itself: ok, older_version, newer_version or the refusal. */
    vok::status status() const noexcept { return static_cast<vok::status>(code_); }
    /* After a success, whether the block was of the version expected (ok),
     * older or newer; after a refusal, the refusal. */
    vok::status version_status() const noexcept { return status(); }
    /* Where the refusal was found: the field's path ("lines[3].sku", empty
     * for the whole block), the offset of the item in the block, and what is
     * wrong in a sentence.  Empty and 0 after a success. */
    std::string_view path() const noexcept { return words_ != nullptr ? words_->path : ""; }
    std::uint32_t offset() const noexcept { return words_ != nullptr ? words_->offset : 0; }
    std::string_view message() const noexcept { return words_ != nullptr ? words_->message : ""; }

    friend bool operator==(const record_status &a, vok::status b) noexcept {
        return a.status() == b;
    }
    friend bool operator!=(const record_status &a, vok::status b) noexcept { return !(a == b); }

  private:
    std::uint16_t code_ = VOK_OK;
    vokxRecordError *words_ = nullptr; // a refusal's, when memory allowed; owned
};

/* A record_status with a value: *r and r-> after a success; value() throws
 * std::system_error with the status after a refusal, value_or never does. */
template <class T> class [[nodiscard]] record_result : public record_status {
  public:
    record_result(T value,
                  std::uint16_t code = VOK_OK) noexcept(std::is_nothrow_move_constructible_v<T>)
        : record_status(code), value_(std::move(value)) {}
    record_result(record_status refusal,
                  T value = T{}) noexcept(std::is_nothrow_move_constructible_v<T>)
        : record_status(std::move(refusal)), value_(std::move(value)) {}

    bool has_value() const noexcept { return ok(); }
    T &operator*() &noexcept { return value_; }
    const T &operator*() const &noexcept { return value_; }
    T &&operator*() &&noexcept { return std::move(value_); }
    T *operator->() noexcept { return &value_; }
    const T *operator->() const noexcept { return &value_; }
    T &value() & {
        checked();
        return value_;
    }
    const T &value() const & {
        checked();
        return value_;
    }
    T &&value() && {
        checked();
        return std::move(value_);
    }
    T value_or(T fallback) const & { return ok() ? value_ : fallback; }

  private:
    void checked() const {
        if (!ok()) detail::throw_status(status());
    }
    T value_;
};

} // namespace vok

#endif /* VOK32X_HPP */
