#include "ui/picture_win.h"

#include <algorithm>
#include <cstdint>

#include "base/jpeg.h"

namespace kestro {

Picture Picture::FromJpegBytes(const unsigned char* data, std::size_t size) {
    DecodedImage image;
    if (!DecodeJpeg(data, size, image)) {
        return {};
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height; // top-down, as decoded
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) {
        return {};
    }
    std::copy(image.pixels.begin(), image.pixels.end(), static_cast<std::uint32_t*>(bits));
    auto data_ = std::make_shared<Data>();
    data_->bitmap = std::move(bitmap);
    data_->width = image.width;
    data_->height = image.height;
    Picture picture;
    picture.data_ = std::move(data_);
    return picture;
}

Picture Picture::FromJpegResource(int resourceId) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (found == nullptr) {
        return {};
    }
    HGLOBAL loaded = LoadResource(module, found);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(loaded));
    const DWORD size = SizeofResource(module, found);
    return FromJpegBytes(bytes, size);
}

Picture Picture::FromIconResource(int resourceId, int width, int height) {
    UniqueIcon icon(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), IMAGE_ICON, width, height, 0)));
    if (!icon) {
        return {};
    }
    auto data = std::make_shared<Data>();
    data->icon = std::move(icon);
    data->width = width;
    data->height = height;
    data->iconResource = resourceId;
    Picture picture;
    picture.data_ = std::move(data);
    return picture;
}

int Picture::Width() const noexcept {
    return data_ ? data_->width : 0;
}

int Picture::Height() const noexcept {
    return data_ ? data_->height : 0;
}

void Picture::Draw(HDC dc, const RECT& dest) const {
    if (!data_) {
        return;
    }
    const int w = dest.right - dest.left;
    const int h = dest.bottom - dest.top;
    if (data_->icon) {
        HICON icon = data_->icon.get();
        if ((w != data_->width || h != data_->height) && data_->iconResource != 0) {
            auto& sized = data_->sized;
            auto it = std::find_if(sized.begin(), sized.end(),
                                   [&](const auto& entry) { return entry.first.cx == w && entry.first.cy == h; });
            if (it == sized.end()) {
                UniqueIcon loaded(static_cast<HICON>(
                    LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(data_->iconResource), IMAGE_ICON, w, h, 0)));
                it = sized.emplace(sized.end(), SIZE{w, h}, std::move(loaded));
            }
            if (it->second) {
                icon = it->second.get();
            }
        }
        DrawIconEx(dc, dest.left, dest.top, icon, w, h, 0, nullptr, DI_NORMAL);
        return;
    }
    UniqueDc source(CreateCompatibleDC(dc));
    SelectGuard selected(source.get(), data_->bitmap.get());
    if (w == data_->width && h == data_->height) {
        BitBlt(dc, dest.left, dest.top, w, h, source.get(), 0, 0, SRCCOPY);
        return;
    }
    POINT origin;
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, &origin);
    StretchBlt(dc, dest.left, dest.top, w, h, source.get(), 0, 0, data_->width, data_->height, SRCCOPY);
    SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
    SetStretchBltMode(dc, oldMode);
}

} // namespace kestro
