// Names and sentences for the status codes, and the version of the build.
#include <cstddef>

#include "vok32x.h"

namespace {

struct StatusEntry {
    uint16_t code;
    const char *name;
    const char *text;
};

constexpr StatusEntry kStatuses[] = {
    {VOK_OK, "VOK_OK", "Success."},
    {VOK_NO_MEMORY, "VOK_NO_MEMORY", "Memory could not be allocated or grown."},
    {VOK_WRONG_STREAM_TYPE, "VOK_WRONG_STREAM_TYPE",
     "The stream type differs from the one expected."},
    {VOK_BAD_VERSION, "VOK_BAD_VERSION", "The header's version is not an unsigned item."},
    {VOK_MARK_OUT_OF_RANGE, "VOK_MARK_OUT_OF_RANGE", "A user mark must be 199 or less."},
    {VOK_WRONG_TYPE, "VOK_WRONG_TYPE", "The next item is not of the kind asked for."},
    {VOK_STRING_TOO_LONG, "VOK_STRING_TOO_LONG", "The string is too long for its item."},
    {VOK_UNEXPECTED, "VOK_UNEXPECTED",
     "An unexpected item or marker, or a safe string's withheld content."},
    {VOK_OLDER_VERSION, "VOK_OLDER_VERSION", "The stream is older than expected; it is readable."},
    {VOK_NEWER_VERSION, "VOK_NEWER_VERSION", "The stream is newer than expected; it is readable."},
    {VOK_NOT_ACTIVE, "VOK_NOT_ACTIVE", "The handle is not open for this operation."},
    {VOK_INVALID_STREAM, "VOK_INVALID_STREAM", "The bytes are not a well-formed stream or item."},
    {VOK_STILL_ACTIVE, "VOK_STILL_ACTIVE", "The stream is still open."},
    {VOK_END_OF_STREAM, "VOK_END_OF_STREAM", "The end of the stream is reached."},
    {VOK_CONVERSION_FAILED, "VOK_CONVERSION_FAILED", "The string conversion failed."},
    {VOK_NOT_UTF8, "VOK_NOT_UTF8", "The tag is not a UTF-8 string tag."},
    {VOKX_NEED_MORE, "VOKX_NEED_MORE", "More bytes are needed to see the whole block."},
    {VOK_INVALID, "VOK_INVALID", "The handle is not open, or the byte is not an item."},
};

constexpr const char *kUnknown = "unknown status";

const StatusEntry *find_status(uint16_t status) {
    for (const StatusEntry &entry : kStatuses)
        if (entry.code == status) return &entry;
    return nullptr;
}

} // namespace

extern "C" {

const char *vokxStatusName(uint16_t status) {
    const StatusEntry *entry = find_status(status);
    return entry != nullptr ? entry->name : kUnknown;
}

const char *vokxStatusText(uint16_t status) {
    const StatusEntry *entry = find_status(status);
    return entry != nullptr ? entry->text : kUnknown;
}

const char *vokxVersion(void) { return VOK32_VERSION_STRING; }

} // extern "C"
