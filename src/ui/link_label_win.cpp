#include "ui/link_label_win.h"

#include <oleacc.h>

#include "base/text.h"
#include "ui/application_win.h"

namespace kestro {

LinkLabel::LinkLabel(Container& parent) : Label(parent) {
    SetFont(-11, false, true);
    SetFontColor(RGB(0, 0, 255));
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    SetAutoSize(true);
    hoverColor_ = RGB(255, 0, 0);
    linkColor_ = RGB(0, 0, 255);
    SetCaption("suiURLLabel");
    url_ = "https://www.kestro-software.example/";
}

void LinkLabel::SetURL(const std::string& url) {
    if (url != url_) {
        url_ = url;
    }
}

void LinkLabel::SetFontLinkColor(Color color) {
    linkColor_ = color;
    SetFontColor(color);
}

void LinkLabel::MouseEnter() { SetFontColor(hoverColor_); }

void LinkLabel::MouseLeave() { SetFontColor(linkColor_); }

long LinkLabel::DefaultRole() const {
    return ROLE_SYSTEM_LINK;
}

void LinkLabel::Click() {
    // Blanks and control characters alone name nothing; the shell gets the URL as it stands.
    if (!TrimView(url_).empty()) {
        Application::Get().Shell().Open(nullptr, "open", url_);
    }
    Label::Click();
}

} // namespace kestro
