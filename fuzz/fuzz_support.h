#pragma once
// Small helpers shared by the fuzz targets.
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace kestro::fuzz {

// A broken promise is a crash, so libFuzzer keeps the input that caused it.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void Check(bool condition, const char* what) {
    if (!condition) {
        Fail(what);
    }
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
inline bool IsUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
        const unsigned char lead = b(i);
        std::size_t length = 0;
        unsigned lo = 0x80;
        unsigned hi = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            lo = lead == 0xE0 ? 0xA0 : 0x80;
            hi = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            lo = lead == 0xF0 ? 0x90 : 0x80;
            hi = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + length > s.size() || b(i + 1) < lo || b(i + 1) > hi) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if (b(i + k) < 0x80 || b(i + k) > 0xBF) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

} // namespace kestro::fuzz
