// Records as JSON objects, one per block: field names as keys, in schema
// order; docs/schema.md describes the mapping.  Reading goes through the
// records engine (vokxRecordOpen / vokxRecordNext), so the rules live in one
// place; record_packer.hpp reads the objects back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "block_reader.hpp"
#include "sink.hpp"
#include "stream_walker.hpp"
#include "vok32x.h"

namespace vok::tool {

// Writes blocks as records of one schema, a JSON line each.  Its buffers are
// kept from one record to the next, so a record costs no allocation once the
// largest has been seen.
class RecordJsonWriter {
  public:
    explicit RecordJsonWriter(const vokxSchema &schema);
    RecordJsonWriter(const RecordJsonWriter &) = delete;
    RecordJsonWriter &operator=(const RecordJsonWriter &) = delete;

    // Writes the record in block, or returns false with the engine's refusal.
    bool write(Sink &out, const Block &block, Problem &problem);

  private:
    // The values read for one level (the top, or one group occurrence): each
    // field's values as JSON text joined by commas, with their count.
    struct Level {
        std::vector<std::string> values;
        std::vector<uint32_t> counts;
        std::string unknown; // the entries of items passed over, joined
        void reset(uint32_t field_count);
    };

    bool read(const Block &block, Problem &problem);
    Level &level_for(const vokxRecordField &f);
    void open_occurrence(uint32_t group);
    void add_unknown(Level &level, const Block &block, const vokxItem &item);
    void append_fields(const Level &level, const vokxFieldSpec *fields, uint32_t count,
                       bool &first);
    void append_unknown(const Level &level, bool first);

    const vokxSchema &schema_;
    Level top_;
    std::vector<std::vector<Level>> groups_; // occurrences of each group
    std::vector<uint32_t> used_;             // occurrences in this record
    std::string line_;
};

// A record the schema refuses, so that a listing goes on past it:
// {"$offset":B,"$error":{"byte":...,"status":...,"path":...,"message":...},
//  "$items":[...]}, the items being the JSON lines of the block's entries as
// dump --json lists them.
void write_refused_json(Sink &out, const Block &block, const Problem &problem,
                        std::string_view entries);

// Whether the engine reads block as a record, or why it refuses it.
bool check_record(const Block &block, const vokxSchema &schema, Problem &problem);

} // namespace vok::tool
