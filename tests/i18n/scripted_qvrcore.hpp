// Stand-ins the test program exports for vok32's imports, which the dynamic
// linker binds here: QVRCore's two conversions, recorded and, unless answered
// by the script, passed on, and free(), counted while spying (sanitizers own
// free(), so there the spy is off and their leak check does the job).
#pragma once

#include <cstdint>
#include <optional>
#include <tuple>
#include <vector>

#include "qvrcore.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define FREE_SPY_OFF 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define FREE_SPY_OFF 1
#endif
#endif

namespace scripted {

// string, *bytes on entry, encoding, status
using ToBytesCall = std::tuple<i18nString, uint8_t *, uint32_t, int32_t *>;
// string, bytes, length, encoding, flags, status, *status on entry
using ToStringCall =
    std::tuple<i18nString, const uint8_t *, uint32_t, uint32_t, uint8_t, int32_t *, int32_t>;

// count, status, content (unless null, copied into a new malloc'ed block)
using ToBytesAnswer = std::tuple<uint32_t, int32_t, const char *>;

struct Script {
    std::optional<ToBytesAnswer> to_bytes{};
    std::optional<int32_t> to_string_status{};
    uint8_t *last_block = nullptr; // the last block handed to vok32
    int last_block_frees = 0, null_frees = 0;
    std::vector<ToBytesCall> to_bytes_calls{};
    std::vector<ToStringCall> to_string_calls{};
};

inline Script script; // tests reset it before use
inline bool spying_on_free = false;

} // namespace scripted
