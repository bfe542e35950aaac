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
#include "vok32x.h"

namespace {

using vok_test::block_of;
using vok_test::Bytes;
using vok_test::hex;

// The orders of the README, as stream type 1, version 0.
const vokxFieldSpec kOrderFields[] = {
    {"id", 1, VOKX_CLASS_UNSIGNED, 0, 0},
    {"customer", 2, VOKX_CLASS_UTF8, 0, 0},
    {"amount", 3, VOKX_CLASS_SIGNED, VOKX_OPTIONAL, 0},
    {"tags", 4, VOKX_CLASS_STRING, VOKX_REPEATED, 8},
    {"card", 5, VOKX_CLASS_SAFE, VOKX_OPTIONAL, 0},
    {"paid", 6, VOKX_CLASS_FLAG, 0, 0},
};
const vokxFieldSpec kLineFields[] = {{"sku", 20, VOKX_CLASS_STRING, 0, 0},
                                     {"quantity", 21, VOKX_CLASS_UNSIGNED, 0, 0}};
const vokxGroupSpec kOrderGroups[] = {{"lines", 3, VOKX_REPEATED, 2, kLineFields, 2},
                                      {"note", 4, 0, 0, kLineFields, 1}};
const vokxSchema kOrder = {"Order", 1, 0, kOrderFields, 6, kOrderGroups, 2};

// A complete order: id 5, customer "hi", paid, a line, the note.
const char *const kGood =
    "01 D2 05 02 D0 02 68 69 06 CA 01 E0 03 14 CC 01 61 15 D2 02 E0 04 14 CC 00";

struct Read {
    uint16_t status;
    std::vector<std::tuple<int32_t, uint32_t, int32_t, uint32_t>>
        fields; // group, occurrence, field, offset
    vokxRecordError error;
};

Read read(const Bytes &block, const vokxSchema &schema = kOrder) {
    Read r{};
    vokxRecordReader reader;
    r.status = vokxRecordOpen(&reader, &schema, block.data(), block.size(), &r.error);
    if (r.status != VOK_OK && r.status != VOK_OLDER_VERSION && r.status != VOK_NEWER_VERSION)
        return r;
    vokxRecordField f;
    while ((r.status = vokxRecordNext(&reader, &f, &r.error)) == VOK_OK)
        r.fields.emplace_back(f.group, f.occurrence, f.field, f.item.offset);
    EXPECT_EQ(vokxRecordNext(&reader, &f, nullptr), r.status); // the verdict stays
    return r;
}

TEST(Records, SchemaRefusalsNameThePlace) {
    // What changes in a copy of the order schema, the path, the message.
    using Change = std::function<void(vokxSchema &, vokxFieldSpec *, vokxGroupSpec *)>;
    const std::tuple<Change, const char *, const char *> kRefusals[] = {
        {[](auto &s, auto *, auto *) { s.name = "9lives"; }, "name", "is not an identifier"},
        {[](auto &s, auto *, auto *) { s.type = 256; }, "type", "256 is above 255"},
        {[](auto &, auto *f, auto *) { f[0].kind = 7; }, "fields[0].kind", "unknown kind 7"},
        {[](auto &, auto *f, auto *) { f[1].mark = 200; }, "fields[1].mark", "200 is above 199"},
        {[](auto &, auto *f, auto *) { f[2].mark = 1; }, "fields[2].mark", "1 is used twice"},
        {[](auto &, auto *f, auto *) { f[2].name = "id"; }, "fields[2].name",
         "\"id\" is used twice"},
        {[](auto &, auto *f, auto *) { f[3].flags |= VOKX_OPTIONAL; }, "fields[3].optional",
         "never optional"},
        {[](auto &, auto *f, auto *) { f[3].max = 0; }, "fields[3].max", "a max of at least 1"},
        {[](auto &, auto *f, auto *) { f[0].max = 3; }, "fields[0].max", "only a repeated"},
        {[](auto &, auto *, auto *g) { g[1].phrase = 3; }, "groups[1].phrase", "3 is used twice"},
        {[](auto &, auto *, auto *g) { g[0].phrase = 256; }, "groups[0].phrase",
         "256 is above 255"},
        {[](auto &, auto *, auto *g) { g[1].name = "paid"; }, "groups[1].name", "a field's name"},
        {[](auto &, auto *, auto *g) { g[0].fields = nullptr; }, "groups[0].fields", "are missing"},
    };
    vokxRecordError error;
    ASSERT_EQ(vokxSchemaCheck(&kOrder, &error), VOK_OK);
    for (const auto &[change, path, message] : kRefusals) {
        SCOPED_TRACE(path);
        vokxFieldSpec fields[6];
        vokxGroupSpec groups[2];
        std::memcpy(fields, kOrderFields, sizeof fields);
        std::memcpy(groups, kOrderGroups, sizeof groups);
        vokxSchema schema = {"Order", 1, 0, fields, 6, groups, 2};
        change(schema, fields, groups);
        EXPECT_EQ(vokxSchemaCheck(&schema, &error), VOKX_BAD_SCHEMA);
        EXPECT_STREQ(error.path, path);
        EXPECT_NE(std::string(error.message).find(message), std::string::npos) << error.message;
    }
}

// The one reader of schema files: its verdicts on text, each with the place.
TEST(Records, SchemaFilesAreReadByOneReader) {
    const std::string head = R"({"name": "S", "type": 1, "version": 0, )";
    const auto field = [&](const std::string &f) { return head + R"("fields": [)" + f + "]}"; };
    // The kind's value opens level 33 with its 30th bracket, at byte 112.
    const std::string deep(100000, '[');
    // Text, path, part of the message.
    const std::tuple<std::string, const char *, const char *> kRefusals[] = {
        {field(R"({"mark": 1, "name": "ab\u0000", "kind": "flag"})"), "fields[0].name",
         "\"ab\\x00\" is not an identifier"},
        {field(R"({"mark": 1, "name": "\udc80", "kind": "flag"})"), "fields[0].name",
         "not an identifier"},
        {field(R"({"mark": -0, "name": "a", "kind": "flag"})"), "fields[0].mark",
         "must be an integer from 0 to 4294967295"},
        {field(R"({"mark": 1e2, "name": "a", "kind": "flag"})"), "fields[0].mark", "an integer"},
        {field(R"({"mark": 1, "name": "a", "kind": "flag", "kind": "utf8"})"), "fields[0].kind",
         "appears twice"},
        {field(R"({"mark": 1, "name": "a", "kind": )" + deep + "}"), "",
         "nested deeper than 32 at byte 112"},
        {field(R"({"mark": 1, "name": "a", "kind": "int"})"), "fields[0].kind",
         "unknown kind \"int\""},
        {field(R"({"mark": 1, "name": "a", "kind": "flag", "colour": 1})"), "fields[0].colour",
         "is not a key of the schema format"},
        {head + R"("groups": [{"phrase": 1, "name": "g", "fields": [], "groups": []}]})",
         "groups[0].groups", "groups cannot nest"},
        {head + R"("groups": [{"phrase": 1, "name": "g"}]})", "groups[0].fields", "is required"},
        {head + "\"doc\": \"\xff\"}", "", "not JSON: bytes that are not UTF-8 at byte 47"},
        {std::string("\xff\xfe{\0}\0", 6), "", "not JSON: bytes that are not UTF-8 at byte 0"},
        {R"({"name": "S", "type": 1, "version": 0} x)", "", "text after the JSON value at byte 39"},
        {R"({"name": "S", "type": 1})", "version", "is required"},
    };
    for (const auto &[text, path, message] : kRefusals) {
        SCOPED_TRACE(text.substr(0, 120));
        vokxSchemaDocument *document = nullptr;
        vokxRecordError error;
        EXPECT_EQ(vokxSchemaParse(text.data(), text.size(), &document, &error), VOKX_BAD_SCHEMA);
        EXPECT_EQ(document, nullptr);
        EXPECT_STREQ(error.path, path);
        EXPECT_NE(std::string(error.message).find(message), std::string::npos) << error.message;
    }
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

// The rules themselves are held to the model (model_test.cpp); here, what
// its alphabet lacks: bytes that are no item, or an item cut short.
TEST(Records, BytesThatAreNoItemAreRefusedWhereTheyStand) {
    const std::tuple<std::string, uint32_t> kRefusals[] = {{"01 D2 05 E1 00", 11},
                                                           {"01 D2 05 02 D1 00 09 61", 12}};
    for (const auto &[body, offset] : kRefusals) {
        const Read r = read(block_of(hex(body)));
        EXPECT_EQ(std::tuple(r.status, std::string(r.error.path), r.error.offset),
                  std::tuple(VOK_INVALID_STREAM, std::string(), offset))
            << body;
    }
    Bytes other = block_of(hex(kGood));
    other[5] = 2; // another stream type
    EXPECT_EQ(std::tuple(read(other).status, read(other).error.offset),
              std::tuple(VOK_WRONG_STREAM_TYPE, 5u)); // the type byte
}

vokxItem number(uint32_t value) { return vokxItem{0, 0, 0, value, 0, nullptr, 0}; }
// What the writer puts, what it refuses and what a refusal leaves: the
// model's random records (model_test.cpp).  Here, the misuse a record in
// JSON cannot express: calls out of order, a field or group that does not
// exist, a group begun before a required top-level field.
TEST(Records, CallsOutOfOrderAreRefusedAndLeaveTheStream) {
    using Steps = std::function<uint16_t(vokxRecordWriter &, vokxRecordError &)>;
    const vokxItem one = number(1);
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
    const vokxFieldSpec fields[] = {{"vals", 1, VOKX_CLASS_UNSIGNED, VOKX_REPEATED, 2}};
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
        EXPECT_EQ(read(vok_test::finish(s), kSchemas[i]).status, VOK_END_OF_STREAM);
    }
}

} // namespace
