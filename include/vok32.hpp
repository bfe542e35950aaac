/*
 * vok32.hpp -- a header-only C++17 layer over the C interface of vok32.h.
 *
 *   vok::writer    owns a stream being written; typed write() overloads;
 *                  finish() hands out the finished block as a vok::block.
 *   vok::block     owns a finished block and releases it with vokDestroyStream.
 *   vok::reader    reads a finished block in place, after checking its length
 *                  field against the bytes actually given.
 *   vok::encoder   builds a stream in caller memory through the cursor
 *                  functions, checking the room each item needs first;
 *                  vok::encoded_size() and friends size such buffers.
 *   vok::status    the status codes, usable as std::error_code through
 *                  vok::category().
 *
 * Failures come back as vok::status or as a vok::result<T> holding a value
 * or a status; both are [[nodiscard]], so an ignored status is a warning
 * (an error under -Werror).  Nothing throws unless asked to:
 * result<T>::value() on a failed result throws std::system_error, as
 * std::optional's value() throws, and checks such as ok(), has_value(),
 * operator* and value_or never do.  Built without exceptions, value() on a
 * failed result prints the status and aborts.  The only functions that
 * allocate through the C++ runtime are the ones returning std::string (and
 * the category's message()).  Everything is inline and calls the C
 * functions directly; no virtual call sits on a reading or writing path.
 *
 * Strings.  The C writers and encoders measure their argument up to its first
 * zero byte; vok::text, the string argument of this layer, remembers whether
 * that is safe to rely on:
 *   - a const char * is passed to C as it is (nothing copied or measured);
 *   - a std::string is passed through c_str() unless it holds a zero byte;
 *   - a std::string_view is not known to be terminated, so it is copied to a
 *     terminated buffer first (on the stack up to 255 bytes).
 * Zero bytes inside a string are kept (vok32_detail.hpp says how).  Such
 * strings read back whole through vok::reader, whose strings carry their
 * length; C callers that stop at the first zero see a shorter text.
 * A vok::text views its argument: keep that alive while the call runs.
 */
#ifndef VOK32_HPP
#define VOK32_HPP

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <utility>

#if __cplusplus >= 202002L || (defined(_MSVC_LANG) && _MSVC_LANG >= 202002L)
#include <span>
#define VOK32_HPP_SPAN 1
#endif

#include "vok32.h"
#include "vok32_statuses.h"

namespace vok {

/* ======================================================================== */
/* Status codes and their error category                                     */
/* ======================================================================== */

// Every status of vok32 and vok32x, from vok32_statuses.h.
#define VOK_STATUS_ENUMERATOR(code, name, text) name = code,
enum class [[nodiscard]] status : std::uint16_t{VOK_STATUS_LIST(VOK_STATUS_ENUMERATOR)};
#undef VOK_STATUS_ENUMERATOR

} // namespace vok

namespace std {
template <> struct is_error_code_enum<vok::status> : true_type {};
} // namespace std

namespace vok {

namespace detail {

struct status_text {
    int code;
    const char *name;
    const char *description;
};

#define VOK_STATUS_TEXT(code, name, text) {code, #code, text},
inline constexpr status_text status_texts[] = {VOK_STATUS_LIST(VOK_STATUS_TEXT)};
#undef VOK_STATUS_TEXT

constexpr status_text describe(int code) noexcept {
    for (const status_text &text : status_texts)
        if (text.code == code) return text;
    return {code, "VOK_UNKNOWN", "not a vok32 status code"};
}

class status_category final : public std::error_category {
  public:
    const char *name() const noexcept override { return "vok32"; }
    std::string message(int code) const override {
        const status_text text = describe(code);
        std::string message = text.name;
        message += ": ";
        message += text.description;
        return message;
    }
};

constexpr vok::status to_status(std::uint16_t code) noexcept {
    return static_cast<vok::status>(code);
}

} // namespace detail

/* The status's name, e.g. "VOK_WRONG_TYPE". */
constexpr const char *status_name(vok::status code) noexcept {
    return detail::describe(static_cast<int>(code)).name;
}

/* One category object per program (per shared object when this header is
 * compiled into several of them; compare codes by value and name then). */
inline const std::error_category &category() noexcept {
    static const detail::status_category instance;
    return instance;
}

/* Note that older_version and newer_version, though non-zero, leave a
 * stream readable. */
inline std::error_code make_error_code(vok::status code) noexcept {
    return {static_cast<int>(code), category()};
}

namespace detail {
/* value() of a failed result: the status as a std::system_error, or, built
 * without exceptions, a message and abort(). */
[[noreturn]] inline void throw_status(vok::status code) {
#if defined(__cpp_exceptions) || defined(_CPPUNWIND)
    throw std::system_error(make_error_code(code));
#else
    std::fprintf(stderr, "vok::result::value() on a failed result: %s\n",
                 make_error_code(code).message().c_str());
    std::abort();
#endif
}
} // namespace detail

/* A value, or the status of the call that failed to produce it, used as
 * std::optional is: has_value() (or ok(), or the bool conversion) first, then
 * *r or r->; value() throws std::system_error carrying the status when there
 * is none; value_or(fallback) never throws.  A failed result holds the value
 * type's default, which only operator* and operator-> would show. */
template <class T> class [[nodiscard]] result {
  public:
    result(T value) noexcept(std::is_nothrow_move_constructible_v<T>)
        : value_(std::move(value)), status_(vok::status::ok) {}
    result(vok::status code, T value = T{}) noexcept(std::is_nothrow_move_constructible_v<T>)
        : value_(std::move(value)), status_(code) {}

    bool ok() const noexcept { return status_ == vok::status::ok; }
    bool has_value() const noexcept { return ok(); }
    explicit operator bool() const noexcept { return ok(); }
    vok::status status() const noexcept { return status_; }
    std::error_code error() const noexcept { return make_error_code(status_); }

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
        if (!ok()) detail::throw_status(status_);
    }

  private:
    T value_;
    vok::status status_;
};

/* ======================================================================== */
/* Item arguments                                                            */
/* ======================================================================== */

struct user_mark {
    std::uint8_t value; // 0..199
};

struct phrase {
    std::uint8_t id;
};

struct flag {
    bool value;
};

/* A string argument: its bytes and whether a zero byte is known to follow
 * them (see the note on strings at the top). */
class text {
  public:
    constexpr text(const char *string) noexcept
        : data_(string ? string : ""), size_(unmeasured), terminated_(true) {}
    text(const std::string &string) noexcept
        : data_(string.c_str()), size_(string.size()), terminated_(true) {}
    constexpr text(std::string_view string) noexcept
        : data_(string.data() ? string.data() : ""), size_(string.size()),
          terminated_(string.data() == nullptr) {}

    const char *data() const noexcept { return data_; }
    std::string_view view() const noexcept {
        return {data_, size_ == unmeasured ? std::strlen(data_) : size_};
    }
    /* True when the C functions, which stop at the first zero byte, would
     * see exactly these bytes. */
    bool usable_as_c_string() const noexcept {
        return size_ == unmeasured || (terminated_ && std::memchr(data_, 0, size_) == nullptr);
    }
    bool holds_zero() const noexcept {
        return size_ != unmeasured && std::memchr(data_, 0, size_) != nullptr;
    }

  private:
    static constexpr std::size_t unmeasured = static_cast<std::size_t>(-1);
    const char *data_;
    std::size_t size_; // unmeasured for a C string: only C measures it
    bool terminated_;
};

struct utf8 {
    text value; // stored as it is; not validated
};

struct safe_string {
    text value; // only its length is stored
};

/* A read-only run of bytes: pointer and size, or a std::span under C++20. */
class bytes_view {
  public:
    constexpr bytes_view() noexcept = default;
    constexpr bytes_view(const std::uint8_t *data, std::size_t size) noexcept
        : data_(data), size_(size) {}
    bytes_view(const std::byte *data, std::size_t size) noexcept
        : data_(reinterpret_cast<const std::uint8_t *>(data)), size_(size) {}
    bytes_view(const char *data, std::size_t size) noexcept
        : data_(reinterpret_cast<const std::uint8_t *>(data)), size_(size) {}
#ifdef VOK32_HPP_SPAN
    template <class T, std::size_t N, std::enable_if_t<sizeof(T) == 1, int> = 0>
    bytes_view(std::span<T, N> bytes) noexcept
        : data_(reinterpret_cast<const std::uint8_t *>(bytes.data())), size_(bytes.size()) {}
    std::span<const std::byte> span() const noexcept {
        return {reinterpret_cast<const std::byte *>(data_), size_};
    }
#endif
    constexpr const std::uint8_t *data() const noexcept { return data_; }
    constexpr std::size_t size() const noexcept { return size_; }
    constexpr bool empty() const noexcept { return size_ == 0; }

  private:
    const std::uint8_t *data_ = nullptr;
    std::size_t size_ = 0;
};

/* ======================================================================== */
/* Room needed by each item (for sizing caller buffers)                      */
/* ======================================================================== */

namespace detail {

template <class T>
inline constexpr bool is_character_or_bool_v =
    std::is_same_v<T, bool> || std::is_same_v<T, char> || std::is_same_v<T, wchar_t> ||
#ifdef __cpp_char8_t
    std::is_same_v<T, char8_t> ||
#endif
    std::is_same_v<T, char16_t> || std::is_same_v<T, char32_t>;

/* Integers reach the 32-bit signed or unsigned item; bool and characters
 * are refused at compile time, since they almost always mean a flag or text. */
template <class T>
using if_integer = std::enable_if_t<std::is_integral_v<std::remove_cv_t<T>>, int>;

template <class T> constexpr void check_integer_argument() noexcept {
    static_assert(!is_character_or_bool_v<std::remove_cv_t<T>>,
                  "write a flag as vok::flag{...} and text as a string");
    static_assert(sizeof(T) <= 4, "items hold 32-bit integers: convert to std::int32_t or "
                                  "std::uint32_t explicitly");
}

} // namespace detail

template <class T, detail::if_integer<T> = 0> constexpr std::size_t encoded_size(T value) noexcept {
    detail::check_integer_argument<T>();
    if constexpr (std::is_signed_v<T>) {
        const auto signed_value = static_cast<std::int32_t>(value);
        const auto magnitude = signed_value < 0 ? 0u - static_cast<std::uint32_t>(signed_value)
                                                : static_cast<std::uint32_t>(signed_value);
        return 1 + VOK_FIELD_SIZE(magnitude) + 1; // tag, magnitude, sign byte
    } else {
        return 1 + VOK_FIELD_SIZE(value);
    }
}
constexpr std::size_t encoded_size(user_mark) noexcept { return 1; }
constexpr std::size_t encoded_size(phrase) noexcept { return 2; }
constexpr std::size_t encoded_size(flag) noexcept { return 2; }

/* A plain (at most 65,535 bytes) or UTF-8 string of the given length. */
constexpr std::size_t encoded_size_string(std::size_t length) noexcept {
    return 1 + VOK_FIELD_SIZE(length) + length;
}
/* A safe string stores its tag and length field only. */
constexpr std::size_t encoded_size_safe(std::size_t length) noexcept {
    return 1 + VOK_FIELD_SIZE(length);
}
/* Everything around the items: length field, start marker, stream type,
 * version item and end marker (at most VOK_MAX_FRAME_SIZE). */
constexpr std::size_t frame_size(std::uint32_t version) noexcept {
    return 4 + 1 + 1 + encoded_size(version) + 1;
}

/* ======================================================================== */
/* Strings the C functions cannot take as they are                          */
/* ======================================================================== */

namespace detail {

/* Defined in vok32_detail.hpp, included at the end: strings that are not
 * terminated or hold zero bytes (see the note on strings at the top). */
using c_string_writer = std::uint16_t (*)(vokStream *, const char *);
using c_string_encoder = std::uint16_t (*)(std::uint8_t **, const char *);
inline vok::status write_string(vokStream &handle, c_string_writer write, c_string_encoder encode,
                                const text &string) noexcept;
inline vok::status write_safe_string(vokStream &handle, const text &string) noexcept;
inline vok::status encode_string(std::uint8_t **cursor, c_string_encoder encode,
                                 const text &string) noexcept;

inline std::uint32_t read_length_field(const std::uint8_t *bytes) noexcept {
    return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
           static_cast<std::uint32_t>(bytes[2]) << 8 | static_cast<std::uint32_t>(bytes[3]);
}

} // namespace detail

/* ======================================================================== */
/* Owning block                                                              */
/* ======================================================================== */

/* A finished block handed out by the library, released with vokDestroyStream. */
class block {
  public:
    block() noexcept = default;
    /* Adopts a block obtained from the library (vokGetData of a closed stream). */
    block(std::uint8_t *data, std::uint32_t size) noexcept : data_(data), size_(size) {}
    ~block() { vokDestroyStream(data_); }

    block(block &&other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0u)) {}
    block &operator=(block &&other) noexcept {
        if (this != &other) {
            vokDestroyStream(data_);
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0u);
        }
        return *this;
    }
    block(const block &) = delete;
    block &operator=(const block &) = delete;

    const std::uint8_t *data() const noexcept { return data_; }
    std::uint32_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    bytes_view bytes() const noexcept { return {data_, size_}; }
    /* Gives up ownership: the caller releases the bytes with vokDestroyStream. */
    std::uint8_t *release() noexcept {
        size_ = 0;
        return std::exchange(data_, nullptr);
    }

  private:
    std::uint8_t *data_ = nullptr;
    std::uint32_t size_ = 0;
};

/* ======================================================================== */
/* Writer                                                                    */
/* ======================================================================== */

class writer {
  public:
    /* Creates the stream; create_status() tells whether that worked. */
    writer(std::uint8_t type, std::uint32_t version) noexcept
        : create_status_(detail::to_status(vokCreateStream(&handle_, type, version))) {}
    ~writer() { vokDestroyStream(handle_.data); }

    writer(writer &&other) noexcept
        : handle_(std::exchange(other.handle_, vokStream{})), create_status_(other.create_status_) {
    }
    writer &operator=(writer &&other) noexcept {
        if (this != &other) {
            vokDestroyStream(handle_.data);
            handle_ = std::exchange(other.handle_, vokStream{});
            create_status_ = other.create_status_;
        }
        return *this;
    }
    writer(const writer &) = delete;
    writer &operator=(const writer &) = delete;

    vok::status create_status() const noexcept { return create_status_; }
    bool is_open() const noexcept { return handle_.active != 0; }
    /* Bytes written so far, header included. */
    std::uint32_t size() const noexcept { return handle_.position; }

    vok::status write(user_mark mark) noexcept {
        return detail::to_status(vokWriteUserMark(&handle_, mark.value));
    }
    vok::status write(phrase mark) noexcept {
        return detail::to_status(vokWritePhraseMark(&handle_, mark.id));
    }
    vok::status write(flag value) noexcept {
        return detail::to_status(vokWriteFlag(&handle_, value.value ? 1 : 0));
    }
    template <class T, detail::if_integer<T> = 0> vok::status write(T value) noexcept {
        detail::check_integer_argument<T>();
        if constexpr (std::is_signed_v<T>)
            return detail::to_status(vokWriteSigned(&handle_, static_cast<std::int32_t>(value)));
        else
            return detail::to_status(vokWriteUnsigned(&handle_, static_cast<std::uint32_t>(value)));
    }
    /* A plain string (at most 65,535 bytes). */
    vok::status write(text string) noexcept {
        return detail::write_string(handle_, vokWriteString, vokEncodeString, string);
    }
    vok::status write(utf8 string) noexcept {
        return detail::write_string(handle_, vokWriteUTF8String, vokEncodeUTF8String, string.value);
    }
    /* Only the length is stored.  Where vokWriteSafeString reports
     * VOK_UNEXPECTED for a written item, this reports ok. */
    vok::status write(safe_string string) noexcept {
        return detail::write_safe_string(handle_, string.value);
    }

    /* Appends the items of another finished block. */
    vok::status append(const block &source) noexcept {
        const vokStream closed{const_cast<std::uint8_t *>(source.data()), 0, source.size(), 0};
        return detail::to_status(vokAppendStream(&handle_, &closed));
    }

    /* Closes the stream and hands out its block.  On failure (no_memory) the
     * stream stays open; after success the writer holds nothing. */
    result<block> finish() noexcept {
        if (!is_open()) return vok::status::not_active;
        const auto code = detail::to_status(vokCloseStream(&handle_));
        if (code != vok::status::ok) return code;
        block finished(vokGetData(&handle_), vokGetLength(&handle_));
        handle_ = vokStream{};
        return result<block>(std::move(finished));
    }

    /* For the C functions without a counterpart here (vokWriteI18NString...). */
    vokStream *native_handle() noexcept { return &handle_; }

  private:
    vokStream handle_{};
    vok::status create_status_;
};

/* ======================================================================== */
/* Reader                                                                    */
/* ======================================================================== */

/* Reads a finished block in place; the block must outlive the reader.  Copies
 * of a reader read on independently. */
class reader {
  public:
    reader() noexcept = default;
    /* Opens the block unless its length field claims more bytes than given
     * (invalid_stream).  open_status() is ok, older_version or newer_version
     * for a readable stream. */
    reader(bytes_view bytes, std::uint8_t type, std::uint32_t version) noexcept
        : open_status_(open(bytes, type, version)) {}

    /* A reader over a record that another opener set up (vokx::open uses
     * vokxOpen), with the status that opener returned. */
    static reader adopt(const vokStream &opened, vok::status open_status) noexcept {
        reader r;
        r.handle_ = opened;
        r.open_status_ = open_status;
        return r;
    }

    vok::status open_status() const noexcept { return open_status_; }
    bool is_open() const noexcept { return handle_.active != 0; }
    /* Offset of the next item in the block. */
    std::uint32_t position() const noexcept { return handle_.position; }

    /* Type code of the next item (VOK_USER_MARK, a tag, or VOK_INVALID). */
    [[nodiscard]] std::uint8_t peek() const noexcept { return vokPeek(&handle_); }
    bool at_end() const noexcept { return vokCanRead(&handle_) == VOK_END_OF_STREAM; }

    /* wrong_type or end_of_stream, without moving, when no user mark is next. */
    result<std::uint8_t> read_user_mark() noexcept {
        if (!is_open()) return vok::status::not_active;
        const auto code = detail::to_status(vokCanRead(&handle_));
        if (code != vok::status::ok) return code;
        return vokReadUserMark(&handle_);
    }
    result<std::uint8_t> read_phrase() noexcept {
        std::uint8_t id = 0;
        return {detail::to_status(vokReadPhraseMark(&handle_, &id)), id};
    }
    result<bool> read_flag() noexcept {
        std::uint32_t stored = 0;
        return {detail::to_status(vokReadFlag(&handle_, &stored)), stored != 0};
    }
    result<std::int32_t> read_signed() noexcept {
        std::int32_t value = 0;
        return {detail::to_status(vokReadSigned(&handle_, &value)), value};
    }
    result<std::uint32_t> read_unsigned() noexcept {
        std::uint32_t value = 0;
        return {detail::to_status(vokReadUnsigned(&handle_, &value)), value};
    }

    /* Content length of the next string item (for a safe string, the length
     * recorded); nothing moves. */
    result<std::uint32_t> string_size() const noexcept {
        std::uint32_t size = 0;
        return {detail::to_status(vokGetStringSize(&handle_, &size)), size};
    }

    /* Copies the next plain or UTF-8 string into buffer, which needs
     * string_size() + 1 bytes (a smaller one gives no_memory and nothing
     * moves).  The view covers the content, without the terminating zero.
     * Another item gives wrong_type without moving; a safe string gives
     * unexpected and is passed over. */
    result<std::string_view> read_string(char *buffer, std::size_t capacity) noexcept {
        std::uint32_t size = 0;
        const auto sized = detail::to_status(vokGetStringSize(&handle_, &size));
        if (sized != vok::status::ok) return sized;
        if (capacity <= size) {
            const std::uint8_t tag = peek();
            if (tag != VOK_SAFE_1 && tag != VOK_SAFE_2) return vok::status::no_memory;
            char none = 0; // a safe string copies nothing
            return detail::to_status(vokReadString(&handle_, &none));
        }
        const auto code = detail::to_status(vokReadString(&handle_, buffer));
        if (code != vok::status::ok) return code;
        return std::string_view(buffer, size);
    }
#ifdef VOK32_HPP_SPAN
    result<std::string_view> read_string(std::span<char> buffer) noexcept {
        return read_string(buffer.data(), buffer.size());
    }
#endif
    /* As above, into a new std::string. */
    result<std::string> read_string() {
        const result<std::uint32_t> size = string_size();
        if (!size) return size.status();
        std::string content(std::size_t{size.value()} + 1, '\0');
        const auto read = read_string(content.data(), content.size());
        if (!read) return read.status();
        content.resize(size.value());
        return result<std::string>(std::move(content));
    }

    /* After read_phrase(): passes over the rest of the phrase and reports what
     * stopped it (VOK_PHRASE_MARK, VOK_END, VOK_USER_MARK or VOK_INVALID). */
    [[nodiscard]] std::uint8_t skip_phrase() noexcept { return vokSkipPhrase(&handle_); }

    /* Back to the first item. */
    vok::status reset() noexcept { return detail::to_status(vokReset(&handle_)); }

    const vokStream *native_handle() const noexcept { return &handle_; }
    vokStream *native_handle() noexcept { return &handle_; }

  private:
    vok::status open(bytes_view bytes, std::uint8_t type, std::uint32_t version) noexcept {
        if (bytes.data() == nullptr || bytes.size() < 4) return vok::status::invalid_stream;
        if (detail::read_length_field(bytes.data()) > bytes.size())
            return vok::status::invalid_stream;
        return detail::to_status(vokOpenStream(&handle_, bytes.data(), type, version));
    }

    vokStream handle_{};
    vok::status open_status_ = vok::status::not_active;
};

/* ======================================================================== */
/* Encoder (cursor side, in caller memory)                                   */
/* ======================================================================== */

/* Builds a stream in a caller buffer through the cursor functions.  Every
 * item is checked against the room left, keeping one byte for the end
 * marker; an item that does not fit gives no_memory and writes nothing.
 * The cursor side has no user marks, phrase marks or safe strings. */
class encoder {
  public:
    /* Writes the header; start_status() is no_memory when the buffer cannot
     * hold frame_size(version) bytes, and the encoder then refuses every item
     * with not_active. */
    encoder(std::uint8_t *buffer, std::size_t capacity, std::uint8_t type,
            std::uint32_t version) noexcept
        : start_(buffer) {
        if (buffer == nullptr || capacity < frame_size(version)) return;
        end_ = buffer + (capacity < UINT32_MAX ? capacity : std::size_t{UINT32_MAX});
        cursor_ = buffer;
        start_status_ = detail::to_status(vokStartStream(&cursor_, type, version));
    }
    encoder(const encoder &) = delete;
    encoder &operator=(const encoder &) = delete;

    vok::status start_status() const noexcept { return start_status_; }
    /* Bytes encoded so far, header included. */
    std::size_t size() const noexcept {
        return cursor_ ? static_cast<std::size_t>(cursor_ - start_) : 0;
    }
    /* Bytes left for items. */
    std::size_t room() const noexcept {
        return cursor_ ? static_cast<std::size_t>(end_ - cursor_) - 1 : 0;
    }

    vok::status encode(flag value) noexcept {
        if (const auto refused = reserve(encoded_size(value)); refused != vok::status::ok)
            return refused;
        return detail::to_status(vokEncodeFlag(&cursor_, value.value ? 1 : 0));
    }
    template <class T, detail::if_integer<T> = 0> vok::status encode(T value) noexcept {
        if (const auto refused = reserve(encoded_size(value)); refused != vok::status::ok)
            return refused;
        if constexpr (std::is_signed_v<T>)
            return detail::to_status(vokEncodeSigned(&cursor_, static_cast<std::int32_t>(value)));
        else
            return detail::to_status(
                vokEncodeUnsigned(&cursor_, static_cast<std::uint32_t>(value)));
    }
    /* A plain string (at most 65,535 bytes). */
    vok::status encode(text string) noexcept {
        const std::string_view bytes = string.view();
        if (bytes.size() > VOK_MAX_SHORT_STRING) return vok::status::string_too_long;
        return encode_string(vokEncodeString, string, encoded_size_string(bytes.size()));
    }
    vok::status encode(utf8 string) noexcept {
        const std::size_t size = encoded_size_string(string.value.view().size());
        return encode_string(vokEncodeUTF8String, string.value, size);
    }

    /* Writes the end marker and the length field; the view covers the whole
     * block.  Items encoded afterwards replace the end marker, and a new
     * finish() gives the longer block. */
    result<bytes_view> finish() noexcept {
        if (!cursor_) return vok::status::not_active;
        vokFinalStream(start_, cursor_);
        return bytes_view(start_, size() + 1);
    }

  private:
    vok::status reserve(std::size_t need) const noexcept {
        if (!cursor_) return vok::status::not_active;
        return need <= room() ? vok::status::ok : vok::status::no_memory;
    }
    vok::status encode_string(detail::c_string_encoder encode_item, const text &string,
                              std::size_t need) noexcept {
        if (const auto refused = reserve(need); refused != vok::status::ok) return refused;
        return detail::encode_string(&cursor_, encode_item, string);
    }

    std::uint8_t *start_;
    std::uint8_t *end_ = nullptr;
    std::uint8_t *cursor_ = nullptr;
    vok::status start_status_ = vok::status::no_memory;
};

} // namespace vok

#include "vok32_detail.hpp"

#endif /* VOK32_HPP */
