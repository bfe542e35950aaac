#include "item_bytes.hpp"

#include "tags.hpp"
#include "vok32.h"

namespace vok::tool {

vokxItem described(const Item &item) noexcept {
    vokxItem x{};
    x.kind = item.kind == ItemKind::user_mark ? uint8_t{VOK_USER_MARK}
                                              : tag_for(item.kind, effective_width(item));
    if (item.kind == ItemKind::phrase_mark || item.kind == ItemKind::flag)
        x.kind = tag_for(item.kind, 1);
    x.value = item.number;
    x.signed_value = signed_reading(item);
    x.text = reinterpret_cast<const uint8_t *>(item.text.data());
    x.length = static_cast<uint32_t>(item.text.size());
    return x;
}

bool needs_raw_bytes(const Item &item) noexcept {
    if (item.kind != ItemKind::signed_int) return false;
    const int32_t reading = signed_reading(item);
    const uint32_t magnitude =
        reading < 0 ? 0u - static_cast<uint32_t>(reading) : static_cast<uint32_t>(reading);
    return item.number != magnitude || item.extra != (reading < 0 ? 1 : 0);
}

uint16_t item_bytes(const Item &item, std::vector<uint8_t> &out) {
    out.clear();
    // A signed item is written as the unsigned item of its magnitude and
    // width (a description holds no magnitude above 2^31), then given its
    // own tag and its sign byte as recorded.
    Item written = item;
    if (item.kind == ItemKind::signed_int) written.kind = ItemKind::unsigned_int;
    vokStream scratch{};
    uint16_t status = vokCreateStream(&scratch, 0, 0);
    const vokxItem x = described(written);
    if (status == VOK_OK) status = vokxPutItem(&scratch, &x);
    if (scratch.data == nullptr) return status;
    const uint16_t closed = vokCloseStream(&scratch);
    if (status == VOK_OK) status = closed;
    if (status == VOK_OK) {
        const uint8_t *data = vokGetData(&scratch);
        out.assign(data + vokxFrameSize(0) - 1, data + vokGetLength(&scratch) - 1);
        if (item.kind == ItemKind::signed_int) {
            out.front() = tag_for(ItemKind::signed_int, effective_width(item));
            out.push_back(item.extra);
        }
    }
    if (closed == VOK_OK) vokDestroyStream(vokGetData(&scratch));
    return status;
}

uint16_t empty_block(const Item &header, std::vector<uint8_t> &out) {
    Item version{};
    version.kind = ItemKind::unsigned_int;
    version.width = header.width;
    version.number = header.number;
    std::vector<uint8_t> version_item;
    if (const uint16_t status = item_bytes(version, version_item)) return status;
    // The library writes the frame; the version item takes the place of the
    // one it starts with, whose width it chooses itself.
    out.assign(kVersionOffset + version_item.size() + 1, 0);
    uint8_t *cursor = out.data();
    if (const uint16_t status = vokStartStream(&cursor, header.extra, 0)) return status;
    std::copy(version_item.begin(), version_item.end(), out.begin() + kVersionOffset);
    return vokFinalStream(out.data(), out.data() + out.size() - 1);
}

} // namespace vok::tool
