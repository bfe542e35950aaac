// Code that vok gen writes, C and C++, on the README's orders and on a schema of
// every kind and shape: each side reads what the other wrote, refusals leave
// nothing behind (the rules themselves: model_test, fuzz).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#ifdef VOK_VECTORS
#include <fstream>
#include <nlohmann/json.hpp>

#include "byte_helpers.hpp"
#endif

#include "kinds.vok.h"
#include "kinds.vok.hpp"
#include "order.vok.h"
#include "order.vok.hpp"
#include "readings.vok.h"
#include "readings.vok.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Generated, EveryKindAndShapeRoundTrips) {
    kinds::Kinds k;
    k.f = true, k.u = 4000000000u, k.s = INT32_MIN, k.b = std::string("\0\xff", 2), k.t = "t",
    k.n = 65535;
    k.ou = 0, k.ob = "", k.rf = {true, false}, k.rs = {-1, 1, 0}, k.rt = {"x", "", "z"}, k.rn = {3};
    k.maybe.emplace();
    k.maybe->z = {7};
    k.many = {{"m1"}, {"m2"}, {""}};
    k.one.x = 9;
    const Bytes block = kinds::encode(k).value();
    ASSERT_FALSE(block.empty());
    EXPECT_EQ(kinds::decode(block.data(), block.size()).value(), k);
    Kinds c;
    ASSERT_EQ(Kinds_decode(block.data(), block.size(), &c, nullptr), VOK_OK);
    EXPECT_TRUE(c.has_ou && !c.has_os && c.has_maybe && !c.maybe.has_y);
    EXPECT_EQ(std::make_tuple(c.rs_count, c.many_count, c.maybe.z_count, c.one.x),
              std::make_tuple(3u, 3u, 1u, 9u));
    vokStream out;
    ASSERT_EQ(Kinds_encode(&c, &out, nullptr), VOK_OK);
    EXPECT_EQ(Bytes(vokGetData(&out), vokGetData(&out) + vokGetLength(&out)), block);
    vokDestroyStream(vokGetData(&out));
    // A reused struct keeps nothing of the record it held; a refusal empties it.
    const kinds::Kinds plain;
    const Bytes small = kinds::encode(plain).value();
    kinds::Kinds reused = k;
    ASSERT_EQ(kinds::decode(small.data(), small.size(), reused), vok::status::ok);
    EXPECT_EQ(reused, plain);
    reused = k;
    EXPECT_EQ(kinds::decode(block.data(), block.size() - 1, reused), vok::status::invalid_stream);
    EXPECT_EQ(reused, plain);
}

// The C side gathers a record's items before appending them; items longer
// than what it gathers, and records of many of them, must come out as the
// C++ side writes them item by item, and refusals must leave the stream.
TEST(Generated, LongItemsAndRefusalsOfTheGatheringWriter) {
    kinds::Kinds k;
    k.b = std::string(600, 'b');
    k.t = std::string(70000, 't');
    k.rt = {std::string(300, '1'), std::string(300, '2'), "3"};
    k.many = {{std::string(500, 'w')}, {"v"}};
    const Bytes block = kinds::encode(k).value();
    Kinds c;
    ASSERT_EQ(Kinds_decode(block.data(), block.size(), &c, nullptr), VOK_OK);
    vokStream out;
    ASSERT_EQ(Kinds_encode(&c, &out, nullptr), VOK_OK);
    EXPECT_EQ(Bytes(vokGetData(&out), vokGetData(&out) + vokGetLength(&out)), block);
    vokDestroyStream(vokGetData(&out));
    ASSERT_EQ(vokCreateStream(&out, 9, 1), VOK_OK);
    const uint32_t start = out.position;
    const std::string longest(65536, 'b');
    c.b = {reinterpret_cast<const uint8_t *>(longest.data()), 65536};
    // over a plain string's limit, after items already gathered
    EXPECT_EQ(Kinds_write(&out, &c, nullptr), VOK_STRING_TOO_LONG);
    Bytes room(2 * block.size() + 65536);
    size_t length = 0;
    EXPECT_EQ(Kinds_encode_to(&c, room.data(), room.size(), &length, nullptr), VOK_STRING_TOO_LONG);
    c.b.length = 65535; // the longest there is, compiled
    ASSERT_EQ(Kinds_encode_to(&c, room.data(), room.size(), &length, nullptr), VOK_OK);
    EXPECT_EQ(length, block.size() + 65535 - 600);
    k.b = longest;
    const vok::record_status refused = kinds::encode(k, room);
    EXPECT_EQ(std::tuple(refused.status(), refused.path()),
              std::tuple(vok::status::string_too_long, "b"));
    c.b.length = 600;
    c.many[1].w.length = 65536; // after long items were appended
    EXPECT_EQ(Kinds_write(&out, &c, nullptr), VOK_STRING_TOO_LONG);
    EXPECT_EQ(out.position, start);
    ASSERT_EQ(vokCloseStream(&out), VOK_OK);
    vokDestroyStream(vokGetData(&out));
}

// Decoding refusals are held to the model (model_test.cpp).
TEST(Generated, EncodingRefusalsLeaveNothingBehind) {
    Order o{};
    o.tags_count = 9; // over its array
    vokStream out;
    vokxRecordError e;
    EXPECT_EQ(Order_encode(&o, &out, &e), VOKX_TOO_MANY);
    EXPECT_STREQ(e.path, "tags");
    EXPECT_EQ(std::make_tuple(out.data, out.active), std::make_tuple(nullptr, 0u));
    uint8_t buffer[64];
    size_t length = 0;
    EXPECT_EQ(Order_encoded_size(&o), 0u);
    EXPECT_EQ(Order_encode_to(&o, buffer, sizeof buffer, &length, &e), VOKX_TOO_MANY);
    EXPECT_STREQ(e.path, "tags");
    o.tags_count = 0;
    EXPECT_EQ(Order_encode_to(&o, buffer, 10, &length, &e), VOK_NO_MEMORY);
    EXPECT_EQ(length, Order_encoded_size(&o));
    order::Order cpp;
    cpp.tags.assign(9, "t");
    std::vector<uint8_t> reused{1, 2};
    const vok::record_status s = order::encode(cpp, reused);
    EXPECT_EQ(std::tuple(s.status(), s.path(), reused.size()),
              std::tuple(vok::status::too_many, "tags", size_t{2}));
    EXPECT_FALSE(order::encode(cpp).ok());
}

#ifdef VOK_VECTORS
// Reads a block with one schema's generated C (status, path, offset) and
// C++ (status); a written block is written again by both, byte for byte.
template <typename C, typename Cpp, typename DecodeC, typename EncodeC>
void hold(const nlohmann::json &c, bool written, DecodeC decode_c, EncodeC encode_c) {
    const Bytes block = vok_test::hex(c["bytes"]);
    C record;
    vokxRecordError e;
    const std::uint16_t status = decode_c(block.data(), block.size(), &record, &e);
    Cpp cpp;
    const vok::record_status cpp_status = decode(block.data(), block.size(), cpp);
    EXPECT_EQ(std::tuple(static_cast<std::uint16_t>(cpp_status.status()), cpp_status.path(),
                         cpp_status.offset()),
              std::tuple(status, std::string_view(e.path), e.offset));
    const nlohmann::json refusal = c.value("refusal", nlohmann::json::object());
    EXPECT_EQ(std::tuple(std::string(vokxStatusName(status)), std::string(e.path), e.offset),
              std::tuple(refusal.value("status", c.value("version", "VOK_OK")),
                         refusal.value("path", ""), refusal.value("offset", 0u)));
    if (!written) return;
    Bytes out(block.size() + 1);
    size_t length = 0;
    ASSERT_EQ(encode_c(&record, out.data(), out.size(), &length, nullptr), VOK_OK);
    EXPECT_EQ(Bytes(out.data(), out.data() + length), block);
    EXPECT_EQ(encode(cpp).value(), block);
}

// The shared cases of the README's orders and of the readings.
TEST(Generated, SharedVectors) {
    const nlohmann::json vectors = nlohmann::json::parse(std::ifstream(VOK_VECTORS));
    for (const char *key : {"read", "write"})
        for (const nlohmann::json &c : vectors[key]) {
            if (!c.contains("bytes")) continue;
            SCOPED_TRACE(c.dump());
            const bool written = std::string(key) == "write";
            if (c["schema"] == "examples/order.schema.json")
                hold<Order, order::Order>(c, written, Order_decode, Order_encode_to);
            if (c["schema"] == "tests/generated/readings.schema.json")
                hold<Readings, readings::Readings>(c, written, Readings_decode, Readings_encode_to);
        }
}
#endif

} // namespace
