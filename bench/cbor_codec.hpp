// libcbor: the item encoders into one caller buffer sized once, and the
// streaming decoder, one cbor_stream_decode call per item with callbacks.
// Items stand back to back without an enclosing array, as in vok32.
#pragma once

#include <cbor.h>

#include <cstring>
#include <vector>

#include "codec.hpp"

namespace bench {

class Cbor {
  public:
    template <typename Data> Encoded encode(const Data &data) {
        buffer_.resize(worst_case_size(data));
        Writer w{buffer_.data(), buffer_.data() + buffer_.size()};
        if (!encode_items(&w, data)) return {};
        return {buffer_.data(), static_cast<size_t>(w.at - buffer_.data())};
    }

    template <typename Sink> bool decode(const Ints &, Encoded in, Sink &sink) {
        size_t off = 0;
        Item item;
        while (off < in.size) {
            if (!next(in, &off, &item) || item.kind != Kind::uint) return false;
            sink.on_unsigned(item.value);
        }
        return true;
    }

    template <typename Sink> bool decode(const Records &, Encoded in, Sink &sink) {
        size_t off = 0;
        Item item;
        while (off < in.size) {
            if (!next(in, &off, &item) || item.kind != Kind::uint) return false;
            sink.on_unsigned(item.value);
            if (!next(in, &off, &item)) return false;
            if (item.kind == Kind::uint)
                sink.on_signed(static_cast<int64_t>(item.value));
            else if (item.kind == Kind::negint)
                sink.on_signed(-1 - static_cast<int64_t>(item.value));
            else
                return false;
            if (!next(in, &off, &item) || item.kind != Kind::boolean) return false;
            sink.on_flag(item.value != 0);
            if (!next(in, &off, &item) || item.kind != Kind::string) return false;
            sink.on_string(item.text, item.value);
        }
        return true;
    }

    template <typename Sink> bool decode(const Blobs &, Encoded in, Sink &sink) {
        size_t off = 0;
        Item item;
        while (off < in.size) {
            if (!next(in, &off, &item) || item.kind != Kind::string) return false;
            sink.on_string(item.text, item.value);
        }
        return true;
    }

  private:
    struct Writer {
        unsigned char *at;
        unsigned char *end;
        bool put(size_t written) {
            at += written;
            return written != 0;
        }
        size_t room() const { return static_cast<size_t>(end - at); }
    };

    static bool put_signed(Writer *w, int32_t v) {
        // CBOR stores a negative n as the unsigned -1 - n.
        if (v >= 0) return w->put(cbor_encode_uint(static_cast<uint64_t>(v), w->at, w->room()));
        const auto n = static_cast<uint64_t>(-1 - int64_t{v});
        return w->put(cbor_encode_negint(n, w->at, w->room()));
    }
    static bool put_string(Writer *w, const std::string &s) {
        if (!w->put(cbor_encode_string_start(s.size(), w->at, w->room()))) return false;
        if (w->room() < s.size()) return false;
        std::memcpy(w->at, s.data(), s.size());
        w->at += s.size();
        return true;
    }

    static bool encode_items(Writer *w, const Ints &ints) {
        for (uint32_t v : ints)
            if (!w->put(cbor_encode_uint(v, w->at, w->room()))) return false;
        return true;
    }
    static bool encode_items(Writer *w, const Records &records) {
        for (const Record &r : records) {
            if (!w->put(cbor_encode_uint(r.count, w->at, w->room())) || !put_signed(w, r.delta) ||
                !w->put(cbor_encode_bool(r.flag, w->at, w->room())) || !put_string(w, r.name))
                return false;
        }
        return true;
    }
    static bool encode_items(Writer *w, const Blobs &blobs) {
        for (const std::string &b : blobs)
            if (!put_string(w, b)) return false;
        return true;
    }

    // What the callbacks saw of the one item a decode call reads.
    enum class Kind : uint8_t { other, uint, negint, boolean, string };
    struct Item {
        Kind kind;
        uint64_t value; // number, negint's stored n, flag, or string length
        const unsigned char *text;
    };

    static void seen(void *p, Kind kind, uint64_t value, const unsigned char *text = nullptr) {
        *static_cast<Item *>(p) = {kind, value, text};
    }

    static cbor_callbacks make_callbacks() {
        cbor_callbacks c = cbor_empty_callbacks;
        c.uint8 = [](void *p, uint8_t v) { seen(p, Kind::uint, v); };
        c.uint16 = [](void *p, uint16_t v) { seen(p, Kind::uint, v); };
        c.uint32 = [](void *p, uint32_t v) { seen(p, Kind::uint, v); };
        c.negint8 = [](void *p, uint8_t v) { seen(p, Kind::negint, v); };
        c.negint16 = [](void *p, uint16_t v) { seen(p, Kind::negint, v); };
        c.negint32 = [](void *p, uint32_t v) { seen(p, Kind::negint, v); };
        c.boolean = [](void *p, bool v) { seen(p, Kind::boolean, v ? 1 : 0); };
        c.string = [](void *p, cbor_data d, size_t n) { seen(p, Kind::string, n, d); };
        return c;
    }

    bool next(Encoded in, size_t *off, Item *item) const {
        item->kind = Kind::other;
        const cbor_decoder_result r =
            cbor_stream_decode(in.data + *off, in.size - *off, &callbacks_, item);
        if (r.status != CBOR_DECODER_FINISHED) return false;
        *off += r.read;
        return true;
    }

    const cbor_callbacks callbacks_ = make_callbacks();
    std::vector<unsigned char> buffer_;
};

} // namespace bench
