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
 *   vokxKindClass   what an item's kind is, whatever width its tag names;
 *   vokxStatusName, vokxStatusText, vokxVersion, and the size helpers
 *                   vokxUnsignedSize ... vokxFrameSize.
 *
 * Every function returns a 16-bit status of vok32.h (or VOKX_NEED_MORE)
 * unless its comment says otherwise.  Nothing is thrown, logged or printed,
 * and nothing is allocated except by the writers for items of more than a
 * few hundred bytes.
 */
#ifndef VOK32X_H
#define VOK32X_H

#include <stddef.h>
#include <stdint.h>

#include "vok32.h"

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

/* More bytes are needed to see a whole frame (vokxInspect).  Not a vok32
 * status: vok32 never returns it. */
#define VOKX_NEED_MORE 64

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

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VOK32X_H */
