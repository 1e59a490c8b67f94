#include "widgets/url_label_win.h"

#include "global/application_win.h"
#include "global/text.h"

namespace kestro {

TsuiURLLabel::TsuiURLLabel(Container& parent) : TLabel(parent) {
    SetFont(-11, false, true);
    SetFontColor(RGB(0, 0, 255));
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    SetAutoSize(true);
    hoverColor_ = RGB(255, 0, 0);
    linkColor_ = RGB(0, 0, 255);
    SetCaption("suiURLLabel");
    url_ = "https://www.kestro-software.example/";
}

void TsuiURLLabel::SetURL(const std::string& url) {
    if (url != url_) {
        url_ = url;
    }
}

void TsuiURLLabel::SetFontLinkColor(Color color) {
    linkColor_ = color;
    SetFontColor(color);
}

void TsuiURLLabel::MouseEnter() { SetFontColor(hoverColor_); }

void TsuiURLLabel::MouseLeave() { SetFontColor(linkColor_); }

void TsuiURLLabel::Click() {
    // Blanks and control characters alone name nothing; the shell gets the URL as it stands.
    if (!TrimView(url_).empty()) {
        Application::Get().Shell().Open(nullptr, "open", url_);
    }
    TLabel::Click();
}

} // namespace kestro
