#include "growth.hpp"

#include <cstdlib>

namespace vok::stream {

uint16_t grow(vokStream *s, uint64_t need) noexcept {
    // Not std::max: an unoptimised build would export its instantiation,
    // and vok32 exports its 47 functions and nothing else.
    const uint64_t step = need > kGrowthStep ? need : kGrowthStep;
    const uint64_t target = uint64_t{s->position} + step;
    if (target > UINT32_MAX) return VOK_NO_MEMORY;
    void *grown = std::realloc(s->data, static_cast<size_t>(target));
    if (grown == nullptr) return VOK_NO_MEMORY;
    s->data = static_cast<uint8_t *>(grown);
    s->capacity = static_cast<uint32_t>(target);
    return VOK_OK;
}

} // namespace vok::stream
