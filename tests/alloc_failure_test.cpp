// Fails each allocation the library makes: every call that allocates runs
// once with its allocation failing, must report VOK_NO_MEMORY and leave what
// its caller sees as documented, and is then retried.  At the end every block
// the library obtained has been released.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>

#include "byte_helpers.hpp"
#include "qvrcore.h"
#include "support/failing_allocator.hpp"

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

// Runs op with its allocation failing: VOK_NO_MEMORY, and what `observe`
// returns must equal `expected`.  Returns the status of a retry.
template <typename Op, typename Observe>
uint16_t fail_then_retry(const char *what, Op op, Observe observe, decltype(observe()) expected) {
    fa::fail_next();
    EXPECT_EQ(op(), VOK_NO_MEMORY) << what;
    fa::fail_next(false);
    EXPECT_TRUE(observe() == expected) << what << " changed things";
    return op();
}

// On a handle open for writing a failure changes no field and no byte.
uint16_t on_handle(vokStream &s, const char *what, const std::function<uint16_t()> &op) {
    const auto seen = [&] { return std::tuple(fields(s), written(s)); };
    return fail_then_retry(what, op, seen, seen());
}

// User marks up to the capacity, so that the next item needs growth.
void fill(vokStream &s) {
    while (s.position < s.capacity)
        vokWriteUserMark(&s, 7);
}

TEST(AllocationFailure, EveryAllocatingCallFailsCleanly) {
    fa::arm();
    uint8_t old = 0;
    vokStream s{&old, 0xC0FFEE, 0xBEEF, 1};
    ASSERT_EQ(fail_then_retry(
                  "vokCreateStream", [&] { return vokCreateStream(&s, 7, 3); },
                  [&] { return fields(s); }, {nullptr, 0xC0FFEE, 0xBEEF, 0}),
              VOK_OK);
    // Past the 32-bit size range growth is refused without asking.
    const uint32_t real_position = s.position;
    s.position = UINT32_MAX - 64;
    EXPECT_EQ(vokWriteUnsigned(&s, 1), VOK_NO_MEMORY);
    EXPECT_EQ(vokWriteUTF8String(&s, "x"), VOK_NO_MEMORY);
    s.position = real_position;

    int32_t i18n_status = -1;
    const std::string long_text(300, 'x');
// A writer's name and a call of it on s.
#define WRITE(writer, ...) #writer, [&] { return writer(&s, __VA_ARGS__); }
    const struct {
        const char *name;
        std::function<uint16_t()> write;
        uint16_t result;
        const char *decoded; // the string decoded back, if any
    } writers[] = {
        {WRITE(vokWriteUserMark, 1), VOK_OK, nullptr},
        {WRITE(vokWritePhraseMark, 2), VOK_OK, nullptr},
        {WRITE(vokWriteFlag, 1), VOK_OK, nullptr},
        {WRITE(vokWriteSigned, -70000), VOK_OK, nullptr},
        {WRITE(vokWriteUnsigned, 70000), VOK_OK, nullptr},
        {WRITE(vokWriteString, long_text.c_str()), VOK_OK, long_text.c_str()},
        {WRITE(vokWriteUTF8String, "short"), VOK_OK, "short"},
        {WRITE(vokWriteSafeString, "secret"), VOK_UNEXPECTED, nullptr},
        {WRITE(vokWriteI18NString, nullptr, &i18n_status), VOK_OK, "i18n text"},
    };
#undef WRITE
    std::vector<std::pair<uint32_t, const char *>> strings;
    for (const auto &w : writers) {
        fill(s);
        if (w.decoded) strings.emplace_back(s.position, w.decoded);
        EXPECT_EQ(on_handle(s, w.name, w.write), w.result) << w.name;
    }
    fill(s);
    EXPECT_EQ(on_handle(s, "vokCloseStream", [&] { return vokCloseStream(&s); }), VOK_OK);

    for (const auto &[at, content] : strings) {
        uint8_t *p = s.data + at;
        char untouched = 0, *text = &untouched;
        ASSERT_EQ(fail_then_retry(
                      "vokDecodeString", [&] { return vokDecodeString(&p, &text); },
                      [&] { return std::pair(p, text); }, {s.data + at, &untouched}),
                  VOK_OK);
        EXPECT_STREQ(text, content);
        vokDestroyStream(text);
    }

    // A writable copy of the closed block, and the original appended to it
    // at its capacity.
    const Bytes closed = written(s);
    vokStream copy{&old, 1, 1, 1};
    const auto rounded = static_cast<uint32_t>((closed.size() / 128 + 1) * 128);
    EXPECT_EQ(fail_then_retry(
                  "vokReopenCopyStream",
                  [&] { return vokReopenCopyStream(&copy, closed.data(), 7, 3); },
                  [&] { return std::tuple(copy.data, copy.capacity, copy.active); },
                  {nullptr, rounded, 0}),
              VOK_OK);
    fill(copy);
    EXPECT_EQ(on_handle(copy, "vokAppendStream", [&] { return vokAppendStream(&copy, &s); }),
              VOK_OK);
    EXPECT_EQ(written(s), closed);
    vokDestroyStream(s.data);
    vokDestroyStream(copy.data);
    fa::disarm();
    EXPECT_EQ(fa::live(), 0) << "blocks leaked";
}

} // namespace
