// Both sides of the library must agree on every byte: random item sequences
// built through a handle and through a cursor give identical blocks, and
// each side reads back what the other wrote.
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "vok32.h"

namespace {

enum class Kind { flag, signed_value, unsigned_value, plain, utf8 };

struct Item {
    Kind kind;
    uint32_t number; // flag, unsigned value or the bits of a signed value
    std::string text;
};

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

Record written(Record r) {
    std::erase_if(r.items, refused);
    return r;
}

// The two sides behind one interface, so that building and reading back are
// written once.
struct HandleSide {
    vokStream s{};
    uint16_t flag(int32_t v) { return vokWriteFlag(&s, v); }
    uint16_t signed_value(int32_t v) { return vokWriteSigned(&s, v); }
    uint16_t unsigned_value(uint32_t v) { return vokWriteUnsigned(&s, v); }
    uint16_t plain(const char *t) { return vokWriteString(&s, t); }
    uint16_t utf8(const char *t) { return vokWriteUTF8String(&s, t); }

    uint16_t read(uint32_t *flag) { return vokReadFlag(&s, flag); }
    uint16_t read(int32_t *value) { return vokReadSigned(&s, value); }
    uint16_t read_unsigned(uint32_t *value) { return vokReadUnsigned(&s, value); }
    uint16_t read(std::string *text) {
        uint32_t size = 0;
        if (const uint16_t status = vokGetStringSize(&s, &size)) return status;
        text->assign(size + 1, '\xFF');
        if (const uint16_t status = vokReadString(&s, text->data())) return status;
        if (text->back() != '\0') return VOK_UNEXPECTED; // not terminated
        text->pop_back();
        return VOK_OK;
    }
    bool at_end() { return vokCanRead(&s) == VOK_END_OF_STREAM; }
};

struct CursorSide {
    uint8_t *cursor;
    uint16_t flag(int32_t v) { return vokEncodeFlag(&cursor, v); }
    uint16_t signed_value(int32_t v) { return vokEncodeSigned(&cursor, v); }
    uint16_t unsigned_value(uint32_t v) { return vokEncodeUnsigned(&cursor, v); }
    uint16_t plain(const char *t) { return vokEncodeString(&cursor, t); }
    uint16_t utf8(const char *t) { return vokEncodeUTF8String(&cursor, t); }

    uint16_t read(uint32_t *flag) { return vokDecodeFlag(&cursor, flag); }
    uint16_t read(int32_t *value) { return vokDecodeSigned(&cursor, value); }
    uint16_t read_unsigned(uint32_t *value) { return vokDecodeUnsigned(&cursor, value); }
    uint16_t read(std::string *text) {
        char *block = nullptr;
        if (const uint16_t status = vokDecodeString(&cursor, &block)) return status;
        text->assign(block);
        vokDestroyStream(block);
        return VOK_OK;
    }
    bool at_end() { return vokPeekType(cursor) == VOK_END; }
};

template <typename Side> void put_items(Side &side, const Record &r) {
    for (const Item &item : r.items) {
        const auto number = item.number;
        uint16_t status = VOK_OK;
        switch (item.kind) {
        case Kind::flag:
            status = side.flag(static_cast<int32_t>(number));
            break;
        case Kind::signed_value:
            status = side.signed_value(static_cast<int32_t>(number));
            break;
        case Kind::unsigned_value:
            status = side.unsigned_value(number);
            break;
        case Kind::plain:
            status = side.plain(item.text.c_str());
            break;
        case Kind::utf8:
            status = side.utf8(item.text.c_str());
            break;
        }
        EXPECT_EQ(status, refused(item) ? VOK_STRING_TOO_LONG : VOK_OK);
    }
}

// Reads every item back and compares it with what was put; flags come back
// as the stored 0 or 1.
template <typename Side> void check_items(Side &side, const Record &r) {
    for (const Item &item : r.items) {
        uint32_t number = 0;
        int32_t value = 0;
        std::string text;
        switch (item.kind) {
        case Kind::flag:
            ASSERT_EQ(side.read(&number), VOK_OK);
            EXPECT_EQ(number, item.number != 0 ? 1u : 0u);
            break;
        case Kind::signed_value:
            ASSERT_EQ(side.read(&value), VOK_OK);
            EXPECT_EQ(value, static_cast<int32_t>(item.number));
            break;
        case Kind::unsigned_value:
            ASSERT_EQ(side.read_unsigned(&number), VOK_OK);
            EXPECT_EQ(number, item.number);
            break;
        default:
            ASSERT_EQ(side.read(&text), VOK_OK);
            EXPECT_EQ(text, item.text);
        }
    }
    EXPECT_TRUE(side.at_end());
}

std::vector<uint8_t> build_with_handle(const Record &r) {
    HandleSide side;
    EXPECT_EQ(vokCreateStream(&side.s, r.type, r.version), VOK_OK);
    put_items(side, r);
    EXPECT_EQ(vokCloseStream(&side.s), VOK_OK);
    const uint8_t *data = vokGetData(&side.s);
    std::vector<uint8_t> block(data, data + vokGetLength(&side.s));
    vokDestroyStream(vokGetData(&side.s));
    return block;
}

std::vector<uint8_t> build_with_cursor(const Record &r) {
    size_t room = VOK_MAX_FRAME_SIZE;
    for (const Item &item : r.items)
        room += item.text.size() + 6;
    std::vector<uint8_t> block(room);
    CursorSide side{block.data()};
    EXPECT_EQ(vokStartStream(&side.cursor, r.type, r.version), VOK_OK);
    put_items(side, r);
    EXPECT_EQ(vokFinalStream(block.data(), side.cursor), VOK_OK);
    block.resize(static_cast<size_t>(side.cursor - block.data()) + 1);
    return block;
}

void read_with_handle(const Record &r, const std::vector<uint8_t> &block) {
    HandleSide side;
    ASSERT_EQ(vokOpenStream(&side.s, block.data(), r.type, r.version), VOK_OK);
    check_items(side, r);
}

void read_with_cursor(const Record &r, std::vector<uint8_t> block) {
    CursorSide side{block.data()};
    ASSERT_EQ(vokValidateStream(&side.cursor, r.type, r.version), VOK_OK);
    check_items(side, r);
    EXPECT_EQ(side.cursor - block.data(), std::ssize(block) - 1);
}

TEST(FormatIdentity, HandleAndCursorAgreeOnRandomRecords) {
    constexpr uint32_t kSeed = 20240611;
    Generator generate(kSeed);
    for (int n = 0; n < 300; ++n) {
        SCOPED_TRACE("seed " + std::to_string(kSeed) + ", record " + std::to_string(n));
        const Record record = generate.record();
        const std::vector<uint8_t> by_handle = build_with_handle(record);
        const std::vector<uint8_t> by_cursor = build_with_cursor(record);
        ASSERT_EQ(by_handle, by_cursor);
        const Record stored = written(record);
        read_with_handle(stored, by_cursor);
        read_with_cursor(stored, by_handle);
    }
}

} // namespace
