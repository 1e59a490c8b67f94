#include "widgets/shift_image_win.h"

namespace kestro {

TWlmShiftImage::TWlmShiftImage(Container& parent) : TImage(parent) {}

void TWlmShiftImage::MouseEnter() {
    TImage::MouseEnter();
    if (OnMouseEnter) {
        OnMouseEnter(*this);
    }
    if (Enabled()) {
        SetPicture(focused_);
    }
}

void TWlmShiftImage::MouseLeave() {
    TImage::MouseLeave();
    if (OnMouseLeave) {
        OnMouseLeave(*this);
    }
    if (Enabled()) {
        SetPicture(noFocused_);
    }
}

void TWlmShiftImage::MouseDown(int button, POINT point) {
    TImage::MouseDown(button, point);
    SetBounds(Left() + 2, Top() + 2, Width(), Height());
}

void TWlmShiftImage::MouseUp(int button, POINT point) {
    TImage::MouseUp(button, point);
    SetBounds(Left() - 2, Top() - 2, Width(), Height());
}

} // namespace kestro
