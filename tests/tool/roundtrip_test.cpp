// dump then pack, in the notation and in JSON lines, gives back the very
// bytes, for seeded random well-formed blocks, alone and back to back, that
// include every item kind and the non-canonical forms that other producers
// may write: wider number and length fields, flag and sign bytes other than
// 0 and 1, a wider header version.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>

#include "tool_helpers.hpp"

using namespace vok::tool;
using namespace vok::tool::testing;

namespace {

// Tags by field width (1, 2 or 4 bytes), written out here rather than taken
// from the tool, whose encoding is under test.
using Tags = std::array<uint8_t, 5>;
constexpr Tags kUnsigned = {0, VOK_UNSIGNED_1, VOK_UNSIGNED_2, 0, VOK_UNSIGNED_4};
constexpr Tags kSigned = {0, VOK_SIGNED_1, VOK_SIGNED_2, 0, VOK_SIGNED_4};
constexpr Tags kPlain = {0, VOK_STRING_1, VOK_STRING_2, 0, 0};
constexpr Tags kUtf8 = {0, VOK_UTF8_1, VOK_UTF8_2, 0, VOK_UTF8_4};
constexpr Tags kSafe = {0, VOK_SAFE_1, VOK_SAFE_2, 0, 0};

Bytes random_block(uint32_t seed) {
    std::mt19937 rng(seed);
    const auto below = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    const auto byte = [&] { return static_cast<uint8_t>(below(256)); };
    const auto mostly_bit = [&] { return below(5) == 0 ? byte() : static_cast<uint8_t>(below(2)); };
    // Mostly the narrowest width, sometimes a wider one.
    const auto widen = [&](unsigned width, unsigned widest) {
        while (width < widest && below(3) == 0)
            width *= 2;
        return width;
    };
    Bytes out{0, 0, 0, 0, VOK_START, byte()};
    const auto put = [&](uint8_t tag, unsigned width, uint32_t value) {
        out.push_back(tag);
        for (unsigned i = width; i-- > 0;)
            out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    const auto put_number = [&](bool is_signed) {
        const unsigned width = widen(1, 4);
        const uint8_t tag = (is_signed ? kSigned : kUnsigned)[width];
        put(tag, width, static_cast<uint32_t>(rng()) >> (32 - 8 * width));
        if (is_signed) out.push_back(mostly_bit()); // the sign byte
    };
    const auto put_string = [&](const Tags &tags, unsigned widest, uint32_t length) {
        const unsigned width = widen(length <= 0xFF ? 1 : length <= 0xFFFF ? 2 : 4, widest);
        put(tags[width], width, length);
        for (uint32_t i = 0; &tags != &kSafe && i < length; ++i)
            out.push_back(below(4) == 0 ? byte() : static_cast<uint8_t>("aé\"\\\n"[below(6)]));
    };

    // One generator per item kind.
    const std::function<void()> items[] = {
        [&] { out.push_back(static_cast<uint8_t>(below(200))); },
        [&] { put(VOK_PHRASE_MARK, 1, byte()); },
        [&] { put(VOK_FLAG, 1, mostly_bit()); },
        [&] { put_number(false); },
        [&] { put_number(true); },
        [&] { put_string(kPlain, 2, below(below(10) == 0 ? 1000 : 40)); },
        [&] { put_string(kUtf8, 4, below(below(50) == 0 ? 70000 : 40)); },
        [&] { put_string(kSafe, 2, below(below(5) == 0 ? 65536 : 300)); },
    };
    put_number(false); // the version
    for (uint32_t n = below(60); n > 0; --n)
        items[below(8)]();
    out.push_back(VOK_END);
    const auto size = static_cast<uint32_t>(out.size());
    for (int i = 0; i < 4; ++i)
        out[static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (24 - 8 * i));
    return out;
}

TEST(RoundTrip, DumpThenPackReproducesRandomStreams) {
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        // Every third input holds two blocks back to back.
        const Bytes blocks = seed % 3 == 0
                                 ? vok_test::concat(random_block(seed), random_block(seed + 1000))
                                 : random_block(seed);
        std::vector<Problem> problems;
        const std::string listing = dump_text(blocks, {}, &problems);
        ASSERT_TRUE(problems.empty()) << problems.front().message;
        PackError error;
        ASSERT_EQ(pack_or_fail(listing, &error), blocks)
            << error.line << ":" << error.column << ": " << error.message;
        const std::string json = dump_text(blocks, {.json = true, .notation = {}});
        ASSERT_EQ(pack_or_fail(json, &error, true), blocks)
            << error.line << ":" << error.column << ": " << error.message;
    }
}

} // namespace
