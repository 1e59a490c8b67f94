#include "ui/group_box_win.h"

#include <vssym32.h>

#include "platform/optional_api_win.h"
#include "platform/winstr_win.h"
#include "ui/display_win.h"

namespace kestro {

void GroupBox::CreateGroup(Container& parent, const std::string& caption, int x, int y, int width, int height) {
    CreatePanel(parent, x, y, width, height);
    SetText(hwnd_, caption);
}

void GroupBox::PaintBackground(HDC dc, const RECT& area) {
    Container::PaintBackground(dc, area);
    RECT client{};
    GetClientRect(hwnd_, &client);
    const std::wstring caption = Widen(GetText(hwnd_));
    const SIZE text = TextExtent(dc, host_->Font(), caption);
    PaintFrame(dc, RECT{client.left, client.top + text.cy / 2, client.right, client.bottom});
    if (!caption.empty()) {
        PaintCaption(dc, caption, text);
    }
}

void GroupBox::PaintFrame(HDC dc, RECT frame) {
    const ThemeFunctions& themes = Theme();
    HTHEME theme = themes.Available() ? themes.open(hwnd_, L"BUTTON") : nullptr;
    if (theme != nullptr) {
        themes.drawBackground(theme, dc, BP_GROUPBOX, GBS_NORMAL, &frame, nullptr);
        themes.close(theme);
    } else {
        DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    }
}

// The caption interrupts the frame's top line.
void GroupBox::PaintCaption(HDC dc, const std::wstring& caption, SIZE size) {
    const int left = host_->S(8);
    RECT label{left, 0, left + size.cx + host_->S(2), size.cy};
    FillRect(dc, &label, GetSysColorBrush(COLOR_BTNFACE));
    SelectGuard font(dc, host_->Font());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = ::SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    label.left += host_->S(1);
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &label,
              DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    ::SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
}

} // namespace kestro
