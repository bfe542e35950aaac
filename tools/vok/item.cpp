#include "item.hpp"

namespace vok::tool {

int32_t signed_reading(const Item &item) noexcept {
    return static_cast<int32_t>(item.extra != 0 ? 0u - item.number : item.number);
}

bool is_canonical(const Item &item) noexcept {
    if (effective_width(item) != narrowest_width(item.number)) return false;
    switch (item.kind) {
    case ItemKind::flag:
        return item.number <= 1;
    case ItemKind::signed_int: {
        const bool negative = signed_reading(item) < 0;
        return item.extra == (negative ? 1 : 0) &&
               item.number <= (negative ? 0x80000000u : 0x7FFFFFFFu);
    }
    case ItemKind::plain_string:
    case ItemKind::utf8_string:
        return item.text.find('\0') == std::string_view::npos;
    default:
        return true;
    }
}

} // namespace vok::tool
