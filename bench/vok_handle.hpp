// vok32 through a stream handle: the library's growable buffer for writing,
// the finished block read in place.
#pragma once

#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec.hpp"
#include "vok32.h"
#include "vok_cursor.hpp"

namespace bench {

class VokHandle {
    friend class VokHandleNoGrowth; // the same writes

  public:
    VokHandle() = default;
    VokHandle(const VokHandle &) = delete;
    VokHandle &operator=(const VokHandle &) = delete;
    ~VokHandle() { vokDestroyStream(block_); }

    // Create, write, close; the previous block is released first, so each
    // encode pays for its whole lifecycle.
    template <typename Data> Encoded encode(const Data &data) {
        vokDestroyStream(block_);
        block_ = nullptr;
        vokStream s{};
        if (vokCreateStream(&s, kStreamType, kStreamVersion) != VOK_OK) return {};
        if (!write_items(&s, data) || vokCloseStream(&s) != VOK_OK) {
            vokCloseStream(&s);
            vokDestroyStream(vokGetData(&s));
            return {};
        }
        block_ = vokGetData(&s);
        return {block_, vokGetLengthEx(&s)};
    }

    template <typename Sink> bool decode(const Ints &, Encoded in, Sink &sink) {
        vokStream s{};
        if (vokOpenStream(&s, in.data, kStreamType, kStreamVersion) != VOK_OK) return false;
        uint32_t v = 0;
        while (vokReadUnsigned(&s, &v) == VOK_OK)
            sink.on_unsigned(v);
        return vokCanRead(&s) == VOK_END_OF_STREAM;
    }

    template <typename Sink> bool decode(const Records &, Encoded in, Sink &sink) {
        vokStream s{};
        if (vokOpenStream(&s, in.data, kStreamType, kStreamVersion) != VOK_OK) return false;
        uint32_t count = 0;
        while (vokReadUnsigned(&s, &count) == VOK_OK) {
            int32_t delta = 0;
            uint32_t flag = 0;
            uint32_t length = 0;
            if (vokReadSigned(&s, &delta) != VOK_OK || vokReadFlag(&s, &flag) != VOK_OK ||
                !read_string(&s, &length))
                return false;
            sink.on_unsigned(count);
            sink.on_signed(delta);
            sink.on_flag(flag != 0);
            sink.on_string(text_.data(), length);
        }
        return vokCanRead(&s) == VOK_END_OF_STREAM;
    }

    template <typename Sink> bool decode(const Blobs &, Encoded in, Sink &sink) {
        vokStream s{};
        if (vokOpenStream(&s, in.data, kStreamType, kStreamVersion) != VOK_OK) return false;
        uint32_t length = 0;
        while (vokCanRead(&s) != VOK_END_OF_STREAM) {
            if (!read_string(&s, &length)) return false;
            sink.on_string(text_.data(), length);
        }
        return true;
    }

  private:
    // Asks for the size first, as a reader that does not know it must, and
    // reads into one buffer kept across strings.
    bool read_string(vokStream *s, uint32_t *length) {
        if (vokGetStringSize(s, length) != VOK_OK) return false;
        if (text_.size() <= *length) text_.resize(size_t{*length} + 1);
        return vokReadString(s, text_.data()) == VOK_OK;
    }

    static bool write_items(vokStream *s, const Ints &ints) {
        for (uint32_t v : ints)
            if (vokWriteUnsigned(s, v) != VOK_OK) return false;
        return true;
    }
    static bool write_items(vokStream *s, const Records &records) {
        for (const Record &r : records) {
            if (vokWriteUnsigned(s, r.count) != VOK_OK || vokWriteSigned(s, r.delta) != VOK_OK ||
                vokWriteFlag(s, r.flag) != VOK_OK || vokWriteString(s, r.name.c_str()) != VOK_OK)
                return false;
        }
        return true;
    }
    static bool write_items(vokStream *s, const Blobs &blobs) {
        for (const std::string &b : blobs)
            if (vokWriteUTF8String(s, b.c_str()) != VOK_OK) return false;
        return true;
    }

    uint8_t *block_ = nullptr;
    std::vector<char> text_;
};

// The floor of handle encoding: the same writes, into a buffer allocated
// once and big enough that it never grows.  A closed empty block in that
// buffer is reopened for writing, which keeps the buffer's capacity.
class VokHandleNoGrowth {
  public:
    VokHandleNoGrowth(const VokHandleNoGrowth &) = delete;
    VokHandleNoGrowth &operator=(const VokHandleNoGrowth &) = delete;
    VokHandleNoGrowth() = default;
    ~VokHandleNoGrowth() { vokDestroyStream(buffer_); }

    template <typename Data> Encoded encode(const Data &data) {
        if (buffer_ == nullptr && !make_buffer(data)) return {};
        std::memcpy(buffer_, empty_, sizeof empty_);
        vokStream s{buffer_, capacity_, sizeof empty_, 0};
        if (vokReopenStream(&s) != VOK_OK || !VokHandle::write_items(&s, data) ||
            vokCloseStream(&s) != VOK_OK || s.data != buffer_)
            return {};
        return {buffer_, vokGetLengthEx(&s)};
    }

  private:
    template <typename Data> bool make_buffer(const Data &data) {
        VokHandle sized;
        const Encoded full = sized.encode(data);
        vokStream s{};
        if (full.size == 0 || vokCreateStream(&s, kStreamType, kStreamVersion) != VOK_OK ||
            vokCloseStream(&s) != VOK_OK || vokGetLength(&s) != sizeof empty_)
            return false;
        std::memcpy(empty_, vokGetData(&s), sizeof empty_);
        vokDestroyStream(vokGetData(&s));
        capacity_ = static_cast<uint32_t>(full.size) + 256;
        buffer_ = static_cast<uint8_t *>(std::malloc(capacity_));
        return buffer_ != nullptr;
    }

    uint8_t empty_[9] = {}; // the block of no items, version 1
    uint8_t *buffer_ = nullptr;
    uint32_t capacity_ = 0;
};

} // namespace bench
