// The portable float text of the records engine (what the WebAssembly build
// uses) against the standard library's: the same shortest text for random
// bit patterns of both widths, and the same reading of that text and of
// the values at the edges of each type's range.  White-box.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "float_text.hpp"

namespace ft = vok::records::float_text;

namespace {

template <typename Float, typename Bits> void agree_on_random_values(Bits mask) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 40000; ++i) {
        const Bits bits = static_cast<Bits>(random()) & mask;
        Float f;
        std::memcpy(&f, &bits, sizeof f);
        if (!std::isfinite(f)) continue;
        char library[64], portable[400];
        const std::string expected(library, std::to_chars(library, library + 64, f).ptr);
        const std::string got(portable, ft::portable_to_chars(portable, f));
        ASSERT_EQ(got, expected) << bits;
        Float back = 0;
        ASSERT_EQ(ft::portable_from_chars(got, back), std::errc{}) << got;
        ASSERT_EQ(std::memcmp(&back, &f, sizeof f), 0) << got;
    }
}

template <typename Float> void agree_on_value(Float f) {
    char library[64], portable[400];
    const std::string expected(library, std::to_chars(library, library + 64, f).ptr);
    ASSERT_EQ(std::string(portable, ft::portable_to_chars(portable, f)), expected);
}

TEST(FloatText, ShortestTextAgreesWithTheLibrary) {
    // Where fixed and scientific are as long (fixed wins), or nearly so.
    for (const double d : {0.001, 0.0001, 0.01, 100.0, 1e15, 1e16, 1e21, 1e22, 123456.0, 1234567.0,
                           1.5, -0.001, 5e-324, 1.7976931348623157e308}) {
        agree_on_value(d);
        if (std::isfinite(static_cast<float>(d))) agree_on_value(static_cast<float>(d));
    }
    agree_on_random_values<float, uint32_t>(0xFFFFFFFFu);
    agree_on_random_values<double, uint64_t>(~uint64_t{0});
    // Small exponents too, where fixed and scientific forms compete.
    agree_on_random_values<double, uint64_t>(0x80FFFFFFFFFFFFFFu | 0x3F00000000000000u);
}

template <typename Float> void agree_on(const char *text) {
    Float library = 0, portable = 0;
    const auto read = std::from_chars(text, text + std::strlen(text), library);
    const std::errc mine = ft::portable_from_chars(std::string_view(text), portable);
    ASSERT_EQ(mine, read.ec) << text;
    if (read.ec == std::errc{}) {
        ASSERT_EQ(std::memcmp(&library, &portable, sizeof library), 0) << text;
    }
}

TEST(FloatText, ReadingAgreesAtTheEdges) {
    for (const char *text : {"0",
                             "-0",
                             "-0.0",
                             "0e999",
                             "1e-45",
                             "1e-46",
                             "7e-46",
                             "1.4e-45",
                             "3.4028235e38",
                             "3.4028236e38",
                             "3.5e38",
                             "1e39",
                             "0.1",
                             "1e-400",
                             "5e-324",
                             "2e-324",
                             "3e-324",
                             "1.7976931348623157e308",
                             "1.7976931348623159e308",
                             "1.8e308",
                             "123456789012345678901234567890",
                             "0.000000000000000000000000000000000000000000001"}) {
        agree_on<float>(text);
        agree_on<double>(text);
    }
}

} // namespace
