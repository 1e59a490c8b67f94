#include "ui/hover_image_win.h"

namespace kestro {

HoverImage::HoverImage(Container& parent) : Image(parent) {}

void HoverImage::MouseEnter() {
    Image::MouseEnter();
    if (OnMouseEnter) {
        OnMouseEnter(*this);
    }
    if (Enabled()) {
        SetPicture(focused_);
    }
}

void HoverImage::MouseLeave() {
    Image::MouseLeave();
    if (OnMouseLeave) {
        OnMouseLeave(*this);
    }
    if (Enabled()) {
        SetPicture(noFocused_);
    }
}

void HoverImage::MouseDown(int button, POINT point) {
    Image::MouseDown(button, point);
    SetBounds(Left() + 2, Top() + 2, Width(), Height());
}

void HoverImage::MouseUp(int button, POINT point) {
    Image::MouseUp(button, point);
    SetBounds(Left() - 2, Top() - 2, Width(), Height());
}

} // namespace kestro
