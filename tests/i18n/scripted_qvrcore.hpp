// Stand-ins the test program exports for vok32's imports, which the dynamic
// linker binds here: QVRCore's two conversions, recorded and, unless the
// script answers them, passed on to the real library.
#pragma once

#include <cstdint>
#include <optional>
#include <tuple>
#include <vector>

#include "qvrcore.h"

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
    std::vector<ToBytesCall> to_bytes_calls{};
    std::vector<ToStringCall> to_string_calls{};
};

inline Script script; // tests reset it before use

} // namespace scripted
