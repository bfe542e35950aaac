#include "item.hpp"

namespace vok::tool {

int32_t signed_reading(const Item &item) noexcept {
    return static_cast<int32_t>(item.extra != 0 ? 0u - item.number : item.number);
}

} // namespace vok::tool
