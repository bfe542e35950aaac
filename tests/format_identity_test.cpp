// Both sides of the library must agree on every byte: random item sequences
// built through a handle and through a cursor give identical blocks, and
// each side reads back what the other wrote.
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "item_codec.hpp"

using namespace vok_test;

namespace {

struct Record {
    uint8_t type;
    uint32_t version;
    std::vector<Item> items;
};

// Numbers and lengths cluster on the width boundaries, where the encodings
// change, with the occasional value from anywhere in the range.
class Generator {
  public:
    explicit Generator(uint32_t seed) : random_(seed) {}

    uint32_t number() {
        static constexpr uint32_t kEdges[] = {0, 255, 256, 65535, 65536, 0x7FFFFFFF, 0x80000000};
        switch (pick(4)) {
        case 0:
            return static_cast<uint32_t>(random_());
        case 1:
            return kEdges[pick(std::size(kEdges))] + pick(3) - 1; // wraps at 0 on purpose
        case 2:
            return pick(256);
        default:
            return pick(65536);
        }
    }

    // Plain strings above 65,535 bytes are refused by both sides alike.
    size_t length() {
        switch (pick(4)) {
        case 0:
            return pick(20);
        case 1:
            return 254 + pick(4); // 254 to 257
        case 2:
            return 65534 + pick(4); // 65,534 to 65,537
        default:
            return pick(70001);
        }
    }

    // Content is any non-zero byte: zero would end the string.
    std::string text() {
        std::string s(length(), '\0');
        const uint32_t first = pick(255), step = 1 + pick(254);
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = static_cast<char>(1 + (first + i * step) % 255);
        return s;
    }

    Record record() {
        Record r{static_cast<uint8_t>(pick(256)), number(), {}};
        const uint32_t count = pick(12);
        for (uint32_t i = 0; i < count; ++i) {
            const auto kind = static_cast<Kind>(pick(5));
            const bool is_string = kind == Kind::plain || kind == Kind::utf8;
            r.items.push_back({kind, is_string ? 0 : number(), is_string ? text() : ""});
        }
        return r;
    }

  private:
    uint32_t pick(size_t bound) {
        return std::uniform_int_distribution<uint32_t>(0,
                                                       static_cast<uint32_t>(bound - 1))(random_);
    }
    std::mt19937 random_;
};

bool refused(const Item &item) { return item.kind == Kind::plain && item.text.size() > 65535; }

std::vector<uint8_t> build_with_handle(const Record &r) {
    vokStream s;
    EXPECT_EQ(vokCreateStream(&s, r.type, r.version), VOK_OK);
    for (const Item &item : r.items)
        EXPECT_EQ(write_item(&s, item), refused(item) ? VOK_STRING_TOO_LONG : VOK_OK);
    EXPECT_EQ(vokCloseStream(&s), VOK_OK);
    std::vector<uint8_t> block(s.data, s.data + vokGetLength(&s));
    vokDestroyStream(s.data);
    return block;
}

std::vector<uint8_t> build_with_cursor(const Record &r) {
    size_t room = VOK_MAX_FRAME_SIZE;
    for (const Item &item : r.items)
        room += item.text.size() + 6;
    std::vector<uint8_t> block(room);
    uint8_t *p = block.data();
    EXPECT_EQ(vokStartStream(&p, r.type, r.version), VOK_OK);
    for (const Item &item : r.items)
        EXPECT_EQ(encode_item(&p, item), refused(item) ? VOK_STRING_TOO_LONG : VOK_OK);
    EXPECT_EQ(vokFinalStream(block.data(), p), VOK_OK);
    block.resize(static_cast<size_t>(p - block.data()) + 1);
    return block;
}

// Reads every stored item back through both families.
void read_back(const Record &r, std::vector<uint8_t> block) {
    vokStream s;
    ASSERT_EQ(vokOpenStream(&s, block.data(), r.type, r.version), VOK_OK);
    uint8_t *p = block.data();
    ASSERT_EQ(vokValidateStream(&p, r.type, r.version), VOK_OK);
    for (const Item &item : r.items) {
        if (refused(item)) continue;
        Item by_handle, by_cursor;
        ASSERT_EQ(read_item(&s, item.kind, &by_handle), VOK_OK);
        ASSERT_EQ(decode_item(&p, item.kind, &by_cursor), VOK_OK);
        EXPECT_EQ(by_handle, as_read(item));
        EXPECT_EQ(by_cursor, as_read(item));
    }
    EXPECT_EQ(vokCanRead(&s), VOK_END_OF_STREAM);
    EXPECT_EQ(p - block.data(), std::ssize(block) - 1);
}

TEST(FormatIdentity, HandleAndCursorAgreeOnRandomRecords) {
    constexpr uint32_t kSeed = 20240611;
    Generator generate(kSeed);
    for (int n = 0; n < 300; ++n) {
        SCOPED_TRACE("seed " + std::to_string(kSeed) + ", record " + std::to_string(n));
        const Record record = generate.record();
        const std::vector<uint8_t> block = build_with_handle(record);
        ASSERT_EQ(block, build_with_cursor(record));
        read_back(record, block);
    }
}

} // namespace
