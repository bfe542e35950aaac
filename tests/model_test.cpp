// Every reader of records against the model (support/record_model.hpp) on
// every small record: three schemas using each flag at both levels; every body
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

#include "byte_helpers.hpp"
#include "deep.vok.h"
#include "deep.vok.hpp"
#include "flat.vok.h"
#include "flat.vok.hpp"
#include "grouped.vok.h"
#include "grouped.vok.hpp"
#include "record_model.hpp"

namespace {

using vok_test::block_of;
using vok_test::Bytes;

struct Readers {
    const vokxSchema *schema;
    size_t length; // of the longest body
    uint16_t (*c)(const uint8_t *, size_t, vokxRecordError *);
    vok::status (*cpp)(const uint8_t *, size_t);
};

// A schema's table, the longest body, and its generated C and C++ decoders;
// a C refusal that leaves anything in the struct reads as status 0xFFFF.
// clang-format off
#define VOK_READERS(Type, space, length) Readers{&Type##_schema, length,                           \
    [](const uint8_t *b, size_t n, vokxRecordError *e) { static Type r; static const Type none{}; const uint16_t s = Type##_decode(b, n, &r, e); \
        return s == VOK_OK || s == VOK_OLDER_VERSION || s == VOK_NEWER_VERSION || std::memcmp(&r, &none, sizeof r) == 0 ? s : uint16_t{0xFFFF}; }, \
    [](const uint8_t *b, size_t n) { static space::Type r; return space::decode(b, n, r); }}
// clang-format on
const Readers kSchemas[] = {VOK_READERS(Flat, flat, 6), VOK_READERS(Grouped, grouped, 5),
                            VOK_READERS(Deep, deep, 7)};

// Known marks of every level, an unknown one, known phrases, an unknown one,
// and a value of each class (flag, unsigned, signed, string, utf8, safe).
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
    out.insert(
        out.end(),
        {{0xE0, 99}, {0xCA, 1}, {0xD2, 5}, {0xD8, 5}, {0xCC, 1, 'a'}, {0xD0, 1, 'b'}, {0xE2, 1}});
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
    if (static_cast<uint16_t>(r.cpp(copy.get(), n)) != expected) return "generated C++ differs";
    return {};
}

TEST(Model, EveryReaderAgreesOnEverySmallRecord) {
    const char *cap = std::getenv("VOK_MODEL_LENGTH");
    for (const Readers &r : kSchemas) {
        const vokxSchema &s = *r.schema;
        SCOPED_TRACE(s.name);
        const std::vector<Bytes> symbols = alphabet(s);
        const size_t longest =
            cap != nullptr ? std::min<size_t>(r.length, std::strtoul(cap, nullptr, 10)) : r.length;
        size_t bodies = 0, failures = 0;
        std::vector<size_t> digits;
        for (size_t length = 0; length <= longest && failures < 5; ++length) {
            digits.assign(length, 0);
            for (bool more = true; more && failures < 5; ++bodies) {
                Bytes body;
                for (const size_t d : digits)
                    body.insert(body.end(), symbols[d].begin(), symbols[d].end());
                const auto type = static_cast<uint8_t>(s.type),
                           version = static_cast<uint8_t>(s.version);
                std::vector<Bytes> blocks = {block_of(body, type, version)};
                if (length <= 2) // versions and types through every reader
                    blocks.insert(blocks.end(), {block_of(body, type, version - 1),
                                                 block_of(body, type, version + 1),
                                                 block_of(body, type + 1, version)});
                for (const Bytes &block : blocks)
                    if (const std::string why = disagreement(r, block); !why.empty()) {
                        ADD_FAILURE() << ::testing::PrintToString(block) << ": " << why;
                        ++failures;
                    }
                more = false; // the next body of this length, as an odometer counts
                for (size_t i = digits.size(); i-- > 0 && !more;)
                    more = ++digits[i] < symbols.size() || (digits[i] = 0, false);
            }
        }
        std::printf("%s: %zu bodies up to %zu items\n", s.name, bodies, longest);
    }
}

} // namespace
