// Names and sentences for the status codes, and the version of the build.
#include <cstddef>

#include "vok32x.h"

namespace {

struct StatusEntry {
    uint16_t code;
    const char *name;
    const char *text;
};

#define STATUS(code, name, text) StatusEntry{code, #code, text},
constexpr StatusEntry kStatuses[] = {VOK_STATUS_LIST(STATUS)};
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
