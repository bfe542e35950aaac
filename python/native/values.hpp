// One field's values between Python and the engine, by the package's rules:
// what decode gives for an item, whether a value is the field's default, and
// the engine's form of a value to write, refused in the tool's words.
#pragma once

#include <string>

#include "shared.hpp"

namespace vokpy {

struct FieldInfo {
    const vokxFieldSpec *spec = nullptr;
    uint32_t kind = 0;
    bool repeated = false;
    std::string name;
    Ref key;           // the name as an interned str
    Ref names;         // an enum's numbers to names (a dict); else null
    Ref numbers;       // and its names to numbers
    Ref default_value; // as decode gives it; null without one
};

// Where a value stands in a record ("lines[2].sku"); spelled out only for
// a refusal, so that writing costs no string building.
struct Where {
    const std::string *group = nullptr; // null at the top level
    size_t occurrence = 0;
    std::string prefix() const {
        return group == nullptr ? std::string() : *group + "[" + std::to_string(occurrence) + "].";
    }
};
struct Path {
    const Where &where;
    const std::string &name;
    std::string text() const { return where.prefix() + name; }
};

// What decode gives for an item read for the field; nullptr with the error set.
PyObject *decoded_value(const FieldInfo &field, const vokxItem &item);

// -1 with the error set, 0 not the default, 1 the default (left out when
// writing).
int holds_default(const FieldInfo &field, PyObject *value);

// Writes one value of the field (number `index` of its level) through the
// writer; false with the RecordError set.
bool put_value(vokxRecordWriter &writer, uint32_t index, const FieldInfo &field, PyObject *value,
               const Where &where);

// Sets RecordError(status, path, message) and returns false.
bool refuse(uint16_t status, const std::string &path, const std::string &message);
bool refuse(uint16_t status, const Path &path, const std::string &message);

bool init_values(); // the datetime interface; false with the error set

} // namespace vokpy
