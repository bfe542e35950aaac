// Writing a QVRCore string object as a UTF-8 string item.
#include <cstdlib>

#include "i18n/qvrcore_boundary.hpp"
#include "stream/handle_state.hpp"
#include "stream/writing.hpp"
#include "string_item.hpp"

VOK_API uint16_t vokWriteI18NString(vokStream *stream, i18nString string, int32_t *status) {
    *status = 0;
    if (!vok::stream::is_writable(stream)) return VOK_NOT_ACTIVE;

    uint8_t *block = nullptr;
    const uint32_t count = i18nStringStringToBytes(string, &block, vok::i18n::kEncoding, status);
    if (*status != 0) return VOK_CONVERSION_FAILED; // QVRCore kept the block

    // The count includes one byte past the content.  A count of 0 would
    // claim less than nothing; it is written as the empty string.
    const uint32_t length = count != 0 ? count - 1 : 0;
    const uint16_t result =
        vok::stream::write_string_item(stream, vok::format::StringKind::utf8, block, length);
    // The block is ours after a successful conversion, whether or not the
    // item could be written.
    if (block != nullptr) std::free(block);
    return result;
}
