/*
 * vok32_items.h -- the byte layout of items, as inline C (C99 and C++).
 *
 * The library writes and reads every number, length and tag through these
 * functions, and code generated from schema files does the same, so the
 * layout exists once.  They check nothing: writers must have the room
 * (vok_*_size say how much), readers must have checked that the bytes they
 * look at lie inside the block.  Nothing here is exported from a library.
 *
 *   Unsigned item: tag (210/212/213 for 1/2/4 bytes), value big-endian.
 *   Signed item:   tag (216/217/218), magnitude big-endian, sign byte
 *                  (non-zero negates).
 *   Flag, phrase:  tag (202, 224) and one byte.
 *   User mark:     one byte below 200.
 *   Strings:       tag, 1/2/4-byte big-endian length, content (none for
 *                  safe strings).
 *   Block:         4-byte big-endian total length, 200, type byte, version
 *                  as an unsigned item, items, 201.
 * Writers always take the narrowest width that holds the value.
 */
#ifndef VOK32_ITEMS_H
#define VOK32_ITEMS_H

#include <stddef.h>
#include <stdint.h>

#include "vok32.h"

/* The builtin copy where there is one, so that the header needs no more of
 * the C library than stdint.h (it compiles freestanding). */
#if defined(__GNUC__) || defined(__clang__)
#define VOK_ITEMS_INLINE static inline __attribute__((always_inline, unused))
#define VOK_ITEMS_COPY __builtin_memcpy
#define VOK_ITEMS_COMPARE __builtin_memcmp
#else
#include <string.h>
#define VOK_ITEMS_INLINE static inline
#define VOK_ITEMS_COPY memcpy
#define VOK_ITEMS_COMPARE memcmp
#endif

/* Byte swaps where the compiler has them; shifts elsewhere, which every
 * compiler turns into the same instructions. */
#if (defined(__GNUC__) || defined(__clang__)) && defined(__BYTE_ORDER__) &&                        \
    __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define VOK_ITEMS_BSWAP16(x) __builtin_bswap16(x)
#define VOK_ITEMS_BSWAP32(x) __builtin_bswap32(x)
#define VOK_ITEMS_BSWAP64(x) __builtin_bswap64(x)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Big-endian numbers ------------------------------------------------ */

VOK_ITEMS_INLINE void vok_store_be16(uint8_t *p, uint16_t v) {
#ifdef VOK_ITEMS_BSWAP16
    v = VOK_ITEMS_BSWAP16(v);
    VOK_ITEMS_COPY(p, &v, sizeof v);
#else
    p[0] = (uint8_t)(v >> 8);
    p[1] = (uint8_t)v;
#endif
}

VOK_ITEMS_INLINE void vok_store_be32(uint8_t *p, uint32_t v) {
#ifdef VOK_ITEMS_BSWAP32
    v = VOK_ITEMS_BSWAP32(v);
    VOK_ITEMS_COPY(p, &v, sizeof v);
#else
    p[0] = (uint8_t)(v >> 24);
    p[1] = (uint8_t)(v >> 16);
    p[2] = (uint8_t)(v >> 8);
    p[3] = (uint8_t)v;
#endif
}

VOK_ITEMS_INLINE void vok_store_be64(uint8_t *p, uint64_t v) {
#ifdef VOK_ITEMS_BSWAP64
    v = VOK_ITEMS_BSWAP64(v);
    VOK_ITEMS_COPY(p, &v, sizeof v);
#else
    vok_store_be32(p, (uint32_t)(v >> 32));
    vok_store_be32(p + 4, (uint32_t)v);
#endif
}

VOK_ITEMS_INLINE uint32_t vok_load_be32(const uint8_t *p) {
#ifdef VOK_ITEMS_BSWAP32
    uint32_t v;
    VOK_ITEMS_COPY(&v, p, sizeof v);
    return VOK_ITEMS_BSWAP32(v);
#else
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
#endif
}

VOK_ITEMS_INLINE uint64_t vok_load_be64(const uint8_t *p) {
#ifdef VOK_ITEMS_BSWAP64
    uint64_t v;
    VOK_ITEMS_COPY(&v, p, sizeof v);
    return VOK_ITEMS_BSWAP64(v);
#else
    return (uint64_t)vok_load_be32(p) << 32 | vok_load_be32(p + 4);
#endif
}

/* A 1-, 2- or 4-byte field.  Only bytes inside the field are read: for the
 * narrower widths the extra loads repeat a field byte, and the shift drops
 * them; no branch on the width, which real data mispredicts often. */
VOK_ITEMS_INLINE uint32_t vok_load_field(const uint8_t *p, unsigned width) {
    const unsigned last = width - 1u; /* 0, 1 or 3 */
    const uint32_t all = (uint32_t)p[0] << 24 | (uint32_t)p[last != 0] << 16 |
                         (uint32_t)p[(last > 1) * 2] << 8 | (uint32_t)p[last];
    return all >> (32u - 8u * width);
}

/* ---- Writing ----------------------------------------------------------- */

/* A tag and, behind it, value as a field of width 1, 2 or 4 (value must
 * fit); returns the byte after the field.  Three stores cover every width
 * without a branch or a byte past the field: the upper half of a 4-byte
 * field (for narrower ones, bytes the later stores overwrite), the field's
 * last two bytes (for one byte, the tag's slot too), then the tag. */
VOK_ITEMS_INLINE uint8_t *vok_put_tag_and_field(uint8_t *p, uint8_t tag, uint32_t value,
                                                unsigned width) {
    vok_store_be16(p + (width >> 2), (uint16_t)(value >> 16));
    vok_store_be16(p + width - 1, (uint16_t)value);
    p[0] = tag;
    return p + 1 + width;
}

/* Tags by field width (1, 2 or 4), looked up: tags chosen by branches made
 * integers 80-104% slower to encode.  The tables are macros so that the
 * library can check them against its list of the tags' shapes when it is
 * compiled. */
#define VOK_UNSIGNED_TAGS                                                                          \
    { 0, VOK_UNSIGNED_1, VOK_UNSIGNED_2, 0, VOK_UNSIGNED_4 }
#define VOK_SIGNED_TAGS                                                                            \
    { 0, VOK_SIGNED_1, VOK_SIGNED_2, 0, VOK_SIGNED_4 }
#define VOK_STRING_TAGS                                                                            \
    {                                                                                              \
        {0, VOK_STRING_1, VOK_STRING_2, 0, 0}, {0, VOK_UTF8_1, VOK_UTF8_2, 0, VOK_UTF8_4}, {       \
            0, VOK_SAFE_1, VOK_SAFE_2, 0, 0                                                        \
        }                                                                                          \
    }
/* Field widths behind a tag, from the tag values themselves (no table for a
 * walk to wait for); only for a byte known to be a tag of that form. */
#define VOK_UNSIGNED_TAG_WIDTH(tag) (1u << (((unsigned)(tag)-VOK_UNSIGNED_1 + 1u) >> 1))
#define VOK_SIGNED_TAG_WIDTH(tag) (1u << ((unsigned)(tag)-VOK_SIGNED_1))

VOK_ITEMS_INLINE uint8_t vok_unsigned_tag(unsigned width) {
    static const uint8_t tags[5] = VOK_UNSIGNED_TAGS;
    return tags[width];
}
VOK_ITEMS_INLINE uint8_t vok_signed_tag(unsigned width) {
    static const uint8_t tags[5] = VOK_SIGNED_TAGS;
    return tags[width];
}

/* The magnitude of a signed value; INT32_MIN's is 2^31. */
VOK_ITEMS_INLINE uint32_t vok_magnitude(int32_t value) {
    const uint32_t bits = (uint32_t)value;
    return value < 0 ? 0u - bits : bits;
}

VOK_ITEMS_INLINE uint32_t vok_unsigned_size(uint32_t value) { return 1u + VOK_FIELD_SIZE(value); }
VOK_ITEMS_INLINE uint32_t vok_signed_size(int32_t value) {
    return 2u + VOK_FIELD_SIZE(vok_magnitude(value));
}
/* A string item's tag and length field, without the content. */
VOK_ITEMS_INLINE uint32_t vok_string_head_size(uint32_t length) {
    return 1u + VOK_FIELD_SIZE(length);
}

VOK_ITEMS_INLINE uint8_t *vok_put_unsigned(uint8_t *p, uint32_t value) {
    const unsigned width = VOK_FIELD_SIZE(value);
    return vok_put_tag_and_field(p, vok_unsigned_tag(width), value, width);
}

VOK_ITEMS_INLINE uint8_t *vok_put_signed(uint8_t *p, int32_t value) {
    const uint32_t magnitude = vok_magnitude(value);
    const unsigned width = VOK_FIELD_SIZE(magnitude);
    uint8_t *sign = vok_put_tag_and_field(p, vok_signed_tag(width), magnitude, width);
    *sign = (uint8_t)(value < 0);
    return sign + 1;
}

VOK_ITEMS_INLINE uint8_t *vok_put_flag(uint8_t *p, int flag) {
    p[0] = VOK_FLAG;
    p[1] = (uint8_t)(flag != 0);
    return p + 2;
}

VOK_ITEMS_INLINE uint8_t *vok_put_phrase(uint8_t *p, uint8_t phrase) {
    p[0] = VOK_PHRASE_MARK;
    p[1] = phrase;
    return p + 2;
}

VOK_ITEMS_INLINE uint8_t *vok_put_mark(uint8_t *p, uint8_t mark) {
    p[0] = mark;
    return p + 1;
}

/* The three string forms; a plain or safe length must not pass 65,535. */
#define VOK_STRING_PLAIN 0
#define VOK_STRING_UTF8 1
#define VOK_STRING_SAFE 2

/* A string's tag and length field; returns where the content goes. */
VOK_ITEMS_INLINE uint8_t *vok_put_string_head(uint8_t *p, unsigned form, uint32_t length) {
    static const uint8_t tags[3][5] = VOK_STRING_TAGS;
    const unsigned width = VOK_FIELD_SIZE(length);
    return vok_put_tag_and_field(p, tags[form][width], length, width);
}

VOK_ITEMS_INLINE uint8_t *vok_put_string(uint8_t *p, unsigned form, const uint8_t *text,
                                         uint32_t length) {
    p = vok_put_string_head(p, form, length);
    if (length != 0) VOK_ITEMS_COPY(p, text, length);
    return p + length;
}

/* ---- Record values of 64 bits and floats ------------------------------- */
/* These ride on the items above: a 64-bit integer as the 32-bit item when
 * it fits one, else as a plain string of its 8 bytes, big-endian (two's
 * complement when signed); a float always as a plain string of its 4 or 8
 * IEEE 754 bytes, big-endian. */

/* A float's bits, and a float of given bits (NaN payloads kept). */
VOK_ITEMS_INLINE uint32_t vok_f32_bits(float value) {
    uint32_t bits;
    VOK_ITEMS_COPY(&bits, &value, sizeof bits);
    return bits;
}
VOK_ITEMS_INLINE uint64_t vok_f64_bits(double value) {
    uint64_t bits;
    VOK_ITEMS_COPY(&bits, &value, sizeof bits);
    return bits;
}
VOK_ITEMS_INLINE float vok_f32_of_bits(uint32_t bits) {
    float value;
    VOK_ITEMS_COPY(&value, &bits, sizeof value);
    return value;
}
VOK_ITEMS_INLINE double vok_f64_of_bits(uint64_t bits) {
    double value;
    VOK_ITEMS_COPY(&value, &bits, sizeof value);
    return value;
}

/* Whether two byte strings are the same, as a string field compares with
 * its default. */
VOK_ITEMS_INLINE int vok_same_bytes(const uint8_t *a, size_t a_length, const void *b,
                                    size_t b_length) {
    return a_length == b_length && (a_length == 0 || VOK_ITEMS_COMPARE(a, b, a_length) == 0);
}

VOK_ITEMS_INLINE int vok_u64_is_narrow(uint64_t value) { return value <= UINT32_MAX; }
VOK_ITEMS_INLINE int vok_s64_is_narrow(int64_t value) {
    return value >= INT32_MIN && value <= INT32_MAX;
}

VOK_ITEMS_INLINE uint32_t vok_u64_size(uint64_t value) {
    return vok_u64_is_narrow(value) ? vok_unsigned_size((uint32_t)value) : 10u;
}
VOK_ITEMS_INLINE uint32_t vok_s64_size(int64_t value) {
    return vok_s64_is_narrow(value) ? vok_signed_size((int32_t)value) : 10u;
}

/* The low length bytes (4 or 8) of bits as a plain string. */
VOK_ITEMS_INLINE uint8_t *vok_put_bits(uint8_t *p, uint64_t bits, uint32_t length) {
    uint8_t wide[8];
    vok_store_be64(wide, bits);
    p[0] = VOK_STRING_1;
    p[1] = (uint8_t)length;
    VOK_ITEMS_COPY(p + 2, wide + 8 - length, length);
    return p + 2 + length;
}

VOK_ITEMS_INLINE uint8_t *vok_put_u64(uint8_t *p, uint64_t value) {
    return vok_u64_is_narrow(value) ? vok_put_unsigned(p, (uint32_t)value)
                                    : vok_put_bits(p, value, 8);
}
VOK_ITEMS_INLINE uint8_t *vok_put_s64(uint8_t *p, int64_t value) {
    return vok_s64_is_narrow(value) ? vok_put_signed(p, (int32_t)value)
                                    : vok_put_bits(p, (uint64_t)value, 8);
}
VOK_ITEMS_INLINE uint8_t *vok_put_f32(uint8_t *p, float value) {
    return vok_put_bits(p, vok_f32_bits(value), 4);
}
VOK_ITEMS_INLINE uint8_t *vok_put_f64(uint8_t *p, double value) {
    return vok_put_bits(p, vok_f64_bits(value), 8);
}

/* What the size functions of generated code answer for a record that the
 * engine refuses (a count above max, a string too long...). */
#define VOK_SIZE_REFUSED UINT64_MAX

/* ---- Blocks ------------------------------------------------------------ */

#define VOK_VERSION_OFFSET 6u /* the version item's tag */

/* The start marker, type and version; the length field is left for
 * vok_put_trailer.  Returns where the first item goes. */
VOK_ITEMS_INLINE uint8_t *vok_put_header(uint8_t *block, uint8_t type, uint32_t version) {
    block[4] = VOK_START;
    block[5] = type;
    return vok_put_unsigned(block + VOK_VERSION_OFFSET, version);
}

/* The end marker at end and the total length in the first four bytes;
 * returns the total length. */
VOK_ITEMS_INLINE uint32_t vok_put_trailer(uint8_t *block, uint8_t *end) {
    const uint32_t length = (uint32_t)(end - block) + 1u;
    *end = VOK_END;
    vok_store_be32(block, length);
    return length;
}

/* ---- Reading ----------------------------------------------------------- */

VOK_ITEMS_INLINE unsigned vok_unsigned_tag_width(uint8_t tag) {
    return VOK_UNSIGNED_TAG_WIDTH(tag);
}
VOK_ITEMS_INLINE unsigned vok_signed_tag_width(uint8_t tag) { return VOK_SIGNED_TAG_WIDTH(tag); }

/* Non-zero sign bytes negate (32-bit wrap-around), through a mask. */
VOK_ITEMS_INLINE int32_t vok_apply_sign(uint32_t magnitude, uint8_t sign) {
    const uint32_t mask = 0u - (uint32_t)(sign != 0);
    return (int32_t)((magnitude ^ mask) - mask);
}

/* ---- Taking items ------------------------------------------------------ */
/* For a reader that knows what it expects: each takes the item at p if it
 * is one of the expected kind and ends at or before end (the block's end
 * marker), and returns the byte after it; otherwise it returns NULL and
 * stores nothing.  Any width is taken, not only the narrowest. */

VOK_ITEMS_INLINE const uint8_t *vok_take_unsigned(const uint8_t *p, const uint8_t *end,
                                                  uint32_t *value) {
    unsigned width;
    if (p[0] != VOK_UNSIGNED_1 && p[0] != VOK_UNSIGNED_2 && p[0] != VOK_UNSIGNED_4) return NULL;
    width = vok_unsigned_tag_width(p[0]);
    if (end - p < (ptrdiff_t)(1 + width)) return NULL;
    *value = vok_load_field(p + 1, width);
    return p + 1 + width;
}

VOK_ITEMS_INLINE const uint8_t *vok_take_signed(const uint8_t *p, const uint8_t *end,
                                                int32_t *value) {
    unsigned width;
    if (p[0] < VOK_SIGNED_1 || p[0] > VOK_SIGNED_4) return NULL;
    width = vok_signed_tag_width(p[0]);
    if (end - p < (ptrdiff_t)(2 + width)) return NULL;
    *value = vok_apply_sign(vok_load_field(p + 1, width), p[1 + width]);
    return p + 2 + width;
}

/* A flag's byte as stored: any non-zero byte reads as true. */
VOK_ITEMS_INLINE const uint8_t *vok_take_flag(const uint8_t *p, const uint8_t *end,
                                              uint8_t *value) {
    if (p[0] != VOK_FLAG || end - p < 2) return NULL;
    *value = p[1];
    return p + 2;
}

/* A string of one form: its content (null for a safe string, which keeps
 * none) and length. */
VOK_ITEMS_INLINE const uint8_t *vok_take_string(const uint8_t *p, const uint8_t *end, unsigned form,
                                                const uint8_t **text, uint32_t *length) {
    unsigned width;
    uint32_t n;
    switch (p[0]) {
    case VOK_STRING_1:
    case VOK_UTF8_1:
    case VOK_SAFE_1:
        width = 1;
        break;
    case VOK_STRING_2:
    case VOK_UTF8_2:
    case VOK_SAFE_2:
        width = 2;
        break;
    case VOK_UTF8_4:
        width = 4;
        break;
    default:
        return NULL;
    }
    if ((form == VOK_STRING_PLAIN) != (p[0] == VOK_STRING_1 || p[0] == VOK_STRING_2) ||
        (form == VOK_STRING_SAFE) != (p[0] == VOK_SAFE_1 || p[0] == VOK_SAFE_2))
        return NULL;
    if (end - p < (ptrdiff_t)(1 + width)) return NULL;
    n = vok_load_field(p + 1, width);
    p += 1 + width;
    if (form == VOK_STRING_SAFE) {
        *text = NULL;
    } else {
        if ((size_t)(end - p) < n) return NULL;
        *text = p;
        p += n;
    }
    *length = n;
    return p;
}

/* A plain string of exactly length (4 or 8) bytes, as a number. */
VOK_ITEMS_INLINE const uint8_t *vok_take_bits(const uint8_t *p, const uint8_t *end, uint32_t length,
                                              uint64_t *bits) {
    const uint8_t *text;
    uint32_t n;
    uint8_t wide[8] = {0};
    const uint8_t *next = vok_take_string(p, end, VOK_STRING_PLAIN, &text, &n);
    if (next == NULL || n != length) return NULL;
    VOK_ITEMS_COPY(wide + 8 - length, text, length);
    *bits = vok_load_be64(wide);
    return next;
}

VOK_ITEMS_INLINE const uint8_t *vok_take_u64(const uint8_t *p, const uint8_t *end,
                                             uint64_t *value) {
    uint32_t narrow;
    const uint8_t *next = vok_take_unsigned(p, end, &narrow);
    if (next == NULL) return vok_take_bits(p, end, 8, value);
    *value = narrow;
    return next;
}

VOK_ITEMS_INLINE const uint8_t *vok_take_s64(const uint8_t *p, const uint8_t *end, int64_t *value) {
    int32_t narrow;
    uint64_t bits;
    const uint8_t *next = vok_take_signed(p, end, &narrow);
    if (next != NULL) {
        *value = narrow;
        return next;
    }
    next = vok_take_bits(p, end, 8, &bits);
    if (next != NULL) VOK_ITEMS_COPY(value, &bits, sizeof bits);
    return next;
}

VOK_ITEMS_INLINE const uint8_t *vok_take_f32(const uint8_t *p, const uint8_t *end, float *value) {
    uint64_t bits;
    const uint8_t *next = vok_take_bits(p, end, 4, &bits);
    if (next != NULL) *value = vok_f32_of_bits((uint32_t)bits);
    return next;
}

VOK_ITEMS_INLINE const uint8_t *vok_take_f64(const uint8_t *p, const uint8_t *end, double *value) {
    uint64_t bits;
    const uint8_t *next = vok_take_bits(p, end, 8, &bits);
    if (next != NULL) *value = vok_f64_of_bits(bits);
    return next;
}

/* The frame of the block in size bytes, checked as vokxOpen checks it (the
 * length field within size, the end marker, the start marker, the type and
 * a version item before the end marker).  Returns 1 with *body at the first
 * item, *end at the end marker and *status VOK_OK, VOK_OLDER_VERSION or
 * VOK_NEWER_VERSION; 0 when vokxOpen would refuse the block. */
VOK_ITEMS_INLINE int vok_take_frame(const uint8_t *bytes, size_t size, uint8_t type,
                                    uint32_t version, const uint8_t **body, const uint8_t **end,
                                    uint16_t *status) {
    uint32_t total, found;
    const uint8_t *next;
    if (bytes == NULL || size < 9) return 0;
    total = vok_load_be32(bytes);
    if (total < 9 || total > size || bytes[total - 1] != VOK_END || bytes[4] != VOK_START ||
        bytes[5] != type)
        return 0;
    next = vok_take_unsigned(bytes + VOK_VERSION_OFFSET, bytes + total - 1, &found);
    if (next == NULL) return 0;
    *body = next;
    *end = bytes + total - 1;
    *status = found < version ? VOK_OLDER_VERSION : found > version ? VOK_NEWER_VERSION : VOK_OK;
    return 1;
}

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VOK32_ITEMS_H */
