// Scripted stand-ins for the two QVRCore functions vok32 imports.  The test
// program exports them, so the dynamic linker binds vok32's imports here
// instead of to libQVRCore.  Every call is recorded; unless an answer is
// scripted, it is passed on to the real QVRCore.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "qvrcore.h"

namespace scripted {

struct ToBytesCall {
    i18nString string;
    uint8_t *block_on_entry;
    uint32_t encoding;
    int32_t *status;
};

struct ToStringCall {
    i18nString string;
    const uint8_t *bytes;
    uint32_t length, encoding;
    uint8_t flags;
    int32_t *status;
    int32_t status_on_entry;
};

// A conversion to bytes: `content` (unless null) is copied into a new
// malloc'ed block of `block_size` bytes.
struct ToBytesAnswer {
    uint32_t count;
    int32_t status;
    const char *content;
    size_t block_size;
};

struct Script {
    std::optional<ToBytesAnswer> to_bytes;
    std::optional<int32_t> to_string_status;
    uint8_t *last_block = nullptr; // the last block handed to vok32
    std::vector<ToBytesCall> to_bytes_calls;
    std::vector<ToStringCall> to_string_calls;
};

Script &script(); // tests reset it before use

} // namespace scripted
