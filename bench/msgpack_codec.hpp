// msgpack-c, C interface.  Items are packed back to back without an
// enclosing array, as vok32 stores them.  Packing goes into an sbuffer that
// is cleared, not freed, between encodes.  Decoding pulls one object at a
// time; two pull decoders are offered:
//  - `zone`: the older msgpack_unpack with one zone kept for the whole run;
//    scalars and strings never touch it (strings point into the block), so
//    no allocation happens per object;
//  - `next`: msgpack_unpack_next with one reused msgpack_unpacked, which
//    frees and makes a zone per object.
#pragma once

#include <msgpack.h>

#include "codec.hpp"

namespace bench {

enum class MsgpackPull { zone, next };

template <MsgpackPull kPull> class Msgpack {
  public:
    Msgpack() {
        msgpack_sbuffer_init(&buffer_);
        msgpack_zone_init(&zone_, MSGPACK_ZONE_CHUNK_SIZE);
        msgpack_unpacked_init(&unpacked_);
    }
    Msgpack(const Msgpack &) = delete;
    Msgpack &operator=(const Msgpack &) = delete;
    ~Msgpack() {
        msgpack_unpacked_destroy(&unpacked_);
        msgpack_zone_destroy(&zone_);
        msgpack_sbuffer_destroy(&buffer_);
    }

    template <typename Data> Encoded encode(const Data &data) {
        msgpack_sbuffer_clear(&buffer_);
        msgpack_packer pk;
        msgpack_packer_init(&pk, &buffer_, msgpack_sbuffer_write);
        pack_items(&pk, data);
        return {reinterpret_cast<const uint8_t *>(buffer_.data), buffer_.size};
    }

    template <typename Sink> bool decode(const Ints &, Encoded in, Sink &sink) {
        size_t off = 0;
        msgpack_object o;
        while (off < in.size) {
            if (!next(in, &off, &o) || o.type != MSGPACK_OBJECT_POSITIVE_INTEGER) return false;
            sink.on_unsigned(o.via.u64);
        }
        return true;
    }

    template <typename Sink> bool decode(const Records &, Encoded in, Sink &sink) {
        size_t off = 0;
        msgpack_object o;
        while (off < in.size) {
            if (!next(in, &off, &o) || o.type != MSGPACK_OBJECT_POSITIVE_INTEGER) return false;
            sink.on_unsigned(o.via.u64);
            if (!next(in, &off, &o)) return false;
            if (o.type == MSGPACK_OBJECT_POSITIVE_INTEGER)
                sink.on_signed(static_cast<int64_t>(o.via.u64));
            else if (o.type == MSGPACK_OBJECT_NEGATIVE_INTEGER)
                sink.on_signed(o.via.i64);
            else
                return false;
            if (!next(in, &off, &o) || o.type != MSGPACK_OBJECT_BOOLEAN) return false;
            sink.on_flag(o.via.boolean);
            if (!next(in, &off, &o) || o.type != MSGPACK_OBJECT_STR) return false;
            sink.on_string(o.via.str.ptr, o.via.str.size);
        }
        return true;
    }

    template <typename Sink> bool decode(const Blobs &, Encoded in, Sink &sink) {
        size_t off = 0;
        msgpack_object o;
        while (off < in.size) {
            if (!next(in, &off, &o) || o.type != MSGPACK_OBJECT_STR) return false;
            sink.on_string(o.via.str.ptr, o.via.str.size);
        }
        return true;
    }

  private:
    bool next(Encoded in, size_t *off, msgpack_object *o) {
        const auto *data = reinterpret_cast<const char *>(in.data);
        if constexpr (kPull == MsgpackPull::zone) {
            const msgpack_unpack_return r = msgpack_unpack(data, in.size, off, &zone_, o);
            return r == MSGPACK_UNPACK_SUCCESS || r == MSGPACK_UNPACK_EXTRA_BYTES;
        } else {
            if (msgpack_unpack_next(&unpacked_, data, in.size, off) != MSGPACK_UNPACK_SUCCESS)
                return false;
            *o = unpacked_.data;
            return true;
        }
    }

    static void pack_items(msgpack_packer *pk, const Ints &ints) {
        for (uint32_t v : ints)
            msgpack_pack_uint32(pk, v);
    }
    static void pack_items(msgpack_packer *pk, const Records &records) {
        for (const Record &r : records) {
            msgpack_pack_uint32(pk, r.count);
            msgpack_pack_int32(pk, r.delta);
            if (r.flag)
                msgpack_pack_true(pk);
            else
                msgpack_pack_false(pk);
            msgpack_pack_str_with_body(pk, r.name.data(), r.name.size());
        }
    }
    static void pack_items(msgpack_packer *pk, const Blobs &blobs) {
        for (const std::string &b : blobs)
            msgpack_pack_str_with_body(pk, b.data(), b.size());
    }

    msgpack_sbuffer buffer_;
    msgpack_zone zone_;
    msgpack_unpacked unpacked_;
};

} // namespace bench
