#include "global/graphics_win.h"

#include <algorithm>

#include "global/jpeg.h"
#include "global/winstr_win.h"

namespace kestro {

// ---------------------------------------------------------------------------
// Picture

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

int Picture::Width() const noexcept { return data_ ? data_->width : 0; }

int Picture::Height() const noexcept { return data_ ? data_->height : 0; }

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
                UniqueIcon loaded(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                                                MAKEINTRESOURCEW(data_->iconResource), IMAGE_ICON, w,
                                                                h, 0)));
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

// ---------------------------------------------------------------------------
// GraphicControl

GraphicControl::GraphicControl(Container& parent) : parent_(parent) { parent_.AddGraphic(this); }

GraphicControl::~GraphicControl() { parent_.RemoveGraphic(this); }

int GraphicControl::S(int value) const { return parent_.OwnerForm().S(value); }

void GraphicControl::SetBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_) {
        return;
    }
    Invalidate();
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Invalidate();
    parent_.OwnerForm().UpdateHintRect(*this);
}

RECT GraphicControl::ClientRect() const { return RECT{S(left_), S(top_), S(left_ + width_), S(top_ + height_)}; }

void GraphicControl::SetVisible(bool visible) {
    if (visible_ != visible) {
        visible_ = visible;
        Invalidate();
    }
}

void GraphicControl::SetEnabled(bool enabled) {
    if (enabled_ != enabled) {
        enabled_ = enabled;
        Invalidate();
    }
}

void GraphicControl::Invalidate() const {
    if (parent_.Handle() != nullptr) {
        const RECT r = ClientRect();
        InvalidateRect(parent_.Handle(), &r, FALSE);
    }
}

void GraphicControl::MouseDown(int button, POINT point) {
    if (OnMouseDown) {
        OnMouseDown(*this, button, point);
    }
}

void GraphicControl::MouseUp(int button, POINT point) {
    if (OnMouseUp) {
        OnMouseUp(*this, button, point);
    }
}

void GraphicControl::Click() {
    if (OnClick) {
        OnClick(*this);
    }
}

// ---------------------------------------------------------------------------
// Image

void Image::SetPicture(const Picture& picture) {
    picture_ = picture;
    if (autoSize_ && !picture_.Empty()) {
        SetBounds(Left(), Top(), picture_.Width(), picture_.Height());
    }
    Invalidate();
}

void Image::SetStretch(bool stretch) {
    stretch_ = stretch;
    Invalidate();
}

void Image::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    if (autoSize_ && !picture_.Empty()) {
        SetBounds(Left(), Top(), picture_.Width(), picture_.Height());
    }
}

void Image::Paint(HDC dc) {
    if (picture_.Empty()) {
        return;
    }
    const RECT bounds = ClientRect();
    if (stretch_) {
        picture_.Draw(dc, bounds);
        return;
    }
    // Natural size (scaled with the form), clipped to the control.
    RECT dest{bounds.left, bounds.top, bounds.left + S(picture_.Width()), bounds.top + S(picture_.Height())};
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    picture_.Draw(dc, dest);
    RestoreDC(dc, saved);
}

// ---------------------------------------------------------------------------
// Label

Label::Label(Container& parent) : GraphicControl(parent) {}

HFONT Label::ActiveFont() const { return font_ ? font_.get() : Parent().OwnerForm().Font(); }

void Label::SetCaption(const std::string& caption) {
    caption_ = caption;
    ApplyAutoSize();
    Invalidate();
}

void Label::SetFont(int height96, bool bold, bool underline) {
    fontHeight96_ = height96;
    bold_ = bold;
    underline_ = underline;
    font_ = Parent().OwnerForm().MakeFont(height96, bold ? FW_BOLD : FW_NORMAL, underline);
    ApplyAutoSize();
    Invalidate();
}

void Label::DpiChanged() {
    if (font_) {
        font_ = Parent().OwnerForm().MakeFont(fontHeight96_, bold_ ? FW_BOLD : FW_NORMAL, underline_);
    }
    ApplyAutoSize();
    Invalidate();
}

void Label::SetFontColor(Color color) {
    color_ = color;
    Invalidate();
}

// The system's colours are read at paint time, so a switch of theme shows at once. A colour of
// the label's own on the system's background gives way to the system's link colour in high
// contrast, where the background may be as dark as the colour; on a picture it stays.
COLORREF Label::PaintColor() const {
    if (!Enabled()) {
        return GetSysColor(COLOR_GRAYTEXT);
    }
    if (color_ == CLR_INVALID) {
        return GetSysColor(COLOR_WINDOWTEXT);
    }
    if (!transparent_ && HighContrastOn()) {
        return GetSysColor(COLOR_HOTLIGHT);
    }
    return color_;
}

void Label::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    ApplyAutoSize();
}

void Label::ApplyAutoSize() {
    if (!autoSize_) {
        return;
    }
    HWND host = Parent().Handle();
    HDC dc = GetDC(host);
    SIZE size{};
    {
        SelectGuard selected(dc, ActiveFont());
        const std::wstring text = Widen(caption_);
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        if (text.empty()) {
            TEXTMETRICW metrics{};
            GetTextMetricsW(dc, &metrics);
            size.cy = metrics.tmHeight;
        }
    }
    ReleaseDC(host, dc);
    // Rounded up, so that the scaled bounds never clip the text by a pixel.
    const int dpi = Parent().OwnerForm().Dpi();
    const auto up96 = [dpi](int pixels) { return (pixels * 96 + dpi - 1) / dpi; };
    SetBounds(Left(), Top(), up96(size.cx), up96(size.cy));
}

void Label::Paint(HDC dc) {
    RECT bounds = ClientRect();
    if (!transparent_) {
        FillRect(dc, &bounds, GetSysColorBrush(COLOR_BTNFACE));
    }
    SelectGuard selected(dc, ActiveFont());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = ::SetTextColor(dc, PaintColor());
    const std::wstring text = Widen(caption_);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_SINGLELINE);
    ::SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
}

} // namespace kestro
