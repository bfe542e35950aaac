// The item writers of a stream open for writing.
#include <cstring>

#include "integer_item.hpp"
#include "string_item.hpp"
#include "writing.hpp"

namespace fmt = vok::format;
using namespace vok::stream;

namespace vok::stream {

uint16_t write_string_item(vokStream *s, fmt::StringKind kind, const uint8_t *content,
                           uint64_t length) noexcept {
    if (!fmt::string_length_allowed(kind, length)) return VOK_STRING_TOO_LONG;
    const auto len = static_cast<uint32_t>(length);
    return write_item(s, length + fmt::kStringOverhead, [=](uint8_t *at) {
        uint8_t *body = fmt::put_string_header(at, kind, len);
        if (kind == fmt::StringKind::safe) return body;
        if (len != 0) std::memcpy(body, content, len);
        return body + len;
    });
}

} // namespace vok::stream

namespace {

uint16_t write_c_string(vokStream *s, fmt::StringKind kind, const char *string) {
    if (!is_writable(s)) return VOK_NOT_ACTIVE;
    const uint64_t length = string != nullptr ? std::strlen(string) : 0;
    return write_string_item(s, kind, reinterpret_cast<const uint8_t *>(string), length);
}

} // namespace

VOK_API uint16_t vokWriteUserMark(vokStream *stream, uint8_t mark) {
    if (!is_writable(stream)) return VOK_NOT_ACTIVE;
    if (mark > VOK_MAX_USER_MARK) return VOK_MARK_OUT_OF_RANGE;
    return write_item(stream, fmt::kUserMarkSize,
                      [=](uint8_t *at) { return fmt::put_user_mark(at, mark); });
}

VOK_API uint16_t vokWritePhraseMark(vokStream *stream, uint8_t phrase) {
    if (!is_writable(stream)) return VOK_NOT_ACTIVE;
    return write_item(stream, fmt::kPhraseItemSize,
                      [=](uint8_t *at) { return fmt::put_phrase_mark(at, phrase); });
}

VOK_API uint16_t vokWriteFlag(vokStream *stream, int32_t flag) {
    if (!is_writable(stream)) return VOK_NOT_ACTIVE;
    return write_item(stream, fmt::kFlagItemSize,
                      [=](uint8_t *at) { return fmt::put_flag(at, flag); });
}

VOK_API uint16_t vokWriteSigned(vokStream *stream, int32_t value) {
    if (!is_writable(stream)) return VOK_NOT_ACTIVE;
    return write_item(stream, fmt::kMaxSignedItemSize,
                      [=](uint8_t *at) { return fmt::put_signed(at, value); });
}

VOK_API uint16_t vokWriteUnsigned(vokStream *stream, uint32_t value) {
    if (!is_writable(stream)) return VOK_NOT_ACTIVE;
    // One byte more than the largest unsigned item: the growth threshold of
    // this writer is part of the observable capacity behaviour.
    return write_item(stream, fmt::kMaxUnsignedItemSize + 1,
                      [=](uint8_t *at) { return fmt::put_unsigned(at, value); });
}

VOK_API uint16_t vokWriteString(vokStream *stream, const char *string) {
    return write_c_string(stream, fmt::StringKind::plain, string);
}

VOK_API uint16_t vokWriteUTF8String(vokStream *stream, const char *string) {
    return write_c_string(stream, fmt::StringKind::utf8, string);
}

VOK_API uint16_t vokWriteSafeString(vokStream *stream, const char *string) {
    const uint16_t status = write_c_string(stream, fmt::StringKind::safe, string);
    return status == VOK_OK ? uint16_t{VOK_UNEXPECTED} : status;
}
