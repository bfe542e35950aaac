// A caller who calls the handle functions in any order: a program of calls on
// three records over caller blocks that lie on read-only pages, each flush
// against an inaccessible page.  Writing into a caller block or reading past
// it faults; growing or releasing one is reported by AddressSanitizer (or
// aborts in the C library).  Shared by the misuse test and its fuzzer.
//
// Input: byte 0 is the number of calls, two bytes each (operation, argument);
// the bytes after them, if there are at least nine, become one more caller
// block, with its length field set to its real size.
//
// Every record is zeroed before it is opened for reading: one that still
// carries the capacity of an earlier writable stream is the case the library
// leaves to its caller.  vokDestroyStream is not an operation; instead the
// run releases every block the library built, so that a leak still counts.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "qvrcore.h"
#include "vok32.h"

namespace misuse {

using Bytes = std::vector<uint8_t>;

// Read-only copies of the caller's blocks, each ending at a PROT_NONE page.
class CallerBlocks {
  public:
    explicit CallerBlocks(const std::vector<Bytes> &blocks) {
        const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        for (const Bytes &b : blocks) {
            const size_t size = (b.size() / page + 2) * page;
            void *map =
                mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (map == MAP_FAILED) std::abort();
            auto *base = static_cast<uint8_t *>(map);
            uint8_t *block = base + size - page - b.size();
            std::copy(b.begin(), b.end(), block);
            if (mprotect(base, size - page, PROT_READ) != 0 ||
                mprotect(base + size - page, page, PROT_NONE) != 0)
                std::abort();
            maps_.push_back({base, size, block});
        }
    }
    ~CallerBlocks() {
        for (const Map &m : maps_)
            munmap(m.base, m.size);
    }
    CallerBlocks(const CallerBlocks &) = delete;
    CallerBlocks &operator=(const CallerBlocks &) = delete;

    size_t count() const { return maps_.size(); }
    const uint8_t *block(size_t i) const { return maps_[i].block; }
    bool owns(const void *p) const {
        const auto *b = static_cast<const uint8_t *>(p);
        return std::any_of(maps_.begin(), maps_.end(),
                           [b](const Map &m) { return b >= m.base && b < m.base + m.size; });
    }

  private:
    struct Map {
        uint8_t *base;
        size_t size;
        uint8_t *block;
    };
    std::vector<Map> maps_;
};

// A user mark, an unsigned value, phrases, strings of each kind, a flag and a
// signed value, so that every reader finds its item somewhere.
inline std::vector<Bytes> fixed_blocks() {
    return {{0, 0, 0, 13, 0xC8, 7, 0xD2, 3, 1, 0xD4, 1, 0x2C, 0xC9},
            {0, 0, 0, 9, 0xC8, 1, 0xD2, 0, 0xC9},
            {0,    0, 0,    30,   0xC8, 1, 0xD2, 0, 0xE0, 2, 0xCC, 3,    'a', 'b', 'c',
             0xD0, 2, 0xC3, 0xA9, 0xE2, 5, 0xCA, 1, 0xD8, 5, 1,    0xE0, 3,   5,   0xC9}};
}

class Session {
  public:
    explicit Session(const CallerBlocks &blocks) : blocks_(blocks) {
        int32_t status = 0;
        i18nStringSetUTF8(text_, "caf\xC3\xA9", &status);
    }
    ~Session() {
        for (vokStream &r : records_)
            release(r);
        i18nStringDestroy(text_);
        i18nStringDestroy(into_);
    }
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // The argument picks the record (arg % 3) and, through k = arg / 3, the
    // block, the expected type and version, and the value written.
    void call(uint8_t op, uint8_t arg) {
        vokStream &r = records_[arg % 3];
        const unsigned k = arg / 3u;
        const uint8_t *block = blocks_.block(k % blocks_.count());
        const auto type = static_cast<uint8_t>(block[5] + ((k >> 2) & 1));
        const uint32_t version = (k >> 3) % 5;
        const std::string &text = texts_[k % 4];
        uint32_t u = 0;
        int32_t i = 0;
        uint8_t id = 0;
        // One call per line, as a table.
        // clang-format off
        switch (op % 26) {
        case 0: adopt(r, [&] { vokCreateStream(&r, type, version); }); break;
        case 1: vokCloseStream(&r); break;
        case 2: release(r), r = vokStream{}, vokOpenStream(&r, block, type, version); break;
        case 3: vokReset(&r); break;
        case 4: vokGetData(&r), vokGetLength(&r), vokGetLengthEx(&r); break;
        case 5: vokWriteUserMark(&r, static_cast<uint8_t>(k * 3)); break;
        case 6: vokWritePhraseMark(&r, static_cast<uint8_t>(k)); break;
        case 7: vokWriteFlag(&r, static_cast<int32_t>(k & 1)); break;
        case 8: vokWriteSigned(&r, (k & 1 ? -40000 : 1) * static_cast<int32_t>(k)); break;
        case 9: vokWriteUnsigned(&r, uint32_t{k} << (k % 25)); break;
        case 10: vokWriteString(&r, text.c_str()); break;
        case 11: vokWriteUTF8String(&r, text.c_str()); break;
        case 12: vokWriteSafeString(&r, text.c_str()); break;
        case 13: vokWriteI18NString(&r, text_, &i); break;
        case 14: vokReopenStream(&r); break;
        case 15: adopt(r, [&] { vokReopenCopyStream(&r, block, type, version); }); break;
        case 16: vokAppendStream(&r, &records_[k % 3]); break;
        case 17: vokPeek(&r), vokCanRead(&r); break;
        case 18: vokReadUserMark(&r); break;
        case 19: vokReadPhraseMark(&r, &id); break;
        case 20: vokReadFlag(&r, &u); break;
        case 21: vokReadSigned(&r, &i); break;
        case 22: vokReadUnsigned(&r, &u); break;
        case 23: read_string(r); break;
        case 24: vokSkipPhrase(&r); break;
        default: vokReadI18NString(&r, into_, &i); break;
        }
        // clang-format on
    }

  private:
    bool built_by_library(const void *p) const { return p != nullptr && !blocks_.owns(p); }
    void release(vokStream &r) {
        if (built_by_library(r.data)) vokDestroyStream(r.data);
    }
    // Runs a call that may give the record a new buffer, releasing the one it
    // abandons.  Records never share a buffer, so nothing else points to it.
    template <typename Call> void adopt(vokStream &r, Call call) {
        uint8_t *old = r.data;
        call();
        if (r.data != old && built_by_library(old)) vokDestroyStream(old);
    }
    // A buffer of exactly the size the string reader needs: one byte more
    // than vokGetStringSize reports.
    static void read_string(vokStream &r) {
        uint32_t size = 0;
        const bool sized = vokGetStringSize(&r, &size) == VOK_OK;
        std::vector<char> buffer(sized ? size_t{size} + 1 : 1);
        vokReadString(&r, buffer.data());
    }

    const CallerBlocks &blocks_;
    vokStream records_[3]{};
    i18nString text_ = i18nStringCreate();
    i18nString into_ = i18nStringCreate();
    const std::string texts_[4] = {"", "abc", std::string(300, 'x'), std::string(70000, 'y')};
};

inline void run(const uint8_t *input, size_t size) {
    const size_t calls = size == 0 ? 0 : std::min<size_t>(input[0], (size - 1) / 2);
    std::vector<Bytes> blocks = fixed_blocks();
    if (const size_t used = 1 + 2 * calls; size >= used + 9) {
        Bytes tail(input + used, input + size);
        const auto n = static_cast<uint32_t>(tail.size());
        for (int i = 0; i < 4; ++i)
            tail[static_cast<size_t>(i)] = static_cast<uint8_t>(n >> (24 - 8 * i));
        blocks.push_back(std::move(tail));
    }
    const CallerBlocks caller(blocks);
    Session session(caller);
    for (size_t i = 0; i < calls; ++i)
        session.call(input[1 + 2 * i], input[2 + 2 * i]);
}

} // namespace misuse
