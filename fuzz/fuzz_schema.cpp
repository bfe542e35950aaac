// The reader of schema files on arbitrary text, from an exact-size copy: it
// must refuse or return a document whose schema vokxSchemaCheck accepts and
// whose names are whole identifiers, never read past the text, and give
// back everything it allocated.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "vok32x.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

void check_name(const char *name) {
    check(name != nullptr && name[0] != '\0' && std::strlen(name) < 1u << 24);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    vokxSchemaDocument *document = nullptr;
    vokxRecordError error;
    const uint16_t status =
        vokxSchemaParse(reinterpret_cast<const char *>(data), size, &document, &error);
    check((status == VOK_OK) == (document != nullptr));
    if (status != VOK_OK) {
        check(status == VOKX_BAD_SCHEMA && error.status == status);
        check(std::memchr(error.message, '\0', sizeof error.message) != nullptr);
        return 0;
    }
    const vokxSchema &s = *vokxSchemaOf(document);
    check(vokxSchemaCheck(&s, nullptr) == VOK_OK);
    check_name(s.name);
    for (uint32_t g = 0; g < s.group_count; ++g)
        for (uint32_t i = 0; i < s.groups[g].field_count; ++i)
            check_name(s.groups[g].fields[i].name);
    vokxSchemaFree(document);
    return 0;
}
