// vok32x on arbitrary bytes taken as blocks back to back, each in a heap
// buffer of its exact size so that any read past it is caught.  Framing must
// agree with opening; every item the walk yields must be what vok32's own
// readers read there, and must write back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "vok32x.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

// Reads the item at s.position with the vok32 reader of its kind and checks
// that it finds what the walk described.
void agrees_with_reader(vokStream &s, const vokxItem &it) {
    uint32_t u = 0;
    int32_t i = 0;
    uint8_t phrase = 0;
    std::vector<char> text(it.length + 1u);
    switch (it.kind) {
    case VOK_USER_MARK:
        check(vokReadUserMark(&s) == it.value);
        break;
    case VOK_FLAG:
        check(vokReadFlag(&s, &u) == VOK_OK && u == it.value);
        break;
    case VOK_PHRASE_MARK:
        check(vokReadPhraseMark(&s, &phrase) == VOK_OK && phrase == it.value);
        break;
    case VOK_UNSIGNED_1:
    case VOK_UNSIGNED_2:
    case VOK_UNSIGNED_4:
        check(vokReadUnsigned(&s, &u) == VOK_OK && u == it.value);
        break;
    case VOK_SIGNED_1:
    case VOK_SIGNED_2:
    case VOK_SIGNED_4:
        check(vokReadSigned(&s, &i) == VOK_OK && i == it.signed_value);
        break;
    case VOK_SAFE_1:
    case VOK_SAFE_2:
        check(vokGetStringSize(&s, &u) == VOK_OK && u == it.value);
        check(vokReadString(&s, text.data()) == VOK_UNEXPECTED);
        break;
    default:
        check(vokGetStringSize(&s, &u) == VOK_OK && u == it.length);
        check(vokReadString(&s, text.data()) == VOK_OK);
        check(std::memcmp(text.data(), it.text, it.length) == 0);
    }
    check(s.position == it.offset + it.size);
}

// Opens one framed block, walks it, and writes its items to a new stream.
void walk(const uint8_t *bytes, const vokxBlockInfo &info) {
    std::vector<uint8_t> copy(bytes, bytes + info.length);
    uint8_t *block = static_cast<uint8_t *>(std::malloc(info.length));
    std::memcpy(block, bytes, info.length);
    vokStream s{}, oracle{}, out{};
    check(vokxOpen(&s, block, info.length, info.type, info.version) == VOK_OK);
    check(vokOpenStream(&oracle, block, info.type, info.version) == VOK_OK);
    check(s.position == info.body && vokCreateStream(&out, info.type, info.version) == VOK_OK);
    vokxItem it;
    uint16_t status = 0;
    while ((status = vokxNextItem(&s, &it)) == VOK_OK) {
        check(it.offset == oracle.position && it.size > 0 && s.position < info.length);
        agrees_with_reader(oracle, it);
        check(vokxWriteItem(&out, block + it.offset, it.size) == VOK_OK);
    }
    const uint32_t stop = s.position;
    check(status == VOK_END_OF_STREAM ? it.kind == VOK_END && block[stop] == VOK_END
                                      : status == VOK_INVALID_STREAM && stop < info.length);
    check(vokCloseStream(&out) == VOK_OK);
    // The copy's header is canonical, whatever width the block's version took.
    const uint32_t out_body = vokxFrameSize(info.version) - 1;
    const uint32_t body = vokGetLength(&out) - out_body - 1;
    check(body == stop - info.body &&
          std::memcmp(vokGetData(&out) + out_body, block + info.body, body) == 0);
    vokDestroyStream(vokGetData(&out));
    check(std::memcmp(block, copy.data(), info.length) == 0); // never written
    std::free(block);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The whole input as one block: opening with a size must never read past it.
    uint8_t *whole = static_cast<uint8_t *>(std::calloc(size ? size : 1, 1));
    if (size) std::memcpy(whole, data, size);
    vokStream s{};
    if (vokxOpen(&s, whole, size, size > 5 ? whole[5] : 0, 0) <= VOK_NEWER_VERSION && s.active)
        while (vokxNextItem(&s, nullptr) == VOK_OK) {
        }
    std::free(whole);

    for (size_t offset = 0; offset < size;) {
        const size_t left = size - offset;
        auto *frame = static_cast<uint8_t *>(std::malloc(left));
        std::memcpy(frame, data + offset, left);
        vokxBlockInfo info;
        const uint16_t status = vokxInspect(frame, left, &info);
        check(status == VOK_OK || status == VOKX_NEED_MORE || status == VOK_INVALID_STREAM);
        check(status != VOKX_NEED_MORE || left < 4 || info.length > left);
        if (status == VOK_OK) walk(frame, info);
        std::free(frame);
        if (status != VOK_OK) break;
        offset += info.length;
    }
    return 0;
}
