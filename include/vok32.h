/*
 * vok32 -- compact tagged binary streams.
 *
 * A stream is one self-contained block: a 4-byte big-endian total length, a
 * start marker, a stream type byte, a version number, a body of tagged items
 * and an end marker.  Two families of functions produce and consume the same
 * bytes:
 *
 *   - handle functions (vokCreateStream ... vokSkipPhrase) work through a
 *     caller-allocated vokStream record; the library owns a growable buffer
 *     while a stream is written and reads finished blocks in place;
 *   - cursor functions (vokStartStream ... vokDecodeString) work directly in
 *     caller memory through the address of a byte pointer that they advance,
 *     and check no capacity or length.
 *
 * Every function returns a 16-bit status (VOK_OK on success) unless its
 * comment says otherwise.  Nothing is ever thrown, logged or printed.
 */
#ifndef VOK32_H
#define VOK32_H

#include <stdint.h>

#include "vok32_version.h"

#if defined(_WIN32)
#define VOK_API
#elif defined(VOK32_BUILDING_LIBRARY)
#define VOK_API __attribute__((visibility("default")))
#else
#define VOK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Status codes ------------------------------------------------------ */
#define VOK_OK 0
#define VOK_NO_MEMORY 1          /* allocation or buffer growth failed */
#define VOK_WRONG_STREAM_TYPE 2  /* stream type byte differs from the expected one */
#define VOK_BAD_VERSION 3        /* header version is not an unsigned item */
#define VOK_MARK_OUT_OF_RANGE 4  /* user mark above 199 */
#define VOK_WRONG_TYPE 5         /* next item is not of the requested kind */
#define VOK_STRING_TOO_LONG 6    /* plain or safe string above 65,535 bytes */
#define VOK_UNEXPECTED 7         /* missing start marker, wrong flag/phrase item, safe content */
#define VOK_OLDER_VERSION 8      /* stream older than expected; still usable */
#define VOK_NEWER_VERSION 9      /* stream newer than expected; still usable */
#define VOK_NOT_ACTIVE 10        /* handle is not open (for this direction) */
#define VOK_INVALID_STREAM 11    /* block is not a well-formed finished stream */
#define VOK_STILL_ACTIVE 12      /* source of an append is still open */
#define VOK_END_OF_STREAM 14     /* vokCanRead found the end marker */
#define VOK_CONVERSION_FAILED 15 /* the i18n library reported a failure */
#define VOK_NOT_UTF8 17          /* vokIsUTF8String: not a UTF-8 string tag */

/* ---- Tags (first byte of an item) -------------------------------------- */
/* Bytes 0..199 at the start of an item are user marks and carry no tag. */
#define VOK_START 200       /* start marker, followed by type byte and version */
#define VOK_END 201         /* end marker, last byte of a block */
#define VOK_FLAG 202        /* one byte: 1 true, 0 false */
#define VOK_STRING_1 204    /* 1-byte length, content */
#define VOK_STRING_2 205    /* 2-byte length, content */
#define VOK_UTF8_1 208      /* 1-byte length, UTF-8 content */
#define VOK_UTF8_2 209      /* 2-byte length, UTF-8 content */
#define VOK_UNSIGNED_1 210  /* 1-byte value */
#define VOK_UNSIGNED_2 212  /* 2-byte value */
#define VOK_UNSIGNED_4 213  /* 4-byte value */
#define VOK_SIGNED_1 216    /* 1-byte magnitude, sign byte */
#define VOK_SIGNED_2 217    /* 2-byte magnitude, sign byte */
#define VOK_SIGNED_4 218    /* 4-byte magnitude, sign byte */
#define VOK_PHRASE_MARK 224 /* 1-byte phrase identifier */
#define VOK_SAFE_1 226      /* 1-byte length, content never stored */
#define VOK_SAFE_2 227      /* 2-byte length, content never stored */
#define VOK_UTF8_4 232      /* 4-byte length, UTF-8 content */

/* ---- Type codes reported by vokPeek and vokSkipPhrase ------------------- */
/* Tags 200..232 are reported as themselves, plus: */
#define VOK_USER_MARK 225 /* a byte below 200 (or the unassigned byte 225) */
#define VOK_INVALID 233   /* a byte of 233 or more, or a handle that cannot be read */

#define VOK_MAX_USER_MARK 199
#define VOK_MAX_SHORT_STRING 65535u /* longest plain or safe string */
#define VOK_MAX_FRAME_SIZE 12       /* most bytes of header and end marker together */

/* Bytes of the narrowest field that holds a number or a string length: 1 up
 * to 255, 2 up to 65,535, else 4.  The argument is evaluated twice. */
#define VOK_FIELD_SIZE(value) (1u << (((value) > 0xFFu) + ((value) > 0xFFFFu)))

/*
 * The stream handle.  Callers allocate it (usually on the stack) and pass its
 * address; the library never allocates or frees the record itself.  The field
 * order and types are part of the binary interface.
 *
 *   data      the bytes: a malloc'ed buffer for a stream being written or a
 *             closed one, the caller's block for a stream opened for reading
 *   capacity  bytes allocated behind data (writing only)
 *   position  writing: bytes written so far; closed: total length;
 *             reading: offset of the next item
 *   active    non-zero while open for writing or reading
 *
 * A stream open for writing always has zero in its four length bytes and an
 * opened one never has, which is how the library tells the two directions
 * apart without another field.  A buffer the library builds is never smaller
 * than the stream in it, so a record that looks closed but has a capacity
 * below its position was opened for reading, and vokReopenStream refuses it.
 * Hence no call on a handle opened for reading writes into, grows or frees
 * the caller's block, with one exception left to the caller: a record that
 * held a writable stream keeps its capacity when it is then opened for
 * reading, and after a refused vokReopenCopyStream, vokReopenStream takes the
 * caller's block for its own; zero the record before opening a block with it.
 */
typedef struct vokStream {
    uint8_t *data;
    uint32_t capacity;
    uint32_t position;
    uint32_t active;
} vokStream;

/* Handle of a string object of the QVRCore internationalisation library.
 * vok32 passes it through untouched. */
#ifndef I18NSTRING_DEFINED
#define I18NSTRING_DEFINED
typedef struct i18nStringObject *i18nString;
#endif

/* ======================================================================== */
/* Handle lifecycle                                                          */
/* ======================================================================== */

/* Starts a stream for writing: allocates 256 bytes and writes the header
 * (zero length bytes, start marker, type, version).  Whatever the record held
 * before is overwritten, not released.  VOK_NO_MEMORY leaves data null and
 * active 0; the other fields keep their old values. */
VOK_API uint16_t vokCreateStream(vokStream *stream, uint8_t type, uint32_t version);

/* Finishes a stream being written: appends the end marker, stores the total
 * length in the first four bytes and clears active.  A handle that is not
 * active gives VOK_OK and is left alone; a handle opened for reading gives
 * VOK_NOT_ACTIVE and is left alone (its block is the caller's).  VOK_NO_MEMORY
 * if the end marker needed growth that failed; the stream stays open. */
VOK_API uint16_t vokCloseStream(vokStream *stream);

/* Attaches the handle to a finished block for reading, in place (never
 * copied or freed).  Checks, in this order: null block (VOK_INVALID_STREAM,
 * handle untouched); total length below 9 or no end marker at length - 1
 * (VOK_INVALID_STREAM, data set, position kept); start marker (VOK_UNEXPECTED,
 * position 5); type (VOK_WRONG_STREAM_TYPE, position 6); version item
 * (VOK_BAD_VERSION, position 6; VOK_INVALID_STREAM if it runs past the block).
 * All of these leave active 0.  Success leaves position on the first body
 * item and reports VOK_OK, VOK_OLDER_VERSION or VOK_NEWER_VERSION: all three
 * are readable. */
VOK_API uint16_t vokOpenStream(vokStream *stream, const uint8_t *block, uint8_t type,
                               uint32_t version);

/* Moves position back to the first body item.  On a stream being written the
 * body written so far is discarded.  Returns VOK_INVALID (233) on a handle
 * that is not active, VOK_INVALID_STREAM with position 6 if the header's
 * version item is missing or runs past the block. */
VOK_API uint16_t vokReset(vokStream *stream);

/* The finished block of a closed stream; null while the handle is active. */
VOK_API uint8_t *vokGetData(const vokStream *stream);

/* Total length of a closed stream; VOK_STILL_ACTIVE (12) while active. */
VOK_API uint32_t vokGetLength(const vokStream *stream);

/* Total length of a closed stream; 0 while active. */
VOK_API uint32_t vokGetLengthEx(const vokStream *stream);

/* Releases a block the library handed out (vokGetData of a closed stream, a
 * string from vokDecodeString) with free().  Null is ignored. */
VOK_API void vokDestroyStream(void *block);

/* ======================================================================== */
/* Item writers (handle open for writing)                                    */
/* ======================================================================== */
/* Common rules: VOK_NOT_ACTIVE if the handle is not open for writing (this
 * includes a handle opened for reading); value checks next; then growth
 * (VOK_NO_MEMORY).  A failure writes nothing and leaves position unchanged.
 * When an item does not fit, the buffer is reallocated to position + 128 for
 * the fixed-size items and to position + max(length + 5, 128) for strings.
 * String arguments are measured up to their first zero byte; null is written
 * as the empty string. */

/* One byte, the mark (0..199); VOK_MARK_OUT_OF_RANGE above 199. */
VOK_API uint16_t vokWriteUserMark(vokStream *stream, uint8_t mark);

/* A phrase mark with its identifier (0..255). */
VOK_API uint16_t vokWritePhraseMark(vokStream *stream, uint8_t phrase);

/* A flag item: stored as 1 for any non-zero value, 0 for zero. */
VOK_API uint16_t vokWriteFlag(vokStream *stream, int32_t flag);

/* A signed item in the narrowest of three magnitude widths. */
VOK_API uint16_t vokWriteSigned(vokStream *stream, int32_t value);

/* An unsigned item in the narrowest of three widths. */
VOK_API uint16_t vokWriteUnsigned(vokStream *stream, uint32_t value);

/* A plain string item; VOK_STRING_TOO_LONG above 65,535 bytes. */
VOK_API uint16_t vokWriteString(vokStream *stream, const char *string);

/* A UTF-8 string item; the bytes are stored as given, not validated.
 * VOK_STRING_TOO_LONG from 4 GiB on; VOK_NO_MEMORY if the stream would
 * outgrow the 32-bit size range. */
VOK_API uint16_t vokWriteUTF8String(vokStream *stream, const char *string);

/* A safe string item: only the length is stored, never the content.  Returns
 * VOK_UNEXPECTED (7) after writing it, to say the content was withheld;
 * VOK_STRING_TOO_LONG above 65,535 bytes. */
VOK_API uint16_t vokWriteSafeString(vokStream *stream, const char *string);

/* ======================================================================== */
/* Reopening and appending                                                   */
/* ======================================================================== */

/* Turns a closed stream back into one open for writing: the next item
 * overwrites the end marker.  VOK_OK without change on an active handle;
 * VOK_INVALID_STREAM without change if the length bytes differ from position,
 * the end marker is missing or capacity is below position (not a buffer the
 * library built). */
VOK_API uint16_t vokReopenStream(vokStream *stream);

/* Makes a writable copy of a finished block of exactly the given type and
 * version.  Any status of opening other than VOK_OK is returned as is (a
 * version difference included) with only active cleared.  The copy gets a
 * capacity of the length rounded down to a multiple of 128 plus 128 (at least
 * 256); VOK_NO_MEMORY leaves that capacity and a null data.  From a length of
 * 4,294,967,168 on, that capacity would be 2^32: VOK_NO_MEMORY without
 * allocating, with capacity 0 (2^32 cut to 32 bits) and a null data.  The
 * caller's block is never changed. */
VOK_API uint16_t vokReopenCopyStream(vokStream *stream, const uint8_t *block, uint8_t type,
                                     uint32_t version);

/* Appends the body (items only) of the closed stream source to the stream
 * destination, which is open for writing.  VOK_NOT_ACTIVE if destination is
 * not open for writing; VOK_STILL_ACTIVE if source is active;
 * VOK_INVALID_STREAM if source is not a well-formed closed stream (length
 * bytes equal to position, start and end markers, a version item that ends
 * before the end marker; capacity is not looked at);
 * VOK_NO_MEMORY on failed growth.  Source is never modified. */
VOK_API uint16_t vokAppendStream(vokStream *destination, const vokStream *source);

/* ======================================================================== */
/* Reading (handle opened with vokOpenStream)                                */
/* ======================================================================== */
/* Readers never read at or past the block's total length, as its length
 * field states it: a block shorter than that field is read past its end, so
 * compare the field with the bytes you hold (or open with vokxOpen of
 * vok32x.h).  An item that
 * would not end before the end marker is malformed: value readers and
 * vokGetStringSize report VOK_INVALID_STREAM and leave position on it. */

/* Type code of the next item without moving: the tag (200..232),
 * VOK_USER_MARK for a byte below 200, VOK_INVALID for 233..255, for a handle
 * that is not active and for a position at or past the end of the block. */
VOK_API uint8_t vokPeek(const vokStream *stream);

/* VOK_OK if a user mark is next (a byte below 200, or 225),
 * VOK_END_OF_STREAM at the end marker, VOK_WRONG_TYPE otherwise (including a
 * handle that is not active and a position past the block).  Never moves. */
VOK_API uint16_t vokCanRead(const vokStream *stream);

/* Returns the next byte and moves past it, whatever it is (check with
 * vokPeek or vokCanRead first).  VOK_INVALID without moving on a handle that
 * is not active or at the end of the block. */
VOK_API uint8_t vokReadUserMark(vokStream *stream);

/* Reads a phrase mark's identifier.  VOK_NOT_ACTIVE; VOK_UNEXPECTED without
 * moving if the next item is not a phrase mark. */
VOK_API uint16_t vokReadPhraseMark(vokStream *stream, uint8_t *phrase);

/* Reads a flag's stored byte, unchanged (a stored 7 reads as 7).
 * VOK_NOT_ACTIVE; VOK_UNEXPECTED without moving if the next item is not a
 * flag. */
VOK_API uint16_t vokReadFlag(vokStream *stream, uint32_t *flag);

/* Reads a signed item; any non-zero sign byte negates the magnitude.
 * VOK_NOT_ACTIVE; VOK_WRONG_TYPE without moving on another item. */
VOK_API uint16_t vokReadSigned(vokStream *stream, int32_t *value);

/* Reads an unsigned item.  VOK_NOT_ACTIVE; VOK_WRONG_TYPE without moving on
 * another item. */
VOK_API uint16_t vokReadUnsigned(vokStream *stream, uint32_t *value);

/* Stores the length field of the next string item (plain, UTF-8 or safe)
 * without moving.  Another item: size 0 and VOK_WRONG_TYPE.  VOK_NOT_ACTIVE
 * and VOK_INVALID_STREAM leave size unwritten. */
VOK_API uint16_t vokGetStringSize(const vokStream *stream, uint32_t *size);

/* Copies the next plain or UTF-8 string into buffer (which must hold
 * vokGetStringSize + 1 bytes) and terminates it with a zero byte.  Another
 * item: VOK_WRONG_TYPE with position one byte past its first byte.  A safe
 * string: VOK_UNEXPECTED, position past its length field, nothing copied. */
VOK_API uint16_t vokReadString(vokStream *stream, char *buffer);

/* Passes over the items after a phrase mark and stops, without consuming it,
 * on the next phrase mark (returns VOK_PHRASE_MARK) or the end marker
 * (VOK_END).  A user mark stops it with VOK_USER_MARK, position on the mark.
 * VOK_INVALID for a handle that is not active (nothing moves) and for an item
 * it cannot pass -- the start tag, an unassigned tag, a byte of 233 or more,
 * or an item running past the block -- with position on that item. */
VOK_API uint8_t vokSkipPhrase(vokStream *stream);

/* ======================================================================== */
/* Cursor encoding (caller memory, no capacity checks)                       */
/* ======================================================================== */
/* cursor is the address of the caller's byte pointer.  Each encoder writes at
 * the byte pointer and advances it past what it wrote; a refusal writes
 * nothing and leaves it alone.  The caller provides the room: a frame takes at
 * most VOK_MAX_FRAME_SIZE bytes, an item at most 6 bytes or its string length
 * plus 5.  A null string is encoded as the empty string. */

/* Writes start marker, type and version 4 bytes past the byte pointer (the
 * block's first byte; the length bytes are left as they are) and moves it to
 * the first body item (8, 9 or 11 bytes on). */
VOK_API uint16_t vokStartStream(uint8_t **cursor, uint8_t type, uint32_t version);

/* Flag item: 1 for non-zero, 0 for zero. */
VOK_API uint16_t vokEncodeFlag(uint8_t **cursor, int32_t flag);

/* Signed item, narrowest magnitude width. */
VOK_API uint16_t vokEncodeSigned(uint8_t **cursor, int32_t value);

/* Unsigned item, narrowest width. */
VOK_API uint16_t vokEncodeUnsigned(uint8_t **cursor, uint32_t value);

/* Plain string item; VOK_STRING_TOO_LONG above 65,535 bytes. */
VOK_API uint16_t vokEncodeString(uint8_t **cursor, const char *string);

/* UTF-8 string item, any length below 4 GiB (VOK_STRING_TOO_LONG beyond). */
VOK_API uint16_t vokEncodeUTF8String(uint8_t **cursor, const char *string);

/* Safe strings are never encoded here: always VOK_UNEXPECTED, touching
 * neither the cursor nor the string. */
VOK_API uint16_t vokEncodeSafeString(uint8_t **cursor, const char *string);

/* Stores the end marker at end and the total length (end - start + 1) in the
 * first four bytes at start.  end stays on the end marker, so encoding on
 * from it and finalising again yields the longer block. */
VOK_API uint16_t vokFinalStream(uint8_t *start, uint8_t *end);

/* ======================================================================== */
/* Cursor decoding (caller memory, no bounds checks)                         */
/* ======================================================================== */
/* A decoder that succeeds moves the byte pointer past the item; one that
 * refuses leaves the byte pointer and its result unchanged.  The caller
 * passes finished streams; nothing knows where the block ends. */

/* Checks the header at the byte pointer (the block's first byte).
 * VOK_UNEXPECTED, VOK_WRONG_STREAM_TYPE or VOK_BAD_VERSION leave the pointer
 * alone; VOK_OK, VOK_OLDER_VERSION and VOK_NEWER_VERSION move it to the first
 * body item.  Neither the length bytes nor the end marker are read. */
VOK_API uint16_t vokValidateStream(uint8_t **cursor, uint8_t type, uint32_t version);

/* The raw byte at pointer (user marks come back as their own value). */
VOK_API uint8_t vokPeekType(const uint8_t *pointer);

/* VOK_OK for the UTF-8 string tags 208, 209 and 232, VOK_NOT_UTF8 otherwise. */
VOK_API uint16_t vokIsUTF8String(uint8_t tag);

/* Flag's stored byte, unchanged; VOK_UNEXPECTED on another item. */
VOK_API uint16_t vokDecodeFlag(uint8_t **cursor, uint32_t *flag);

/* Signed item; VOK_WRONG_TYPE on another item. */
VOK_API uint16_t vokDecodeSigned(uint8_t **cursor, int32_t *value);

/* Unsigned item; VOK_WRONG_TYPE on another item. */
VOK_API uint16_t vokDecodeUnsigned(uint8_t **cursor, uint32_t *value);

/* Plain or UTF-8 string into a new malloc'ed block of length + 1 bytes,
 * zero-terminated, released with vokDestroyStream.  VOK_WRONG_TYPE on a
 * non-string item, VOK_UNEXPECTED on a safe string (nothing allocated),
 * VOK_NO_MEMORY if the block cannot be allocated, or its size does not fit
 * a size_t (a 4 GiB string on a 32-bit platform; nothing changed). */
VOK_API uint16_t vokDecodeString(uint8_t **cursor, char **string);

/* ======================================================================== */
/* Internationalised strings (QVRCore string objects as UTF-8 items)         */
/* ======================================================================== */
/* status receives QVRCore's own outcome (0 = success); VOK_CONVERSION_FAILED
 * is returned exactly when QVRCore was called and left it non-zero. */

/* Stores 0 in status, converts the string object to UTF-8 through QVRCore
 * and appends it as a UTF-8 item.  VOK_NOT_ACTIVE (QVRCore not called),
 * VOK_CONVERSION_FAILED (nothing written), VOK_NO_MEMORY (nothing written,
 * the converted bytes released). */
VOK_API uint16_t vokWriteI18NString(vokStream *stream, i18nString string, int32_t *status);

/* Sets the string object from the next UTF-8 item, handing QVRCore the bytes
 * in place.  VOK_NOT_ACTIVE; VOK_WRONG_TYPE with position one byte past the
 * tag; VOK_CONVERSION_FAILED with the item consumed.  status is written only
 * by QVRCore. */
VOK_API uint16_t vokReadI18NString(vokStream *stream, i18nString string, int32_t *status);

/* As vokReadI18NString at a cursor: VOK_WRONG_TYPE leaves the pointer alone;
 * VOK_CONVERSION_FAILED moves it past the item. */
VOK_API uint16_t vokDecodeI18NString(uint8_t **cursor, i18nString string, int32_t *status);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VOK32_H */
