#include "scripted_qvrcore.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace scripted {

Script &script() {
    static Script instance;
    return instance;
}

// The real QVRCore definition that ours hides.
template <typename F> F real(const char *name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

} // namespace scripted

using namespace scripted;

extern "C" __attribute__((visibility("default"))) uint32_t
i18nStringStringToBytes(i18nString string, uint8_t **bytes, uint32_t encoding, int32_t *status) {
    Script &s = script();
    s.to_bytes_calls.push_back({string, *bytes, encoding, status});
    s.last_block = nullptr;
    if (!s.to_bytes) {
        static const auto next = real<decltype(&i18nStringStringToBytes)>(__func__);
        const uint32_t count = next(string, bytes, encoding, status);
        s.last_block = *bytes;
        return count;
    }
    const ToBytesAnswer &a = *s.to_bytes;
    *status = a.status;
    if (a.status != 0) return 0;
    uint8_t *block = nullptr;
    if (a.content != nullptr) {
        block = static_cast<uint8_t *>(std::malloc(a.block_size));
        std::memcpy(block, a.content, std::min(a.block_size, std::strlen(a.content) + 1));
    }
    *bytes = s.last_block = block;
    return a.count;
}

extern "C" __attribute__((visibility("default"))) void
i18nStringBytesToString(i18nString string, const uint8_t *bytes, uint32_t length, uint32_t encoding,
                        uint8_t flags, int32_t *status) {
    Script &s = script();
    s.to_string_calls.push_back({string, bytes, length, encoding, flags, status, *status});
    if (s.to_string_status) {
        *status = *s.to_string_status;
        return;
    }
    static const auto next = real<decltype(&i18nStringBytesToString)>(__func__);
    next(string, bytes, length, encoding, flags, status);
}
