// vok32x's item walk: vokxOpen with the block's size, then one vokxNextItem
// per item, strings seen in place.  Encoding is the cursor side's.
#pragma once

#include "codec.hpp"
#include "vok32x.h"
#include "vok_cursor.hpp"

namespace bench {

class VokWalk {
  public:
    template <typename Data> Encoded encode(const Data &data) { return cursor_.encode(data); }

    // One walk for every data set: each item goes to the sink by its kind.
    template <typename Data, typename Sink> bool decode(const Data &, Encoded in, Sink &sink) {
        vokStream s{};
        if (vokxOpen(&s, in.data, in.size, kStreamType, kStreamVersion) != VOK_OK) return false;
        vokxItem item;
        uint16_t status = 0;
        while ((status = vokxNextItem(&s, &item)) == VOK_OK) {
            switch (item.kind) {
            case VOK_UNSIGNED_1:
            case VOK_UNSIGNED_2:
            case VOK_UNSIGNED_4:
                sink.on_unsigned(item.value);
                break;
            case VOK_SIGNED_1:
            case VOK_SIGNED_2:
            case VOK_SIGNED_4:
                sink.on_signed(item.signed_value);
                break;
            case VOK_FLAG:
                sink.on_flag(item.value != 0);
                break;
            default:
                if (item.text == nullptr) return false;
                sink.on_string(item.text, item.length);
            }
        }
        return status == VOK_END_OF_STREAM;
    }

  private:
    VokCursor cursor_;
};

} // namespace bench
