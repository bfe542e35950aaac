// The records engine against itself and against hostile bytes.  The input
// draws a schema of any kinds and a record that keeps every rule of it: the engine writes
// the record, reads back the same fields in the same order, and vokxNextItem
// walks the block to its end.  The rest of the input is read as a block by
// the same schema from an exact-size heap copy, so that any read outside the
// bytes given is reported.  The same bytes go through the code vok gen writes
// for the README's orders, C and C++, which must agree with each other and
// with the plain model of the rules (tests/support/record_model.hpp).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "order.vok.h"
#include "order.vok.hpp"
#include "record_model.hpp"
#include "vok32x.h"

namespace {

// Draws numbers from the input; past its end, zeros.
struct Draw {
    const uint8_t *data;
    size_t size;
    size_t used = 0;
    uint32_t byte() { return used < size ? data[used++] : 0; }
    uint32_t below(uint32_t n) { return byte() % n; }
    uint32_t word() { return byte() << 24 | byte() << 16 | byte() << 8 | byte(); }
};

[[noreturn]] void fail(const char *what, const vokxRecordError &e) {
    std::fprintf(stderr, "%s: %s: %s (%u)\n", what, e.path, e.message, e.status);
    std::abort();
}

const char *const kNames[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"};
const uint32_t kKinds[] = {VOKX_KIND_FLAG,       VOKX_KIND_UNSIGNED, VOKX_KIND_SIGNED,
                           VOKX_KIND_STRING,     VOKX_KIND_UTF8,     VOKX_KIND_SAFE,
                           VOKX_KIND_UNSIGNED64, VOKX_KIND_SIGNED64, VOKX_KIND_FLOAT32,
                           VOKX_KIND_FLOAT64,    VOKX_KIND_ENUM,     VOKX_KIND_TIMESTAMP};

bool wide(uint32_t kind) { return kind >= VOKX_KIND_UNSIGNED64; }

// A value of a wide kind, any bits its storage holds (an enum's 32).
vokxValue wide_value(Draw &d, uint32_t kind) {
    vokxValue v{};
    const uint64_t high = d.word(), low = d.word();
    const uint64_t bits = d.below(2) == 0 ? low >> d.below(32) : high << 32 | low;
    v.unsigned64 = kind == VOKX_KIND_ENUM ? bits & UINT32_MAX : bits;
    if (kind == VOKX_KIND_FLOAT32) {
        const auto narrow = static_cast<uint32_t>(bits);
        std::memcpy(&v.float32, &narrow, sizeof narrow);
    }
    return v;
}

// A wide value as the event holds it: its storage's bytes.
std::string wide_bytes(uint32_t kind, const vokxValue &v) {
    return std::string(reinterpret_cast<const char *>(&v), kind == VOKX_KIND_FLOAT32 ? 4 : 8);
}

struct RandomSchema {
    vokxFieldSpec fields[4][6];
    vokxGroupSpec groups[3];
    vokxSchema schema{};

    uint32_t draw_fields(Draw &d, vokxFieldSpec *out, uint32_t first_name) {
        const uint32_t count = d.below(7) % 6;
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t shape = d.below(3); // required, optional, repeated
            out[i] = {kNames[first_name + i],
                      10 * i + d.below(10),
                      kKinds[d.below(12)],
                      shape == 0   ? 0u
                      : shape == 1 ? VOKX_OPTIONAL
                                   : VOKX_REPEATED,
                      shape == 2 ? 1 + d.below(3) : 0,
                      nullptr};
        }
        return count;
    }

    explicit RandomSchema(Draw &d) {
        schema = {"R",    d.byte(),  d.word(), fields[0], draw_fields(d, fields[0], 0),
                  groups, d.below(4)};
        for (uint32_t g = 0; g < schema.group_count; ++g) {
            const uint32_t shape = d.below(3);
            groups[g] = {kNames[6 + g],
                         50 * g + d.below(50),
                         shape == 0   ? 0u
                         : shape == 1 ? VOKX_OPTIONAL
                                      : VOKX_REPEATED,
                         shape == 2 ? 1 + d.below(3) : 0,
                         fields[g + 1],
                         0};
            groups[g].field_count = draw_fields(d, fields[g + 1], 0);
        }
    }
};

// How many times a field or group with these flags occurs in the record.
uint32_t occurrences(Draw &d, uint32_t flags, uint32_t max) {
    if (flags & VOKX_REPEATED) return d.below(max + 1);
    return (flags & VOKX_OPTIONAL) ? d.below(2) : 1;
}

using Event = std::tuple<int32_t, uint32_t, int32_t, uint32_t, int32_t, std::string>;

vokxItem value_for(Draw &d, uint32_t kind, std::string &text) {
    vokxItem v{};
    v.value = kind == VOKX_CLASS_FLAG   ? d.below(2)
              : kind == VOKX_CLASS_SAFE ? d.word() % 70000
                                        : d.word();
    v.signed_value = static_cast<int32_t>(d.word());
    text.assign(d.below(300), static_cast<char>(d.byte()));
    if (kind == VOKX_CLASS_STRING || kind == VOKX_CLASS_UTF8) {
        v.text = reinterpret_cast<const uint8_t *>(text.data());
        v.length = static_cast<uint32_t>(text.size());
    }
    return v;
}

Event event_of(int32_t group, uint32_t occurrence, int32_t field, uint32_t kind,
               const vokxItem &v) {
    const bool is_text = kind == VOKX_CLASS_STRING || kind == VOKX_CLASS_UTF8;
    return {group,
            occurrence,
            field,
            kind == VOKX_CLASS_SIGNED || is_text ? 0 : v.value,
            kind == VOKX_CLASS_SIGNED ? v.signed_value : 0,
            is_text ? std::string(reinterpret_cast<const char *>(v.text), v.length) : ""};
}

// Writes one level's fields, recording what the reader must report.
bool put_level(Draw &d, vokxRecordWriter &w, const vokxFieldSpec *fields, uint32_t count,
               int32_t group, uint32_t occurrence, std::vector<Event> &expected) {
    vokxRecordError e;
    for (uint32_t i = 0; i < count; ++i)
        for (uint32_t n = occurrences(d, fields[i].flags, fields[i].max); n > 0; --n) {
            if (wide(fields[i].kind)) {
                const vokxValue value = wide_value(d, fields[i].kind);
                if (vokxRecordPutValue(&w, i, &value, &e) != VOK_OK) fail("put value", e);
                expected.emplace_back(group, occurrence, static_cast<int32_t>(i), 0, 0,
                                      wide_bytes(fields[i].kind, value));
                continue;
            }
            std::string text;
            const vokxItem v = value_for(d, fields[i].kind, text);
            const uint16_t status = vokxRecordPut(&w, i, &v, &e);
            if (status == VOK_STRING_TOO_LONG && fields[i].kind == VOKX_CLASS_SAFE) return false;
            if (status != VOK_OK) fail("put", e);
            expected.push_back(
                event_of(group, occurrence, static_cast<int32_t>(i), fields[i].kind, v));
        }
    return true;
}

void round_trip(Draw &d, const vokxSchema &s) {
    vokStream stream{};
    vokxRecordWriter w;
    vokxRecordError e;
    std::vector<Event> expected, seen;
    if (vokCreateStream(&stream, static_cast<uint8_t>(s.type), s.version) != VOK_OK) std::abort();
    vokxRecordBegin(&w, &s, &stream, &e);
    bool written = put_level(d, w, s.fields, s.field_count, -1, 0, expected);
    for (uint32_t g = 0; written && g < s.group_count; ++g)
        for (uint32_t n = 0, count = occurrences(d, s.groups[g].flags, s.groups[g].max);
             written && n < count; ++n) {
            if (vokxRecordGroup(&w, g, &e) != VOK_OK) fail("group", e);
            written = put_level(d, w, s.groups[g].fields, s.groups[g].field_count,
                                static_cast<int32_t>(g), n, expected);
        }
    if (written && vokxRecordEnd(&w, &e) != VOK_OK) fail("end", e);
    if (vokCloseStream(&stream) != VOK_OK) std::abort();
    const std::vector<uint8_t> block(vokGetData(&stream),
                                     vokGetData(&stream) + vokGetLength(&stream));
    vokDestroyStream(vokGetData(&stream));
    if (!written) return;
    vokxRecordReader r;
    vokxRecordField f;
    if (vokxRecordOpen(&r, &s, block.data(), block.size(), &e) != VOK_OK) fail("open", e);
    uint16_t status;
    while ((status = vokxRecordNext(&r, &f, &e)) == VOK_OK)
        if (f.field >= 0) {
            const vokxFieldSpec &spec =
                (f.group < 0 ? s.fields : s.groups[f.group].fields)[f.field];
            vokxValue value{};
            if (wide(spec.kind) && vokxFieldValue(&spec, &f.item, &value) != VOK_OK) std::abort();
            seen.push_back(
                wide(spec.kind)
                    ? Event(f.group, f.occurrence, f.field, 0, 0, wide_bytes(spec.kind, value))
                    : event_of(f.group, f.occurrence, f.field, spec.kind, f.item));
        } else if (f.field == VOKX_RECORD_UNKNOWN) {
            std::abort(); // the engine wrote nothing it does not know
        }
    if (status != VOK_END_OF_STREAM) fail("read", e);
    if (seen != expected) std::abort();
    vokStream walk{};
    if (vokxOpen(&walk, block.data(), block.size(), static_cast<uint8_t>(s.type), s.version) !=
        VOK_OK)
        std::abort();
    while ((status = vokxNextItem(&walk, nullptr)) == VOK_OK) {
    }
    if (status != VOK_END_OF_STREAM) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Draw d{data, size};
    const RandomSchema random(d);
    vokxRecordError e;
    if (vokxSchemaCheck(&random.schema, &e) != VOK_OK) fail("schema", e);
    round_trip(d, random.schema);
    // The rest of the input as a block of this schema, nothing read past it,
    // read as the model reads it.
    const std::vector<uint8_t> bytes(data + std::min(d.used, size), data + size);
    if (!vok_model::same(vok_model::engine(random.schema, bytes.data(), bytes.size()),
                         vok_model::read(random.schema, bytes.data(), bytes.size())))
        std::abort();
    // The generated decoders, on the same exact-size copy, with the model's verdict.
    Order order;
    const uint16_t c = Order_decode(bytes.data(), bytes.size(), &order, &e);
    const vok_model::Verdict model = vok_model::read(Order_schema, bytes.data(), bytes.size());
    const bool complete = model.status == VOK_END_OF_STREAM;
    if (c != (complete ? model.version : model.status) ||
        (!complete && (e.path != model.path || e.offset != model.offset)))
        std::abort();
    const vok::record_result<order::Order> cpp = order::decode(bytes.data(), bytes.size());
    const bool c_read = c == VOK_OK || c == VOK_OLDER_VERSION || c == VOK_NEWER_VERSION;
    if (c_read != cpp.ok() || static_cast<uint16_t>(cpp.status()) != c ||
        cpp.path() != (c_read ? "" : e.path) || cpp.offset() != (c_read ? 0 : e.offset))
        std::abort();
    if (!c_read) return 0;
    if (order.id != cpp->id || order.tags_count != cpp->tags.size() ||
        order.lines_count != cpp->lines.size() || order.paid != cpp->paid)
        std::abort();
    // Written again: the compiled C, the engine and the C++ write the same bytes.
    vokStream engine{};
    if (Order_encode(&order, &engine, nullptr) != VOK_OK) std::abort();
    const std::vector<uint8_t> expected(vokGetData(&engine),
                                        vokGetData(&engine) + vokGetLength(&engine));
    vokDestroyStream(vokGetData(&engine));
    std::vector<uint8_t> compiled(Order_encoded_size(&order));
    size_t length = 0;
    if (Order_encode_to(&order, compiled.data(), compiled.size(), &length, nullptr) != VOK_OK ||
        compiled != expected || order::encode(*cpp).value() != expected)
        std::abort();
    return 0;
}
