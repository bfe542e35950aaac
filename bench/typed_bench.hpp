// Typed records: the records data set as one block (or message) per record,
// encoded from and decoded into each library's own generated struct, with a
// reused output buffer for everyone.  Peers not found at build time are
// left out.
#pragma once

#include "dataset.hpp"

namespace bench {

// Registers the typed/encode/... and typed/decode/... benchmarks; false if a
// contender does not give back the records.
bool add_typed(const std::vector<Record> &records);

} // namespace bench
