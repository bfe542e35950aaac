/*
 * vok32_detail.hpp -- string plumbing of vok32.hpp, which includes it; not
 * to be included on its own.
 *
 * The C writers and encoders measure a string up to its first zero byte.
 * Strings that do not fit that are handled here:
 *   - a string that is not known to be terminated is copied to a terminated
 *     buffer first (on the stack up to 255 bytes);
 *   - a string holding zero bytes is encoded through the cursor functions
 *     around a zero-free stand-in of the same length, whose place the real
 *     bytes then take; for a writer, the item is built as the body of a small
 *     stream of its own and appended to the handle;
 *   - a safe string stores only its length, so a stand-in of the same length
 *     gives the same item.
 */
#ifndef VOK32_DETAIL_HPP
#define VOK32_DETAIL_HPP

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "vok32.hpp"

namespace vok {
namespace detail {

/* A terminated buffer of size + 1 bytes: on the stack for short strings. */
class c_string_buffer {
  public:
    explicit c_string_buffer(std::size_t size) noexcept
        : data_(size < sizeof(small_) ? small_ : static_cast<char *>(std::malloc(size + 1))) {
        if (data_) data_[size] = '\0';
    }
    ~c_string_buffer() {
        if (data_ != small_) std::free(data_);
    }
    c_string_buffer(const c_string_buffer &) = delete;
    c_string_buffer &operator=(const c_string_buffer &) = delete;

    explicit operator bool() const noexcept { return data_ != nullptr; }
    char *data() noexcept { return data_; }

  private:
    char small_[256];
    char *data_;
};

/* Encodes a string item at the cursor, whatever bytes it holds: through a
 * zero-free stand-in of the same length, whose place the real bytes then
 * take.  The caller has checked the room. */
inline vok::status encode_any_bytes(std::uint8_t **cursor, c_string_encoder encode,
                                    std::string_view bytes) noexcept {
    c_string_buffer stand_in(bytes.size());
    if (!stand_in) return vok::status::no_memory;
    std::memset(stand_in.data(), 'x', bytes.size());
    const auto code = to_status(encode(cursor, stand_in.data()));
    if (code == vok::status::ok && !bytes.empty())
        std::memcpy(*cursor - bytes.size(), bytes.data(), bytes.size());
    return code;
}

/* Writes a plain or UTF-8 item holding zero bytes: encodes it as the body of
 * a small stream of its own and appends that body to the handle. */
inline vok::status write_any_bytes(vokStream &handle, c_string_encoder encode,
                                   std::string_view bytes) noexcept {
    if (handle.active == 0) return vok::status::not_active;
    if (bytes.size() > UINT32_MAX - frame_size(0) - 5) return vok::status::no_memory;
    const std::size_t room = frame_size(0) + encoded_size_string(bytes.size());
    auto *block = static_cast<std::uint8_t *>(std::malloc(room));
    if (!block) return vok::status::no_memory;
    std::uint8_t *cursor = block;
    vokStartStream(&cursor, 0, 0);
    auto code = encode_any_bytes(&cursor, encode, bytes);
    if (code == vok::status::ok) {
        vokFinalStream(block, cursor);
        const vokStream source{block, 0, static_cast<std::uint32_t>(cursor - block + 1), 0};
        code = to_status(vokAppendStream(&handle, &source));
    }
    std::free(block);
    return code;
}

inline vok::status write_string(vokStream &handle, c_string_writer write, c_string_encoder encode,
                                const text &string) noexcept {
    if (string.usable_as_c_string()) return to_status(write(&handle, string.data()));
    const std::string_view bytes = string.view();
    if (string.holds_zero()) return write_any_bytes(handle, encode, bytes);
    c_string_buffer copy(bytes.size());
    if (!copy) return vok::status::no_memory;
    std::memcpy(copy.data(), bytes.data(), bytes.size());
    return to_status(write(&handle, copy.data()));
}

inline vok::status write_safe_string(vokStream &handle, const text &string) noexcept {
    vok::status code;
    if (string.usable_as_c_string()) {
        code = to_status(vokWriteSafeString(&handle, string.data()));
    } else {
        const std::size_t length = string.view().size();
        c_string_buffer stand_in(length);
        if (!stand_in) return vok::status::no_memory;
        std::memset(stand_in.data(), 'x', length);
        code = to_status(vokWriteSafeString(&handle, stand_in.data()));
    }
    // vokWriteSafeString reports a written item as VOK_UNEXPECTED.
    return code == vok::status::unexpected ? vok::status::ok : code;
}

/* The room has been checked. */
inline vok::status encode_string(std::uint8_t **cursor, c_string_encoder encode,
                                 const text &string) noexcept {
    if (string.usable_as_c_string()) return to_status(encode(cursor, string.data()));
    return encode_any_bytes(cursor, encode, string.view());
}

} // namespace detail
} // namespace vok

#endif /* VOK32_DETAIL_HPP */
