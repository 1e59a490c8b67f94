#pragma once
// HoverImage: a picture that shows FocusedPicture while the mouse is over it
// and NoFocusedPicture after it leaves, and sits 2 pixels right and down while a
// mouse button is held on it, like a pressed button.
#include <functional>

#include "ui/graphic_controls_win.h"

namespace kestro {

class HoverImage : public Image {
public:
    explicit HoverImage(Container& parent);

    const Picture& FocusedPicture() const noexcept { return focused_; }
    void SetFocusedPicture(const Picture& picture) { focused_ = picture; }
    const Picture& NoFocusedPicture() const noexcept { return noFocused_; }
    void SetNoFocusedPicture(const Picture& picture) { noFocused_ = picture; }

    std::function<void(GraphicControl&)> OnMouseEnter;
    std::function<void(GraphicControl&)> OnMouseLeave;

    void MouseEnter() override;
    void MouseLeave() override;
    void MouseDown(int button, POINT point) override;
    void MouseUp(int button, POINT point) override;

private:
    Picture focused_;
    Picture noFocused_;
};

} // namespace kestro
