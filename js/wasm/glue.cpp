// What the JavaScript package calls beyond the libraries' own functions:
// loops that would cost a call across the wasm boundary per item or per
// value if JavaScript ran them.  Each fills a tape of 32-bit words in
// memory this file owns, which JavaScript reads through typed arrays, so
// values cross without being turned into text.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "vok32.h"
#include "vok32x.h"

#define VOKJS_API extern "C" __attribute__((used, visibility("default")))

// The layouts JavaScript reads from memory (src/layout.js), checked here.
static_assert(sizeof(void *) == 4, "the glue describes the wasm32 layout");
static_assert(sizeof(vokStream) == 16);
static_assert(offsetof(vokxSchema, fields) == 12 && offsetof(vokxSchema, groups) == 20);
static_assert(sizeof(vokxFieldSpec) == 24 && offsetof(vokxFieldSpec, detail) == 20);
static_assert(sizeof(vokxGroupSpec) == 24 && offsetof(vokxGroupSpec, field_count) == 20);
static_assert(offsetof(vokxFieldDetail, default_value) == 16);
static_assert(offsetof(vokxFieldDetail, default_text) == 24);
static_assert(sizeof(vokxEnumValue) == 8);
static_assert(offsetof(vokxRecordError, path) == 8 && offsetof(vokxRecordError, message) == 104);

namespace {

// Words per step of a record's tape (a step's 64-bit value sits 8-byte
// aligned), and per item of a walk's.
constexpr uint32_t kWords = 8;
constexpr uint32_t kItemWords = 4;

struct Tape {
    uint32_t *words = nullptr;
    uint32_t steps = 0, capacity = 0;

    // Room for at least `steps` steps.
    bool reserve(uint32_t wanted) {
        if (wanted <= capacity) return true;
        void *moved = std::realloc(words, size_t{wanted} * kWords * 4);
        if (moved == nullptr) return false;
        words = static_cast<uint32_t *>(moved);
        capacity = wanted;
        return true;
    }

    uint32_t *next() {
        if (steps == capacity && !reserve(capacity == 0 ? 256 : capacity * 2)) return nullptr;
        return words + size_t{steps++} * kWords;
    }
};

Tape tape;

uint32_t address(const void *p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

} // namespace

// The tape the last call filled; it moves when it grows.
VOKJS_API uint32_t *vokjsTape(void) { return tape.words; }
VOKJS_API uint32_t vokjsSteps(void) { return tape.steps; }

// Walks up to max items of a stream opened for reading, four words each:
// kind, offset, value (the signed value for a signed item, the length for
// a string), text address.  An item's size is where the next one starts
// (the stream's position, after the last).  Returns the items written;
// *status is VOK_OK while items remain, then VOK_END_OF_STREAM or
// vokxNextItem's refusal.
VOKJS_API int32_t vokjsWalk(vokStream *stream, uint32_t max, uint16_t *status) {
    if (!tape.reserve(max < 65536 ? max : 65536)) {
        *status = VOK_NO_MEMORY;
        return 0;
    }
    uint32_t *w = tape.words;
    uint32_t count = 0;
    const uint32_t room = tape.capacity * kWords / kItemWords;
    vokxItem item;
    uint16_t step = VOK_OK;
    while (count < max && count < room && (step = vokxNextItem(stream, &item)) == VOK_OK) {
        w[0] = item.kind;
        w[1] = item.offset;
        // Of value, signed value and length, only the item's own is not zero.
        w[2] = item.value | static_cast<uint32_t>(item.signed_value) | item.length;
        w[3] = address(item.text);
        w += kItemWords;
        ++count;
    }
    *status = step;
    return static_cast<int32_t>(count);
}

// Walks the items of consecutive blocks, from the block at bytes[*at] on,
// as vokjsWalk does but with each block's items followed by its end
// marker's step (kind VOK_END, offset from the file's start, value the
// block's length): at most max steps, ending on a block's end.  Moves *at
// past the blocks walked; returns the steps, with *status VOK_OK while
// blocks remain, VOK_END_OF_STREAM at the end of the bytes, or the refusal
// of the first block that does not frame or walk (its offset in *at).
VOKJS_API int32_t vokjsWalkBlocks(const uint8_t *bytes, uint32_t size, uint32_t *at, uint32_t max,
                                  uint16_t *status) {
    if (!tape.reserve(max / 2 + 1)) {
        *status = VOK_NO_MEMORY;
        return 0;
    }
    uint32_t *w = tape.words;
    uint32_t count = 0;
    *status = VOK_OK;
    while (*at < size) {
        vokxBlockInfo info;
        const uint16_t framed = vokxInspect(bytes + *at, size - *at, &info);
        if (framed != VOK_OK) {
            *status = framed;
            break;
        }
        // A block has fewer items than bytes: one that may not fit waits for
        // the next call, which makes room for it however large it is.
        if (info.length > max - count) {
            if (count > 0) break;
            max = info.length;
            if (!tape.reserve(max / 2 + 1)) {
                *status = VOK_NO_MEMORY;
                return 0;
            }
            w = tape.words;
        }
        vokStream stream{};
        vokxOpen(&stream, bytes + *at, info.length, info.type, info.version);
        uint32_t *first = w;
        vokxItem item;
        uint16_t step;
        while ((step = vokxNextItem(&stream, &item)) == VOK_OK && count < max) {
            w[0] = item.kind;
            w[1] = *at + item.offset;
            w[2] = item.value | static_cast<uint32_t>(item.signed_value) | item.length;
            w[3] = address(item.text);
            w += kItemWords;
            ++count;
        }
        if (step != VOK_END_OF_STREAM) { // the block's walk failed: leave it out
            count -= static_cast<uint32_t>(w - first) / kItemWords;
            *status = step;
            return static_cast<int32_t>(count);
        }
        if (count == max) break;
        w[0] = VOK_END;
        w[1] = *at + info.length - 1;
        w[2] = info.length;
        w[3] = 0;
        w += kItemWords;
        ++count;
        *at += info.length;
    }
    if (*at >= size) *status = VOK_END_OF_STREAM;
    return static_cast<int32_t>(count);
}

// Walks a stream opened for reading to its end without describing its
// items: VOK_END_OF_STREAM when every item is sound, else the refusal.
VOKJS_API uint16_t vokjsWalkToEnd(vokStream *stream) {
    uint16_t status;
    while ((status = vokxNextItem(stream, nullptr)) == VOK_OK) {
    }
    return status;
}

// Reads a whole record, a step per field value or group occurrence: group,
// occurrence, field (or VOKX_RECORD_GROUP / VOKX_RECORD_UNKNOWN), the
// item's kind, the value's 8 bytes (vokxValue), text address and length.
// Returns the status of the open (VOK_OK, VOK_OLDER_VERSION,
// VOK_NEWER_VERSION) or the refusal, with *error filled.
VOKJS_API uint16_t vokjsDecode(const vokxSchema *schema, const uint8_t *bytes, uint32_t size,
                               vokxRecordError *error) {
    tape.steps = 0;
    static vokxRecordReader reader;
    uint16_t opened = vokxRecordOpen(&reader, schema, bytes, size, error);
    if (opened != VOK_OK && opened != VOK_OLDER_VERSION && opened != VOK_NEWER_VERSION)
        return opened;
    vokxRecordField field;
    for (;;) {
        const uint16_t status = vokxRecordNext(&reader, &field, error);
        if (status == VOK_END_OF_STREAM) return opened;
        if (status != VOK_OK) return status;
        uint32_t *w = tape.next();
        if (w == nullptr) return VOK_NO_MEMORY;
        w[0] = static_cast<uint32_t>(field.group);
        w[1] = field.occurrence;
        w[2] = static_cast<uint32_t>(field.field);
        w[3] = field.item.kind;
        vokxValue value{};
        if (field.field >= 0) {
            const vokxFieldSpec &spec = field.group < 0
                                            ? schema->fields[field.field]
                                            : schema->groups[field.group].fields[field.field];
            if (vokxFieldValue(&spec, &field.item, &value) != VOK_OK) value.unsigned64 = 0;
        }
        std::memcpy(w + 4, &value, 8);
        w[6] = address(field.item.text);
        w[7] = field.item.length;
    }
}

namespace {

// kRefused stands where JavaScript found a value of the wrong shape: the
// record is refused there, after what comes before it was written.
enum Operation : uint32_t { kJsonValue = 0, kText = 1, kGroup = 2, kRefused = 3 };

bool holds_default(const vokxFieldSpec &field, const vokxValue &value) {
    const vokxFieldDetail *d = field.detail;
    if (d == nullptr || d->has_default == 0) return false;
    const size_t bytes = field.kind == VOKX_KIND_FLOAT32 ? 4 : 8; // floats by their bits
    return std::memcmp(&value, &d->default_value, bytes) == 0;
}

bool holds_default_text(const vokxFieldSpec &field, const uint8_t *text, uint32_t length) {
    const vokxFieldDetail *d = field.detail;
    return d != nullptr && d->has_default != 0 && d->default_text.length == length &&
           (length == 0 || std::memcmp(d->default_text.data, text, length) == 0);
}

uint16_t put_step(vokxRecordWriter &writer, const vokxSchema &schema, int32_t &group,
                  const uint32_t *w, vokxRecordError *error, const char **why) {
    if (w[0] == kRefused) return VOK_WRONG_TYPE;
    if (w[0] == kGroup) {
        group = static_cast<int32_t>(w[1]);
        return vokxRecordGroup(&writer, w[1], error);
    }
    const vokxFieldSpec &field =
        group < 0 ? schema.fields[w[1]] : schema.groups[group].fields[w[1]];
    const auto *text = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(w[2]));
    if (w[0] == kText) {
        if (holds_default_text(field, text, w[3])) return VOK_OK;
        vokxItem item{};
        item.text = text;
        item.length = w[3];
        return vokxRecordPut(&writer, w[1], &item, error);
    }
    vokxValue value{};
    const uint16_t parsed =
        vokxValueParse(&field, reinterpret_cast<const char *>(text), w[3], &value, why);
    if (parsed != VOK_OK) return parsed;
    if (holds_default(field, value)) return VOK_OK;
    return vokxRecordPutValue(&writer, w[1], &value, error);
}

} // namespace

// Writes a record from a tape of steps JavaScript filled (4 words each):
// operation, field or group index, address and length of the value's JSON
// text (kJsonValue, read by vokxValueParse, the values' one rule) or of a
// string's bytes (kText).  The block is left in *stream, closed.  Returns
// VOK_OK, or the refusal with *failed the step and *why (for a value the
// engine could not parse) or *error filled.
VOKJS_API uint16_t vokjsEncode(const vokxSchema *schema, const uint32_t *steps, uint32_t count,
                               uint32_t version, vokStream *stream, vokxRecordError *error,
                               uint32_t *failed, const char **why) {
    *why = nullptr;
    if (vokCreateStream(stream, static_cast<uint8_t>(schema->type), version) != VOK_OK)
        return VOK_NO_MEMORY;
    vokxRecordWriter writer;
    uint16_t status = vokxRecordBegin(&writer, schema, stream, error);
    int32_t group = -1;
    for (uint32_t i = 0; i < count && status == VOK_OK; ++i) {
        status = put_step(writer, *schema, group, steps + size_t{i} * 4, error, why);
        *failed = i;
    }
    if (status == VOK_OK) {
        *failed = count;
        status = vokxRecordEnd(&writer, error);
    }
    if (status == VOK_OK) status = vokCloseStream(stream);
    if (status != VOK_OK && vokCloseStream(stream) == VOK_OK) vokDestroyStream(vokGetData(stream));
    return status;
}
