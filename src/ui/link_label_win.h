#pragma once
// LinkLabel: an underlined link label that changes colour under the mouse and
// hands its URL to the shell when clicked, before its click handler runs.
#include <string>

#include "ui/graphic_controls_win.h"

namespace kestro {

class LinkLabel : public Label {
public:
    explicit LinkLabel(Container& parent);

    const std::string& URL() const noexcept { return url_; }
    void SetURL(const std::string& url);
    Color FontHoverColor() const noexcept { return hoverColor_; }
    // Only stored: the colour in use changes when the mouse next enters.
    void SetFontHoverColor(Color color) noexcept { hoverColor_ = color; }
    Color FontLinkColor() const noexcept { return linkColor_; }
    // Stored and shown at once.
    void SetFontLinkColor(Color color);

    void MouseEnter() override;
    void MouseLeave() override;
    void Click() override;

protected:
    long DefaultRole() const override;

private:
    std::string url_;
    Color hoverColor_ = RGB(255, 0, 0);
    Color linkColor_ = RGB(0, 0, 255);
};

} // namespace kestro
