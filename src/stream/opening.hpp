// Opening a finished block, shared by vokOpenStream and the copying reopen.
#pragma once

#include <cstdint>

#include "vok32.h"

namespace vok::stream {

uint16_t open_block(vokStream *s, const uint8_t *block, uint8_t type, uint32_t version) noexcept;

} // namespace vok::stream
