// The C++ layer: same bytes as the C calls, strings of any content, length
// checks before opening, room checks on the cursor side, error codes.
#include <gtest/gtest.h>

#include <string>
#include <system_error>
#include <type_traits>

#include "byte_helpers.hpp"
#include "vok32.hpp"

using vok_test::Bytes;
using vok_test::hex;
using vok_test::kRecord;

static_assert(!std::is_copy_constructible_v<vok::writer> &&
              std::is_move_constructible_v<vok::writer>);
static_assert(!std::is_copy_constructible_v<vok::block> &&
              std::is_nothrow_move_assignable_v<vok::block>);
static_assert(vok::frame_size(255) == 9 && vok::frame_size(65536) == VOK_MAX_FRAME_SIZE);
static_assert(vok::encoded_size_string(255) == 257 && vok::encoded_size_string(256) == 259 &&
              vok::encoded_size_string(65536) == 65541 && vok::encoded_size_safe(256) == 3);

namespace {

Bytes bytes_of(vok::bytes_view b) { return Bytes(b.data(), b.data() + b.size()); }

// The items a writer of type 1, version 0 put between the header and the end.
template <class Item> Bytes written_item(Item item, vok::status expected = vok::status::ok) {
    vok::writer out(1, 0);
    EXPECT_EQ(out.write(item), expected);
    const Bytes block = bytes_of(out.finish().value().bytes());
    return Bytes(block.begin() + 8, block.end() - 1);
}

TEST(CppWriter, WritesMovesAppendsAndReadsTheRecord) {
    vok::writer first(7, 3);
    ASSERT_EQ(first.create_status(), vok::status::ok);
    EXPECT_EQ(first.write(vok::user_mark{1}), vok::status::ok);
    vok::writer out = std::move(first);
    EXPECT_EQ(first.write(6u), vok::status::not_active);
    EXPECT_EQ(out.write(300u), vok::status::ok);
    vok::result<vok::block> finished = out.finish();
    ASSERT_TRUE(finished.ok());
    EXPECT_EQ(bytes_of(finished.value().bytes()), kRecord);
    EXPECT_EQ(out.finish().status(), vok::status::not_active);

    vok::writer whole(7, 3);
    EXPECT_EQ(whole.append(finished.value()), vok::status::ok);
    EXPECT_EQ(whole.append(vok::block{}), vok::status::invalid_stream);
    EXPECT_EQ(bytes_of(whole.finish().value().bytes()), kRecord);
    const vok::block moved = std::move(finished.value());
    EXPECT_TRUE(finished.value().empty());

    vok::reader in(moved.bytes(), 7, 2); // a newer version is still read
    ASSERT_EQ(in.open_status(), vok::status::newer_version);
    EXPECT_EQ(in.read_user_mark().value(), 1);
    EXPECT_EQ(in.read_signed().status(), vok::status::wrong_type);
    EXPECT_EQ(in.read_unsigned().value(), 300u);
    EXPECT_TRUE(in.at_end());
    EXPECT_EQ(in.read_user_mark().status(), vok::status::end_of_stream);
}

// A failed result holds no value: value() throws its status as
// std::optional's throws; the checks and value_or never throw.
TEST(CppResult, AFailedResultThrowsItsStatusFromValue) {
    vok::reader in(vok::bytes_view(kRecord.data(), kRecord.size()), 7, 3);
    const vok::result<std::int32_t> wrong = in.read_signed(); // a user mark stands there
    EXPECT_FALSE(wrong.has_value());
    EXPECT_EQ(wrong.value_or(-1), -1);
    try {
        (void)wrong.value();
        ADD_FAILURE() << "no exception";
    } catch (const std::system_error &e) {
        EXPECT_EQ(e.code(), vok::status::wrong_type);
    }
    const vok::result<std::uint8_t> mark = in.read_user_mark();
    ASSERT_TRUE(mark.has_value());
    EXPECT_EQ(*mark, 1);
    EXPECT_EQ(mark.value(), 1);
}

TEST(CppWriter, EachTypeGoesToItsItemAndStringsKeepEveryByte) {
    const std::string with_zero("a\0b", 3);
    const std::string long_text(300, 'q'); // past the stack copy of an unterminated view
    EXPECT_EQ(written_item(vok::flag{true}), hex("CA 01"));
    EXPECT_EQ(written_item(vok::phrase{7}), hex("E0 07"));
    EXPECT_EQ(written_item(-300), hex("D9 01 2C 01"));
    EXPECT_EQ(written_item(std::int16_t{-5}), hex("D8 05 01"));
    EXPECT_EQ(written_item(std::uint8_t{200}), hex("D2 C8"));
    EXPECT_EQ(written_item("abc"), hex("CC 03 61 62 63"));
    EXPECT_EQ(written_item(vok::utf8{"\xC3\xA9"}), hex("D0 02 C3 A9"));
    EXPECT_EQ(written_item(vok::safe_string{"hello"}), hex("E2 05"));
    EXPECT_EQ(written_item(std::string_view("abcdef").substr(0, 3)), hex("CC 03 61 62 63"));
    EXPECT_EQ(written_item(with_zero), hex("CC 03 61 00 62"));
    EXPECT_EQ(written_item(vok::utf8{std::string_view(with_zero)}), hex("D0 03 61 00 62"));
    EXPECT_EQ(written_item(vok::safe_string{std::string_view(with_zero)}), hex("E2 03"));
    EXPECT_EQ(written_item(std::string_view(long_text).substr(1)),
              vok_test::concat(hex("CD 01 2B"), Bytes(299, 'q')));
    EXPECT_EQ(written_item(std::string_view()), hex("CC 00"));
    EXPECT_EQ(written_item(vok::user_mark{200}, vok::status::mark_out_of_range), Bytes{});
    EXPECT_EQ(written_item(std::string(65536, 'a'), vok::status::string_too_long), Bytes{});
}

TEST(CppReader, ChecksTheLengthFieldAgainstTheBytesGiven) {
    for (const size_t size : {size_t{12}, size_t{3}, size_t{0}}) {
        const vok::reader cut({size == 0 ? nullptr : kRecord.data(), size}, 7, 3);
        EXPECT_EQ(cut.open_status(), vok::status::invalid_stream) << size;
        EXPECT_FALSE(cut.is_open());
    }
}

TEST(CppReader, ReadsStringsAndSkipsPhrases) {
    vok::writer out(1, 0);
    const std::string wide(65536, 'w'); // a 4-byte length field
    for (const vok::status written :
         {out.write(std::string_view("a\0bc", 4)), out.write(vok::safe_string{"secret"}),
          out.write(vok::utf8{"xyz"}), out.write(vok::utf8{wide}), out.write(vok::phrase{1}),
          out.write(-7), out.write(vok::phrase{2}), out.write(vok::flag{false})})
        EXPECT_EQ(written, vok::status::ok);
    const vok::block block = out.finish().value();

    vok::reader in(block.bytes(), 1, 0);
    char buffer[4];
    EXPECT_EQ(in.string_size().value(), 4u);
    EXPECT_EQ(in.read_string(buffer, sizeof buffer).status(), vok::status::no_memory);
    EXPECT_EQ(in.read_string().value(), std::string("a\0bc", 4));
    EXPECT_EQ(in.read_string(buffer, 1).status(), vok::status::unexpected); // safe: passed over
    EXPECT_EQ(in.read_string(buffer, sizeof buffer).value(), "xyz");
    EXPECT_EQ(in.read_string().value(), wide);
    EXPECT_EQ(in.read_string().status(), vok::status::wrong_type);
    EXPECT_EQ(in.read_phrase().value(), 1);
    EXPECT_EQ(in.skip_phrase(), VOK_PHRASE_MARK);
    EXPECT_EQ(in.read_phrase().value(), 2);
    EXPECT_EQ(in.read_flag().value(), false);
    EXPECT_EQ(in.skip_phrase(), VOK_END);
    EXPECT_EQ(in.reset(), vok::status::ok);
    EXPECT_EQ(in.string_size().value(), 4u);
}

TEST(CppEncoder, SizesMatchTheEncodedBytesAtEveryWidth) {
    const auto check = [](auto value) {
        std::uint8_t buffer[16];
        vok::encoder out(buffer, sizeof buffer, 1, 0);
        EXPECT_EQ(out.encode(value), vok::status::ok);
        EXPECT_EQ(out.size() - 8, vok::encoded_size(value)) << value;
    };
    for (std::uint32_t value : {0u, 255u, 256u, 65535u, 65536u, 4294967295u})
        check(value);
    for (std::int32_t value : {0, -255, 256, -65535, 65536, INT32_MIN})
        check(value);
}

TEST(CppEncoder, BuildsTheSameBytesInExactlySizedBuffersAndRefusesLess) {
    const std::string text("a\0b", 3);
    const std::size_t exact =
        vok::frame_size(3) + vok::encoded_size(300u) + vok::encoded_size_string(text.size());
    Bytes buffer(exact);
    vok::encoder one_short(buffer.data(), exact - 1, 7, 3);
    EXPECT_EQ(one_short.encode(300u), vok::status::ok);
    EXPECT_EQ(one_short.encode(text), vok::status::no_memory);

    vok::encoder out(buffer.data(), exact, 7, 3);
    ASSERT_EQ(out.start_status(), vok::status::ok);
    EXPECT_EQ(out.encode(300u), vok::status::ok);
    EXPECT_EQ(out.encode(text), vok::status::ok);
    EXPECT_EQ(out.room(), 0u);
    EXPECT_EQ(out.encode(vok::flag{true}), vok::status::no_memory);
    EXPECT_EQ(bytes_of(out.finish().value()),
              hex("00 00 00 11 C8 07 D2 03 D4 01 2C CC 03 61 00 62 C9"));

    vok::encoder refused(buffer.data(), 8, 7, 3); // one byte short of the frame
    EXPECT_EQ(refused.start_status(), vok::status::no_memory);
    EXPECT_EQ(refused.encode(1u), vok::status::not_active);
    EXPECT_EQ(refused.finish().status(), vok::status::not_active);
}

TEST(CppStatus, ErrorCodesCarryTheStatusNames) {
    const std::error_code code = vok::status::wrong_type;
    EXPECT_EQ(code.category().name(), std::string("vok32"));
    EXPECT_EQ(code.value(), VOK_WRONG_TYPE);
    EXPECT_EQ(code.message().rfind("VOK_WRONG_TYPE: ", 0), 0u);
    EXPECT_FALSE(vok::make_error_code(vok::status::ok));
    EXPECT_EQ(std::string(vok::status_name(vok::status::not_utf8)), "VOK_NOT_UTF8");
    EXPECT_EQ(std::string(vok::status_name(static_cast<vok::status>(13))), "VOK_UNKNOWN");
}

} // namespace
