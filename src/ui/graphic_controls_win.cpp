#include "ui/graphic_controls_win.h"

#include <oleacc.h>

#include "base/texts.h"
#include "platform/winstr_win.h"
#include "ui/application_win.h"
#include "ui/container_win.h"

namespace kestro {

GraphicControl::GraphicControl(Container& parent) : parent_(parent) {
    parent_.AddGraphic(this);
}

GraphicControl::~GraphicControl() {
    parent_.RemoveGraphic(this);
}

int GraphicControl::S(int value) const {
    return parent_.Host().S(value);
}

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
    parent_.Host().UpdateHintRect(*this);
}

RECT GraphicControl::ClientRect() const {
    return RECT{S(left_), S(top_), S(left_ + width_), S(top_ + height_)};
}

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

// A pixel more all round: the focus rectangle is drawn there, and goes with the control.
void GraphicControl::Invalidate() const {
    if (parent_.Handle() != nullptr) {
        RECT r = ClientRect();
        InflateRect(&r, 1, 1);
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

long GraphicControl::DefaultRole() const {
    return ROLE_SYSTEM_GRAPHIC;
}

long Label::DefaultRole() const {
    return ROLE_SYSTEM_STATICTEXT;
}

bool GraphicControl::Focusable() const {
    const long role = AccessibleRole();
    return role == ROLE_SYSTEM_LINK || role == ROLE_SYSTEM_BUTTONMENU || role == ROLE_SYSTEM_PUSHBUTTON;
}

std::string GraphicControl::DefaultActionText() const {
    if (!Focusable()) {
        return {};
    }
    return LoadText(AccessibleRole() == ROLE_SYSTEM_BUTTONMENU ? IDS_ACTION_OPEN : IDS_ACTION_CLICK);
}

void GraphicControl::Activate() {
    if (OnKeyClick) {
        OnKeyClick(*this);
    } else {
        Click();
    }
}

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

Label::Label(Container& parent) : GraphicControl(parent) {}

HFONT Label::ActiveFont() const {
    return font_ ? font_.get() : Parent().Host().Font();
}

void Label::SetCaption(const std::string& caption) {
    caption_ = caption;
    ApplyAutoSize();
    Invalidate();
}

void Label::SetFont(int height96, bool bold, bool underline) {
    fontHeight96_ = height96;
    bold_ = bold;
    underline_ = underline;
    font_ = Parent().Host().MakeFont(height96, bold ? FW_BOLD : FW_NORMAL, underline);
    ApplyAutoSize();
    Invalidate();
}

void Label::DpiChanged() {
    if (font_) {
        font_ = Parent().Host().MakeFont(fontHeight96_, bold_ ? FW_BOLD : FW_NORMAL, underline_);
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
    const SIZE size = TextExtent(Parent().Handle(), ActiveFont(), Widen(caption_));
    // Rounded up, so that the scaled bounds never clip the text by a pixel.
    const int dpi = Parent().Host().Dpi();
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
