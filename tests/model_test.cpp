// Every reader of records against the model (support/record_model.hpp) on
// every small record: three schemas using each flag at both levels and one
// of the kinds that ride on other items (with defaults); every body
// up to a length at which each repeated field and group can occur max + 1
// times, over each known mark and phrase, an unknown one of each, and a value
// of each class; exact-size heap copies.  vokxRecordNext (every report),
// generated C (the verdict), generated C++ (the status); short bodies also as
// older, newer and another type.  VOK_MODEL_LENGTH caps the length.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#ifdef VOK_MODEL_CASES
#include <deque>
#include <fstream>

#include "record_writing_model.hpp"
#endif

#include "byte_helpers.hpp"
#include "deep.vok.h"
#include "deep.vok.hpp"
#include "flat.vok.h"
#include "flat.vok.hpp"
#include "grouped.vok.h"
#include "grouped.vok.hpp"
#include "record_model.hpp"
#include "wide.vok.h"
#include "wide.vok.hpp"

namespace {

using vok_test::block_of;
using vok_test::Bytes;

struct Readers {
    const vokxSchema *schema;
    size_t length; // of the longest body
    uint16_t (*c)(const uint8_t *, size_t, vokxRecordError *);
    vok::record_status (*cpp)(const uint8_t *, size_t);
    Bytes (*c_again)(const Bytes &);   // decoded and encoded again by the generated C
    Bytes (*cpp_again)(const Bytes &); // and C++
};

// Whether a refused record keeps no count and no presence flag: all that a
// refusal promises of the struct.
bool presence_cleared(const vokxSchema &s, const vokxRecordLayout &layout, const void *record) {
    const auto clear = [](const void *base, const vokxPlace &place, uint32_t flags) {
        const auto *slot = static_cast<const unsigned char *>(base) + place.present;
        if ((flags & VOKX_REPEATED) != 0) return std::memcmp(slot, "\0\0\0\0", 4) == 0;
        return (flags & VOKX_OPTIONAL) == 0 || *slot == 0;
    };
    for (uint32_t i = 0; i < s.field_count; ++i)
        if ((s.fields[i].detail == nullptr || s.fields[i].detail->has_default == 0) &&
            !clear(record, layout.fields[i], s.fields[i].flags))
            return false;
    for (uint32_t g = 0; g < s.group_count; ++g)
        if (!clear(record, layout.groups[g], s.groups[g].flags)) return false;
    return true;
}

// A block decoded and encoded again by the generated C twice, each way on
// its own: the compiled reader and writer (into memory of the exact size),
// and the engine's (vokxRecordDecode, then a stream).  The bytes, or a mark
// of which step failed or differed.
template <typename T>
Bytes again_in_c(const Bytes &b, const vokxSchema &schema, const vokxRecordLayout &layout,
                 uint16_t (*decode)(const uint8_t *, size_t, T *, vokxRecordError *),
                 size_t (*size)(const T *),
                 uint16_t (*encode_to)(const T *, uint8_t *, size_t, size_t *, vokxRecordError *),
                 uint16_t (*encode)(const T *, vokStream *, vokxRecordError *)) {
    T compiled, engine;
    if (decode(b.data(), b.size(), &compiled, nullptr) != VOK_OK) return Bytes();
    if (vokxRecordDecode(&schema, &layout, b.data(), b.size(), &engine, nullptr) != VOK_OK)
        return Bytes{0xEC};
    Bytes written(size(&compiled));
    size_t length = 0;
    if (encode_to(&compiled, written.data(), written.size(), &length, nullptr) != VOK_OK ||
        length != written.size())
        return Bytes{0xEE};
    vokStream s{};
    if (encode(&engine, &s, nullptr) != VOK_OK) return Bytes{0xEF};
    const Bytes by_engine(vokGetData(&s), vokGetData(&s) + vokGetLength(&s));
    vokDestroyStream(vokGetData(&s));
    return by_engine == written ? written : Bytes{0xED};
}

// A schema's table, the longest body, and its generated C and C++ decoders;
// a C refusal that leaves a count or presence flag in the struct (which
// starts as garbage) reads as status 0xFFFF.
// clang-format off
#define VOK_READERS(Type, space, length) Readers{&Type##_schema, length,                           \
    [](const uint8_t *b, size_t n, vokxRecordError *e) { static Type r; std::memset(&r, 0xA5, sizeof r); const uint16_t s = Type##_decode(b, n, &r, e); \
        return s == VOK_OK || s == VOK_OLDER_VERSION || s == VOK_NEWER_VERSION || presence_cleared(Type##_schema, Type##_layout, &r) ? s : uint16_t{0xFFFF}; }, \
    [](const uint8_t *b, size_t n) { static space::Type r; return space::decode(b, n, r); }, \
    [](const Bytes &b) { return again_in_c(b, Type##_schema, Type##_layout, Type##_decode, Type##_encoded_size, \
        Type##_encode_to, Type##_encode); }, \
    [](const Bytes &b) { space::Type r; return space::decode(b.data(), b.size(), r) == vok::status::ok ? space::encode(r).value() : Bytes(); }}
// clang-format on
const Readers kSchemas[] = {VOK_READERS(Flat, flat, 6), VOK_READERS(Grouped, grouped, 5),
                            VOK_READERS(Deep, deep, 7), VOK_READERS(Wide, wide, 5)};

// Known marks of every level, an unknown one, known phrases, an unknown one,
// and a value of each class (flag, unsigned, signed, string, utf8, safe);
// for the wide kinds, plain strings of 4 and 8 bytes (one with a wide
// length field).
std::vector<Bytes> alphabet(const vokxSchema &s) {
    std::set<uint32_t> marks = {99};
    for (uint32_t i = 0; i < s.field_count; ++i)
        marks.insert(s.fields[i].mark);
    std::vector<Bytes> out;
    for (uint32_t g = 0; g < s.group_count; ++g) {
        for (uint32_t i = 0; i < s.groups[g].field_count; ++i)
            marks.insert(s.groups[g].fields[i].mark);
        out.push_back({0xE0, static_cast<uint8_t>(s.groups[g].phrase)});
    }
    for (const uint32_t mark : marks)
        out.push_back({static_cast<uint8_t>(mark)});
    out.insert(out.end(), {{0xE0, 99},
                           {0xCA, 1},
                           {0xD2, 5},
                           {0xD8, 5, 1},
                           {0xCC, 1, 'a'},
                           {0xD0, 1, 'b'},
                           {0xE2, 1}});
    for (uint32_t i = 0; i < s.field_count; ++i) // the carriers of 64-bit and float kinds
        if (s.fields[i].kind >= VOKX_KIND_UNSIGNED64) {
            out.insert(out.end(), {{0xCC, 4, 0x3F, 0x80, 0, 0},
                                   {0xCC, 8, 0x80, 0, 0, 0, 0, 0, 0, 1},
                                   {0xCD, 0, 8, 0, 0, 0, 1, 0, 0, 0, 0}});
            break;
        }
    return out;
}

// Compares every reader with the model on one block; "" or what differs.
std::string disagreement(const Readers &r, const Bytes &block) {
    const size_t n = block.size();
    const std::unique_ptr<uint8_t[]> copy(new uint8_t[n]); // reads past it are caught
    std::memcpy(copy.get(), block.data(), n);
    const vok_model::Verdict model = vok_model::read(*r.schema, copy.get(), n);
    const vok_model::Verdict next = vok_model::engine(*r.schema, copy.get(), n);
    const auto verdict = [](const vok_model::Verdict &v) {
        return std::to_string(v.status) + " " + v.path + " @" + std::to_string(v.offset);
    };
    if (!vok_model::same(next, model))
        return "vokxRecordNext " + verdict(next) + ", model " + verdict(model);
    vokxRecordError error{};
    const uint16_t decoded = r.c(copy.get(), n, &error);
    const bool read = model.status == VOK_END_OF_STREAM;
    const uint16_t expected = read ? model.version : model.status;
    if (decoded != expected ||
        (!read && (error.path != model.path || error.offset != model.offset)))
        return "generated C " + std::to_string(decoded) + " " + error.path + " @" +
               std::to_string(error.offset) + ", model " + verdict(model);
    const vok::record_status cpp = r.cpp(copy.get(), n);
    if (std::tuple(static_cast<uint16_t>(cpp.status()), cpp.path(), cpp.offset()) !=
        std::tuple(expected, read ? std::string_view() : std::string_view(model.path),
                   read ? 0 : model.offset))
        return "generated C++ differs";
    return {};
}

// Calls visit(body) on every body of up to `longest` symbols, in order,
// while visit returns true.
template <typename Visit>
void each_body(const std::vector<Bytes> &symbols, size_t longest, Visit visit) {
    std::vector<size_t> digits;
    for (size_t length = 0; length <= longest; ++length) {
        digits.assign(length, 0);
        for (bool more = true; more;) {
            Bytes body;
            for (const size_t d : digits)
                body.insert(body.end(), symbols[d].begin(), symbols[d].end());
            if (!visit(body)) return;
            more = false; // the next body of this length, as an odometer counts
            for (size_t i = digits.size(); i-- > 0 && !more;)
                more = ++digits[i] < symbols.size() || (digits[i] = 0, false);
        }
    }
}

TEST(Model, EveryReaderAgreesOnEverySmallRecord) {
    const char *cap = std::getenv("VOK_MODEL_LENGTH");
    for (const Readers &r : kSchemas) {
        const vokxSchema &s = *r.schema;
        SCOPED_TRACE(s.name);
        const size_t longest =
            cap != nullptr ? std::min<size_t>(r.length, std::strtoul(cap, nullptr, 10)) : r.length;
        size_t bodies = 0, failures = 0;
        each_body(alphabet(s), longest, [&](const Bytes &body) {
            const auto type = static_cast<uint8_t>(s.type),
                       version = static_cast<uint8_t>(s.version);
            std::vector<Bytes> blocks = {block_of(body, type, version)};
            if (body.size() <= 5) // versions and types through every reader
                blocks.insert(blocks.end(),
                              {block_of(body, type, version - 1), block_of(body, type, version + 1),
                               block_of(body, type + 1, version)});
            for (const Bytes &block : blocks)
                if (const std::string why = disagreement(r, block); !why.empty()) {
                    ADD_FAILURE() << ::testing::PrintToString(block) << ": " << why;
                    ++failures;
                }
            ++bodies;
            return failures < 5;
        });
        std::printf("%s: %zu bodies up to %zu items\n", s.name, bodies, longest);
    }
}

#ifdef VOK_MODEL_CASES
using vok_model::json;
using vok_model::Written;

// A JSON value as the item its field takes.  Values of another type (past
// a record's first fault: never written) give zero.
vokxItem item_of(const vokxFieldSpec &f, const json &v, std::string &storage) {
    vokxItem item{};
    const bool text = f.kind == VOKX_CLASS_STRING || f.kind == VOKX_CLASS_UTF8;
    const int64_t number =
        v.is_number_integer() ? v.get<int64_t>() : v.is_boolean() && v.get<bool>();
    item.value = static_cast<uint32_t>(number);
    item.signed_value = static_cast<int32_t>(number);
    storage = text && (v.is_string() || v.is_object()) ? vok_model::detail::text_of(v) : "";
    item.text = text ? reinterpret_cast<const uint8_t *>(storage.data()) : nullptr;
    item.length = static_cast<uint32_t>(storage.size());
    return item;
}

// A wide field's JSON value as the engine's value (the model reads it);
// past a record's first fault, zero.
vokxValue wide_of(const vokxFieldSpec &f, const json &v) {
    vokxValue value{};
    uint64_t bits = 0;
    try {
        bits = vok_model::detail::wide_value(f, v, "");
    } catch (const vok_model::detail::Refusal &) {
    }
    const auto low = static_cast<uint32_t>(bits);
    if (f.kind == VOKX_KIND_FLOAT32)
        std::memcpy(&value.float32, &low, 4);
    else
        value.unsigned64 = bits;
    return value;
}

bool holds_default(const vokxFieldSpec &f, const vokxValue &value) {
    return f.detail != nullptr && f.detail->has_default != 0 &&
           std::memcmp(&value, &f.detail->default_value, f.kind == VOKX_KIND_FLOAT32 ? 4 : 8) == 0;
}

// A field's or group's values as a list, whatever JSON holds them.
json listed(const json &level, const char *name) {
    const json v = level.is_object() ? level.value(name, json()) : json();
    return v.is_array() ? v : v.is_null() ? json::array() : json::array({v});
}

// The writers below write after an item of the caller's (unsigned 42): on
// success the record's block is what follows it; after a refusal the
// stream must hold that item alone.
Written outcome(const vokxSchema &s, vokStream &stream, uint16_t status, const vokxRecordError &e) {
    Written w{{}, status, status != VOK_OK ? e.path : "", status != VOK_OK ? e.message : ""};
    const auto type = static_cast<uint8_t>(s.type), version = static_cast<uint8_t>(s.version);
    const Bytes block = vok_test::finish(stream);
    if (status != VOK_OK && block != block_of(vok_test::hex("D2 2A"), type, version))
        w.words += " (and the stream moved)";
    if (status == VOK_OK)
        w.bytes = block_of(Bytes(block.begin() + 10, block.end() - 1), type, version);
    return w;
}

// Through vokxRecordBegin, Put, Group and End; one call more must give the
// refusal again, or "the record is ended" once End was called.
Written through_calls(const vokxSchema &s, const json &record) {
    vokStream stream{};
    vokCreateStream(&stream, static_cast<uint8_t>(s.type), s.version);
    vokWriteUnsigned(&stream, 42);
    vokxRecordWriter w;
    vokxRecordError e{};
    vokxRecordBegin(&w, &s, &stream, &e);
    uint16_t status = VOK_OK;
    std::string storage;
    const auto level = [&](const vokxFieldSpec *fields, uint32_t count, const json &values) {
        for (uint32_t i = 0; i < count; ++i)
            for (const json &one : listed(values, fields[i].name)) {
                if (vok_model::detail::wide(fields[i].kind)) {
                    const vokxValue value = wide_of(fields[i], one);
                    if (holds_default(fields[i], value)) continue;
                    if ((status = vokxRecordPutValue(&w, i, &value, &e)) != VOK_OK) return;
                    continue;
                }
                const vokxItem item = item_of(fields[i], one, storage);
                if ((status = vokxRecordPut(&w, i, &item, &e)) != VOK_OK) return;
            }
    };
    level(s.fields, s.field_count, record);
    for (uint32_t g = 0; g < s.group_count && status == VOK_OK; ++g)
        for (const json &o : listed(record, s.groups[g].name))
            if (status == VOK_OK && (status = vokxRecordGroup(&w, g, &e)) == VOK_OK)
                level(s.groups[g].fields, s.groups[g].field_count, o);
    const bool ends = status == VOK_OK;
    if (ends) status = vokxRecordEnd(&w, &e);
    const vokxItem none{};
    const uint16_t later = vokxRecordPut(&w, 0, &none, nullptr);
    Written out = outcome(s, stream, status, e);
    if (later != (ends ? VOK_INVALID_STREAM : status)) out.words += " (and took another call)";
    return out;
}

// Through vokxRecordEncode, with a layout as a person could write it for any
// schema: per field a word for its flag or count, then a slot of 16 bytes
// (room for a vokxText) for each value it may hold.
struct Layout {
    std::vector<vokxPlace> top, groups;
    std::vector<std::vector<vokxPlace>> inner;
    std::vector<const vokxPlace *> inner_places;
    vokxRecordLayout layout{};

    static std::vector<vokxPlace> places(const vokxFieldSpec *f, uint32_t n, uint32_t &size) {
        std::vector<vokxPlace> out;
        for (uint32_t i = 0; i < n; size += 8 + 16 * std::max(f[i].max, 1u), ++i)
            out.push_back({size + 8, size, 16});
        return out;
    }
    explicit Layout(const vokxSchema &s) {
        uint32_t size = 0;
        top = places(s.fields, s.field_count, size);
        for (uint32_t g = 0; g < s.group_count; ++g) {
            uint32_t one = 8;
            inner.push_back(places(s.groups[g].fields, s.groups[g].field_count, one));
            inner_places.push_back(inner.back().data());
            groups.push_back({size + 8, size, one});
            size += 8 + one * std::max(s.groups[g].max, 1u);
        }
        layout = {top.data(), groups.data(), inner_places.data(), size};
    }
};

// Its flag or count: a repeated field's or group's n, or whether it is there.
void count_at(uint8_t *at, uint32_t flags, uint32_t n) {
    const bool present = n > 0;
    if ((flags & VOKX_REPEATED) != 0)
        std::memcpy(at, &n, 4);
    else
        std::memcpy(at, &present, 1);
}

// Stores a level's values where its places say; counts may pass max, the
// values stored stop there.
void fill(uint8_t *at, const vokxPlace *places, const vokxFieldSpec *fields, uint32_t count,
          const json &values, std::deque<std::string> &texts) {
    for (uint32_t i = 0; i < count; ++i) {
        const json list = listed(values, fields[i].name);
        const auto n = static_cast<uint32_t>(list.size());
        count_at(at + places[i].present, fields[i].flags, n);
        if (vok_model::detail::wide(fields[i].kind)) { // a default stands for absence
            const bool absent =
                n == 0 && fields[i].detail != nullptr && fields[i].detail->has_default != 0;
            for (uint32_t k = 0;
                 k < std::min(std::max(n, uint32_t{absent}), std::max(fields[i].max, 1u)); ++k) {
                const vokxValue v =
                    absent ? fields[i].detail->default_value : wide_of(fields[i], list[k]);
                const auto number = static_cast<uint32_t>(v.unsigned64); // an enum's storage
                std::memcpy(at + places[i].offset + k * places[i].stride,
                            fields[i].kind == VOKX_KIND_ENUM ? static_cast<const void *>(&number)
                                                             : &v,
                            fields[i].kind == VOKX_KIND_ENUM ? 4 : sizeof v);
            }
            continue;
        }
        for (uint32_t k = 0; k < std::min(n, std::max(fields[i].max, 1u)); ++k) {
            const vokxItem item = item_of(fields[i], list[k], texts.emplace_back());
            const vokxText text{item.text, item.length};
            uint8_t *value = at + places[i].offset + k * places[i].stride;
            if (fields[i].kind == VOKX_CLASS_FLAG)
                *value = item.value != 0;
            else if (fields[i].kind == VOKX_CLASS_SIGNED)
                std::memcpy(value, &item.signed_value, 4);
            else if (item.text != nullptr)
                std::memcpy(value, &text, sizeof text);
            else
                std::memcpy(value, &item.value, 4);
        }
    }
}

Written through_encode(const vokxSchema &s, const json &record) {
    const Layout l(s);
    std::vector<uint64_t> memory(l.layout.size / 8 + 1);
    auto *at = reinterpret_cast<uint8_t *>(memory.data());
    std::deque<std::string> texts;
    fill(at, l.top.data(), s.fields, s.field_count, record, texts);
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        const json list = listed(record, group.name);
        const auto n = static_cast<uint32_t>(list.size());
        count_at(at + l.groups[g].present, group.flags, n);
        for (uint32_t k = 0; k < std::min(n, std::max(group.max, 1u)); ++k)
            fill(at + l.groups[g].offset + k * l.groups[g].stride, l.inner[g].data(), group.fields,
                 group.field_count, list[k], texts);
    }
    vokStream stream{};
    vokCreateStream(&stream, static_cast<uint8_t>(s.type), s.version);
    vokWriteUnsigned(&stream, 42);
    vokxRecordError e{};
    const uint16_t status = vokxRecordEncode(&s, &l.layout, at, &stream, &e);
    return outcome(s, stream, status, e);
}

std::string hex_of(const Bytes &b) {
    std::string out;
    for (const uint8_t byte : b)
        out += "0123456789abcdef"[byte >> 4], out += "0123456789abcdef"[byte & 15];
    return out;
}

std::string schema_file(const vokxSchema &s) {
    std::string name = s.name;
    name[0] = static_cast<char>(std::tolower(name[0]));
    return "tests/model/" + name + ".schema.json";
}

// Random records through every writer of this program, each agreeing with
// the model: the engine's calls, vokxRecordEncode, and for written records
// the generated C and C++ (decoding and encoding again).  The records, and
// a sample of the small blocks above, with the model's verdicts, are kept
// in tests/model/cases.json, which the tool's and Python's tests answer too:
// it must be what this program makes (VOK_MODEL_UPDATE=1 rewrites it).
TEST(Model, EveryWriterAgreesOnRandomRecords) {
    json writes = json::array(), reads = json::array();
    const auto verdict = [](const Written &w) {
        return std::tuple(hex_of(w.bytes), std::string(vokxStatusName(w.status)), w.path, w.words);
    };
    for (const Readers &r : kSchemas) {
        const vokxSchema &s = *r.schema;
        vok_model::RecordMaker maker(s, 30);
        for (int i = 0; i < 150; ++i) {
            const json record = maker.next();
            const Written model = vok_model::write(s, record);
            SCOPED_TRACE(record.dump() + " " + vokxStatusName(model.status));
            json c = {{"schema", schema_file(s)}, {"record", record}};
            if (model.status == VOK_OK)
                c["bytes"] = hex_of(model.bytes);
            else
                c["refusal"] = {{"status", vokxStatusName(model.status)}, {"path", model.path}};
            if (!model.words.empty()) c["refusal"]["words"] = model.words;
            writes.push_back(c);
            const bool counts =
                model.status == VOKX_TOO_MANY || model.status == VOK_STRING_TOO_LONG;
            if (model.status == VOK_OK || counts || model.status == VOKX_MISSING_FIELD) {
                EXPECT_EQ(verdict(through_calls(s, record)), verdict(model)) << "calls";
            }
            if (model.status == VOK_OK || counts) {
                EXPECT_EQ(verdict(through_encode(s, record)), verdict(model)) << "vokxRecordEncode";
            }
            if (model.status == VOK_OK) {
                EXPECT_EQ(std::tuple(r.c_again(model.bytes), r.cpp_again(model.bytes)),
                          std::tuple(model.bytes, model.bytes));
            }
        }
        size_t n = 0, kept[2] = {0, 0}; // a few of the accepted, fewer of the refused
        each_body(alphabet(s), 3, [&](const Bytes &body) {
            const auto older = static_cast<uint8_t>(++n % 3 == 0); // now and then
            const Bytes block = block_of(body, static_cast<uint8_t>(s.type),
                                         static_cast<uint8_t>(s.version - older));
            const vok_model::Verdict v = vok_model::read(s, block.data(), block.size());
            const bool accepted = v.status == VOK_END_OF_STREAM;
            if (kept[accepted]++ % (accepted ? 5 : 150) != 0) return true;
            json c = {{"schema", schema_file(s)}, {"bytes", hex_of(block)}};
            if (accepted)
                c["record"] = vok_model::dumped(s, block, v);
            else
                c["refusal"] = {
                    {"status", vokxStatusName(v.status)}, {"path", v.path}, {"offset", v.offset}};
            if (v.version != VOK_OK) c["version"] = vokxStatusName(v.version);
            reads.push_back(c);
            return true;
        });
    }
    std::string text = "{\n\"doc\": \"Made by tests/model_test.cpp from the model of records, in "
                       "the form of tests/records_vectors.json.\",\n\"write\": [\n";
    for (const json *list : {&writes, &reads}) {
        for (size_t i = 0; i < list->size(); ++i)
            text += (*list)[i].dump() + (i + 1 < list->size() ? ",\n" : "\n");
        text += list == &writes ? "],\n\"read\": [\n" : "]\n}\n";
    }
    const std::string path = VOK_MODEL_CASES;
    if (std::getenv("VOK_MODEL_UPDATE") != nullptr) std::ofstream(path) << text;
    std::ifstream file(path);
    const std::string committed{std::istreambuf_iterator<char>(file), {}};
    EXPECT_TRUE(committed == text) << path << " is not what the model makes: VOK_MODEL_UPDATE=1";
}
#endif

} // namespace
