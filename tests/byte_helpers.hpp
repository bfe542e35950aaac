// Small helpers shared by the tests: hex literals, finished blocks, and
// memory ending at an inaccessible page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "vok32.h"

namespace vok_test {

using Bytes = std::vector<uint8_t>;

// "C8 07 D2" -> {0xC8, 0x07, 0xD2}
inline Bytes hex(const std::string &text) {
    Bytes out;
    for (size_t i = text.find_first_not_of(' '); i != std::string::npos;
         i = text.find_first_not_of(' ', i + 2))
        out.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    return out;
}

inline Bytes concat(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Every field of a stream record, to compare before and after a call.
inline auto fields(const vokStream &s) {
    return std::tuple(s.data, s.capacity, s.position, s.active);
}

// Bytes written so far to a stream that is still open.
inline Bytes written(const vokStream &s) { return Bytes(s.data, s.data + s.position); }

// Closes the stream and returns a copy of its block, releasing the original.
inline Bytes finish(vokStream &s) {
    if (vokCloseStream(&s) != VOK_OK) return {};
    const Bytes out = written(s);
    vokDestroyStream(s.data);
    return out;
}

// A block of type 7, version 3 holding user mark 1 and unsigned 300.
inline const Bytes kRecord = hex("00 00 00 0D C8 07 D2 03 01 D4 01 2C C9");

// A finished block holding `body` (a version below 256).
inline Bytes block_of(const Bytes &body, uint8_t type = 1, uint8_t version = 0) {
    Bytes b = concat(Bytes{0, 0, 0, 0, 0xC8, type, 0xD2, version}, body);
    b.push_back(VOK_END);
    for (size_t i = 0; i < 4; ++i)
        b[i] = static_cast<uint8_t>(b.size() >> (24 - 8 * i));
    return b;
}

// At least `room` writable bytes ending at an inaccessible page, so that a
// read one byte past a buffer placed flush against it faults; null if none.
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
