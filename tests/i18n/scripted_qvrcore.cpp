#include "scripted_qvrcore.hpp"

#include <dlfcn.h>

#include <cstring>

using scripted::script;

extern "C" __attribute__((visibility("default"))) uint32_t
i18nStringStringToBytes(i18nString string, uint8_t **bytes, uint32_t encoding, int32_t *status) {
    script.to_bytes_calls.emplace_back(string, *bytes, encoding, status);
    if (!script.to_bytes) { // the real definition, which ours hides
        static const auto real =
            reinterpret_cast<decltype(&i18nStringStringToBytes)>(dlsym(RTLD_NEXT, __func__));
        return real(string, bytes, encoding, status);
    }
    const auto [count, answer, content] = *script.to_bytes;
    *status = answer;
    if (answer != 0) return 0;
    *bytes = content != nullptr ? reinterpret_cast<uint8_t *>(strdup(content)) : nullptr;
    return count;
}

extern "C" __attribute__((visibility("default"))) void
i18nStringBytesToString(i18nString string, const uint8_t *bytes, uint32_t length, uint32_t encoding,
                        uint8_t flags, int32_t *status) {
    script.to_string_calls.emplace_back(string, bytes, length, encoding, flags, status, *status);
    if (script.to_string_status) {
        *status = *script.to_string_status;
        return;
    }
    static const auto real =
        reinterpret_cast<decltype(&i18nStringBytesToString)>(dlsym(RTLD_NEXT, __func__));
    real(string, bytes, length, encoding, flags, status);
}
