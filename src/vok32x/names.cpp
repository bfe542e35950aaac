// Names and sentences for the status codes, and the version of the build.
#include <cstddef>

#include "vok32x.h"

namespace {

struct StatusEntry {
    uint16_t code;
    const char *name;
    const char *text;
};

// Each status with its own name, spelled once.
#define STATUS(code, text)                                                                         \
    StatusEntry { code, #code, text }
constexpr StatusEntry kStatuses[] = {
    STATUS(VOK_OK, "Success."),
    STATUS(VOK_NO_MEMORY, "Memory could not be allocated or grown."),
    STATUS(VOK_WRONG_STREAM_TYPE, "The stream type differs from the one expected."),
    STATUS(VOK_BAD_VERSION, "The header's version is not an unsigned item."),
    STATUS(VOK_MARK_OUT_OF_RANGE, "A user mark must be 199 or less."),
    STATUS(VOK_WRONG_TYPE, "The next item is not of the kind asked for."),
    STATUS(VOK_STRING_TOO_LONG, "The string is too long for its item."),
    STATUS(VOK_UNEXPECTED, "An unexpected item or marker, or a safe string's withheld content."),
    STATUS(VOK_OLDER_VERSION, "The stream is older than expected; it is readable."),
    STATUS(VOK_NEWER_VERSION, "The stream is newer than expected; it is readable."),
    STATUS(VOK_NOT_ACTIVE, "The handle is not open for this operation."),
    STATUS(VOK_INVALID_STREAM, "The bytes are not a well-formed stream or item."),
    STATUS(VOK_STILL_ACTIVE, "The stream is still open."),
    STATUS(VOK_END_OF_STREAM, "The end of the stream is reached."),
    STATUS(VOK_CONVERSION_FAILED, "The string conversion failed."),
    STATUS(VOK_NOT_UTF8, "The tag is not a UTF-8 string tag."),
    STATUS(VOKX_NEED_MORE, "More bytes are needed to see the whole block."),
    STATUS(VOK_INVALID, "The handle is not open, or the byte is not an item."),
    STATUS(VOKX_BAD_FIELD,
           "A field's mark is not followed by exactly one value item, or a value has no mark."),
    STATUS(VOKX_MISSING_FIELD, "A required field or group is absent."),
    STATUS(VOKX_REPEATED_FIELD, "A field or group that is not repeated occurs twice."),
    STATUS(VOKX_TOO_MANY, "A repeated field or group occurs more often than its max."),
    STATUS(VOKX_BAD_SCHEMA, "The schema breaks a rule of the schema format."),
};
#undef STATUS

constexpr const char *kUnknown = "unknown status";

const StatusEntry *find_status(uint16_t status) {
    for (const StatusEntry &entry : kStatuses)
        if (entry.code == status) return &entry;
    return nullptr;
}

} // namespace

VOKX_API const char *vokxStatusName(uint16_t status) {
    const StatusEntry *entry = find_status(status);
    return entry != nullptr ? entry->name : kUnknown;
}

VOKX_API const char *vokxStatusText(uint16_t status) {
    const StatusEntry *entry = find_status(status);
    return entry != nullptr ? entry->text : kUnknown;
}

VOKX_API const char *vokxVersion(void) { return VOK32_VERSION_STRING; }
