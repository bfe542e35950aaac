#include "values.hpp"

#include <datetime.h>

#include <cmath>
#include <cstring>

#include "vok32_items.h"

namespace vokpy {
namespace {

constexpr int64_t kMillisecondsPerDay = 86'400'000;
// The instants a datetime holds (years 1 to 9999); outside them a timestamp
// is given as its milliseconds, as JSON writes it.
constexpr int64_t kFirstDatetime = -62'135'596'800'000;
constexpr int64_t kLastDatetime = 253'402'300'799'999;

const char *const kUnsigned64Words = "must be an integer from 0 to 18446744073709551615";
const char *const kSigned64Words =
    "must be an integer from -9223372036854775808 to 9223372036854775807";
const char *const kTimestampWords = "must be RFC 3339 text such as \"2026-12-06T23:24:49.123Z\" "
                                    "or an integer of milliseconds";
const char *const kEnumWords =
    "must be a name of the enumeration or an integer from 0 to 4294967295";

bool is_int(PyObject *value) { return PyLong_Check(value) && !PyBool_Check(value); }

// A civil date from days since 1970-01-01 (proleptic Gregorian).
void civil_from_days(int64_t days, int &year, int &month, int &day) {
    days += 719'468;
    const int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
    const int64_t of_era = days - era * 146'097;
    const int64_t year_of_era = (of_era - of_era / 1460 + of_era / 36'524 - of_era / 146'096) / 365;
    const int64_t day_of_year = of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int64_t shifted_month = (5 * day_of_year + 2) / 153;
    day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
    month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
    year = static_cast<int>(year_of_era + era * 400 + (month <= 2 ? 1 : 0));
}

PyObject *timestamp_value(int64_t ms) {
    if (ms < kFirstDatetime || ms > kLastDatetime) return PyLong_FromLongLong(ms);
    int64_t days = ms / kMillisecondsPerDay, rest = ms % kMillisecondsPerDay;
    if (rest < 0) {
        rest += kMillisecondsPerDay;
        days -= 1;
    }
    int year = 0, month = 0, day = 0;
    civil_from_days(days, year, month, day);
    const auto seconds = static_cast<int>(rest / 1000);
    return PyDateTimeAPI->DateTime_FromDateAndTime(
        year, month, day, seconds / 3600, seconds / 60 % 60, seconds % 60,
        static_cast<int>(rest % 1000) * 1000, PyDateTime_TimeZone_UTC, PyDateTimeAPI->DateTimeType);
}

// The number an enum value stands for (a name looked up), a new reference;
// the value itself where it is no name.
PyObject *enum_number(const FieldInfo &field, PyObject *value) {
    if (PyUnicode_Check(value) && field.numbers) {
        PyObject *number = PyDict_GetItemWithError(field.numbers.get(), value);
        if (number != nullptr || PyErr_Occurred()) {
            Py_XINCREF(number);
            return number;
        }
    }
    Py_INCREF(value);
    return value;
}

// A float's bits in the field's width, big-endian, as struct packs them;
// false (no error set) when the value overflows the width.
bool float_bits(uint32_t kind, PyObject *value, unsigned char (&bits)[8]) {
    const double number = PyFloat_Check(value) ? PyFloat_AS_DOUBLE(value) : PyLong_AsDouble(value);
    if (number == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        return false;
    }
    const int packed = kind == VOKX_KIND_FLOAT32
                           ? PyFloat_Pack4(number, reinterpret_cast<char *>(bits), 0)
                           : PyFloat_Pack8(number, reinterpret_cast<char *>(bits), 0);
    if (packed < 0) {
        PyErr_Clear();
        return false;
    }
    return true;
}

bool put_float(const FieldInfo &field, PyObject *value, const Path &path, vokxValue &out) {
    const bool narrow = field.kind == VOKX_KIND_FLOAT32;
    if (PyBool_Check(value) || !(PyLong_Check(value) || PyFloat_Check(value)))
        return refuse(VOK_WRONG_TYPE, path,
                      std::string("must be a number, \"NaN\", \"Infinity\", \"-Infinity\" or "
                                  "{\"bits\": \"<") +
                          (narrow ? "8" : "16") + " hex digits>\"}");
    unsigned char bits[8];
    const char *range = narrow ? "is out of float32's range" : "is out of float64's range";
    if (!float_bits(field.kind, value, bits)) return refuse(VOKX_BAD_FIELD, path, range);
    if (narrow) {
        const float stored = vok_f32_of_bits(vok_load_be32(bits));
        const int zero = PyObject_Not(value);
        if (zero < 0) return false;
        if (stored == 0.0f && zero == 0) return refuse(VOKX_BAD_FIELD, path, range); // underflow
        out.float32 = stored;
    } else {
        out.float64 = vok_f64_of_bits(vok_load_be64(bits));
    }
    return true;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t days_from_civil(int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t year_of_era = year - era * 400;
    const int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146'097 + day_of_era - 719'468;
}

// Milliseconds since the epoch of an aware datetime; false with the refusal set.
bool datetime_milliseconds(PyObject *value, const Path &path, int64_t &ms) {
    if (PyDateTime_DATE_GET_TZINFO(value) == PyDateTime_TimeZone_UTC) { // as decode makes them
        const int microseconds = PyDateTime_DATE_GET_MICROSECOND(value);
        if (microseconds % 1000 != 0)
            return refuse(VOKX_BAD_FIELD, path, "has digits below the millisecond");
        const int64_t days = days_from_civil(
            PyDateTime_GET_YEAR(value), PyDateTime_GET_MONTH(value), PyDateTime_GET_DAY(value));
        ms = days * kMillisecondsPerDay +
             ((int64_t{PyDateTime_DATE_GET_HOUR(value)} * 60 + PyDateTime_DATE_GET_MINUTE(value)) *
                  60 +
              PyDateTime_DATE_GET_SECOND(value)) *
                 1000 +
             microseconds / 1000;
        return true;
    }
    Ref offset(PyObject_CallMethod(value, "utcoffset", nullptr));
    if (!offset) return false;
    if (offset.get() == Py_None)
        return refuse(VOK_WRONG_TYPE, path,
                      "must be a timezone-aware datetime or an integer of milliseconds; a naive "
                      "datetime names no instant");
    Ref epoch(PyDateTimeAPI->DateTime_FromDateAndTime(
        1970, 1, 1, 0, 0, 0, 0, PyDateTime_TimeZone_UTC, PyDateTimeAPI->DateTimeType));
    if (!epoch) return false;
    Ref delta(PyNumber_Subtract(value, epoch.get()));
    if (!delta) return false;
    const int microseconds = PyDateTime_DELTA_GET_MICROSECONDS(delta.get());
    if (microseconds % 1000 != 0)
        return refuse(VOKX_BAD_FIELD, path, "has digits below the millisecond");
    ms = int64_t{PyDateTime_DELTA_GET_DAYS(delta.get())} * kMillisecondsPerDay +
         int64_t{PyDateTime_DELTA_GET_SECONDS(delta.get())} * 1000 + microseconds / 1000;
    return true;
}

// An integer field's value in low..high; false with the refusal set.
template <typename T>
bool integer_in(PyObject *value, const Path &path, const char *words, T low, T high, T &out) {
    if (!is_int(value)) return refuse(VOK_WRONG_TYPE, path, words);
    bool fits;
    if constexpr (std::is_unsigned_v<T>) {
        const unsigned long long number = PyLong_AsUnsignedLongLong(value);
        fits = !(number == static_cast<unsigned long long>(-1) && PyErr_Occurred());
        if (fits && (number < low || number > high)) fits = false;
        out = static_cast<T>(number);
    } else {
        int overflow = 0;
        const long long number = PyLong_AsLongLongAndOverflow(value, &overflow);
        fits = overflow == 0 && number >= low && number <= high;
        out = static_cast<T>(number);
    }
    if (!fits) {
        PyErr_Clear();
        return refuse(VOKX_BAD_FIELD, path, words);
    }
    return true;
}

bool checked_status(uint16_t status, const vokxRecordError &error) {
    if (status == VOK_OK) return true;
    set_record_error(status, error.path, error.message, error.offset);
    return false;
}

bool put_wide(vokxRecordWriter &writer, uint32_t index, const FieldInfo &field, PyObject *value,
              const Path &path) {
    vokxValue out{};
    switch (field.kind) {
    case VOKX_KIND_FLOAT32:
    case VOKX_KIND_FLOAT64:
        if (!put_float(field, value, path, out)) return false;
        break;
    case VOKX_KIND_UNSIGNED64:
        if (!integer_in<uint64_t>(value, path, kUnsigned64Words, 0, UINT64_MAX, out.unsigned64))
            return false;
        break;
    case VOKX_KIND_SIGNED64:
        if (!integer_in<int64_t>(value, path, kSigned64Words, INT64_MIN, INT64_MAX, out.signed64))
            return false;
        break;
    case VOKX_KIND_TIMESTAMP:
        if (PyDateTime_Check(value)) {
            if (!datetime_milliseconds(value, path, out.signed64)) return false;
        } else if (!integer_in<int64_t>(value, path, kTimestampWords, INT64_MIN, INT64_MAX,
                                        out.signed64)) {
            return false;
        }
        break;
    default: { // enum
        Ref number(enum_number(field, value));
        if (!number) return false;
        if (PyUnicode_Check(number.get())) return refuse(VOK_WRONG_TYPE, path, kEnumWords);
        if (!integer_in<uint64_t>(number.get(), path, kEnumWords, 0, UINT32_MAX, out.unsigned64))
            return false;
    }
    }
    vokxRecordError error;
    return checked_status(vokxRecordPutValue(&writer, index, &out, &error), error);
}

} // namespace

bool refuse(uint16_t status, const std::string &path, const std::string &message) {
    set_record_error(status, path, message);
    return false;
}

bool refuse(uint16_t status, const Path &path, const std::string &message) {
    return refuse(status, path.text(), message);
}

bool init_values() {
    PyDateTime_IMPORT;
    return PyDateTimeAPI != nullptr;
}

PyObject *decoded_value(const FieldInfo &field, const vokxItem &item) {
    switch (field.kind) {
    case VOKX_KIND_FLAG:
        return PyBool_FromLong(item.value != 0);
    case VOKX_KIND_SIGNED:
        return PyLong_FromLong(item.signed_value);
    case VOKX_KIND_STRING:
        return PyBytes_FromStringAndSize(reinterpret_cast<const char *>(item.text), item.length);
    case VOKX_KIND_UTF8:
        return PyUnicode_DecodeUTF8(reinterpret_cast<const char *>(item.text), item.length,
                                    "surrogateescape");
    case VOKX_KIND_UNSIGNED:
    case VOKX_KIND_SAFE:
        return PyLong_FromUnsignedLong(item.value);
    default:
        break;
    }
    vokxValue value{};
    vokxFieldValue(field.spec, &item, &value);
    switch (field.kind) {
    case VOKX_KIND_SIGNED64:
        return PyLong_FromLongLong(value.signed64);
    case VOKX_KIND_FLOAT32:
        return PyFloat_FromDouble(static_cast<double>(value.float32));
    case VOKX_KIND_FLOAT64:
        return PyFloat_FromDouble(value.float64);
    case VOKX_KIND_TIMESTAMP:
        return timestamp_value(value.signed64);
    case VOKX_KIND_ENUM: {
        Ref number(PyLong_FromUnsignedLongLong(value.unsigned64));
        if (!number || !field.names) return number.release();
        PyObject *name = PyDict_GetItemWithError(field.names.get(), number.get());
        if (name == nullptr) return PyErr_Occurred() ? nullptr : number.release();
        Py_INCREF(name);
        return name;
    }
    default: // unsigned64
        return PyLong_FromUnsignedLongLong(value.unsigned64);
    }
}

int holds_default(const FieldInfo &field, PyObject *value) {
    PyObject *fallback = field.default_value.get();
    if (fallback == nullptr) return 0;
    if (field.kind == VOKX_KIND_FLOAT32 || field.kind == VOKX_KIND_FLOAT64) {
        if (PyBool_Check(value) || !(PyLong_Check(value) || PyFloat_Check(value))) return 0;
        unsigned char bits[8], default_bits[8];
        if (!float_bits(field.kind, value, bits) || !float_bits(field.kind, fallback, default_bits))
            return 0;
        return std::memcmp(bits, default_bits, field.kind == VOKX_KIND_FLOAT32 ? 4 : 8) == 0;
    }
    if (field.kind == VOKX_KIND_ENUM) { // by number, named or not
        Ref number(enum_number(field, value)), default_number(enum_number(field, fallback));
        if (!number || !default_number) return -1;
        if (!PyLong_CheckExact(number.get())) return 0;
        return PyObject_RichCompareBool(number.get(), default_number.get(), Py_EQ);
    }
    if (Py_TYPE(value) != Py_TYPE(fallback)) return 0;
    return PyObject_RichCompareBool(value, fallback, Py_EQ);
}

bool put_value(vokxRecordWriter &writer, uint32_t index, const FieldInfo &field, PyObject *value,
               const Where &where) {
    const Path path{where, field.name};
    if (field.kind >= VOKX_KIND_UNSIGNED64) return put_wide(writer, index, field, value, path);
    vokxItem item{};
    Ref text_owner;
    switch (field.kind) {
    case VOKX_KIND_FLAG:
        if (!PyBool_Check(value)) return refuse(VOK_WRONG_TYPE, path, "must be true or false");
        item.value = value == Py_True ? 1 : 0;
        break;
    case VOKX_KIND_SIGNED:
        if (!integer_in<int32_t>(value, path, "must be an integer from -2147483648 to 2147483647",
                                 INT32_MIN, INT32_MAX, item.signed_value))
            return false;
        break;
    case VOKX_KIND_STRING:
    case VOKX_KIND_UTF8: {
        Text text(value);
        if (!text.ok()) {
            PyErr_Clear();
            return refuse(VOK_WRONG_TYPE, path,
                          std::string("must be str or bytes, not ") + Py_TYPE(value)->tp_name);
        }
        item.text = text.data();
        item.length = static_cast<uint32_t>(std::min<size_t>(text.size(), UINT32_MAX));
        if (text.size() > UINT32_MAX)
            return refuse(VOK_STRING_TOO_LONG, path, "is longer than a string item holds");
        vokxRecordError error;
        return checked_status(vokxRecordPut(&writer, index, &item, &error), error);
    }
    default: // unsigned, and a safe string's length
        if (!integer_in<uint32_t>(value, path, "must be an integer from 0 to 4294967295", 0,
                                  UINT32_MAX, item.value))
            return false;
    }
    vokxRecordError error;
    return checked_status(vokxRecordPut(&writer, index, &item, &error), error);
}

} // namespace vokpy
