// Floats to and from their shortest exact text, as std::to_chars and
// std::from_chars do.  Where the standard library lacks the floating-point
// overloads (emscripten's libc++ of Debian 12), the same results come from
// printf and strtod: the shortest precision whose text reads back to the
// same bits, written fixed or scientific, whichever is shorter (fixed on a
// tie; a whole number with its exact digits, the nearest of its length); and a parse that calls a
// finite value too large or a non-zero value too small for the type out of range.  A test holds the
// two to each other.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <system_error>

namespace vok::records::float_text {

// Without the library's: what the portable path does, available everywhere
// so that the test can compare it with the library's where both exist.
template <typename Float> Float read_back(const char *text) {
    if constexpr (sizeof(Float) == 4)
        return std::strtof(text, nullptr);
    else
        return std::strtod(text, nullptr);
}

// Writes f (finite) into out, which holds 64 bytes; returns the end.
template <typename Float> char *portable_to_chars(char *out, Float f) {
    char scientific[40];
    int precision = 0;
    for (;; ++precision) { // the shortest digits that read back exactly
        std::snprintf(scientific, sizeof scientific, "%.*e", precision, static_cast<double>(f));
        if (read_back<Float>(scientific) == f) break;
    }
    // scientific: [-]d[.ddd]e±XX; the digits and the exponent from it.
    const bool negative = scientific[0] == '-';
    const char *mantissa = scientific + negative;
    const char *e = std::strchr(mantissa, 'e');
    const int exponent = std::atoi(e + 1);
    char digits[24];
    size_t count = 0;
    for (const char *p = mantissa; p < e; ++p)
        if (*p != '.') digits[count++] = *p;
    while (count > 1 && digits[count - 1] == '0')
        --count;
    // Fixed: the digits with the point moved, padded with zeros.
    char fixed[400];
    size_t n = 0;
    if (negative) fixed[n++] = '-';
    if (exponent < 0) {
        fixed[n++] = '0';
        fixed[n++] = '.';
        for (int i = -1; i > exponent; --i)
            fixed[n++] = '0';
        for (size_t i = 0; i < count; ++i)
            fixed[n++] = digits[i];
    } else if (static_cast<int>(count) <= exponent + 1) {
        // A whole number: of the texts this long, the exact one is nearest.
        n += static_cast<size_t>(
            std::snprintf(fixed + n, sizeof fixed - n, "%.0f", std::fabs(static_cast<double>(f))));
    } else {
        for (size_t i = 0; i < count || static_cast<int>(i) <= exponent; ++i) {
            if (static_cast<int>(i) == exponent + 1) fixed[n++] = '.';
            fixed[n++] = i < count ? digits[i] : '0';
        }
    }
    // Scientific as to_chars writes it: d[.ddd]e±XX with at least two digits.
    char short_form[40];
    size_t m = 0;
    if (negative) short_form[m++] = '-';
    short_form[m++] = digits[0];
    if (count > 1) {
        short_form[m++] = '.';
        for (size_t i = 1; i < count; ++i)
            short_form[m++] = digits[i];
    }
    m += static_cast<size_t>(std::snprintf(short_form + m, sizeof short_form - m, "e%c%02d",
                                           exponent < 0 ? '-' : '+', std::abs(exponent)));
    const bool use_fixed = n <= m;
    std::memcpy(out, use_fixed ? fixed : short_form, use_fixed ? n : m);
    return out + (use_fixed ? n : m);
}

// Reads all of text (a JSON number) as Float: std::errc{} with out set, or
// result_out_of_range for a value the type cannot hold.
template <typename Float> std::errc portable_from_chars(std::string_view text, Float &out) {
    char held[64];
    char *copy =
        text.size() < sizeof held ? held : static_cast<char *>(std::malloc(text.size() + 1));
    if (copy == nullptr) return std::errc::not_enough_memory;
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    const Float f = read_back<Float>(copy);
    if (copy != held) std::free(copy);
    const std::string_view mantissa = text.substr(0, text.find_first_of("eE"));
    const bool nonzero = mantissa.find_first_of("123456789") != std::string_view::npos;
    if (std::isinf(f) || (f == 0 && nonzero)) return std::errc::result_out_of_range;
    out = f;
    return std::errc{};
}

#if defined(__cpp_lib_to_chars)
template <typename Float> char *to_chars(char *out, Float f) {
    return std::to_chars(out, out + 64, f).ptr;
}
template <typename Float> std::errc from_chars(std::string_view text, Float &out) {
    const auto read = std::from_chars(text.data(), text.data() + text.size(), out);
    if (read.ec == std::errc{} && read.ptr != text.data() + text.size())
        return std::errc::invalid_argument;
    return read.ec;
}
#else
template <typename Float> char *to_chars(char *out, Float f) { return portable_to_chars(out, f); }
template <typename Float> std::errc from_chars(std::string_view text, Float &out) {
    return portable_from_chars(text, out);
}
#endif

} // namespace vok::records::float_text
