#pragma once
// The tool's console output as bytes: UTF-16LE, as the tool writes it.
#include <string_view>
#include <vector>

namespace kestro::testing {

using Bytes = std::vector<unsigned char>;

// Each UTF-16 code unit as two bytes, low byte first.
inline Bytes Le(std::u16string_view text) {
    Bytes bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

} // namespace kestro::testing
