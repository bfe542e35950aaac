#include "hex_column.hpp"

#include <cstdint>

namespace vok::tool {

namespace {

constexpr size_t kColumnBytes = 8;
constexpr size_t kColumnWidth = kColumnBytes * 3 + 2;
constexpr char kDigits[] = "0123456789abcdef";

void write_byte(Sink &out, char byte) {
    const auto b = static_cast<uint8_t>(byte);
    out << kDigits[b >> 4] << kDigits[b & 0xF];
}

} // namespace

void write_hex(Sink &out, std::string_view bytes) {
    for (const char b : bytes)
        write_byte(out, b);
}

void write_hex_column(Sink &out, std::string_view bytes) {
    size_t used = 0;
    for (size_t i = 0; i < bytes.size() && i < kColumnBytes; ++i) {
        if (i != 0) out << ' ';
        write_byte(out, bytes[i]);
        used += i == 0 ? 2 : 3;
    }
    if (bytes.size() > kColumnBytes) {
        out << "..";
        used += 2;
    }
    for (; used < kColumnWidth; ++used)
        out << ' ';
}

} // namespace vok::tool
