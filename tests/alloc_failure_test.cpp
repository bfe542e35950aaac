// Fails every allocation the library makes, one at a time: a scenario that
// reaches every allocating path is counted once, then run once per allocation
// with that one failing.  A call that reports VOK_NO_MEMORY must leave what its
// caller sees as documented; it is then retried, so every run must end with
// the bytes of the clean run and with every block released.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "byte_helpers.hpp"
#include "qvrcore.h"
#include "support/failing_allocator.hpp"
#include "vok32.h"

namespace fa = failing_allocator;
using namespace vok_test;

// QVRCore stand-ins.  The conversion hands over a block allocated past the
// counted allocator, as the real library would; the writer must release it,
// also when its growth fails, and the leak count tells.  No string is read.
extern "C" uint32_t i18nStringStringToBytes(i18nString, uint8_t **bytes, uint32_t,
                                            int32_t *status) {
    *bytes = static_cast<uint8_t *>(std::memcpy(fa::foreign_malloc(10), "i18n text", 10));
    *status = 0;
    return 10;
}

extern "C" void i18nStringBytesToString(i18nString, const uint8_t *, uint32_t, uint32_t, uint8_t,
                                        int32_t *) {}

namespace {

struct Outcome {
    int no_memory = 0;                   // failures reported
    std::vector<std::string> violations; // promises broken by a failure
    Bytes final_block;
    std::vector<std::string> decoded;
};

// Runs op; when it reports VOK_NO_MEMORY, what `observe` returns must equal
// `expected`, and op is retried.
template <typename Op, typename Observe>
uint16_t attempt(Outcome &run, const char *what, Op op, Observe observe,
                 decltype(observe()) expected) {
    const uint16_t status = op();
    if (status != VOK_NO_MEMORY) return status;
    ++run.no_memory;
    if (!(observe() == expected)) run.violations.push_back(std::string(what) + " changed things");
    return op();
}

auto fields(const vokStream &s) { return std::tuple(s.data, s.capacity, s.position, s.active); }

// On a handle open for writing a failure changes no field and no byte.
uint16_t on_handle(Outcome &run, vokStream &s, const char *what,
                   const std::function<uint16_t()> &op) {
    const auto seen = [&] { return std::tuple(fields(s), written(s)); };
    return attempt(run, what, op, seen, seen());
}

// User marks up to the capacity, so that the next item needs growth.
void fill(vokStream &s) {
    while (s.position < s.capacity)
        vokWriteUserMark(&s, 7);
}

Outcome scenario(uint64_t fail_at) {
    Outcome run;
    uint8_t old = 0;
    fa::arm(fail_at);

    vokStream s{&old, 0xC0FFEE, 0xBEEF, 1};
    if (attempt(
            run, "vokCreateStream", [&] { return vokCreateStream(&s, 7, 3); },
            [&] { return fields(s); }, {nullptr, 0xC0FFEE, 0xBEEF, 0}) != VOK_OK) {
        fa::disarm();
        return run; // with none of the clean run's bytes
    }
    // Past the 32-bit size range growth is refused without asking the
    // allocator: the count of the clean run would show it.
    const uint32_t real_position = s.position;
    s.position = UINT32_MAX - 64;
    if (vokWriteUnsigned(&s, 1) != VOK_NO_MEMORY || vokWriteUTF8String(&s, "x") != VOK_NO_MEMORY)
        run.violations.push_back("growth past the size range");
    s.position = real_position;

    int32_t i18n_status = -1;
    const struct {
        const char *name;
        uint16_t result;
        std::function<uint16_t()> write;
    } writers[] = {
        {"vokWriteUserMark", VOK_OK, [&] { return vokWriteUserMark(&s, 1); }},
        {"vokWritePhraseMark", VOK_OK, [&] { return vokWritePhraseMark(&s, 2); }},
        {"vokWriteFlag", VOK_OK, [&] { return vokWriteFlag(&s, 1); }},
        {"vokWriteSigned", VOK_OK, [&] { return vokWriteSigned(&s, -70000); }},
        {"vokWriteUnsigned", VOK_OK, [&] { return vokWriteUnsigned(&s, 70000); }},
        {"vokWriteString", VOK_OK,
         [&] { return vokWriteString(&s, std::string(300, 'x').c_str()); }},
        {"vokWriteUTF8String", VOK_OK, [&] { return vokWriteUTF8String(&s, "short"); }},
        {"vokWriteSafeString", VOK_UNEXPECTED, [&] { return vokWriteSafeString(&s, "secret"); }},
        {"vokWriteI18NString", VOK_OK,
         [&] { return vokWriteI18NString(&s, nullptr, &i18n_status); }},
    };
    std::vector<uint32_t> item_starts;
    for (const auto &w : writers) {
        fill(s);
        item_starts.push_back(s.position);
        if (on_handle(run, s, w.name, w.write) != w.result) run.violations.push_back(w.name);
    }
    fill(s);
    on_handle(run, s, "vokCloseStream", [&] { return vokCloseStream(&s); });
    // Only the string items allocate; the others are refused untouched.
    for (uint32_t at : item_starts) {
        uint8_t *p = s.data + at;
        char untouched = 0, *text = &untouched;
        const uint16_t status = attempt(
            run, "vokDecodeString", [&] { return vokDecodeString(&p, &text); },
            [&] { return std::pair(p, text); }, {s.data + at, &untouched});
        run.decoded.push_back(status == VOK_OK ? text : std::to_string(status));
        if (status == VOK_OK) vokDestroyStream(text);
    }

    // A writable copy of the closed block; its capacity is documented.
    const Bytes closed = written(s);
    vokStream copy{&old, 1, 1, 1};
    const auto rounded = static_cast<uint32_t>((closed.size() / 128 + 1) * 128);
    if (attempt(
            run, "vokReopenCopyStream",
            [&] { return vokReopenCopyStream(&copy, closed.data(), 7, 3); },
            [&] { return std::tuple(copy.data, copy.capacity, copy.active); },
            {nullptr, rounded, 0}) != VOK_OK)
        run.violations.push_back("vokReopenCopyStream");

    // The original appended to the copy at its capacity.
    fill(copy);
    on_handle(run, copy, "vokAppendStream", [&] { return vokAppendStream(&copy, &s); });
    if (written(s) != closed) run.violations.push_back("vokAppendStream changed its source");
    vokCloseStream(&copy);
    vokDestroyStream(s.data);
    run.final_block = written(copy);
    vokDestroyStream(copy.data);
    fa::disarm();
    if (fa::live() != 0) run.violations.push_back("blocks leaked: " + std::to_string(fa::live()));
    return run;
}

TEST(AllocationFailure, EveryAllocationOfEveryPathFailsCleanly) {
    const Outcome clean = scenario(0);
    ASSERT_TRUE(clean.violations.empty()) << clean.violations.front();
    ASSERT_EQ(clean.no_memory, 0);
    // create, the growth of 9 writers and of close, 3 decoded strings, the
    // copy and the append's growth: a path that stops allocating is a path
    // this test no longer fails.
    const uint64_t allocations = fa::attempts();
    ASSERT_EQ(allocations, 16u);

    for (uint64_t n = 1; n <= allocations; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        const Outcome run = scenario(n);
        EXPECT_EQ(run.no_memory, 1) << "the failure was not reported as VOK_NO_MEMORY";
        EXPECT_EQ(run.violations, std::vector<std::string>{});
        EXPECT_EQ(run.final_block, clean.final_block);
        EXPECT_EQ(run.decoded, clean.decoded);
    }
}

} // namespace
