// The class of an item's kind, whatever width its tag names: one load from a
// table built at compile time, for vokxKindClass and the records engine.
#pragma once

#include <array>
#include <cstdint>

#include "vok32x.h"

namespace vok::x {

struct KindAndClass {
    uint8_t kind;
    uint8_t kind_class;
};

inline constexpr KindAndClass kClasses[] = {
    {VOK_FLAG, VOKX_CLASS_FLAG},
    {VOK_UNSIGNED_1, VOKX_CLASS_UNSIGNED},
    {VOK_UNSIGNED_2, VOKX_CLASS_UNSIGNED},
    {VOK_UNSIGNED_4, VOKX_CLASS_UNSIGNED},
    {VOK_SIGNED_1, VOKX_CLASS_SIGNED},
    {VOK_SIGNED_2, VOKX_CLASS_SIGNED},
    {VOK_SIGNED_4, VOKX_CLASS_SIGNED},
    {VOK_STRING_1, VOKX_CLASS_STRING},
    {VOK_STRING_2, VOKX_CLASS_STRING},
    {VOK_UTF8_1, VOKX_CLASS_UTF8},
    {VOK_UTF8_2, VOKX_CLASS_UTF8},
    {VOK_UTF8_4, VOKX_CLASS_UTF8},
    {VOK_SAFE_1, VOKX_CLASS_SAFE},
    {VOK_SAFE_2, VOKX_CLASS_SAFE},
    {VOK_USER_MARK, VOKX_CLASS_USER_MARK},
    {VOK_PHRASE_MARK, VOKX_CLASS_PHRASE},
    {VOK_END, VOKX_CLASS_END},
};

// Every byte not listed is VOKX_CLASS_INVALID (0).
inline constexpr auto kClassOf = [] {
    std::array<uint8_t, 256> table{};
    for (const KindAndClass &entry : kClasses)
        table[entry.kind] = entry.kind_class;
    return table;
}();
static_assert(VOKX_CLASS_INVALID == 0);

constexpr uint8_t kind_class(uint8_t kind) noexcept { return kClassOf[kind]; }

} // namespace vok::x
