// The writing half of the model (record_model.hpp has the reading half): a
// record as `vok pack --schema --json` takes it, checked against the rules
// of docs/schema.md and written item by item with vok32's own writers;
// nothing here comes from src/records/.  A record's faults are found in the
// order its calls would meet them: a level's values in schema order (a
// value's JSON first, then its count), its missing required fields when the
// next group occurrence begins or the record ends.  Also: a block as dump
// prints it, and random records with faults for every writer to answer.
#pragma once

#include <cfloat>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "byte_helpers.hpp"
#include "record_model.hpp"
#include "vok32x.h"

namespace vok_model {

using json = nlohmann::json;

// Bytes, or a refusal: status, path and the words after the path (empty
// where languages word it their own way).
struct Written {
    std::vector<uint8_t> bytes;
    uint16_t status = VOK_OK;
    std::string path, words;
};

namespace detail {

struct Refusal {
    uint16_t status;
    std::string path, words;
};

inline bool repeated(uint32_t flags) { return (flags & VOKX_REPEATED) != 0; }

// A string value's bytes: a JSON string or {"hex": "..."}.
inline std::string text_of(const json &v) {
    const std::vector<uint8_t> bytes = vok_test::hex(v.is_string() ? "" : v.at("hex"));
    return v.is_string() ? v.get<std::string>() : std::string(bytes.begin(), bytes.end());
}

inline bool wide(uint32_t kind) { return kind >= VOKX_KIND_UNSIGNED64; }

// A timestamp's RFC 3339 text in UTC ("2026-12-06T23:24:49.123Z"), as
// milliseconds; the words of a refusal otherwise.
inline std::string milliseconds_of(const std::string &text, int64_t &ms) {
    int y, mo, d, h, mi, sec, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%n", &y, &mo, &d, &h, &mi, &sec,
                    &used) != 6 ||
        used != 20)
        return "must be RFC 3339 text such as \"2026-12-06T23:24:49.123Z\" or an integer of "
               "milliseconds";
    const std::string fraction = text.substr(20, text.size() - 21);
    if (fraction.find_first_not_of('0', 3) != std::string::npos)
        return "has digits below the millisecond";
    using namespace std::chrono;
    const sys_days day{year{y} / mo / d};
    ms = (day.time_since_epoch().count() * 86400 + h * 3600 + mi * 60 + sec) * 1000 +
         std::stoi(fraction.substr(0, 3));
    return {};
}

// The value of a JSON value in a field of a wide kind, as 64 bits (two's
// complement, or an IEEE 754 value's bits); throws the refusal.
inline uint64_t wide_value(const vokxFieldSpec &f, const json &v, const std::string &path) {
    static const std::map<uint32_t, std::string> kWords = {
        {VOKX_KIND_UNSIGNED64, "must be an integer from 0 to 18446744073709551615"},
        {VOKX_KIND_SIGNED64, "must be an integer from -9223372036854775808 to 9223372036854775807"},
        {VOKX_KIND_TIMESTAMP, "must be RFC 3339 text such as \"2026-12-06T23:24:49.123Z\" or an "
                              "integer of milliseconds"},
        {VOKX_KIND_ENUM, "must be a name of the enumeration or an integer from 0 to 4294967295"},
        {VOKX_KIND_FLOAT32, "must be a number, \"NaN\", \"Infinity\", \"-Infinity\" or "
                            "{\"bits\": \"<8 hex digits>\"}"},
        {VOKX_KIND_FLOAT64, "must be a number, \"NaN\", \"Infinity\", \"-Infinity\" or "
                            "{\"bits\": \"<16 hex digits>\"}"}};
    const std::string &words = kWords.at(f.kind);
    const bool narrow = f.kind == VOKX_KIND_FLOAT32;
    if (f.kind == VOKX_KIND_FLOAT32 || f.kind == VOKX_KIND_FLOAT64) {
        double d = 0;
        if (v.is_number()) {
            d = v.get<double>();
            if (narrow && (std::fabs(d) > FLT_MAX || (d != 0 && static_cast<float>(d) == 0)))
                throw Refusal{VOKX_BAD_FIELD, path, "is out of float32's range"};
        } else if (v == "NaN" || v == "Infinity" || v == "-Infinity") {
            d = v == "NaN" ? NAN : v == "Infinity" ? INFINITY : -INFINITY;
        } else if (v.is_object() && v.size() == 1 && v.contains("bits") && v["bits"].is_string() &&
                   v["bits"].get<std::string>().size() == (narrow ? 8 : 16)) {
            return std::stoull(v["bits"].get<std::string>(), nullptr, 16);
        } else {
            throw Refusal{VOK_WRONG_TYPE, path, words};
        }
        const float single = static_cast<float>(d);
        uint64_t bits = 0;
        std::memcpy(&bits, narrow ? static_cast<const void *>(&single) : &d, narrow ? 4 : 8);
        return bits;
    }
    const uint64_t high = f.kind == VOKX_KIND_UNSIGNED64 ? UINT64_MAX
                          : f.kind == VOKX_KIND_ENUM     ? UINT32_MAX
                                                         : INT64_MAX;
    if (v.is_number_unsigned() && v.get<uint64_t>() <= high) return v.get<uint64_t>();
    if (v.is_number_integer() && !v.is_number_unsigned() && high == INT64_MAX)
        return static_cast<uint64_t>(v.get<int64_t>());
    if (v.is_number_integer()) throw Refusal{VOKX_BAD_FIELD, path, words};
    if (f.kind == VOKX_KIND_ENUM && v.is_string())
        for (uint32_t k = 0; k < f.detail->value_count; ++k)
            if (v == f.detail->values[k].name) return f.detail->values[k].number;
    int64_t ms = 0;
    if (f.kind == VOKX_KIND_TIMESTAMP && v.is_string()) {
        const std::string why = milliseconds_of(v.get<std::string>(), ms);
        if (why.empty()) return static_cast<uint64_t>(ms);
        throw Refusal{why[0] == 'h' ? uint16_t{VOKX_BAD_FIELD} : uint16_t{VOK_WRONG_TYPE}, path,
                      why};
    }
    throw Refusal{VOK_WRONG_TYPE, path, words};
}

// A wide field's default as wide_value gives a value.
inline uint64_t default_bits(const vokxFieldSpec &f) {
    if (f.kind != VOKX_KIND_FLOAT32) return f.detail->default_value.unsigned64;
    uint32_t bits;
    std::memcpy(&bits, &f.detail->default_value.float32, sizeof bits);
    return bits;
}

// A wide value written with vok32's writers: a number item where its sign
// class holds it, else the 8 (or a float32's 4) bytes big-endian.
inline uint16_t write_wide(vokStream &s, uint32_t kind, uint64_t bits) {
    const bool is_signed = kind == VOKX_KIND_SIGNED64 || kind == VOKX_KIND_TIMESTAMP;
    const auto n = static_cast<int64_t>(bits);
    if (kind == VOKX_KIND_ENUM || (kind == VOKX_KIND_UNSIGNED64 && bits <= UINT32_MAX))
        return vokWriteUnsigned(&s, static_cast<uint32_t>(bits));
    if (is_signed && n >= INT32_MIN && n <= INT32_MAX)
        return vokWriteSigned(&s, static_cast<int32_t>(n));
    const uint32_t length = kind == VOKX_KIND_FLOAT32 ? 4 : 8;
    uint8_t bytes[8];
    for (uint32_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(bits >> (8 * (length - 1 - i)));
    return vokxWriteString(&s, bytes, length);
}

// One value: its JSON checked, then its count (one past max: refused), then
// its mark and item written; a wide field holding its default is left out.
inline void put_value(vokStream &s, const vokxFieldSpec &f, const json &v, const std::string &path,
                      bool past_max) {
    if (wide(f.kind)) {
        const uint64_t bits = wide_value(f, v, path);
        if (past_max) throw Refusal{VOKX_TOO_MANY, path, "occurs more often than its max"};
        if (f.detail != nullptr && f.detail->has_default != 0 && bits == default_bits(f)) return;
        uint16_t status = vokWriteUserMark(&s, static_cast<uint8_t>(f.mark));
        status |= write_wide(s, f.kind, bits);
        if (status != VOK_OK) throw Refusal{status, path, vokxStatusText(status)};
        return;
    }
    const bool text = f.kind == VOKX_CLASS_STRING || f.kind == VOKX_CLASS_UTF8;
    const int64_t low = f.kind == VOKX_CLASS_SIGNED ? INT32_MIN : 0,
                  high = f.kind == VOKX_CLASS_SIGNED ? INT32_MAX : UINT32_MAX;
    const std::string range =
        "must be an integer from " + std::to_string(low) + " to " + std::to_string(high);
    if (f.kind == VOKX_CLASS_FLAG && !v.is_boolean())
        throw Refusal{VOK_WRONG_TYPE, path, "must be true or false"};
    if (text && !v.is_string() && !(v.is_object() && v.contains("hex")))
        throw Refusal{VOK_WRONG_TYPE, path, ""};
    if (f.kind != VOKX_CLASS_FLAG && !text && !v.is_number_integer())
        throw Refusal{VOK_WRONG_TYPE, path, range};
    if (v.is_number_integer() &&
        (v.is_number_unsigned() ? v.get<uint64_t>() > uint64_t(high) : v.get<int64_t>() < low))
        throw Refusal{VOKX_BAD_FIELD, path, range};
    if (past_max) throw Refusal{VOKX_TOO_MANY, path, "occurs more often than its max"};
    const std::string t = text ? text_of(v) : "";
    const auto *bytes = reinterpret_cast<const uint8_t *>(t.data());
    uint16_t status = vokWriteUserMark(&s, static_cast<uint8_t>(f.mark));
    switch (f.kind) {
    case VOKX_CLASS_FLAG:
        status |= vokWriteFlag(&s, v.get<bool>());
        break;
    case VOKX_CLASS_SIGNED:
        status |= vokWriteSigned(&s, v.get<int32_t>());
        break;
    case VOKX_CLASS_UNSIGNED:
        status |= vokWriteUnsigned(&s, v.get<uint32_t>());
        break;
    case VOKX_CLASS_SAFE:
        status = vokxWriteSafeString(&s, v.get<uint32_t>());
        break;
    case VOKX_CLASS_STRING:
        status |= vokxWriteString(&s, bytes, uint32_t(t.size()));
        break;
    default:
        status |= vokxWriteUTF8String(&s, bytes, uint32_t(t.size()));
    }
    if (status != VOK_OK) throw Refusal{status, path, vokxStatusText(status)};
}

// A level's keys: each a field's (or, at the top, a group's) name.
inline void check_keys(const json &level, const vokxFieldSpec *fields, uint32_t count,
                       const std::string &prefix, const vokxSchema *top) {
    for (const auto &[key, value] : level.items()) {
        bool known = false;
        for (uint32_t i = 0; i < count; ++i)
            known = known || key == fields[i].name;
        for (uint32_t g = 0; top != nullptr && g < top->group_count; ++g)
            known = known || key == top->groups[g].name;
        if (!known) throw Refusal{VOKX_BAD_FIELD, prefix + key, "not a field of the schema"};
    }
}

// A level's values; gives the path of its first missing required field.
inline std::string put_level(vokStream &s, const vokxFieldSpec *fields, uint32_t count,
                             const json &level, const std::string &prefix) {
    std::string missing;
    for (uint32_t i = 0; i < count; ++i) {
        const vokxFieldSpec &f = fields[i];
        const json v = level.value(f.name, json());
        if (v.is_null() && f.flags == 0 && missing.empty()) missing = prefix + f.name;
        if (v.is_null()) continue;
        if (repeated(f.flags) && !v.is_array())
            throw Refusal{VOK_WRONG_TYPE, prefix + f.name, "must be an array"};
        const json values = repeated(f.flags) ? v : json::array({v});
        for (size_t k = 0; k < values.size(); ++k)
            put_value(s, f, values[k], prefix + f.name, repeated(f.flags) && k == f.max);
    }
    return missing;
}

} // namespace detail

inline Written write(const vokxSchema &s, const json &record) {
    using detail::Refusal;
    Written w;
    vokStream stream{};
    vokCreateStream(&stream, static_cast<uint8_t>(s.type), s.version);
    try {
        detail::check_keys(record, s.fields, s.field_count, "", &s);
        std::string missing = detail::put_level(stream, s.fields, s.field_count, record, "");
        const auto close_level = [&missing] {
            if (!missing.empty())
                throw Refusal{VOKX_MISSING_FIELD, missing, "is required but was not written"};
        };
        for (uint32_t g = 0; g < s.group_count; ++g) {
            const vokxGroupSpec &group = s.groups[g];
            const json v = record.value(group.name, json());
            if (v.is_null()) continue;
            if (detail::repeated(group.flags) && !v.is_array())
                throw Refusal{VOK_WRONG_TYPE, group.name, "must be an array of objects"};
            const json occurrences = detail::repeated(group.flags) ? v : json::array({v});
            for (size_t n = 0; n < occurrences.size(); ++n) {
                const std::string where = std::string(group.name) + "[" + std::to_string(n) + "]";
                if (!occurrences[n].is_object())
                    throw Refusal{VOK_WRONG_TYPE, where, "must be an object"};
                detail::check_keys(occurrences[n], group.fields, group.field_count, where + ".",
                                   nullptr);
                close_level();
                if (n == group.max && detail::repeated(group.flags))
                    throw Refusal{VOKX_TOO_MANY, where, "occurs more often than its max"};
                vokWritePhraseMark(&stream, static_cast<uint8_t>(group.phrase));
                missing = detail::put_level(stream, group.fields, group.field_count, occurrences[n],
                                            where + ".");
            }
        }
        close_level();
        for (uint32_t g = 0; g < s.group_count; ++g)
            if (s.groups[g].flags == 0 && record.value(s.groups[g].name, json()).is_null())
                throw Refusal{VOKX_MISSING_FIELD, s.groups[g].name,
                              "the group is required but was not written"};
        vokCloseStream(&stream);
        w.bytes.assign(vokGetData(&stream), vokGetData(&stream) + vokGetLength(&stream));
    } catch (const Refusal &r) {
        w.status = r.status, w.path = r.path, w.words = r.words;
        vokCloseStream(&stream);
    }
    vokDestroyStream(vokGetData(&stream));
    return w;
}

namespace detail {

// A wide value as dump prints it.
inline json wide_json(const vokxFieldSpec &f, uint64_t bits) {
    const auto n = static_cast<int64_t>(bits);
    char text[64];
    switch (f.kind) {
    case VOKX_KIND_UNSIGNED64:
        return bits;
    case VOKX_KIND_ENUM:
        for (uint32_t k = 0; f.detail != nullptr && k < f.detail->value_count; ++k)
            if (f.detail->values[k].number == bits) return f.detail->values[k].name;
        return bits;
    case VOKX_KIND_TIMESTAMP: {
        if (n < -62135596800000 || n > 253402300799999) return n; // outside years 1 to 9999
        using namespace std::chrono;
        const sys_time<milliseconds> at{milliseconds{n}};
        const sys_days day = floor<days>(at);
        const year_month_day date{day};
        const hh_mm_ss<milliseconds> time{at - day};
        std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(date.year()),
                      unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                      int(time.minutes().count()), int(time.seconds().count()),
                      int(time.subseconds().count()));
        return text;
    }
    case VOKX_KIND_SIGNED64:
        return n;
    default: { // floats: words for the infinities and the quiet NaN, else the bits
        const bool narrow = f.kind == VOKX_KIND_FLOAT32;
        float single;
        double d;
        const auto low = static_cast<uint32_t>(bits);
        std::memcpy(&single, &low, 4);
        std::memcpy(&d, &bits, 8);
        const double value = narrow ? single : d;
        if (bits == (narrow ? 0x7fc00000u : 0x7ff8000000000000u)) return "NaN";
        if (std::isnan(value)) {
            std::snprintf(text, sizeof text, "%0*llx", narrow ? 8 : 16, (unsigned long long)bits);
            return json{{"bits", text}};
        }
        if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
        const auto end = narrow ? std::to_chars(text, text + 63, single).ptr
                                : std::to_chars(text, text + 63, d).ptr;
        return json::parse(std::string(text, end));
    }
    }
}

// The 64 bits of a wide field's item: a number, or a string's bytes.
inline uint64_t item_bits(const vokxItem &item) {
    if (vokxKindClass(item.kind) == VOKX_CLASS_SIGNED)
        return static_cast<uint64_t>(int64_t{item.signed_value});
    if (vokxKindClass(item.kind) != VOKX_CLASS_STRING) return item.value;
    uint64_t bits = 0;
    for (uint32_t i = 0; i < item.length; ++i)
        bits = bits << 8 | item.text[i];
    return bits;
}

} // namespace detail

// A block the model accepted, as `vok dump --schema --json` prints it
// (without its $ keys).
json dumped(const vokxSchema &s, const std::vector<uint8_t> &block, const vok_model::Verdict &v) {
    std::map<uint32_t, vokxItem> items; // by offset
    vokStream stream{};
    vokxOpen(&stream, block.data(), block.size(), static_cast<uint8_t>(s.type), s.version);
    for (vokxItem item; vokxNextItem(&stream, &item) == VOK_OK;)
        items[item.offset] = item;
    const auto empty = [](const vokxFieldSpec *f, uint32_t n) {
        json o = json::object();
        for (uint32_t i = 0; i < n; ++i)
            if ((f[i].flags & VOKX_REPEATED) != 0)
                o[f[i].name] = json::array();
            else if (f[i].detail != nullptr && f[i].detail->has_default != 0)
                o[f[i].name] = detail::wide_json(f[i], detail::default_bits(f[i]));
        return o;
    };
    json top = empty(s.fields, s.field_count);
    for (uint32_t g = 0; g < s.group_count; ++g)
        if ((s.groups[g].flags & VOKX_REPEATED) != 0) top[s.groups[g].name] = json::array();
    json *level = &top;
    for (const vok_model::Event &e : v.events) {
        if (e.field == VOKX_RECORD_UNKNOWN) continue;
        const vokxGroupSpec *g = e.group < 0 ? nullptr : &s.groups[e.group];
        if (e.field == VOKX_RECORD_GROUP) {
            json &slot = top[g->name];
            if ((g->flags & VOKX_REPEATED) == 0) {
                level = &(slot = empty(g->fields, g->field_count));
            } else {
                slot.push_back(empty(g->fields, g->field_count));
                level = &slot.back();
            }
            continue;
        }
        const vokxFieldSpec &f = (g != nullptr ? g->fields : s.fields)[e.field];
        const vokxItem &item = items[e.offset];
        const bool text = f.kind == VOKX_CLASS_STRING || f.kind == VOKX_CLASS_UTF8;
        const json value = detail::wide(f.kind) ? detail::wide_json(f, detail::item_bits(item))
                           : f.kind == VOKX_CLASS_FLAG   ? json(item.value != 0)
                           : f.kind == VOKX_CLASS_SIGNED ? json(item.signed_value)
                           : text ? json(std::string(item.text, item.text + item.length))
                                  : json(item.value);
        if ((f.flags & VOKX_REPEATED) != 0)
            (*level)[f.name].push_back(value);
        else
            (*level)[f.name] = value;
    }
    return top;
}

// Random records of a schema, about half of them with faults of the kinds
// callers make: a required field or group left out, one occurrence too
// many, a value of another JSON type or out of range, a repeated field or
// group given no array, an occurrence no object, a key of no field.
class RecordMaker {
  public:
    RecordMaker(const vokxSchema &s, uint32_t seed) : s_(s), random_(seed) {}

    json next() {
        json record = level(s_.fields, s_.field_count);
        for (uint32_t g = 0; g < s_.group_count; ++g) {
            const vokxGroupSpec &group = s_.groups[g];
            json list = json::array();
            for (uint32_t k = count(group.flags, group.max); k > 0; --k)
                list.push_back(fault() ? json("x") : level(group.fields, group.field_count));
            place(record, group.name, group.flags, list);
        }
        return record;
    }

  private:
    uint32_t below(size_t n) { return static_cast<uint32_t>(random_() % n); }
    bool fault() { return below(12) == 0; }

    // Occurrences: a required one once, others up to their most; a fault
    // leaves a required one out, or adds one past the most.
    uint32_t count(uint32_t flags, uint32_t max) {
        const uint32_t most = detail::repeated(flags) ? max : 1;
        if (fault()) return flags == 0 ? 0 : most + 1;
        return flags == 0 ? 1 : below(most + 1);
    }

    // A field's or group's values in the record; a repeated one's list may
    // be absent when empty, or (a fault) given without its array.
    void place(json &out, const char *name, uint32_t flags, const json &list) {
        if (detail::repeated(flags) && (!list.empty() || below(2) == 0))
            out[name] = fault() && !list.empty() ? list[0] : list;
        else if (!detail::repeated(flags) && !list.empty())
            out[name] = list[0];
    }

    json level(const vokxFieldSpec *fields, uint32_t n) {
        // Values of each kind, and values no field of that kind holds.
        static const json kValues = json::parse(R"([null,
            [[true, false], [0, 1]],
            [[0, 1, 255, 256, 65535, 65536, 4294967295], ["1", true, -1, 4294967296]],
            [[0, -1, 127, -128, 128, -129, 32767, -32768, 40000, -2147483648, 2147483647],
             ["1", 1.5, 2147483648, -2147483649]],
            [["", "ab", {"hex": "00ff"}, "a string of more than two hundred and fifty-five bytes, so that its length takes two bytes: a string of more than two hundred and fifty-five bytes, so that its length takes two bytes: a string of more than two hundred and fifty-five bytes, so that its length takes two bytes"], [5, true]],
            [["", "\u00e9", "wide: \u4e16\u754c"], [5, false]],
            [[0, 5, 255, 256, 65535], ["1", -1, 65536, 4294967296]]])");
        static const json kWide = json::parse(R"({
            "16": [[0, 4294967295, 4294967296, 18446744073709551615], ["1", -1, 1.5]],
            "17": [[0, -2147483648, -2147483649, 9223372036854775807, -9223372036854775808],
                   ["1", 1.5, 9223372036854775808]],
            "18": [[0.5, -0.0, "NaN", "Infinity", 1e-45, {"bits": "7fc00001"}], ["x", true, 1e39]],
            "19": [[0.25, 1.5, "-Infinity", 5e-324, {"bits": "7ff0000000000001"}],
                   ["x", {"bits": "7f"}]],
            "20": [["A", "B", 1, 7], ["Z", -1, 4294967296]],
            "21": [[0, -1, "1969-12-31T23:59:59.999Z", "2026-12-06T23:24:49.123Z", 253402300800000],
                   ["soon", "2026-12-06T23:24:49.1234Z", 1.5]]})");
        json out = json::object();
        if (fault()) out["zz"] = 1;
        for (uint32_t i = 0; i < n; ++i) {
            json list = json::array();
            for (uint32_t k = count(fields[i].flags, fields[i].max); k > 0; --k) {
                const json &pool = detail::wide(fields[i].kind)
                                       ? kWide[std::to_string(fields[i].kind)][fault() ? 1 : 0]
                                       : kValues[fields[i].kind][fault() ? 1 : 0];
                list.push_back(pool[below(pool.size())]);
            }
            place(out, fields[i].name, fields[i].flags, list);
        }
        return out;
    }

    const vokxSchema &s_;
    std::mt19937 random_;
};

} // namespace vok_model
