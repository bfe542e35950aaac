// The records engine through vok32x.h: schema checks, the reading rules on
// hand-made blocks (every refusal with its path, offset and status), and
// records written by the engine read back field by field.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "byte_helpers.hpp"
#ifdef VOK_SCHEMA_VECTORS
#include <fstream>
#include <nlohmann/json.hpp>
#endif
#include "vok32x.h"

namespace {

using vok_test::block_of;
using vok_test::Bytes;
using vok_test::hex;

// The orders of the README, as stream type 1, version 0.
const vokxFieldSpec kOrderFields[] = {
    {"id", 1, VOKX_CLASS_UNSIGNED, 0, 0, nullptr},
    {"customer", 2, VOKX_CLASS_UTF8, 0, 0, nullptr},
    {"amount", 3, VOKX_CLASS_SIGNED, VOKX_OPTIONAL, 0, nullptr},
    {"tags", 4, VOKX_CLASS_STRING, VOKX_REPEATED, 8, nullptr},
    {"card", 5, VOKX_CLASS_SAFE, VOKX_OPTIONAL, 0, nullptr},
    {"paid", 6, VOKX_CLASS_FLAG, 0, 0, nullptr},
};
const vokxFieldSpec kLineFields[] = {{"sku", 20, VOKX_CLASS_STRING, 0, 0, nullptr},
                                     {"quantity", 21, VOKX_CLASS_UNSIGNED, 0, 0, nullptr}};
const vokxGroupSpec kOrderGroups[] = {{"lines", 3, VOKX_REPEATED, 2, kLineFields, 2},
                                      {"note", 4, 0, 0, kLineFields, 1}};
const vokxSchema kOrder = {"Order", 1, 0, kOrderFields, 6, kOrderGroups, 2};

// Reading a block to its verdict.
uint16_t read(const Bytes &block, const vokxSchema &schema) {
    vokxRecordReader reader;
    vokxRecordField f;
    uint16_t status = vokxRecordOpen(&reader, &schema, block.data(), block.size(), nullptr);
    while (status == VOK_OK)
        status = vokxRecordNext(&reader, &f, nullptr);
    return status;
}

#ifdef VOK_SCHEMA_VECTORS
// The one reader of schema files: its refusals (tests/schema_vectors.json,
// which Python's tests read too), each with its place.
TEST(Records, SchemaFilesAreReadByOneReader) {
    std::ifstream file(VOK_SCHEMA_VECTORS);
    const nlohmann::json vectors = nlohmann::json::parse(file);
    for (const nlohmann::json &c : vectors["refusals"]) {
        nlohmann::json schema = vectors["base"];
        const nlohmann::json set = c.value("set", nlohmann::json::object());
        for (const auto &[pointer, value] : set.items())
            schema[nlohmann::json::json_pointer(pointer)] = value;
        std::string text = c.contains("text") ? c["text"].get<std::string>() : schema.dump();
        if (c.contains("hex")) {
            const Bytes bytes = hex(c["hex"]);
            text.assign(bytes.begin(), bytes.end());
        }
        text += std::string(c.value("times", 0u), c.value("repeat", " ")[0]);
        SCOPED_TRACE(text.substr(0, 120));
        vokxSchemaDocument *document = nullptr;
        vokxRecordError error;
        EXPECT_EQ(vokxSchemaParse(text.data(), text.size(), &document, &error), VOKX_BAD_SCHEMA);
        EXPECT_EQ(document, nullptr);
        EXPECT_EQ(error.path, c["path"].get<std::string>());
        EXPECT_NE(std::string(error.message).find(c["words"].get<std::string>()), std::string::npos)
            << error.message;
    }
    // What a file cannot say: a C table's array missing.
    vokxGroupSpec groups[2];
    std::memcpy(groups, kOrderGroups, sizeof groups);
    groups[0].fields = nullptr;
    const vokxSchema broken = {"Order", 1, 0, kOrderFields, 6, groups, 2};
    vokxRecordError error;
    EXPECT_EQ(vokxSchemaCheck(&broken, &error), VOKX_BAD_SCHEMA);
    EXPECT_STREQ(error.path, "groups[0].fields");
    const std::string head = R"({"name": "S", "type": 1, "version": 0, )";
    // A byte order mark is skipped; the document owns what the schema points to.
    const std::string text = "\xEF\xBB\xBF" + head +
                             R"("fields": [{"mark": 4, "name": "tags", "kind": "string", )"
                             R"("repeated": true, "max": 8, "doc": "\u00e9"}], "groups": [)"
                             R"({"phrase": 3, "name": "g", "optional": true, "fields": []}]})";
    vokxSchemaDocument *document = nullptr;
    ASSERT_EQ(vokxSchemaParse(text.data(), text.size(), &document, nullptr), VOK_OK);
    const vokxSchema &s = *vokxSchemaOf(document);
    const vokxFieldSpec &f = s.fields[0];
    EXPECT_EQ(std::tuple(std::string(s.name) + f.name + s.groups[0].name, s.type, f.mark, f.kind,
                         f.flags, f.max, s.groups[0].flags, s.field_count + s.group_count),
              std::tuple(std::string("Stagsg"), 1u, 4u, 4u, 2u, 8u, 1u, 2u));
    vokxSchemaFree(document);
}

#endif

// What the writer puts, what it refuses and what a refusal leaves: the
// model's random records (model_test.cpp).  Here, the misuse a record in
// JSON cannot express: calls out of order, a field or group that does not
// exist, a group begun before a required top-level field.
TEST(Records, CallsOutOfOrderAreRefusedAndLeaveTheStream) {
    using Steps = std::function<uint16_t(vokxRecordWriter &, vokxRecordError &)>;
    const vokxItem one{0, 0, 0, 1, 0, nullptr, 0};
    const std::tuple<Steps, uint16_t, const char *> kRefusals[] = {
        {[&](auto &w, auto &e) {
             return vokxRecordPut(&w, 1, &one, &e) | vokxRecordPut(&w, 0, &one, &e);
         },
         VOKX_BAD_FIELD, ""},
        {[&](auto &w, auto &e) { return vokxRecordPut(&w, 6, &one, &e); }, VOKX_BAD_FIELD, ""},
        {[&](auto &w, auto &e) { return vokxRecordGroup(&w, 0, &e); }, VOKX_MISSING_FIELD, "id"},
    };
    for (const auto &[steps, status, path] : kRefusals) {
        SCOPED_TRACE(path);
        vokStream s{};
        ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
        ASSERT_EQ(vokWriteUnsigned(&s, 42), VOK_OK); // what the caller had written
        vokxRecordWriter w;
        vokxRecordError e;
        ASSERT_EQ(vokxRecordBegin(&w, &kOrder, &s, &e), VOK_OK);
        EXPECT_EQ(steps(w, e), status);
        EXPECT_EQ(std::tuple(e.status, std::string(e.path)), std::tuple(status, std::string(path)));
        EXPECT_EQ(vokxRecordPut(&w, 0, &one, nullptr), status);
        EXPECT_EQ(vok_test::finish(s), block_of(hex("D2 2A")));
    }
}

// A count above max is refused before any element is read: the caller's
// array holds max elements, and here it ends at an inaccessible page.
TEST(Records, WholeRecordCountsAreCheckedBeforeTheirArrays) {
    struct Vals {
        uint32_t count;
        uint32_t vals[2];
    };
    const vokxFieldSpec fields[] = {{"vals", 1, VOKX_CLASS_UNSIGNED, VOKX_REPEATED, 2, nullptr}};
    const vokxGroupSpec groups[] = {{"g", 1, VOKX_REPEATED, 2, fields, 1}}; // the same array
    const vokxPlace places[] = {{offsetof(Vals, vals), offsetof(Vals, count), 4}}, inner[1] = {};
    const vokxPlace *const group_fields[] = {inner};
    const vokxSchema kSchemas[] = {{"F", 1, 0, fields, 1, nullptr, 0},
                                   {"G", 1, 0, nullptr, 0, groups, 1}};
    const vokxRecordLayout kLayouts[] = {{places, nullptr, nullptr, sizeof(Vals)},
                                         {nullptr, places, group_fields, sizeof(Vals)}};
    uint8_t *const end = vok_test::guarded_end(sizeof(Vals));
    ASSERT_NE(end, nullptr);
    auto *record = reinterpret_cast<Vals *>(end - sizeof(Vals));
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(kSchemas[i].name);
        *record = Vals{3, {1, 2}};
        vokStream s{};
        ASSERT_EQ(vokCreateStream(&s, 1, 0), VOK_OK);
        vokxRecordError e;
        EXPECT_EQ(vokxRecordEncode(&kSchemas[i], &kLayouts[i], record, &s, &e), VOKX_TOO_MANY);
        EXPECT_STREQ(e.path, i == 0 ? "vals" : "g[2]");
        record->count = 2;
        EXPECT_EQ(vokxRecordEncode(&kSchemas[i], &kLayouts[i], record, &s, &e), VOK_OK);
        EXPECT_EQ(read(vok_test::finish(s), kSchemas[i]), VOK_END_OF_STREAM);
    }
}

// Values given to the engine whole (vokxRecordPutValue, vokxRecordPut with
// a carrier) and taken back (vokxFieldValue): each refusal, and a value
// that fits, written in its narrowest carrier.
TEST(Records, ValuesAreCheckedAgainstTheirKinds) {
    const vokxFieldSpec fields[] = {{"u", 1, VOKX_KIND_UNSIGNED, VOKX_OPTIONAL, 0, nullptr},
                                    {"s", 2, VOKX_KIND_SIGNED, VOKX_OPTIONAL, 0, nullptr},
                                    {"f", 3, VOKX_KIND_FLAG, VOKX_OPTIONAL, 0, nullptr},
                                    {"n", 4, VOKX_KIND_SAFE, VOKX_OPTIONAL, 0, nullptr},
                                    {"t", 5, VOKX_KIND_UTF8, VOKX_OPTIONAL, 0, nullptr},
                                    {"e", 6, VOKX_KIND_ENUM, VOKX_OPTIONAL, 0, nullptr},
                                    {"w", 7, VOKX_KIND_UNSIGNED64, VOKX_REPEATED, 4, nullptr},
                                    {"d", 8, VOKX_KIND_FLOAT64, VOKX_OPTIONAL, 0, nullptr}};
    const vokxSchema schema = {"V", 1, 0, fields, 8, nullptr, 0};
    const struct {
        uint32_t field;
        uint64_t value;
        uint16_t status;
    } puts[] = {{0, 1ull << 32, VOK_WRONG_TYPE}, {1, 1ull << 31, VOK_WRONG_TYPE},
                {2, 2, VOK_WRONG_TYPE},          {3, 65536, VOK_STRING_TOO_LONG},
                {4, 0, VOK_WRONG_TYPE},          {5, 1ull << 32, VOK_WRONG_TYPE},
                {6, UINT64_MAX, VOK_OK}};
    for (const auto &p : puts) {
        vokStream stream{};
        ASSERT_EQ(vokCreateStream(&stream, 1, 0), VOK_OK);
        vokxRecordWriter w;
        vokxRecordBegin(&w, &schema, &stream, nullptr);
        vokxValue value{};
        value.unsigned64 = p.value;
        EXPECT_EQ(vokxRecordPutValue(&w, p.field, &value, nullptr), p.status) << p.field;
        vok_test::finish(stream);
    }
    // vokxRecordPut takes any carrier of a wide kind, as read, and writes the
    // narrowest: an 8-byte string holding a small value becomes a number.
    const uint8_t small[8] = {0, 0, 0, 0, 0, 0, 0, 5}, seven[7] = {};
    vokxItem carrier{VOK_STRING_2, 0, 0, 0, 0, small, 8};
    vokStream stream{};
    ASSERT_EQ(vokCreateStream(&stream, 1, 0), VOK_OK);
    vokxRecordWriter w;
    vokxRecordBegin(&w, &schema, &stream, nullptr);
    EXPECT_EQ(vokxRecordPut(&w, 6, &carrier, nullptr), VOK_OK);
    EXPECT_EQ(vok_test::finish(stream), block_of(hex("07 D2 05"), 1, 0));
    vokxItem item{};
    vokxValue value{};
    EXPECT_EQ(vokxFieldValue(&fields[6], &carrier, &value), VOK_OK);
    EXPECT_EQ(value.unsigned64, 5u);
    for (const vokxItem &refused : {vokxItem{VOK_STRING_1, 0, 0, 0, 0, seven, 7},
                                    vokxItem{VOK_STRING_1, 0, 0, 0, 0, nullptr, 8},
                                    vokxItem{VOK_SIGNED_1, 0, 0, 0, 1, nullptr, 0}}) {
        EXPECT_EQ(vokxFieldValue(&fields[6], &refused, &value), VOK_WRONG_TYPE);
        item = refused;
    }
    EXPECT_EQ(vokxFieldValue(&fields[4], &item, &value), VOK_WRONG_TYPE); // a text kind
    // vokxValueFormat cuts to the room given and tells the length it needs.
    char text[4];
    value.float64 = -0.0;
    EXPECT_EQ(vokxValueFormat(&fields[7], &value, text, sizeof text), 4u);
    EXPECT_STREQ(text, "-0.");
    EXPECT_EQ(vokxValueFormat(&fields[7], &value, nullptr, 0), 4u);
}

} // namespace
