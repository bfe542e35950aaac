#include "free_spy.hpp"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define FREE_SPY_OFF 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) ||                         \
    __has_feature(thread_sanitizer)
#define FREE_SPY_OFF 1
#endif
#endif

namespace {
bool armed = false;
const void *freed[64]; // fixed: free() must not allocate
int count = 0;
} // namespace

namespace free_spy {

void arm() {
    count = 0;
    armed = true;
}
void disarm() { armed = false; }

int times_freed(const void *pointer) {
    int n = 0;
    for (int i = 0; i < count; ++i)
        n += freed[i] == pointer ? 1 : 0;
    return n;
}

bool available() {
#ifdef FREE_SPY_OFF
    return false;
#else
    return true;
#endif
}

} // namespace free_spy

#ifndef FREE_SPY_OFF
extern "C" void __libc_free(void *);

extern "C" __attribute__((visibility("default"))) void free(void *pointer) {
    if (armed && count < 64) freed[count++] = pointer;
    __libc_free(pointer);
}
#endif
