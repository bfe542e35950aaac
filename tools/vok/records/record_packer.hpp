// Records from JSON lines, the objects `vok dump --schema --json` writes,
// packed as blocks through the records engine's writer (vokxRecordBegin ...
// vokxRecordEnd), so the record rules live in one place.  A line holds one
// record object or a JSON array of them.  Lines are parsed in place with
// RapidJSON (header-only, so vok.exe builds the same way): a line nested
// deeper than kMaxJsonDepth is refused before any parser sees it, and so is
// an object that names a key twice, which a reader could take either way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "line_parser.hpp"
#include "vok32x.h"

namespace vok::tool {

class RecordPacker {
  public:
    explicit RecordPacker(const vokxSchema &schema);
    ~RecordPacker();
    RecordPacker(const RecordPacker &) = delete;
    RecordPacker &operator=(const RecordPacker &) = delete;

    // Parses a line; false with the column and why for a line that is not
    // JSON, nests too deep or repeats a key.
    bool parse(std::string_view line, NotationError &error);
    // The records on the parsed line, and whether they came as an array.
    size_t size() const;
    bool is_array() const;

    // For a record that dump wrote for a block it could not read (an
    // object with "$error"): its "$offset" as written ("" if none).
    std::optional<std::string> refused_by_dump(size_t index) const;

    // Writes record index as a block: $type must be the schema's if given,
    // $version is written if given (else the schema's), $offset is ignored
    // and a non-empty $unknown refused.  False with error ("path: message").
    bool pack(size_t index, std::vector<uint8_t> &block, std::string &error);

  private:
    struct Parsed;
    const vokxSchema &schema_;
    std::unique_ptr<Parsed> parsed_;
};

} // namespace vok::tool
