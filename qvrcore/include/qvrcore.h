/*
 * QVRCore -- internationalised string objects.
 *
 * An i18nString is an opaque handle of a string object holding Unicode text
 * (stored as UTF-16 code units).  Objects are created empty, set from UTF-8
 * or UTF-16, read back as UTF-16 or converted to a newly allocated block of
 * encoded bytes, and destroyed by their owner.
 *
 * Statuses: every function that can fail takes the address of a 32-bit
 * status and always stores its outcome there (QVRCORE_OK on success), whatever
 * the status held before; a null status address is tolerated.  Failure values
 * are the numeric codes of ICU's UErrorCode; the most common ones have names
 * below.  Warnings count as success.
 *
 * Conversions are strict unless told otherwise: ill-formed UTF-8 is refused,
 * and a string holding an unpaired surrogate cannot be converted to bytes.
 * A failed set leaves the object's previous text in place.
 */
#ifndef QVRCORE_H
#define QVRCORE_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(QVRCORE_BUILDING_LIBRARY)
#define QVRCORE_API __declspec(dllexport)
#else
#define QVRCORE_API __declspec(dllimport)
#endif
#elif defined(QVRCORE_BUILDING_LIBRARY)
#define QVRCORE_API __attribute__((visibility("default")))
#else
#define QVRCORE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#ifndef I18NSTRING_DEFINED
#define I18NSTRING_DEFINED
typedef struct i18nStringObject *i18nString;
#endif

/* ---- Statuses (numerically equal to ICU's UErrorCode) ------------------ */
#define QVRCORE_OK 0
#define QVRCORE_ILLEGAL_ARGUMENT 1  /* null object, null bytes with a length, unknown encoding */
#define QVRCORE_MEMORY_ALLOCATION 7 /* out of memory */
#define QVRCORE_INVALID_CHAR 10     /* ill-formed UTF-8, or an unpaired surrogate */
#define QVRCORE_INPUT_TOO_LONG 31   /* input or result beyond the supported size */

/* ---- Encodings of a byte block ----------------------------------------- */
#define QVRCORE_ENCODING_UTF8 0 /* the default; the only encoding so far */

/* ---- Flags of i18nStringBytesToString ---------------------------------- */
#define QVRCORE_FLAG_STRICT 0          /* ill-formed input fails with QVRCORE_INVALID_CHAR */
#define QVRCORE_FLAG_REPLACE_INVALID 1 /* ill-formed sequences become U+FFFD */

/* Longest string, in UTF-16 units, that an object holds (2^31 - 1), and the
 * longest one that converts to UTF-8 bytes (every unit may take 3 bytes). */
#define QVRCORE_MAX_UNITS 2147483647u
#define QVRCORE_MAX_UNITS_TO_BYTES 715827882u

/* A new empty string object, or null when memory is exhausted. */
QVRCORE_API i18nString i18nStringCreate(void);

/* Destroys a string object; null is ignored. */
QVRCORE_API void i18nStringDestroy(i18nString string);

/* Number of UTF-16 code units in the string (0 for null). */
QVRCORE_API uint32_t i18nStringLength(i18nString string);

/* The string's UTF-16 code units, not terminated, valid until the object is
 * next set or destroyed; null for an empty string.  *length (optional)
 * receives the number of units. */
QVRCORE_API const uint16_t *i18nStringGetUTF16(i18nString string, uint32_t *length);

/* Sets the string from length UTF-16 code units, taken as they are: unpaired
 * surrogates are kept (and refused later by i18nStringStringToBytes). */
QVRCORE_API void i18nStringSetUTF16(i18nString string, const uint16_t *units, uint32_t length,
                                    int32_t *status);

/* Sets the string from zero-terminated UTF-8 text, strictly; null is the
 * empty string. */
QVRCORE_API void i18nStringSetUTF8(i18nString string, const char *text, int32_t *status);

/* Converts the string to bytes in the given encoding.  On success *bytes
 * receives a block allocated with malloc (release it with free) holding the
 * encoded text followed by one zero byte, and the result is the number of
 * encoded bytes plus one.  An empty string gives a null block and the result
 * 1.  On failure the result is 0 and *bytes is not touched. */
QVRCORE_API uint32_t i18nStringStringToBytes(i18nString string, uint8_t **bytes, uint32_t encoding,
                                             int32_t *status);

/* Sets the string from length bytes in the given encoding; the bytes need no
 * terminator and may contain zero bytes (they become U+0000).  flags is
 * QVRCORE_FLAG_STRICT or QVRCORE_FLAG_REPLACE_INVALID. */
QVRCORE_API void i18nStringBytesToString(i18nString string, const uint8_t *bytes, uint32_t length,
                                         uint32_t encoding, uint8_t flags, int32_t *status);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* QVRCORE_H */
