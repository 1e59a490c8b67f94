#pragma once
// Windowless controls, drawn on their parent and hit-tested by it: pictures and labels of the
// title band, the menu image and the clickable labels.
#include <windows.h>

#include <functional>
#include <string>
#include <utility>

#include "platform/handles_win.h"
#include "ui/container_win.h"
#include "ui/display_win.h"
#include "ui/picture_win.h"

namespace kestro {

class GraphicControl {
public:
    explicit GraphicControl(Container& parent);
    virtual ~GraphicControl();
    GraphicControl(const GraphicControl&) = delete;
    GraphicControl& operator=(const GraphicControl&) = delete;

    Container& Parent() const noexcept { return parent_; }

    // Place in 96-DPI pixels within the parent's client area.
    void SetBounds(int left, int top, int width, int height);
    void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
    void SetTop(int top) { SetBounds(left_, top, width_, height_); }
    int Left() const noexcept { return left_; }
    int Top() const noexcept { return top_; }
    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    // The place in the parent's client pixels (scaled).
    RECT ClientRect() const;

    bool Visible() const noexcept { return visible_; }
    void SetVisible(bool visible);
    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool enabled);
    HCURSOR Cursor() const noexcept { return cursor_; }
    void SetCursor(HCURSOR cursor) noexcept { cursor_ = cursor; }

    void Invalidate() const;

    // What screen readers say of the control, and whether the keyboard reaches it. The role is a
    // ROLE_SYSTEM_ value: by default a picture is a graphic and a label static text, which the
    // keyboard passes by; a link or a menu button takes the focus, and its default action does
    // what a click does.
    long AccessibleRole() const { return role_ != 0 ? role_ : DefaultRole(); }
    void SetAccessibleRole(long role) noexcept { role_ = role; }
    // The visible text (a label's caption), or the name given to a picture.
    virtual std::string AccessibleName() const { return name_; }
    void SetAccessibleName(std::string name) { name_ = std::move(name); }
    // "Click", "Open" (for a menu button), in the program's language; empty for a control that
    // does nothing.
    std::string DefaultActionText() const;
    bool Focusable() const;
    // A picture that does what a text beside it does is one thing with that text: screen readers
    // know them as one object, found at either of them, named by the text.
    void SetPartOf(GraphicControl* whole) noexcept { whole_ = whole; }
    GraphicControl* PartOf() const noexcept { return whole_; }
    // Where the control comes in the order in which the keyboard (Tab) and screen readers go
    // through the window: just before window, or, for the keyboard, before the first control that
    // Tab reaches from window on. Null: after everything else of its parent.
    void SetPlaceBefore(HWND window) noexcept { placeBefore_ = window; }
    HWND PlaceBefore() const noexcept { return placeBefore_; }
    // A click from the keyboard or an assistive technology rather than the mouse: OnKeyClick
    // where set (a menu opens below the control rather than at the mouse), Click otherwise.
    void Activate();

    // Events, as the toolkit raises them.
    std::function<void(GraphicControl&)> OnClick;
    std::function<void(GraphicControl&)> OnKeyClick;
    std::function<void(GraphicControl&, int button, POINT point)> OnMouseDown;
    std::function<void(GraphicControl&, int button, POINT point)> OnMouseUp;

    // Notifications from the parent. Buttons: 0 left, 1 right, 2 middle.
    virtual void Paint(HDC dc) = 0;
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    virtual void MouseDown(int button, POINT point);
    virtual void MouseUp(int button, POINT point);
    virtual void Click();
    // The form's DPI changed: fonts and sizes measured in pixels are made again.
    virtual void DpiChanged() { Invalidate(); }

protected:
    // The role of the control's kind.
    virtual long DefaultRole() const;
    int S(int value) const;

private:
    Container& parent_;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    HCURSOR cursor_ = nullptr;
    long role_ = 0;
    std::string name_;
    GraphicControl* whole_ = nullptr;
    HWND placeBefore_ = nullptr;
};

class Image : public GraphicControl {
public:
    using GraphicControl::GraphicControl;

    const Picture& GetPicture() const noexcept { return picture_; }
    void SetPicture(const Picture& picture);
    bool Stretch() const noexcept { return stretch_; }
    void SetStretch(bool stretch);
    // Sizes the control to its picture whenever the picture changes.
    void SetAutoSize(bool autoSize);

    void Paint(HDC dc) override;

private:
    Picture picture_;
    bool stretch_ = false;
    bool autoSize_ = false;
};

class Label : public GraphicControl {
public:
    explicit Label(Container& parent);

    const std::string& Caption() const noexcept { return caption_; }
    void SetCaption(const std::string& caption);
    // The label's font: height in 96-DPI pixels, bold, underline; the face of the program's texts.
    void SetFont(int height96, bool bold, bool underline);
    // The font the caption is drawn in.
    HFONT ActiveFont() const;
    // CLR_INVALID (the default): the system's window-text colour.
    Color FontColor() const noexcept { return color_; }
    void SetFontColor(Color color);
    // The colour the text is drawn in now.
    COLORREF PaintColor() const;
    void SetTransparent(bool transparent) noexcept { transparent_ = transparent; }
    // Sizes the label to its text (the default).
    void SetAutoSize(bool autoSize);

    void Paint(HDC dc) override;
    void DpiChanged() override;
    // Drawn without access keys: the caption as it stands.
    std::string AccessibleName() const override { return caption_; }

protected:
    long DefaultRole() const override;

private:
    void ApplyAutoSize();

    std::string caption_;
    UniqueFont font_;
    int fontHeight96_ = 0;
    bool bold_ = false;
    bool underline_ = false;
    Color color_ = CLR_INVALID;
    bool transparent_ = false;
    bool autoSize_ = true;
};

} // namespace kestro
