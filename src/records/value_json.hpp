// Values of the number-like kinds as JSON: the forms the tool reads and
// writes and schema files give defaults in (vokxValueFormat, vokxValueParse).
#pragma once

#include <cstdint>

#include "json_tree.hpp"
#include "vok32x.h"

namespace vok::records {

// The value that a parsed JSON value stands for in a field of this kind;
// VOK_OK, or VOK_WRONG_TYPE with *why a static sentence.
uint16_t parse_value(const vokxFieldSpec &field, const JsonTree &tree, const JsonValue &json,
                     vokxValue &out, const char **why);

} // namespace vok::records
