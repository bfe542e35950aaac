// A QVRCore string object owned by a test, with its text as UTF-16 units.
#pragma once

#include <string>
#include <vector>

#include "qvrcore.h"

namespace i18n_test {

using Units = std::vector<uint16_t>;

struct Text {
    i18nString handle = i18nStringCreate();
    Text() = default;
    explicit Text(const std::string &utf8) { i18nStringSetUTF8(handle, utf8.c_str(), nullptr); }
    explicit Text(const Units &units) {
        i18nStringSetUTF16(handle, units.data(), static_cast<uint32_t>(units.size()), nullptr);
    }
    Text(const Text &) = delete;
    ~Text() { i18nStringDestroy(handle); }
    Units units() const {
        uint32_t n = 0;
        const uint16_t *u = i18nStringGetUTF16(handle, &n);
        return {u, u + n};
    }
};

} // namespace i18n_test
