/*
 * vok32_statuses.h - every status code of vok32 and vok32x, listed once.
 *
 * VOK_STATUS_LIST(X) expands X(code, name, text) for each status: the code's
 * macro, its lower-case name (the enumerator of vok::status) and a sentence
 * saying what it means.  vokxStatusName, vokxStatusText and vok32.hpp's
 * error category all come from this list, and a program may expand it too.
 * The codes vok32x adds to vok32.h's are defined here.
 */
#ifndef VOK32_STATUSES_H
#define VOK32_STATUSES_H

#include "vok32.h"

#define VOKX_NEED_MORE 64     /* more bytes are needed to see a whole block */
#define VOKX_BAD_FIELD 65     /* a mark without exactly one value item, or a value without a mark */
#define VOKX_MISSING_FIELD 66 /* a required field or group is absent */
#define VOKX_REPEATED_FIELD 67 /* a field or group that is not repeated occurs twice */
#define VOKX_TOO_MANY 68       /* a repeated field or group occurs more than its max */
#define VOKX_BAD_SCHEMA 69     /* the schema breaks a rule of vokxSchemaCheck */

/* clang-format off */
#define VOK_STATUS_LIST(X)                                                                        \
    X(VOK_OK, ok, "Success.")                                                                      \
    X(VOK_NO_MEMORY, no_memory, "Memory could not be allocated or grown.")                         \
    X(VOK_WRONG_STREAM_TYPE, wrong_stream_type, "The stream type differs from the one expected.")  \
    X(VOK_BAD_VERSION, bad_version, "The header's version is not an unsigned item.")               \
    X(VOK_MARK_OUT_OF_RANGE, mark_out_of_range, "A user mark must be 199 or less.")                \
    X(VOK_WRONG_TYPE, wrong_type, "The next item is not of the kind asked for.")                   \
    X(VOK_STRING_TOO_LONG, string_too_long, "The string is too long for its item.")                \
    X(VOK_UNEXPECTED, unexpected,                                                                  \
      "An unexpected item or marker, or a safe string's withheld content.")                        \
    X(VOK_OLDER_VERSION, older_version, "The stream is older than expected; it is readable.")      \
    X(VOK_NEWER_VERSION, newer_version, "The stream is newer than expected; it is readable.")      \
    X(VOK_NOT_ACTIVE, not_active, "The handle is not open for this operation.")                    \
    X(VOK_INVALID_STREAM, invalid_stream, "The bytes are not a well-formed stream or item.")       \
    X(VOK_STILL_ACTIVE, still_active, "The stream is still open.")                                 \
    X(VOK_END_OF_STREAM, end_of_stream, "The end of the stream is reached.")                       \
    X(VOK_CONVERSION_FAILED, conversion_failed, "The string conversion failed.")                   \
    X(VOK_NOT_UTF8, not_utf8, "The tag is not a UTF-8 string tag.")                                \
    X(VOKX_NEED_MORE, need_more, "More bytes are needed to see the whole block.")                  \
    X(VOKX_BAD_FIELD, bad_field,                                                                   \
      "A field's mark is not followed by exactly one value item, or a value has no mark.")         \
    X(VOKX_MISSING_FIELD, missing_field, "A required field or group is absent.")                   \
    X(VOKX_REPEATED_FIELD, repeated_field, "A field or group that is not repeated occurs twice.")  \
    X(VOKX_TOO_MANY, too_many, "A repeated field or group occurs more often than its max.")        \
    X(VOKX_BAD_SCHEMA, bad_schema, "The schema breaks a rule of the schema format.")               \
    X(VOK_INVALID, invalid, "The handle is not open, or the byte is not an item.")
/* clang-format on */

#endif /* VOK32_STATUSES_H */
