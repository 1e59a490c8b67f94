#pragma once
// Decoding of the program's baseline JPEG pictures into 32-bit pixels.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestro {

struct DecodedImage {
    int width = 0;
    int height = 0;
    // Top-down rows of width pixels, each 0x00RRGGBB (the layout of a 32-bit DIB).
    std::vector<std::uint32_t> pixels;
};

// Decodes a JPEG held in memory. Returns false (and an empty image) when the
// data is not a JPEG that libjpeg can decode; never exits or throws.
bool DecodeJpeg(const unsigned char* data, std::size_t size, DecodedImage& image);

} // namespace kestro
