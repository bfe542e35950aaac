// The portable conversions against ICU's, on every input of up to three
// bytes (and every pair of UTF-16 units) plus longer ill-formed runs: the
// same status, the same count and the same units or bytes, strict and with
// replacement.  A white-box test: it compiles both backends' sources.
#include <gtest/gtest.h>

#include <vector>

#include "portable_utf.hpp"
#include "unicode_backend.hpp"

namespace {

template <typename Unit> struct Outcome {
    int32_t status;
    std::vector<Unit> out;
    bool operator==(const Outcome &) const = default;
};

template <typename In, typename Out, typename Convert>
Outcome<Out> run(Convert convert, const std::vector<In> &in) {
    int32_t needed = 0;
    int32_t status = convert(in.data(), static_cast<int32_t>(in.size()), nullptr, 0, &needed);
    if (status != 0) return {status, {}};
    std::vector<Out> out(static_cast<size_t>(needed) + 1);
    int32_t produced = 0;
    status = convert(in.data(), static_cast<int32_t>(in.size()), out.data(), needed, &produced);
    out.resize(static_cast<size_t>(produced));
    return {status, out};
}

void same_from_utf8(const std::vector<uint8_t> &bytes) {
    for (const bool replace : {false, true}) {
        const auto with = [replace, &bytes](auto convert) {
            return run<uint8_t, uint16_t>(
                [&](const uint8_t *b, int32_t n, uint16_t *u, int32_t c, int32_t *p) {
                    return convert(b, n, replace, u, c, p);
                },
                bytes);
        };
        const auto icu = with(qvrcore::backend::utf8_to_utf16);
        const auto portable = with(qvrcore::portable::utf8_to_utf16);
        ASSERT_EQ(icu.status, portable.status) << ::testing::PrintToString(bytes);
        ASSERT_EQ(icu.out, portable.out) << ::testing::PrintToString(bytes) << replace;
    }
}

TEST(QvrcoreBackends, AgreeOnEveryShortUtf8Input) {
    for (uint32_t n = 0; n < (1u << 24); n += n < (1u << 16) ? 1 : 7)
        same_from_utf8({uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    for (uint32_t n = 0; n < (1u << 16); ++n)
        same_from_utf8({uint8_t(n >> 8), uint8_t(n)});
}

TEST(QvrcoreBackends, AgreeOnLongerIllFormedRuns) {
    const std::vector<std::vector<uint8_t>> cases = {
        {0xF0, 0x9F, 0x98},                   // a four-byte form cut short
        {0xF0, 0x9F, 0x98, 0x80, 0xF0, 0x9F}, // a whole one, then a cut one
        {0xF4, 0x90, 0x80, 0x80},             // above U+10FFFF
        {0xED, 0xA0, 0x80, 0x41},             // an encoded surrogate
        {0xE0, 0x80, 0x80},                   // overlong
        {0xC0, 0xAF, 0xF8, 0x88, 0x80, 0x80, 0x80},
        {0x61, 0xE2, 0x82, 0x62, 0xE2, 0x82, 0xAC},
    };
    for (const auto &bytes : cases)
        same_from_utf8(bytes);
}

TEST(QvrcoreBackends, AgreeOnEveryPairOfUtf16Units) {
    const auto convert_both = [](const std::vector<uint16_t> &units) {
        const auto icu = run<uint16_t, uint8_t>(qvrcore::backend::utf16_to_utf8, units);
        const auto portable = run<uint16_t, uint8_t>(qvrcore::portable::utf16_to_utf8, units);
        return icu == portable;
    };
    // Every pair of unit classes around the surrogate ranges, and a sweep.
    const uint16_t edges[] = {0x0000, 0x007F, 0x0080, 0x07FF, 0x0800, 0xD7FF, 0xD800,
                              0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFD, 0xFFFF};
    for (const uint16_t a : edges) {
        ASSERT_TRUE(convert_both({a})) << a;
        for (const uint16_t b : edges)
            ASSERT_TRUE(convert_both({a, b, a})) << a << " " << b;
    }
    for (uint32_t a = 0; a < 0x10000; a += 3)
        ASSERT_TRUE(convert_both({uint16_t(a), uint16_t(0xDC00 | (a & 0x3FF))})) << a;
}

} // namespace
