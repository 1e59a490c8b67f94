#include "widgets/percent_bar_win.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "global/handles_win.h"
#include "global/form_win.h"

namespace kestro {

namespace {

constexpr UINT_PTR kPercentSubclass = 1;

// The bar carries its whole percent in the middle, drawn over the control's own painting in the
// dialog's font as it is now (a DPI change replaces the font). In high contrast the bar is drawn
// in the system's colours, which may be dark; the text takes their text colours then, one over
// the filled part and one over the rest.
void DrawPercent(HWND bar, HDC dc, HFONT font) {
    RECT client;
    GetClientRect(bar, &client);
    const auto position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    const std::wstring text = std::to_wstring(position * 100 / 1000) + L"%";
    SelectGuard selected(dc, font);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const auto draw = [&](COLORREF color, const RECT& part) {
        if (IsRectEmpty(&part)) {
            return;
        }
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
        const COLORREF oldColor = ::SetTextColor(dc, color);
        RECT all = client;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &all,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        ::SetTextColor(dc, oldColor);
        RestoreDC(dc, saved);
    };
    if (HighContrastOn()) {
        const int filled = MulDiv(client.right - client.left, std::clamp(position, 0, 1000), 1000);
        draw(GetSysColor(COLOR_HIGHLIGHTTEXT), RECT{client.left, client.top, client.left + filled, client.bottom});
        draw(GetSysColor(COLOR_BTNTEXT), RECT{client.left + filled, client.top, client.right, client.bottom});
    } else {
        draw(RGB(0, 0, 0), client);
    }
    SetBkMode(dc, oldMode);
}

LRESULT CALLBACK PercentBarProc(HWND bar, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) noexcept {
    const auto* form = reinterpret_cast<const Form*>(data);
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(bar, &ps);
        RECT client;
        GetClientRect(bar, &client);
        // Composed off screen: the text never flickers over a half-painted bar.
        UniqueDc memory(CreateCompatibleDC(dc));
        UniqueBitmap bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
        if (memory && bitmap) {
            SelectGuard selected(memory.get(), bitmap.get());
            DefSubclassProc(bar, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory.get()), PRF_CLIENT | PRF_ERASEBKGND);
            DrawPercent(bar, memory.get(), form->Font());
            BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
        }
        EndPaint(bar, &ps);
        return 0;
    }
    case WM_PRINTCLIENT: {
        const LRESULT result = DefSubclassProc(bar, msg, wParam, lParam);
        DrawPercent(bar, reinterpret_cast<HDC>(wParam), form->Font());
        return result;
    }
    case PBM_SETPOS:
    case PBM_DELTAPOS:
    case PBM_STEPIT:
    case PBM_SETRANGE:
    case PBM_SETRANGE32: {
        // The control repaints only the part of the bar that changed; the text needs all of it.
        const LRESULT result = DefSubclassProc(bar, msg, wParam, lParam);
        InvalidateRect(bar, nullptr, FALSE);
        return result;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(bar, &PercentBarProc, kPercentSubclass);
        break;
    default:
        break;
    }
    return DefSubclassProc(bar, msg, wParam, lParam);
}

} // namespace

void ShowPercentOn(HWND bar, const Form& form) {
    SetWindowSubclass(bar, &PercentBarProc, kPercentSubclass, reinterpret_cast<DWORD_PTR>(&form));
}

} // namespace kestro
