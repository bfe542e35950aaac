// What the records engine's reader and writer share: filling a
// vokxRecordError (the status, the offset, and a path and message cut to fit
// their arrays; the path of a field is its name, after its group's name and
// occurrence when it is in a group: lines[3].sku), and the rules of
// occurrence.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vok32x.h"

namespace vok::records {

// printf into out, cut to its size (paths and messages may be cut on purpose).
[[gnu::format(printf, 3, 4)]] void print_cut(char *out, unsigned size, const char *format, ...);

// Sets *error (if not null) and returns status.  message is a printf format.
[[gnu::format(printf, 5, 6)]] uint16_t fail(vokxRecordError *error, uint16_t status,
                                            uint32_t offset, const char *path, const char *message,
                                            ...);

// Clears an error (if not null) as cheaply as a success deserves: status 0,
// offset 0, empty path and message.
inline void clear(vokxRecordError *error) {
    if (error == nullptr) return;
    error->status = 0;
    error->offset = 0;
    error->path[0] = '\0';
    error->message[0] = '\0';
}

// Only the counters a level uses are cleared: a record is read or written
// per call, and the arrays are sized for the largest schema.
template <size_t N> void clear_counts(uint32_t (&counts)[N], uint32_t used) {
    for (uint32_t i = 0; i < used && i < N; ++i)
        counts[i] = 0;
}

// Writes the path of a field (field < 0: of the group occurrence itself) into
// out, of out_size bytes.  group < 0 is the top level.
void field_path(char *out, unsigned out_size, const vokxSchema &schema, int32_t group,
                uint32_t occurrence, int32_t field);

// The fields of a level: the top level's, or a group's.
struct Level {
    const vokxFieldSpec *fields;
    uint32_t count;
};
inline Level level_of(const vokxSchema &schema, int32_t group) {
    if (group < 0) return {schema.fields, schema.field_count};
    const vokxGroupSpec &g = schema.groups[group];
    return {g.fields, g.field_count};
}

// The rules of occurrence, for the reader and the writer alike.
inline bool required(uint32_t flags) { return (flags & (VOKX_OPTIONAL | VOKX_REPEATED)) == 0; }

// Counts one more occurrence of a field or group against its flags and max:
// VOK_OK, VOKX_REPEATED_FIELD or VOKX_TOO_MANY.
inline uint16_t count_occurrence(uint32_t &count, uint32_t flags, uint32_t max) {
    ++count;
    if ((flags & VOKX_REPEATED) != 0) return count > max ? VOKX_TOO_MANY : VOK_OK;
    return count > 1 ? VOKX_REPEATED_FIELD : VOK_OK;
}

inline const char *occurrence_message(uint16_t status) {
    return status == VOKX_TOO_MANY ? "occurs more often than its max" : "occurs twice";
}

} // namespace vok::records
