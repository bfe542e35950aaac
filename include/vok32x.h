/*
 * vok32x -- the companion library of vok32: sized opening, framing, walking
 * and raw item writing, plus names for the status codes.
 *
 * vok32's readers trust the block they are given: vokOpenStream takes no
 * size and believes the length field.  vok32x takes the number of bytes the
 * caller really holds and never reads at or past it, nor at or past a
 * block's own length field.  It calls vok32 only through its exported
 * functions, so it works with any build of vok32.h.
 *
 *   vokxInspect     frames one block at the start of a byte sequence: how
 *                   long it is, whether it is all there and well-formed;
 *   vokxOpen        vokOpenStream with a size;
 *   vokxNextItem    describes the next item of an opened stream, strings in
 *                   place, and moves past it; it also passes over one item;
 *   vokxWriteItem   appends one item given as its bytes, vokxPutItem one
 *                   item as vokxNextItem describes it (its inverse), and
 *                   vokxWriteString, vokxWriteUTF8String and
 *                   vokxWriteSafeString strings of a known length;
 *   vokxKindClass   what an item's kind is, whatever width its tag names,
 *                   and vokxFieldWidth the width it names;
 *   vokxStatusName, vokxStatusText, vokxVersion, and the size helpers
 *                   vokxUnsignedSize ... vokxFrameSize;
 *   records         a schema of named fields, and the one engine that
 *                   checks it, writes records by it and reads them back,
 *                   field by field or whole, to and from a struct.
 *
 * Every function returns a 16-bit status of vok32.h (or VOKX_NEED_MORE)
 * unless its comment says otherwise.  Nothing is thrown, logged or printed,
 * and nothing is allocated except by the writers for items of more than a
 * few hundred bytes and by vokxSchemaParse, which reads a schema file into a
 * document of its own (malloc; vokxSchemaFree releases it).
 */
#ifndef VOK32X_H
#define VOK32X_H

#include <stddef.h>
#include <stdint.h>

#include "vok32.h"
#include "vok32_statuses.h"

#if defined(_WIN32)
#define VOKX_API
#elif defined(VOK32X_BUILDING_LIBRARY)
#define VOKX_API __attribute__((visibility("default")))
#else
#define VOKX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* VOKX_NEED_MORE (64): more bytes are needed to see a whole frame
 * (vokxInspect).  Not a vok32 status: vok32 never returns it.  It and the
 * record statuses are defined, with every status's name and sentence, in
 * vok32_statuses.h. */

/* The frame of one block, as vokxInspect finds it. */
typedef struct vokxBlockInfo {
    uint32_t length;  /* the length field (total bytes of the block) */
    uint8_t type;     /* stream type */
    uint32_t version; /* version value */
    uint32_t body;    /* offset of the first item */
} vokxBlockInfo;

/* One item, as vokxNextItem describes it.  Fields that do not apply are zero. */
typedef struct vokxItem {
    uint8_t kind;         /* what vokPeek reports for the item: the tag as written
                             (210/212/213 ... show the width), VOK_USER_MARK (225)
                             for a user mark, VOK_END (201) for the end marker */
    uint32_t offset;      /* where the item starts in the block */
    uint32_t size;        /* bytes the item takes */
    uint32_t value;       /* unsigned value, flag byte, user mark, phrase
                             identifier, safe string's length */
    int32_t signed_value; /* signed value */
    const uint8_t *text;  /* plain or UTF-8 string content, in place, not
                             terminated (zero bytes included); NULL otherwise */
    uint32_t length;      /* bytes of text; 0 otherwise */
} vokxItem;

/* ======================================================================== */
/* Framing and opening                                                       */
/* ======================================================================== */

/* Looks at the block that starts at bytes, of which size bytes are there, and
 * never reads at or past bytes + size.  Returns
 *   VOK_OK              a whole, well-formed frame: length field from 9 to
 *                       size, start marker, an unsigned version item that
 *                       ends before the end marker, end marker at length - 1;
 *                       info holds all four fields.  The block's items are not
 *                       looked at (vokxNextItem checks each).
 *   VOKX_NEED_MORE      fewer than 4 bytes, or fewer than the length field
 *                       says, and nothing seen so far rules the block out.
 *                       From 4 bytes on info->length tells how many bytes to
 *                       wait for.
 *   VOK_INVALID_STREAM  the bytes can never become a valid block: a length
 *                       below 9, no start marker at offset 4, a version byte
 *                       that is not an unsigned tag, a version item that
 *                       cannot end before the end marker, or no end marker;
 *                       each is reported as soon as its bytes are there.
 * info may be null.  Otherwise it is cleared first, then filled as far as the
 * bytes go: length from 4 bytes on, type from 6, version and body once the
 * version item is whole.  Null bytes count as no bytes.  To walk a sequence
 * of blocks, inspect at offset 0, go on at offset info.length, and stop at
 * the first status other than VOK_OK. */
VOKX_API uint16_t vokxInspect(const uint8_t *bytes, size_t size, vokxBlockInfo *info);

/* vokOpenStream for a block of which size bytes are there.  Refuses with
 * VOK_INVALID_STREAM, reading nothing at or past size, when size is below 9
 * or the length field T is below 9 or above size: data is set to bytes,
 * active to 0, position is kept.  Null bytes give VOK_INVALID_STREAM with the
 * record untouched.  A block that fits gives what vokOpenStream gives, checked
 * in the same order with the same positions: VOK_INVALID_STREAM for a missing
 * end marker, VOK_UNEXPECTED, VOK_WRONG_STREAM_TYPE, VOK_BAD_VERSION, then
 * VOK_INVALID_STREAM (position 6, active 0) for a version item that runs
 * into the end marker; VOK_OK, VOK_OLDER_VERSION or VOK_NEWER_VERSION leave
 * position on the first item.  The version item's fit is checked here, before
 * vokOpenStream is called, so no build of vok32 is asked to read past T. */
VOKX_API uint16_t vokxOpen(vokStream *stream, const uint8_t *bytes, size_t size, uint8_t type,
                           uint32_t version);

/* ======================================================================== */
/* Walking and writing items                                                 */
/* ======================================================================== */

/* On a stream opened for reading (by vokxOpen or vokOpenStream): describes
 * the item at position in *item and moves position past it.  Returns
 *   VOK_OK              item filled, position moved by item->size;
 *   VOK_END_OF_STREAM   the end marker, wherever it stands: kind VOK_END,
 *                       offset, size 1; position does not move;
 *   VOK_INVALID_STREAM  an item that does not end before the block's last
 *                       byte, the start tag, an unassigned tag (225 among
 *                       them) or a byte of 233 or more; position does not
 *                       move and *item is cleared;
 *   VOK_NOT_ACTIVE      a handle that is not active or is open for writing;
 *                       *item is cleared.
 * Nothing at or past the block's length field is read.  Items are reported as
 * they are written, not as a writer would have chosen: a wide field holding a
 * small value keeps its tag, a flag byte of 7 is 7, any non-zero sign byte
 * negates.  item may be null to pass over one item. */
VOKX_API uint16_t vokxNextItem(vokStream *stream, vokxItem *item);

/* Appends one whole item, given as its bytes, to a stream open for writing:
 * any width the format allows, wider than needed included; a user mark is
 * one byte below 200.  The item goes through vokAppendStream as the body of a
 * small closed block, so the buffer grows by the append rule: when it does not
 * fit, to position + max(size + 1, 128) bytes.  Refuses, writing nothing:
 *   VOK_NOT_ACTIVE      the handle is not open for writing;
 *   VOK_INVALID_STREAM  the bytes are not exactly one whole item: empty or
 *                       null, the start or end marker, 225 or another
 *                       unassigned tag, a byte of 233 or more, too few bytes
 *                       for the item or bytes after it;
 *   VOK_NO_MEMORY       memory ran out, or the stream would outgrow the
 *                       32-bit size range. */
VOKX_API uint16_t vokxWriteItem(vokStream *stream, const uint8_t *item, size_t size);

/* Appends the item that *item describes, the inverse of vokxNextItem: kind
 * names the tag and so the width (VOK_UNSIGNED_4 with value 300 writes a
 * 4-byte field), VOK_USER_MARK writes the mark in value.  The fields read
 * are those vokxNextItem fills for the kind: value (unsigned value, flag
 * byte, phrase identifier, user mark, safe string's length), signed_value
 * (its sign byte is 1 when negative, 0 otherwise), text and length (plain
 * and UTF-8 strings; zero bytes kept); offset and size are ignored.  Growth
 * and refusals, nothing written, are vokxWriteItem's, VOK_INVALID_STREAM
 * standing for a null item, a kind that no item has (the start or end
 * marker, a raw byte below 200, an unassigned tag), a user mark above 199,
 * a value, magnitude or length the kind's width cannot hold, or null text
 * with a length above 0. */
VOKX_API uint16_t vokxPutItem(vokStream *stream, const vokxItem *item);

/* vokWriteString and vokWriteUTF8String for length bytes at bytes, zero
 * bytes included: the same item (the narrowest width) and the same refusals
 * (VOK_NOT_ACTIVE; VOK_STRING_TOO_LONG for a plain string above 65,535
 * bytes).  Null bytes with a length above 0 give VOK_INVALID_STREAM, nothing
 * written.  Growth as vokxWriteItem: the item goes through vokAppendStream. */
VOKX_API uint16_t vokxWriteString(vokStream *stream, const uint8_t *bytes, uint32_t length);
VOKX_API uint16_t vokxWriteUTF8String(vokStream *stream, const uint8_t *bytes, uint32_t length);

/* vokWriteSafeString for a string of length bytes: the same item and
 * refusals, but VOK_OK when written (vokWriteSafeString reports
 * VOK_UNEXPECTED then).  Growth as vokxWriteItem. */
VOKX_API uint16_t vokxWriteSafeString(vokStream *stream, uint32_t length);

/* The class of vokxItem.kind, whatever width the tag names; raw bytes below
 * 200 (vokxNextItem reports a mark as VOK_USER_MARK), the markers other
 * than the end, unassigned tags and bytes of 233 or more are
 * VOKX_CLASS_INVALID. */
#define VOKX_CLASS_INVALID 0
#define VOKX_CLASS_FLAG 1      /* 202 */
#define VOKX_CLASS_UNSIGNED 2  /* 210, 212, 213 */
#define VOKX_CLASS_SIGNED 3    /* 216, 217, 218 */
#define VOKX_CLASS_STRING 4    /* 204, 205 */
#define VOKX_CLASS_UTF8 5      /* 208, 209, 232 */
#define VOKX_CLASS_SAFE 6      /* 226, 227 */
#define VOKX_CLASS_USER_MARK 7 /* 225, VOK_USER_MARK */
#define VOKX_CLASS_PHRASE 8    /* 224 */
#define VOKX_CLASS_END 9       /* 201 */
VOKX_API uint8_t vokxKindClass(uint8_t kind);

/* The width in bytes of the field a tag puts after itself: 1, 2 or 4 for a
 * number, a magnitude or a string's length, 1 for a flag's or a phrase
 * mark's byte; 0 for user marks, VOK_USER_MARK and bytes that start no such
 * item. */
VOKX_API uint8_t vokxFieldWidth(uint8_t kind);

/* ======================================================================== */
/* Names, version and sizes                                                  */
/* ======================================================================== */

/* "VOK_OK", "VOK_NO_MEMORY" ... for every vok32 status, "VOKX_NEED_MORE",
 * "VOK_INVALID" for 233, "unknown status" for any other value.  Never null;
 * the strings are static. */
VOKX_API const char *vokxStatusName(uint16_t status);

/* A short English sentence for every status vokxStatusName names, and
 * "unknown status" otherwise.  Never null; the strings are static. */
VOKX_API const char *vokxStatusText(uint16_t status);

/* VOK32_VERSION_STRING of the vok32x build, e.g. "1.0.0". */
VOKX_API const char *vokxVersion(void);

/* Bytes the encoders write for one item: an unsigned value (2, 3 or 5), a
 * signed value (3, 4 or 6), a plain or UTF-8 string of length bytes (its
 * tag and length field plus the content; UINT32_MAX when that exceeds the
 * 32-bit range), and the frame of a stream (length field, start marker, type,
 * version item and end marker: 9, 10 or 12). */
VOKX_API uint32_t vokxUnsignedSize(uint32_t value);
VOKX_API uint32_t vokxSignedSize(int32_t value);
VOKX_API uint32_t vokxStringSize(uint32_t length);
VOKX_API uint32_t vokxFrameSize(uint32_t version);

/* ======================================================================== */
/* Records                                                                   */
/* ======================================================================== */

/*
 * A record is a block whose items are named fields: a user mark (0-199)
 * followed by exactly one value item, for the fields of the top level, then
 * groups of fields, each occurrence opened by its phrase mark.  A schema
 * describes a stream type's fields as a table that may be static const data
 * (nothing here allocates):
 *
 *   - writing (vokxRecordBegin, vokxRecordPut, vokxRecordGroup, vokxRecordEnd)
 *     puts the top-level fields in schema order, then the groups in schema
 *     order, each field as its mark and one value item in the narrowest
 *     width, and checks presence, repetition and counts as it goes;
 *   - reading (vokxRecordOpen, vokxRecordNext) takes fields in any order
 *     within their level, reports each known field, group occurrence and
 *     item passed over, and refuses what breaks the schema, with a path
 *     such as lines[3].sku (occurrences count from 0), the item's offset and
 *     a status.  A mark the level does not know is passed over with the
 *     value items after it, a phrase the schema does not know with all of
 *     its items: newer writers may add fields;
 *   - vokxRecordEncode and vokxRecordDecode do either for a whole record
 *     held in a struct whose layout the caller describes (the C that
 *     `vok gen c` writes), with the same checks.
 *
 * Every function here takes a schema that vokxSchemaCheck accepted; the
 * table must stay valid while readers and writers use it.
 */

/* Record statuses (vok32_statuses.h): VOKX_BAD_FIELD 65, VOKX_MISSING_FIELD
 * 66, VOKX_REPEATED_FIELD 67, VOKX_TOO_MANY 68, VOKX_BAD_SCHEMA 69. */

/* Content of a string field: a view, not terminated, zero bytes included. */
typedef struct vokxText {
    const uint8_t *data;
    uint32_t length;
} vokxText;

/* Why a record or schema was refused.  path and message are terminated and
 * cut to fit; path is empty when the refusal concerns the whole block. */
typedef struct vokxRecordError {
    uint16_t status;   /* the status returned */
    uint32_t offset;   /* offset of the item in the block where it was found */
    char path[96];     /* lines[3].sku, or fields[2].mark for a schema */
    char message[160]; /* what is wrong, in a sentence */
} vokxRecordError;

/* Field flags. */
#define VOKX_OPTIONAL 1u /* may be absent (not with VOKX_REPEATED) */
#define VOKX_REPEATED 2u /* occurs 0 to max times */

/* A field's kind.  The first six are the item classes of the same numbers
 * (a field of such a kind holds one item of that class); the others ride on
 * items the format already has, so a reader without the schema still walks
 * them:
 *   unsigned64  an unsigned item for values below 2^32, else a plain string
 *               of exactly 8 bytes holding the value big-endian;
 *   signed64    a signed item for values in -2^31..2^31-1, else a plain
 *               string of exactly 8 bytes, big-endian two's complement;
 *   float32/64  a plain string of exactly 4 or 8 bytes: the IEEE 754 bits,
 *               big-endian, NaN payloads and the sign of zero kept;
 *   enum        an unsigned item; the schema names some numbers, and a
 *               number it does not name is still read;
 *   timestamp   as signed64, milliseconds since 1970-01-01T00:00:00Z.
 * A reader takes either carrier of a 64-bit kind whatever the value (and a
 * plain string of 8 bytes whatever the width of its length field). */
#define VOKX_KIND_FLAG VOKX_CLASS_FLAG
#define VOKX_KIND_UNSIGNED VOKX_CLASS_UNSIGNED
#define VOKX_KIND_SIGNED VOKX_CLASS_SIGNED
#define VOKX_KIND_STRING VOKX_CLASS_STRING
#define VOKX_KIND_UTF8 VOKX_CLASS_UTF8
#define VOKX_KIND_SAFE VOKX_CLASS_SAFE
#define VOKX_KIND_UNSIGNED64 16
#define VOKX_KIND_SIGNED64 17
#define VOKX_KIND_FLOAT32 18
#define VOKX_KIND_FLOAT64 19
#define VOKX_KIND_ENUM 20
#define VOKX_KIND_TIMESTAMP 21

/* A value of any kind but the string kinds: the member the kind names
 * (flag, unsigned, enum, safe's length and unsigned64 in unsigned64;
 * signed, signed64 and timestamp in signed64). */
typedef union vokxValue {
    uint64_t unsigned64;
    int64_t signed64;
    float float32;
    double float64;
} vokxValue;

/* A vokxValue initialiser's first member (unsigned64) holding a float32's
 * bits where the float32 member lies, for static tables:
 * {VOKX_FLOAT32_BITS(0x3fc00000u)} is 1.5f. */
#if defined(__BYTE_ORDER__) && defined(__ORDER_BIG_ENDIAN__) &&                                    \
    __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#define VOKX_FLOAT32_BITS(bits) ((uint64_t)(bits) << 32)
#else
#define VOKX_FLOAT32_BITS(bits) ((uint64_t)(bits))
#endif

/* One named number of an enum field. */
typedef struct vokxEnumValue {
    const char *name; /* an identifier, unique in the field */
    uint32_t number;  /* 0 to 2^31 - 1, unique in the field */
} vokxEnumValue;

/* What a field may carry beyond its spec: the names of an enum's numbers
 * and a default.  A field with a default is optional on the wire: the
 * encoders (vokxRecordEncode, the tool, Python, generated code) leave it out
 * when it holds the default (floats compared by their bits), and
 * vokxRecordDecode and the front ends give the default when it is absent.
 * vokxRecordPut and vokxRecordPutValue write what they are given. */
typedef struct vokxFieldDetail {
    const vokxEnumValue *values; /* enum: its named numbers; else null */
    uint32_t value_count;
    uint32_t has_default;    /* non-zero: the field has a default */
    vokxValue default_value; /* the default of a kind with a vokxValue */
    vokxText default_text;   /* the default of a string or utf8 field */
} vokxFieldDetail;

/* A field: kind is one of VOKX_KIND_*.  detail may be null (no names, no
 * default); a default needs an optional field that is not repeated and a
 * kind other than safe, and a default of an enum need not be named. */
typedef struct vokxFieldSpec {
    const char *name;              /* an identifier: [A-Za-z_][A-Za-z0-9_]* */
    uint32_t mark;                 /* 0-199, unique in its level */
    uint32_t kind;                 /* VOKX_KIND_* */
    uint32_t flags;                /* VOKX_OPTIONAL, VOKX_REPEATED or 0 (required) */
    uint32_t max;                  /* repeated: most occurrences, at least 1; else 0 */
    const vokxFieldDetail *detail; /* null, or enumeration names and a default */
} vokxFieldSpec;

/* A group of fields; each occurrence starts with its phrase mark and runs to
 * the next phrase mark or the end, so groups do not nest. */
typedef struct vokxGroupSpec {
    const char *name; /* an identifier, unique among the top level's fields and groups */
    uint32_t phrase;  /* 0-255, unique */
    uint32_t flags;   /* VOKX_OPTIONAL, VOKX_REPEATED or 0 (exactly once) */
    uint32_t max;     /* repeated: most occurrences, at least 1; else 0 */
    const vokxFieldSpec *fields;
    uint32_t field_count;
} vokxGroupSpec;

/* The fields of a stream type, top level first. */
typedef struct vokxSchema {
    const char *name; /* an identifier */
    uint32_t type;    /* the stream type, 0-255 */
    uint32_t version; /* written into records; other versions are read too */
    const vokxFieldSpec *fields;
    uint32_t field_count;
    const vokxGroupSpec *groups;
    uint32_t group_count;
} vokxSchema;

/* Checks a schema: kinds, flags and max as described above; type 0-255,
 * marks 0-199 and phrases 0-255, each unique in its level; names are
 * identifiers, unique among a level's fields (and, at the top, its groups);
 * null arrays only with a count of 0.  VOK_OK, or VOKX_BAD_SCHEMA with
 * error (may be null) naming the first fault: path "fields[2].mark",
 * message "200 is above 199".  Reads the table only. */
VOKX_API uint16_t vokxSchemaCheck(const vokxSchema *schema, vokxRecordError *error);

/* A schema file (JSON, UTF-8; docs/schema.md) read into a schema: the one
 * reader of schema files, which the vok tool and Python use.  The file's
 * shape is checked (keys known and each once, their JSON types, kinds by
 * name, integers written as digits alone, so -0 and 1.0 are refused; names
 * ASCII identifiers over their whole length), then vokxSchemaCheck's rules.
 * A leading byte order mark is skipped; text over 16 MiB, bytes that are
 * not UTF-8 and arrays or objects nested deeper than 32 are refused before
 * anything is built from them.  VOK_OK with *out a document that owns the
 * schema and all it points to; else *out is null and VOKX_BAD_SCHEMA comes
 * with error naming the place (path "fields[2].mark"; for text that is not
 * JSON an empty path, message "not JSON: ... at byte N" and the byte as
 * offset), or VOK_NO_MEMORY.  Allocates with malloc: while reading, memory in
 * proportion to the text, freed before it returns; the document, one block. */
typedef struct vokxSchemaDocument vokxSchemaDocument;

VOKX_API uint16_t vokxSchemaParse(const char *json, size_t length, vokxSchemaDocument **out,
                                  vokxRecordError *error);
/* The document's schema, valid until vokxSchemaFree; null for null. */
VOKX_API const vokxSchema *vokxSchemaOf(const vokxSchemaDocument *document);
/* Releases a document (null is ignored). */
VOKX_API void vokxSchemaFree(vokxSchemaDocument *document);

/* Reading.  The reader is the caller's; its fields are the engine's own. */
typedef struct vokxRecordReader {
    vokStream stream;
    const vokxSchema *schema;
    int32_t group;       /* level being read: -1 the top, else a group index;
                            -2 an unknown phrase */
    uint32_t occurrence; /* of the group being read */
    int32_t pending;     /* field whose mark was read, awaiting its value; -1 none */
    uint32_t pending_offset;
    int32_t completed; /* field whose value was the last item; -1 none */
    uint32_t passing;  /* non-zero: items after an unknown mark are passed over */
    uint16_t status;   /* VOK_OK while reading; the end or the refusal after */
    uint32_t field_counts[200];
    uint32_t group_counts[256];
} vokxRecordReader;

#define VOKX_RECORD_GROUP (-1)   /* vokxRecordField.field: a group occurrence begins */
#define VOKX_RECORD_UNKNOWN (-2) /* vokxRecordField.field: an item passed over */

/* One step of a record, as vokxRecordNext reports it. */
typedef struct vokxRecordField {
    int32_t group;       /* -1 for the top level, else the group's index */
    uint32_t occurrence; /* the group's occurrence, from 0 (0 at the top) */
    int32_t field;       /* the field's index in its level's table, or
                            VOKX_RECORD_GROUP, or VOKX_RECORD_UNKNOWN */
    vokxItem item;       /* the value item, the phrase mark, or the item
                            passed over (a mark, a value, a phrase mark...) */
} vokxRecordField;

/* Opens a record of size bytes with vokxOpen (the schema's type and version):
 * VOK_OK, VOK_OLDER_VERSION or VOK_NEWER_VERSION when it can be read, else
 * vokxOpen's refusal, with error (may be null) filled; for
 * VOK_WRONG_STREAM_TYPE its offset is the type byte's, 5. */
VOKX_API uint16_t vokxRecordOpen(vokxRecordReader *reader, const vokxSchema *schema,
                                 const uint8_t *bytes, size_t size, vokxRecordError *error);

/* The next field of the record in *field (which any call may change): VOK_OK;
 * VOK_END_OF_STREAM once the
 * whole record has been read and found complete; or a refusal, with error
 * (may be null) filled, after which the reader gives the same refusal again:
 *   VOK_WRONG_TYPE         a field's value is of another kind (a plain
 *                          string in a utf8 field, and the reverse, too);
 *   VOKX_BAD_FIELD         a mark followed by no value item or by two, or a
 *                          value item with no mark before it;
 *   VOKX_MISSING_FIELD     a required field or group absent (reported where
 *                          its level ends);
 *   VOKX_REPEATED_FIELD    a field or group that is not repeated, twice;
 *   VOKX_TOO_MANY          a repeated one more than max times;
 *   VOK_INVALID_STREAM     a byte 225, an unassigned tag, an item that runs
 *                          past the block (vokxNextItem's refusals).
 * Nothing at or past the size given to vokxRecordOpen is read. */
VOKX_API uint16_t vokxRecordNext(vokxRecordReader *reader, vokxRecordField *field,
                                 vokxRecordError *error);

/* The value of an item read for a field (as vokxRecordNext reports it):
 * VOK_OK with *value set, or VOK_WRONG_TYPE, *value untouched, when the item
 * carries no value of the field's kind or the kind is string or utf8. */
VOKX_API uint16_t vokxFieldValue(const vokxFieldSpec *field, const vokxItem *item,
                                 vokxValue *value);

/* A value of a field as JSON text, the form the vok tool reads and writes:
 * flag true/false; numbers exactly; an enum's name as a JSON string where
 * the field names its number, else the number; a timestamp as RFC 3339 in
 * UTC with three fraction digits ("2026-12-06T23:24:49.123Z") for the years
 * 0001 to 9999, else its milliseconds; a float as the shortest number that
 * reads back to the same bits, "NaN" for the quiet NaN with no payload and
 * a clear sign bit, "Infinity" and "-Infinity", and any other NaN as
 * {"bits": "7ff0000000000001"} (8 hex digits for float32).  Not for string,
 * utf8 and safe fields.  Writes at most size bytes, terminated, and returns
 * the length the whole text needs (as snprintf); 0 for a kind it does not
 * write.  64 bytes hold any value but an enum's long name. */
VOKX_API size_t vokxValueFormat(const vokxFieldSpec *field, const vokxValue *value, char *out,
                                size_t size);

/* The value a field's JSON text stands for, every form vokxValueFormat
 * writes and also: an enum's number as a number, a timestamp's
 * milliseconds as an integer and RFC 3339 with any offset (converted to
 * UTC) and any fraction digits, those past the third zero; floats as any
 * JSON number that their type can hold (rounded to nearest; too large for
 * it is refused).  VOK_OK; VOKX_BAD_FIELD for a value of the kind's form
 * that it cannot hold (an integer out of range, a float too large or too
 * small for its type but not zero, digits below the millisecond); else
 * VOK_WRONG_TYPE.  On a refusal *message (may be null) points to a static
 * sentence of what the field takes; *value is set only on success. */
VOKX_API uint16_t vokxValueParse(const vokxFieldSpec *field, const char *json, size_t length,
                                 vokxValue *value, const char **message);

/* Writing.  The writer is the caller's; its fields are the engine's own. */
typedef struct vokxRecordWriter {
    vokStream *stream;
    const vokxSchema *schema;
    uint32_t start;     /* the stream's position when the record began */
    int32_t group;      /* -1 the top level, -2 once ended, else the group
                           being written */
    int32_t last_field; /* the last field written at this level; -1 none */
    int32_t last_group; /* the last group begun; -1 none */
    uint16_t status;    /* VOK_OK, or the refusal that ended the record */
    uint32_t field_counts[200];
    uint32_t group_counts[256];
} vokxRecordWriter;

/* Begins a record at the end of a stream open for writing (VOK_NOT_ACTIVE
 * otherwise).  The stream's type and version are the caller's choice. */
VOKX_API uint16_t vokxRecordBegin(vokxRecordWriter *writer, const vokxSchema *schema,
                                  vokStream *stream, vokxRecordError *error);

/* Writes field number `field` of the current level (the top level, or the
 * group last begun): its mark, then one value item of the field's kind in
 * the narrowest width, read from value as vokxPutItem reads it (value for
 * unsigned numbers, flags and safe strings' lengths; signed_value; text and
 * length for strings; value->kind is ignored, but for the 64-bit and float
 * kinds, which vokxRecordPutValue describes).  Fields go in schema order; a
 * repeated field may be put again right away.  Refusals: VOKX_BAD_FIELD (no
 * such field, or out of schema order), VOKX_REPEATED_FIELD, VOKX_TOO_MANY,
 * VOK_STRING_TOO_LONG, VOK_INVALID_STREAM (null text with a length), and
 * any status of the stream's writers. */
VOKX_API uint16_t vokxRecordPut(vokxRecordWriter *writer, uint32_t field, const vokxItem *value,
                                vokxRecordError *error);

/* vokxRecordPut for a field of any kind but string and utf8, its value given
 * as a vokxValue (the member its kind names): the mark, then the value's
 * narrowest carrier.  A value outside the kind's range (an unsigned above
 * 2^32 - 1, a signed outside -2^31..2^31 - 1, a flag other than 0 and 1)
 * and a text kind are VOK_WRONG_TYPE, a safe length above 65,535
 * VOK_STRING_TOO_LONG; the other refusals are vokxRecordPut's.  For the
 * kinds of an item class and enum, vokxRecordPut takes the value as before;
 * for the 64-bit and float kinds it takes any of the kind's carriers, kind
 * naming the item as vokxNextItem reports it, and writes the value in its
 * narrowest carrier. */
VOKX_API uint16_t vokxRecordPutValue(vokxRecordWriter *writer, uint32_t field,
                                     const vokxValue *value, vokxRecordError *error);

/* Ends the current level, checking that its required fields were written
 * (VOKX_MISSING_FIELD), and begins an occurrence of group number `group`:
 * its phrase mark.  Groups go in schema order (VOKX_BAD_FIELD otherwise);
 * VOKX_REPEATED_FIELD and VOKX_TOO_MANY as for fields. */
VOKX_API uint16_t vokxRecordGroup(vokxRecordWriter *writer, uint32_t group, vokxRecordError *error);

/* Ends the record: the current level's required fields, then the required
 * groups (VOKX_MISSING_FIELD).  The stream stays open; close it to finish the
 * block.  After any refusal of a writer call the stream's position is back
 * where vokxRecordBegin found it, and every later call gives that refusal.
 * Once vokxRecordEnd has been called, accepted or refused, every call on the
 * writer but vokxRecordBegin returns VOK_INVALID_STREAM ("the record is
 * ended") and leaves the stream as it is. */
VOKX_API uint16_t vokxRecordEnd(vokxRecordWriter *writer, vokxRecordError *error);

/* Whole records to and from a struct.  A layout says where a struct keeps
 * each field and group; the generated C of `vok gen c` fills it with
 * offsetof.  Values are stored as the field's kind asks: bool (flag),
 * uint32_t (unsigned, enum; a safe string's length), int32_t (signed),
 * uint64_t (unsigned64), int64_t (signed64, timestamp), float (float32),
 * double (float64), vokxText (string, utf8), or the group's own struct.  A
 * field with a default has no presence flag: its place's present is
 * ignored, and the struct always holds its value. */
typedef struct vokxPlace {
    uint32_t offset;  /* of the value, or of the first of a repeated one's array */
    uint32_t present; /* optional: of a bool, true when present; repeated: of
                         a uint32_t count; ignored for a required one */
    uint32_t stride;  /* repeated: bytes from one array element to the next */
} vokxPlace;

typedef struct vokxRecordLayout {
    const vokxPlace *fields;              /* one per top-level field, offsets in the record */
    const vokxPlace *groups;              /* one per group, offsets in the record */
    const vokxPlace *const *group_fields; /* per group: one per field, offsets in
                                             one occurrence of the group's struct */
    size_t size;                          /* the record struct's size */
} vokxRecordLayout;

/* Writes the record in *record as vokxRecordBegin, one vokxRecordPut per
 * value, vokxRecordGroup per occurrence and vokxRecordEnd would, with the
 * same checks and refusals (a count above max: VOKX_TOO_MANY; a field with
 * a default is left out when it holds the default), but appends
 * the items in as few vokAppendStream calls as it can.  The stream stays
 * open; after a refusal its position is where it was. */
VOKX_API uint16_t vokxRecordEncode(const vokxSchema *schema, const vokxRecordLayout *layout,
                                   const void *record, vokStream *stream, vokxRecordError *error);

/* Reads the record in size bytes into *record, as vokxRecordOpen and
 * vokxRecordNext would, with their checks: VOK_OK, VOK_OLDER_VERSION or
 * VOK_NEWER_VERSION with *error cleared, or the refusal, with *error (may be
 * null) filled.  It touches what the block holds, plus the counts and
 * presence flags: after a success the elements past each count and the
 * values of absent fields are unspecified (a field with a default that the
 * record lacks holds the default); after a refusal only the counts (zero)
 * and the presence flags (false) are.  Strings point into bytes.
 * Allocates nothing. */
VOKX_API uint16_t vokxRecordDecode(const vokxSchema *schema, const vokxRecordLayout *layout,
                                   const uint8_t *bytes, size_t size, void *record,
                                   vokxRecordError *error);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VOK32X_H */
