// dump then pack gives back the very bytes, for seeded random well-formed
// streams that include every item kind and the non-canonical forms that
// other producers may write.
#include <gtest/gtest.h>

#include <random>

#include "checker.hpp"
#include "format/frame.hpp"
#include "format/integer_item.hpp"
#include "format/string_item.hpp"
#include "tool_helpers.hpp"

using namespace vok::tool;
using namespace vok::tool::testing;
namespace fmt = vok::format;

namespace {

class RandomStream {
  public:
    explicit RandomStream(uint32_t seed) : rng_(seed) {}

    Bytes make() {
        Bytes block{0, 0, 0, 0, VOK_START, byte()};
        const unsigned version_width = width_at_least(1);
        put_number(block, fmt::unsigned_tag(version_width), number(version_width));
        const uint32_t items = below(60);
        for (uint32_t i = 0; i < items; ++i)
            put_item(block);
        block.push_back(VOK_END);
        fmt::put_total_length(block.data(), static_cast<uint32_t>(block.size()));
        return block;
    }

  private:
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }
    uint8_t byte() { return static_cast<uint8_t>(below(256)); }
    bool one_in(uint32_t n) { return below(n) == 0; }

    // Mostly the narrowest width for value, sometimes a wider one.
    unsigned width_at_least(unsigned narrowest) {
        last_width_ = narrowest;
        while (last_width_ < 4 && one_in(3))
            last_width_ *= 2;
        return last_width_;
    }
    uint32_t number(unsigned width) {
        const uint32_t value = static_cast<uint32_t>(rng_());
        return width == 4 ? value : value & ((1u << (8 * width)) - 1);
    }
    void put_number(Bytes &out, uint8_t tag, uint32_t value) {
        out.push_back(tag);
        uint8_t field[4];
        out.insert(out.end(), field, fmt::put_field(field, value, last_width_));
    }
    void put_string(Bytes &out, fmt::StringKind kind, uint32_t length, bool content) {
        const unsigned max = kind == fmt::StringKind::utf8 ? 4 : 2;
        unsigned width = width_at_least(fmt::field_width(length));
        if (width > max) width = last_width_ = max;
        put_number(out, fmt::string_tag(kind, width), length);
        for (uint32_t i = 0; content && i < length; ++i)
            out.push_back(one_in(4) ? byte() : static_cast<uint8_t>("aé\"\\\n"[below(6)]));
    }

    void put_item(Bytes &out) {
        switch (below(8)) {
        case 0:
            out.push_back(static_cast<uint8_t>(below(200)));
            break;
        case 1:
            out.insert(out.end(), {VOK_PHRASE_MARK, byte()});
            break;
        case 2:
            out.insert(out.end(), {VOK_FLAG, one_in(4) ? byte() : static_cast<uint8_t>(below(2))});
            break;
        case 3: {
            const unsigned width = width_at_least(1);
            put_number(out, fmt::unsigned_tag(width), number(width));
            break;
        }
        case 4: {
            const unsigned width = width_at_least(1);
            put_number(out, fmt::signed_tag(width), number(width));
            out.push_back(one_in(5) ? byte() : static_cast<uint8_t>(below(2)));
            break;
        }
        case 5:
            put_string(out, fmt::StringKind::plain, below(one_in(10) ? 1000 : 40), true);
            break;
        case 6:
            put_string(out, fmt::StringKind::utf8, below(one_in(50) ? 70000 : 40), true);
            break;
        default:
            put_string(out, fmt::StringKind::safe, below(one_in(5) ? 65536 : 300), false);
        }
    }

    std::mt19937 rng_;
    unsigned last_width_ = 1;
};

TEST(RoundTrip, DumpThenPackReproducesRandomStreams) {
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const Bytes block = RandomStream(seed).make();
        std::vector<Problem> problems;
        const std::string listing = dump_text(block, &problems);
        ASSERT_TRUE(problems.empty()) << problems.front().message;
        ASSERT_TRUE(check_stream(block, {}).problems.empty());
        PackError error;
        const Bytes packed = pack_or_fail(listing, &error);
        ASSERT_EQ(packed, block) << error.line << ":" << error.column << ": " << error.message;
    }
}

} // namespace
