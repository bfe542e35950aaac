// Fails every allocation the library makes, one at a time.  A long scenario
// that reaches every allocating path (create, the growth of each writer and
// of close, reopen-copy, append, string decoding, the internationalised
// writer) is first run to count its allocations; it is then run once per
// allocation with that one failing.  Each call that reports VOK_NO_MEMORY
// must have left the handle as documented and written nothing; it is then
// retried, so every run must end with the same bytes as the clean run and
// with every block released.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "qvrcore.h"
#include "support/failing_allocator.hpp"
#include "vok32.h"

namespace fa = failing_allocator;
using Bytes = std::vector<uint8_t>;

// ---- QVRCore stand-in: hands over a block allocated past the counted
// allocator, as the real library would, and remembers it. ----------------
namespace {
const char *g_i18n_text = "";
uint8_t *g_i18n_block = nullptr;
} // namespace

extern "C" uint32_t i18nStringStringToBytes(i18nString, uint8_t **bytes, uint32_t,
                                            int32_t *status) {
    const size_t n = std::strlen(g_i18n_text);
    g_i18n_block = static_cast<uint8_t *>(fa::foreign_malloc(n + 1));
    std::memcpy(g_i18n_block, g_i18n_text, n + 1);
    *bytes = g_i18n_block;
    *status = 0;
    return static_cast<uint32_t>(n + 1);
}

extern "C" void i18nStringBytesToString(i18nString, const uint8_t *, uint32_t, uint32_t, uint8_t,
                                        int32_t *status) {
    *status = 0;
}

namespace {

struct Outcome {
    int no_memory = 0;                   // failures reported and checked
    std::vector<std::string> violations; // broken promises after a failure
    Bytes final_block;
    std::vector<std::string> decoded;
};

// The handle as the caller can observe it, bytes written so far included.
struct Snapshot {
    uint8_t *data;
    uint32_t capacity, position, active;
    Bytes bytes;
    bool operator==(const Snapshot &) const = default;
};

Snapshot snapshot(const vokStream &s) {
    Snapshot snap{s.data, s.capacity, s.position, s.active, {}};
    if (s.data != nullptr) snap.bytes.assign(s.data, s.data + s.position);
    return snap;
}

// Runs a writer (or close, or append); on VOK_NO_MEMORY checks that nothing
// changed and retries.
template <typename Op> uint16_t attempt(Outcome &run, vokStream &s, const char *what, Op op) {
    const Snapshot before = snapshot(s);
    uint16_t status = op();
    if (status == VOK_NO_MEMORY) {
        ++run.no_memory;
        if (!(snapshot(s) == before))
            run.violations.push_back(std::string(what) + " changed the handle");
        if (std::memcmp(s.data, "\0\0\0\0", 4) != 0)
            run.violations.push_back(std::string(what) + " left the stream closed");
        status = op();
    }
    return status;
}

// Fills a stream open for writing with user marks up to its capacity, so
// that the next item needs growth.
void fill_to_capacity(Outcome &run, vokStream &s) {
    while (s.position < s.capacity)
        attempt(run, s, "vokWriteUserMark", [&] { return vokWriteUserMark(&s, 7); });
}

Bytes take(vokStream &s) {
    Bytes out(s.data, s.data + s.position);
    vokDestroyStream(s.data);
    return out;
}

uint16_t create(Outcome &run, vokStream &s, uint8_t type, uint32_t version) {
    s.capacity = 0xC0FFEE;
    s.position = 0xBEEF;
    uint16_t status = vokCreateStream(&s, type, version);
    if (status == VOK_NO_MEMORY) {
        ++run.no_memory;
        if (s.data != nullptr || s.active != 0 || s.capacity != 0xC0FFEE || s.position != 0xBEEF)
            run.violations.push_back("vokCreateStream: fields after failure");
        status = vokCreateStream(&s, type, version);
    }
    return status;
}

std::string decode_string(Outcome &run, uint8_t **cursor) {
    uint8_t *const before = *cursor;
    char *text = reinterpret_cast<char *>(0x1);
    uint16_t status = vokDecodeString(cursor, &text);
    if (status == VOK_NO_MEMORY) {
        ++run.no_memory;
        if (*cursor != before || text != reinterpret_cast<char *>(0x1))
            run.violations.push_back("vokDecodeString: cursor or result changed");
        status = vokDecodeString(cursor, &text);
    }
    if (status != VOK_OK) return "<status " + std::to_string(status) + ">";
    std::string out = text;
    vokDestroyStream(text);
    return out;
}

// Every allocating path of the library, in one sequence.
Outcome scenario(uint64_t fail_at) {
    Outcome run;
    const std::string long_text(300, 'x');
    fa::arm(fail_at);

    vokStream s{};
    if (create(run, s, 7, 3) != VOK_OK) return run;
    const std::pair<const char *, std::function<uint16_t()>> writers[] = {
        {"vokWriteUserMark", [&] { return vokWriteUserMark(&s, 1); }},
        {"vokWritePhraseMark", [&] { return vokWritePhraseMark(&s, 2); }},
        {"vokWriteFlag", [&] { return vokWriteFlag(&s, 1); }},
        {"vokWriteSigned", [&] { return vokWriteSigned(&s, -70000); }},
        {"vokWriteUnsigned", [&] { return vokWriteUnsigned(&s, 70000); }},
        {"vokWriteString", [&] { return vokWriteString(&s, long_text.c_str()); }},
        {"vokWriteUTF8String", [&] { return vokWriteUTF8String(&s, "short"); }},
        {"vokWriteSafeString", [&] { return vokWriteSafeString(&s, "secret"); }},
        {"vokWriteI18NString",
         [&] {
             int32_t status = -1;
             g_i18n_text = "i18n text";
             const uint16_t result = vokWriteI18NString(&s, nullptr, &status);
             // The converted block is the writer's to release, also when
             // growth failed.
             if (!fa::was_freed(g_i18n_block)) run.violations.push_back("i18n block kept");
             if (status != 0) run.violations.push_back("i18n status");
             return result;
         }},
    };
    for (const auto &[name, write] : writers) {
        fill_to_capacity(run, s);
        const uint16_t expected =
            std::strcmp(name, "vokWriteSafeString") == 0 ? VOK_UNEXPECTED : VOK_OK;
        if (attempt(run, s, name, write) != expected) run.violations.push_back(name);
    }
    fill_to_capacity(run, s);
    attempt(run, s, "vokCloseStream", [&] { return vokCloseStream(&s); });
    const Bytes closed(s.data, s.data + s.position);

    // A writable copy of the closed block.
    vokStream copy{};
    uint16_t status = vokReopenCopyStream(&copy, closed.data(), 7, 3);
    if (status == VOK_NO_MEMORY) {
        ++run.no_memory;
        if (copy.data != nullptr || copy.active != 0 ||
            copy.capacity != (closed.size() / 128 + 1) * 128)
            run.violations.push_back("vokReopenCopyStream: fields after failure");
        status = vokReopenCopyStream(&copy, closed.data(), 7, 3);
    }
    if (status != VOK_OK) run.violations.push_back("vokReopenCopyStream");

    // Append the original to the copy, at the copy's capacity.
    fill_to_capacity(run, copy);
    attempt(run, copy, "vokAppendStream", [&] { return vokAppendStream(&copy, &s); });
    if (!(Bytes(s.data, s.data + s.position) == closed)) run.violations.push_back("source changed");
    attempt(run, copy, "vokCloseStream", [&] { return vokCloseStream(&copy); });
    vokDestroyStream(s.data);

    // Decode the strings of the result through a cursor.
    uint8_t *p = copy.data;
    vokValidateStream(&p, 7, 3);
    while (*p != VOK_END) {
        if (*p < VOK_START)
            ++p;
        else if (*p == VOK_FLAG || *p == VOK_PHRASE_MARK)
            p += 2;
        else if (*p == VOK_SAFE_1)
            p += 2;
        else if (*p == VOK_UNSIGNED_4)
            p += 5;
        else if (*p == VOK_SIGNED_4)
            p += 6;
        else
            run.decoded.push_back(decode_string(run, &p));
    }
    run.final_block = take(copy);
    fa::disarm();
    if (fa::counts().live != 0)
        run.violations.push_back("blocks leaked: " + std::to_string(fa::counts().live));
    return run;
}

TEST(AllocationFailure, EveryAllocationOfEveryPathFailsCleanly) {
    const Outcome clean = scenario(0);
    ASSERT_TRUE(clean.violations.empty()) << clean.violations.front();
    ASSERT_EQ(clean.no_memory, 0);
    ASSERT_EQ(clean.decoded.size(), 2u * 3u); // plain, UTF-8 and i18n strings, twice
    const uint64_t allocations = fa::counts().attempts;
    // create, the growth of 9 writers and of close, the copy, the append's
    // growth, 6 decoded strings: a path that stops allocating is a path
    // this test no longer fails.
    ASSERT_EQ(allocations, 19u);

    for (uint64_t n = 1; n <= allocations; ++n) {
        const Outcome run = scenario(n);
        SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(allocations));
        EXPECT_EQ(fa::counts().failed, 1u);
        EXPECT_EQ(run.no_memory, 1) << "the failure was not reported as VOK_NO_MEMORY";
        for (const std::string &v : run.violations)
            ADD_FAILURE() << v;
        EXPECT_EQ(run.final_block, clean.final_block);
        EXPECT_EQ(run.decoded, clean.decoded);
    }
}

// A stream that outgrows the 32-bit range is refused as a failed growth,
// without asking the allocator for the impossible.
TEST(AllocationFailure, GrowthBeyondTheSizeRangeIsRefusedWithoutAllocating) {
    vokStream s{};
    ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
    const uint32_t real_position = s.position;
    s.position = UINT32_MAX - 64; // as if the stream were nearly 4 GiB long
    s.capacity = UINT32_MAX - 60;
    fa::arm();
    EXPECT_EQ(vokWriteUnsigned(&s, 1), VOK_NO_MEMORY);
    EXPECT_EQ(vokWriteUTF8String(&s, "text"), VOK_NO_MEMORY);
    fa::disarm();
    EXPECT_EQ(fa::counts().attempts, 0u);
    EXPECT_EQ(s.position, UINT32_MAX - 64);
    s.position = real_position;
    s.capacity = 256;
    ASSERT_EQ(vokCloseStream(&s), VOK_OK);
    vokDestroyStream(vokGetData(&s));
}

} // namespace
