// Memory that ends where an inaccessible page begins, so that a read one byte
// past a buffer placed flush against it faults instead of going unnoticed.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace vok_test {

// At least `room` writable bytes ending at an inaccessible page, or null.
// Never released: tests take a few such regions once.
inline uint8_t *guarded_end(size_t room) {
#if defined(_WIN32)
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const size_t page = info.dwPageSize;
    const size_t size = (room / page + 2) * page;
    auto *base = static_cast<uint8_t *>(
        VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    if (base == nullptr || !VirtualProtect(base + size - page, page, PAGE_NOACCESS, &old))
        return nullptr;
    return base + size - page;
#else
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t size = (room / page + 2) * page;
    void *base = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED || mprotect(base, size - page, PROT_READ | PROT_WRITE) != 0)
        return nullptr;
    return static_cast<uint8_t *>(base) + size - page;
#endif
}

} // namespace vok_test
