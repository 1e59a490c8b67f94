#include "base/jpeg.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace kestro {

namespace {

// libjpeg reports fatal errors through error_exit, which would end the
// process; jump back to the decoder instead.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void ErrorExit(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    // libjpeg reports errors through this call and expects it not to return; C code cannot be
    // unwound by an exception, so the jump is the only way back.
    std::longjmp(manager->jump, 1); // NOLINT(cert-err52-cpp)
}

void SilentMessage(j_common_ptr) {}

// Holds no object with a destructor: a longjmp may leave it at any point.
bool DecodeInto(const unsigned char* data, std::size_t size, std::uint32_t* (*grow)(void*, int, int), void* owner,
                int& width, int& height) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = ErrorExit;
    errors.base.output_message = SilentMessage;
    if (setjmp(errors.jump) != 0) { // NOLINT(cert-err52-cpp): where ErrorExit comes back to
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    // The program's pictures are small; refuse anything absurd before allocating.
    if (info.image_width == 0 || info.image_height == 0 || info.image_width > 8192 || info.image_height > 8192) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    width = static_cast<int>(info.output_width);
    height = static_cast<int>(info.output_height);
    std::uint32_t* pixels = grow(owner, width, height);
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * 3, 1);
    while (info.output_scanline < info.output_height) {
        const auto y = info.output_scanline;
        jpeg_read_scanlines(&info, row, 1);
        std::uint32_t* out = pixels + static_cast<std::size_t>(y) * info.output_width;
        for (JDIMENSION x = 0; x < info.output_width; ++x) {
            const JSAMPLE* rgb = row[0] + std::size_t{3} * x;
            out[x] = (std::uint32_t{rgb[0]} << 16) | (std::uint32_t{rgb[1]} << 8) | std::uint32_t{rgb[2]};
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

bool DecodeJpeg(const unsigned char* data, std::size_t size, DecodedImage& image) {
    image = DecodedImage{};
    if (data == nullptr || size == 0) {
        return false;
    }
    int width = 0;
    int height = 0;
    auto grow = [](void* owner, int w, int h) -> std::uint32_t* {
        auto* target = static_cast<DecodedImage*>(owner);
        target->pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
        return target->pixels.data();
    };
    if (!DecodeInto(data, size, grow, &image, width, height)) {
        image = DecodedImage{};
        return false;
    }
    image.width = width;
    image.height = height;
    return true;
}

} // namespace kestro
