// A strict JSON text as a flat array of values, for the schema loader.
// Strings are decoded (escapes resolved; a lone surrogate is kept as the
// three bytes that would encode it, which no identifier contains), numbers
// keep their text so that the loader can refuse -0 or 1.0 where it wants an
// integer, and members keep their order, duplicates included: the loader
// names them by path.  Nesting is bounded before any recursion.  A small
// text (one value, as vokxValueParse reads for each field) fits in the
// tree itself; a larger one takes memory from malloc, which goes back when
// the tree is destroyed; nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vok32x.h"

namespace vok::records {

// Deeper than any schema needs (a group's field is five levels down).
inline constexpr uint32_t kMaxJsonDepth = 32;
// Larger than any schema needs; offsets and counts then fit 32 bits.
inline constexpr size_t kMaxJsonText = size_t{16} << 20;

struct JsonValue {
    enum Type : uint8_t { null, boolean, number, string, array, object };
    Type type;
    bool truth;          // boolean
    uint32_t offset;     // of the value's first byte in the text
    uint32_t text;       // string: its decoded bytes in the tree's buffer;
    uint32_t length;     // number: its characters in the source text
    uint32_t key;        // as an object's member: its decoded key
    uint32_t key_length; //   in the tree's buffer
    uint32_t first;      // first element or member; 0 for none
    uint32_t next;       // the next one of the same container; 0 for none
    uint32_t count;      // elements or members
};

class JsonTree {
  public:
    JsonTree() = default;
    JsonTree(const JsonTree &) = delete;
    JsonTree &operator=(const JsonTree &) = delete;
    ~JsonTree();

    // VOK_OK, or VOKX_BAD_SCHEMA with error->offset at the byte and
    // error->message "not JSON: ..."; VOK_NO_MEMORY when malloc fails.  A
    // leading UTF-8 byte order mark is skipped.
    uint16_t parse(const char *text, size_t length, vokxRecordError *error);

    const JsonValue &root() const { return values_[0]; }
    const JsonValue &at(uint32_t index) const { return values_[index]; }
    // The decoded bytes at an offset of the buffer (a string's or a key's).
    const char *decoded(uint32_t offset) const { return buffer_ + offset; }
    const char *source() const { return source_; }

  private:
    class Parser;

    static constexpr uint32_t kInlineValues = 8, kInlineBuffer = 128;
    JsonValue inline_values_[kInlineValues];
    char inline_buffer_[kInlineBuffer];
    JsonValue *values_ = inline_values_;
    uint32_t value_count_ = 0, value_room_ = kInlineValues;
    char *buffer_ = inline_buffer_; // never empty, so decoded() has memory to point at
    uint32_t buffer_size_ = 0, buffer_room_ = kInlineBuffer;
    const char *source_ = nullptr;
};

} // namespace vok::records
