// Code that vok gen writes, C and C++, on the README's orders and on a schema of
// every kind and shape: each side reads what the other wrote, refusals leave
// nothing behind, the shared vectors hold (hostile blocks: model_test, fuzz).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#ifdef VOK_VECTORS
#include <nlohmann/json.hpp>
#endif

#include "kinds.vok.h"
#include "kinds.vok.hpp"
#include "order.vok.h"
#include "order.vok.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

vokxText text(const char *s, std::uint32_t n) {
    return {reinterpret_cast<const std::uint8_t *>(s), n};
}

Order order_in_c() {
    Order o;
    std::memset(&o, 0, sizeof o);
    o.id = 70000;
    o.customer = text("Gr\xC3\xBC\xC3\x9F"
                      "e",
                      7);
    o.has_amount = true;
    o.amount = -5;
    o.tags_count = 2;
    o.tags[0] = text("a\0b", 3);
    o.tags[1] = text("", 0);
    o.paid = true;
    o.lines_count = 2;
    o.lines[0] = {text("X1", 2), 2};
    o.lines[1] = {text("Y", 1), 1};
    return o;
}

TEST(Generated, EveryKindAndShapeRoundTrips) {
    kinds::Kinds k;
    k.f = true, k.u = 4000000000u, k.s = INT32_MIN, k.b = std::string("\0\xff", 2), k.t = "t",
    k.n = 65535;
    k.ou = 0, k.ob = "", k.rf = {true, false}, k.rs = {-1, 1, 0}, k.rt = {"x", "", "z"}, k.rn = {3};
    k.maybe.emplace();
    k.maybe->z = {7};
    k.many = {{"m1"}, {"m2"}, {""}};
    k.one.x = 9;
    const Bytes block = kinds::encode(k);
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
    const Bytes small = kinds::encode(plain);
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
    const Bytes block = kinds::encode(k);
    Kinds c;
    ASSERT_EQ(Kinds_decode(block.data(), block.size(), &c, nullptr), VOK_OK);
    vokStream out;
    ASSERT_EQ(Kinds_encode(&c, &out, nullptr), VOK_OK);
    EXPECT_EQ(Bytes(vokGetData(&out), vokGetData(&out) + vokGetLength(&out)), block);
    vokDestroyStream(vokGetData(&out));
    ASSERT_EQ(vokCreateStream(&out, 9, 1), VOK_OK);
    const uint32_t start = out.position;
    c.b.length = 65536; // over a plain string's limit, after items already gathered
    EXPECT_EQ(Kinds_write(&out, &c, nullptr), VOK_STRING_TOO_LONG);
    c.b.length = 600;
    c.many[1].w.length = 65536; // after long items were appended
    EXPECT_EQ(Kinds_write(&out, &c, nullptr), VOK_STRING_TOO_LONG);
    EXPECT_EQ(out.position, start);
    ASSERT_EQ(vokCloseStream(&out), VOK_OK);
    vokDestroyStream(vokGetData(&out));
}

// Decoding refusals are held to the model (model_test.cpp).
TEST(Generated, EncodingRefusalsLeaveNothingBehind) {
    Order o = order_in_c();
    o.tags_count = 9; // over its array
    vokStream out;
    vokxRecordError e;
    EXPECT_EQ(Order_encode(&o, &out, &e), VOKX_TOO_MANY);
    EXPECT_STREQ(e.path, "tags");
    EXPECT_EQ(std::make_tuple(out.data, out.active), std::make_tuple(nullptr, 0u));
    order::Order cpp;
    cpp.tags.assign(9, "t");
    EXPECT_TRUE(order::encode(cpp).empty());
}

#ifdef VOK_VECTORS
Bytes encoded_in_c(const Order &o) {
    vokStream out;
    if (Order_encode(&o, &out, nullptr) != VOK_OK) return {};
    Bytes block(vokGetData(&out), vokGetData(&out) + vokGetLength(&out));
    vokDestroyStream(vokGetData(&out));
    return block;
}

// The shared cases of the README's orders, through the generated C and C++.
Bytes bytes_of(const std::string &hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string text_of(const nlohmann::json &v) {
    const Bytes raw = v.is_string() ? Bytes() : bytes_of(v["hex"]);
    return v.is_string() ? v.get<std::string>() : std::string(raw.begin(), raw.end());
}

order::Order order_of(const nlohmann::json &j) {
    order::Order o;
    o.id = j["id"], o.customer = text_of(j["customer"]), o.paid = j["paid"];
    if (j.contains("amount")) o.amount = j["amount"].get<std::int32_t>();
    if (j.contains("card")) o.card = j["card"].get<std::uint32_t>();
    for (const nlohmann::json &tag : j.value("tags", nlohmann::json::array()))
        o.tags.push_back(text_of(tag));
    for (const nlohmann::json &line : j.value("lines", nlohmann::json::array()))
        o.lines.push_back({text_of(line["sku"]), line["quantity"]});
    return o;
}

TEST(Generated, SharedVectors) {
    std::ifstream file(VOK_VECTORS);
    const nlohmann::json vectors = nlohmann::json::parse(file);
    for (const nlohmann::json &c : vectors["read"]) {
        if (c["schema"] != "examples/order.schema.json") continue;
        SCOPED_TRACE(c.dump());
        const Bytes block = bytes_of(c["bytes"]);
        Order read;
        vokxRecordError e;
        const std::uint16_t status = Order_decode(block.data(), block.size(), &read, &e);
        const vok::result<order::Order> cpp = order::decode(block.data(), block.size());
        if (c.contains("record")) {
            EXPECT_EQ(vokxStatusName(status), c.value("version", std::string("VOK_OK")));
            EXPECT_EQ(cpp.value(), order_of(c["record"]));
        } else {
            const nlohmann::json &r = c["refusal"];
            EXPECT_EQ(
                std::tuple(std::string(vokxStatusName(status)), std::string(e.path), e.offset),
                std::tuple(r["status"].get<std::string>(), r["path"].get<std::string>(),
                           r["offset"].get<std::uint32_t>()));
            EXPECT_EQ(static_cast<std::uint16_t>(cpp.status()), status);
        }
    }
    for (const nlohmann::json &c : vectors["write"])
        if (c["schema"] == "examples/order.schema.json" && c.contains("bytes")) {
            const Bytes block = bytes_of(c["bytes"]);
            EXPECT_EQ(order::encode(order_of(c["record"])), block) << c;
            Order read;
            ASSERT_EQ(Order_decode(block.data(), block.size(), &read, nullptr), VOK_OK);
            EXPECT_EQ(encoded_in_c(read), block);
        }
}
#endif

} // namespace
