#include "value_json.hpp"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

#include "field_kinds.hpp"
#include "float_text.hpp"

namespace vok::records {
namespace {

using std::chrono::days;
using std::chrono::milliseconds;
using std::chrono::sys_days;

constexpr uint32_t kQuietNaN32 = 0x7fc00000u;
constexpr uint64_t kQuietNaN64 = 0x7ff8000000000000u;

// The milliseconds of the first and the last instant written as text.
constexpr int64_t kFirstTextual = -62135596800000; // 0001-01-01T00:00:00.000Z
constexpr int64_t kLastTextual = 253402300799999;  // 9999-12-31T23:59:59.999Z

bool digits_at(std::string_view s, size_t at, size_t count, int &out) {
    if (at + count > s.size()) return false;
    out = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

// RFC 3339 date-time: YYYY-MM-DDTHH:MM:SS[.fraction](Z|+HH:MM|-HH:MM).
// Fraction digits past the millisecond must be zero: nothing is rounded.
const char *parse_rfc3339(std::string_view s, int64_t &ms) {
    static const char *const kNotText =
        "must be RFC 3339 text such as \"2026-12-06T23:24:49.123Z\" or an integer of "
        "milliseconds";
    int y, mo, d, h, mi, sec;
    if (!digits_at(s, 0, 4, y) || s.size() < 20 || s[4] != '-' || !digits_at(s, 5, 2, mo) ||
        s[7] != '-' || !digits_at(s, 8, 2, d) || (s[10] != 'T' && s[10] != 't') ||
        !digits_at(s, 11, 2, h) || s[13] != ':' || !digits_at(s, 14, 2, mi) || s[16] != ':' ||
        !digits_at(s, 17, 2, sec))
        return kNotText;
    const std::chrono::year_month_day date{std::chrono::year{y},
                                           std::chrono::month{static_cast<unsigned>(mo)},
                                           std::chrono::day{static_cast<unsigned>(d)}};
    if (!date.ok() || y == 0 || h > 23 || mi > 59 || sec > 59) return kNotText;
    size_t at = 19;
    int64_t fraction = 0;
    if (s[at] == '.') {
        size_t digits = 0;
        for (++at; at < s.size() && s[at] >= '0' && s[at] <= '9'; ++at, ++digits) {
            if (digits < 3)
                fraction = fraction * 10 + (s[at] - '0');
            else if (s[at] != '0')
                return "has digits below the millisecond";
        }
        if (digits == 0) return kNotText;
        for (; digits < 3; ++digits)
            fraction *= 10;
    }
    int64_t offset_minutes = 0;
    if (at + 1 == s.size() && (s[at] == 'Z' || s[at] == 'z')) {
        // UTC
    } else if (at + 6 == s.size() && (s[at] == '+' || s[at] == '-') && s[at + 3] == ':') {
        int oh, om;
        if (!digits_at(s, at + 1, 2, oh) || !digits_at(s, at + 4, 2, om) || oh > 23 || om > 59)
            return kNotText;
        offset_minutes = (s[at] == '-' ? -1 : 1) * (oh * 60 + om);
    } else {
        return kNotText;
    }
    const int64_t day = sys_days{date}.time_since_epoch().count();
    ms = ((day * 24 + h) * 60 + mi - offset_minutes) * 60000 + int64_t{sec} * 1000 + fraction;
    return nullptr;
}

size_t format_timestamp(int64_t ms, char *out, size_t size) {
    if (ms < kFirstTextual || ms > kLastTextual)
        return static_cast<size_t>(std::snprintf(out, size, "%lld", static_cast<long long>(ms)));
    const std::chrono::sys_time<milliseconds> at{milliseconds{ms}};
    const sys_days day = std::chrono::floor<days>(at);
    const std::chrono::year_month_day date{day};
    const std::chrono::hh_mm_ss time{at - day};
    return static_cast<size_t>(std::snprintf(
        out, size, "\"%04d-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ\"", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<long long>(time.hours().count()),
        static_cast<long long>(time.minutes().count()),
        static_cast<long long>(time.seconds().count()),
        static_cast<long long>(time.subseconds().count())));
}

template <typename Float, typename Bits>
size_t format_float(Float f, Bits quiet_nan, char *out, size_t size) {
    Bits bits;
    std::memcpy(&bits, &f, sizeof bits);
    const bool negative = (bits >> (sizeof(Bits) * 8 - 1)) != 0;
    if (f != f) {
        if (bits == quiet_nan) return static_cast<size_t>(std::snprintf(out, size, "\"NaN\""));
        return static_cast<size_t>(std::snprintf(out, size, "{\"bits\":\"%0*llx\"}",
                                                 static_cast<int>(sizeof(Bits) * 2),
                                                 static_cast<unsigned long long>(bits)));
    }
    if (f - f != 0) // infinite
        return static_cast<size_t>(
            std::snprintf(out, size, "%s", negative ? "\"-Infinity\"" : "\"Infinity\""));
    // Negative zero as "-0.0": JSON readers take "-0" for the integer 0.
    if (f == 0 && negative) return static_cast<size_t>(std::snprintf(out, size, "-0.0"));
    char text[400];
    *float_text::to_chars(text, f) = '\0';
    return static_cast<size_t>(std::snprintf(out, size, "%s", text));
}

template <typename Float, typename Bits>
const char *parse_float(const JsonTree &tree, const JsonValue &json, Bits quiet_nan, Float &out,
                        const char *wrong, const char *too_large) {
    const auto text = [&](const JsonValue &v) {
        return std::string_view(tree.decoded(v.text), v.length);
    };
    if (json.type == JsonValue::number) {
        const std::errc read =
            float_text::from_chars(std::string_view(tree.source() + json.text, json.length), out);
        if (read == std::errc::result_out_of_range) return too_large;
        return read == std::errc{} ? nullptr : wrong;
    }
    if (json.type == JsonValue::string) {
        const std::string_view s = text(json);
        if (s == "NaN") {
            std::memcpy(&out, &quiet_nan, sizeof out);
            return nullptr;
        }
        if (s == "Infinity" || s == "-Infinity") {
            out = s[0] == '-' ? -std::numeric_limits<Float>::infinity()
                              : std::numeric_limits<Float>::infinity();
            return nullptr;
        }
        return wrong;
    }
    if (json.type != JsonValue::object || json.count != 1) return wrong;
    const JsonValue &member = tree.at(json.first);
    if (std::string_view(tree.decoded(member.key), member.key_length) != "bits" ||
        member.type != JsonValue::string || member.length != sizeof(Bits) * 2)
        return wrong;
    Bits bits{};
    const std::string_view hex = text(member);
    const auto read = std::from_chars(hex.data(), hex.data() + hex.size(), bits, 16);
    if (read.ec != std::errc{} || read.ptr != hex.data() + hex.size()) return wrong;
    std::memcpy(&out, &bits, sizeof out);
    return nullptr;
}

// An integer written as digits, with a minus sign where T is signed:
// kRead, kOutOfRange (an integer T cannot hold) or kNotInteger.
enum Integer { kRead, kOutOfRange, kNotInteger };
template <typename T> Integer parse_integer(const JsonTree &tree, const JsonValue &json, T &out) {
    if (json.type != JsonValue::number) return kNotInteger;
    const char *digits = tree.source() + json.text;
    const char *end = digits + json.length;
    const auto read = std::from_chars(digits, end, out);
    if (read.ec == std::errc{} && read.ptr == end) return kRead;
    // Digits that T cannot hold: too many, or a minus sign for an unsigned T.
    const bool digits_only =
        std::all_of(digits + (*digits == '-'), end, [](char c) { return c >= '0' && c <= '9'; });
    return digits_only ? kOutOfRange : kNotInteger;
}

const char *parse_enum(const vokxFieldSpec &field, const JsonTree &tree, const JsonValue &json,
                       vokxValue &out) {
    static const char *const kWrong =
        "must be a name of the enumeration or an integer from 0 to 4294967295";
    uint32_t number = 0;
    switch (parse_integer(tree, json, number)) {
    case kRead:
        out.unsigned64 = number;
        return nullptr;
    case kOutOfRange:
        return kWrong;
    case kNotInteger:
        break;
    }
    if (json.type != JsonValue::string || field.detail == nullptr) return kWrong;
    const std::string_view name(tree.decoded(json.text), json.length);
    for (uint32_t i = 0; i < field.detail->value_count; ++i)
        if (name == field.detail->values[i].name) {
            out.unsigned64 = field.detail->values[i].number;
            return nullptr;
        }
    return kWrong;
}

} // namespace

uint16_t parse_value(const vokxFieldSpec &field, const JsonTree &tree, const JsonValue &json,
                     vokxValue &out, const char **why) {
    vokxValue v{};
    const char *refusal = nullptr;
    // A value of the kind's form that the kind cannot hold is a bad field;
    // a value of another form, of the wrong type.
    bool out_of_range = false;
    const auto integer = [&](auto &n, const char *range) {
        const Integer read = parse_integer(tree, json, n);
        out_of_range = read == kOutOfRange;
        refusal = read == kRead ? nullptr : range;
    };
    switch (field.kind) {
    case VOKX_KIND_FLAG:
        refusal = json.type == JsonValue::boolean ? nullptr : "must be true or false";
        v.unsigned64 = json.truth;
        break;
    case VOKX_KIND_UNSIGNED:
    case VOKX_KIND_SAFE: {
        uint32_t n = 0;
        integer(n, "must be an integer from 0 to 4294967295");
        v.unsigned64 = n;
        break;
    }
    case VOKX_KIND_SIGNED: {
        int32_t n = 0;
        integer(n, "must be an integer from -2147483648 to 2147483647");
        v.signed64 = n;
        break;
    }
    case VOKX_KIND_UNSIGNED64:
        integer(v.unsigned64, "must be an integer from 0 to 18446744073709551615");
        break;
    case VOKX_KIND_SIGNED64:
        integer(v.signed64, "must be an integer from -9223372036854775808 to 9223372036854775807");
        break;
    case VOKX_KIND_TIMESTAMP:
        if (json.type == JsonValue::string) {
            refusal =
                parse_rfc3339(std::string_view(tree.decoded(json.text), json.length), v.signed64);
            out_of_range = refusal != nullptr && refusal[0] == 'h'; // "has digits below..."
        } else {
            integer(v.signed64, "must be RFC 3339 text such as \"2026-12-06T23:24:49.123Z\" or an "
                                "integer of milliseconds");
        }
        break;
    case VOKX_KIND_FLOAT32:
        refusal = parse_float(tree, json, kQuietNaN32, v.float32,
                              "must be a number, \"NaN\", \"Infinity\", \"-Infinity\" or "
                              "{\"bits\": \"<8 hex digits>\"}",
                              "is out of float32's range");
        out_of_range = refusal != nullptr && refusal[0] == 'i';
        break;
    case VOKX_KIND_FLOAT64:
        refusal = parse_float(tree, json, kQuietNaN64, v.float64,
                              "must be a number, \"NaN\", \"Infinity\", \"-Infinity\" or "
                              "{\"bits\": \"<16 hex digits>\"}",
                              "is out of float64's range");
        out_of_range = refusal != nullptr && refusal[0] == 'i';
        break;
    case VOKX_KIND_ENUM: {
        uint32_t n = 0;
        out_of_range = parse_integer(tree, json, n) == kOutOfRange;
        refusal = parse_enum(field, tree, json, v);
        break;
    }
    default:
        refusal = "is text, not a value of this form";
    }
    if (refusal != nullptr) {
        *why = refusal;
        return out_of_range ? VOKX_BAD_FIELD : VOK_WRONG_TYPE;
    }
    out = v;
    return VOK_OK;
}

} // namespace vok::records

using namespace vok::records;

VOKX_API size_t vokxValueFormat(const vokxFieldSpec *field, const vokxValue *value, char *out,
                                size_t size) {
    const vokxValue &v = *value;
    const auto print = [&](const char *format, auto... arguments) {
        return static_cast<size_t>(std::snprintf(out, size, format, arguments...));
    };
    switch (field->kind) {
    case VOKX_KIND_FLAG:
        return print("%s", v.unsigned64 != 0 ? "true" : "false");
    case VOKX_KIND_UNSIGNED:
    case VOKX_KIND_UNSIGNED64:
        return print("%llu", static_cast<unsigned long long>(v.unsigned64));
    case VOKX_KIND_SIGNED:
    case VOKX_KIND_SIGNED64:
        return print("%lld", static_cast<long long>(v.signed64));
    case VOKX_KIND_TIMESTAMP:
        return format_timestamp(v.signed64, out, size);
    case VOKX_KIND_FLOAT32:
        return format_float(v.float32, kQuietNaN32, out, size);
    case VOKX_KIND_FLOAT64:
        return format_float(v.float64, kQuietNaN64, out, size);
    case VOKX_KIND_ENUM:
        for (uint32_t i = 0; field->detail != nullptr && i < field->detail->value_count; ++i)
            if (field->detail->values[i].number == v.unsigned64)
                return print("\"%s\"", field->detail->values[i].name);
        return print("%llu", static_cast<unsigned long long>(v.unsigned64));
    default:
        if (size != 0) *out = '\0';
        return 0;
    }
}

VOKX_API uint16_t vokxValueParse(const vokxFieldSpec *field, const char *json, size_t length,
                                 vokxValue *value, const char **message) {
    const char *why = "is not JSON";
    JsonTree tree;
    vokxRecordError error;
    uint16_t status = tree.parse(json != nullptr ? json : "", json != nullptr ? length : 0, &error);
    if (status == VOK_OK)
        status = parse_value(*field, tree, tree.root(), *value, &why);
    else
        status = VOK_WRONG_TYPE;
    if (status != VOK_OK && message != nullptr) *message = why;
    return status;
}
