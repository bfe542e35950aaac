// Records as JSON objects, one per block: field names as keys, in schema
// order; docs/schema.md describes the mapping.  Reading goes through the
// records engine (vokxRecordOpen / vokxRecordNext), writing through its
// writer, so the rules live in one place.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "block_reader.hpp"
#include "sink.hpp"
#include "stream_walker.hpp"
#include "vok32x.h"

namespace vok::tool {

// Writes the record in block as one line, or returns false with the engine's
// refusal in problem (its path first in the message).
bool write_record_json(Sink &out, const Block &block, const vokxSchema &schema, Problem &problem);

// The record the engine reads from block, or why it refuses it ("path:
// message"); offset is the item's, in the input.
bool check_record(const Block &block, const vokxSchema &schema, Problem &problem);

// Writes the record that object describes as a block: $type must be the
// schema's if given, $version is written if given (else the schema's),
// $offset is ignored and a non-empty $unknown refused.  False with error
// ("path: message").
bool pack_record_json(const nlohmann::json &object, const vokxSchema &schema,
                      std::vector<uint8_t> &block, std::string &error);

} // namespace vok::tool
