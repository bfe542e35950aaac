#include "growth.hpp"

#include <algorithm>
#include <cstdlib>

namespace vok::stream {

uint16_t grow(vokStream *s, uint64_t need) noexcept {
    const uint64_t target = uint64_t{s->position} + std::max<uint64_t>(need, kGrowthStep);
    if (target > UINT32_MAX) return VOK_NO_MEMORY;
    void *grown = std::realloc(s->data, static_cast<size_t>(target));
    if (grown == nullptr) return VOK_NO_MEMORY;
    s->data = static_cast<uint8_t *>(grown);
    s->capacity = static_cast<uint32_t>(target);
    return VOK_OK;
}

} // namespace vok::stream
