// vok32 through the cursor functions: caller memory, no handle.
#pragma once

#include <vector>

#include "codec.hpp"
#include "vok32.h"

namespace bench {

inline constexpr uint8_t kStreamType = 7;
inline constexpr uint32_t kStreamVersion = 1;

class VokCursor {
  public:
    template <typename Data> Encoded encode(const Data &data) {
        buffer_.resize(worst_case_size(data));
        uint8_t *start = buffer_.data();
        uint8_t *p = start;
        vokStartStream(&p, kStreamType, kStreamVersion);
        if (!encode_items(&p, data)) return {};
        vokFinalStream(start, p);
        return {start, static_cast<size_t>(p - start) + 1};
    }

    template <typename Sink> bool decode(const Ints &, Encoded in, Sink &sink) {
        uint8_t *p = nullptr;
        if (!begin(in, &p)) return false;
        uint32_t v = 0;
        while (vokDecodeUnsigned(&p, &v) == VOK_OK)
            sink.on_unsigned(v);
        return *p == VOK_END;
    }

    template <typename Sink> bool decode(const Records &, Encoded in, Sink &sink) {
        uint8_t *p = nullptr;
        if (!begin(in, &p)) return false;
        uint32_t count = 0;
        while (vokDecodeUnsigned(&p, &count) == VOK_OK) {
            int32_t delta = 0;
            uint32_t flag = 0;
            char *name = nullptr;
            if (vokDecodeSigned(&p, &delta) != VOK_OK || vokDecodeFlag(&p, &flag) != VOK_OK)
                return false;
            const uint8_t *before_name = p;
            if (vokDecodeString(&p, &name) != VOK_OK) return false;
            sink.on_unsigned(count);
            sink.on_signed(delta);
            sink.on_flag(flag != 0);
            sink.on_string(name, content_length(before_name, p));
            vokDestroyStream(name);
        }
        return *p == VOK_END;
    }

    template <typename Sink> bool decode(const Blobs &, Encoded in, Sink &sink) {
        uint8_t *p = nullptr;
        if (!begin(in, &p)) return false;
        char *blob = nullptr;
        for (const uint8_t *before = p; vokDecodeString(&p, &blob) == VOK_OK; before = p) {
            sink.on_string(blob, content_length(before, p));
            vokDestroyStream(blob);
        }
        return *p == VOK_END;
    }

  private:
    // A decoded string comes back without its length; rather than measure it
    // again, take it from the item's size less its tag and length field.
    static size_t content_length(const uint8_t *item, const uint8_t *after) {
        const auto size = static_cast<size_t>(after - item);
        switch (item[0]) {
        case VOK_STRING_1:
        case VOK_UTF8_1:
            return size - 2;
        case VOK_STRING_2:
        case VOK_UTF8_2:
            return size - 3;
        default:
            return size - 5;
        }
    }

    static bool begin(Encoded in, uint8_t **p) {
        *p = const_cast<uint8_t *>(in.data); // the decoders only read through it
        return vokValidateStream(p, kStreamType, kStreamVersion) == VOK_OK;
    }

    static bool encode_items(uint8_t **p, const Ints &ints) {
        for (uint32_t v : ints)
            vokEncodeUnsigned(p, v);
        return true;
    }
    static bool encode_items(uint8_t **p, const Records &records) {
        for (const Record &r : records) {
            vokEncodeUnsigned(p, r.count);
            vokEncodeSigned(p, r.delta);
            vokEncodeFlag(p, r.flag);
            if (vokEncodeString(p, r.name.c_str()) != VOK_OK) return false;
        }
        return true;
    }
    static bool encode_items(uint8_t **p, const Blobs &blobs) {
        for (const std::string &b : blobs)
            if (vokEncodeUTF8String(p, b.c_str()) != VOK_OK) return false;
        return true;
    }

    std::vector<uint8_t> buffer_;
};

} // namespace bench
