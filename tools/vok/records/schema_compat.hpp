// What changed between two versions of a schema, and whether records still
// read across the change in each direction: NEW reading OLD's records, and
// OLD reading NEW's.  docs/schema.md has the table of verdicts.
#pragma once

#include <string>
#include <vector>

#include "vok32x.h"

namespace vok::tool {

struct SchemaChange {
    std::string path;   // "amount", "lines.sku", "(stream type)"
    std::string change; // "added optional field", "max raised from 8 to 10"...
    bool new_reads_old; // records OLD wrote are read by NEW
    bool old_reads_new;
};

// The name of a field kind, as schema files spell it.
const char *kind_word(uint32_t kind);

std::vector<SchemaChange> compare_schemas(const vokxSchema &old_schema,
                                          const vokxSchema &new_schema);

} // namespace vok::tool
