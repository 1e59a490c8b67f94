#include "ui/percent_bar_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>

#include <oleacc.h>

#include "platform/handles_win.h"
#include "ui/control_accessible_win.h"
#include "ui/form_win.h"

namespace kestro {

namespace {

constexpr UINT_PTR kPercentSubclass = 1;

// The whole percent of the bar's position, as the bar shows it and screen readers say it.
int ShownPercent(HWND bar) {
    return static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0)) * 100 / 1000;
}

std::wstring PercentText(HWND bar) {
    return std::to_wstring(ShownPercent(bar)) + L"%";
}

// The bar carries its whole percent in the middle, drawn over the control's own painting in the
// dialog's font as it is now (a DPI change replaces the font). In high contrast the bar is drawn
// in the system's colours, which may be dark; the text takes their text colours then, one over
// the filled part and one over the rest.
void DrawPercent(HWND bar, HDC dc, HFONT font) {
    RECT client;
    GetClientRect(bar, &client);
    const auto position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    const std::wstring text = PercentText(bar);
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

// A flood of output moves the bar far more often than a screen shows, and a themed bar can be
// costly to paint (under Wine's 32-bit build its images are stretched at several milliseconds a
// time). So it is painted at most once a frame, and no sooner than eight times as long as its
// last painting took after that one, but never more than a tenth of a second late; the last state
// is always painted. The position itself changes at once; only its painting waits.
constexpr UINT_PTR kRepaintTimer = 0x4B50;
constexpr double kFrameMs = 16;
constexpr double kPaintShare = 8;
constexpr double kLongestWaitMs = 100;

double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

struct PercentBar {
    const Form* form = nullptr;
    double nextPaintAt = 0;  // no painting before this time
    bool repaintDue = false; // the repaint timer runs
};

void Paint(HWND bar, const PercentBar& state) {
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
        DrawPercent(bar, memory.get(), state.form->Font());
        BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
    }
    EndPaint(bar, &ps);
}

// Too early, the request is put off: the window is marked painted and the repaint timer marks it
// again, all of it, when the time has come.
void OnPaint(HWND bar, PercentBar& state) {
    const double now = NowMs();
    if (now >= state.nextPaintAt) {
        Paint(bar, state);
        const double took = NowMs() - now;
        state.nextPaintAt = now + std::clamp(took * kPaintShare, kFrameMs, kLongestWaitMs);
        return;
    }
    if (!state.repaintDue) {
        const auto wait = static_cast<UINT>(state.nextPaintAt - now) + 1;
        state.repaintDue = SetTimer(bar, kRepaintTimer, wait, nullptr) != 0;
        if (!state.repaintDue) {
            Paint(bar, state); // no timer to wait for: now rather than never
            return;
        }
    }
    ValidateRect(bar, nullptr);
}

void OnRepaintTimer(HWND bar, PercentBar& state) {
    KillTimer(bar, kRepaintTimer);
    state.repaintDue = false;
    InvalidateRect(bar, nullptr, FALSE);
}

LRESULT CALLBACK PercentBarProc(HWND bar, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) noexcept {
    auto* state = reinterpret_cast<PercentBar*>(data);
    switch (msg) {
    case WM_PAINT:
        OnPaint(bar, *state);
        return 0;
    case WM_TIMER:
        if (wParam != kRepaintTimer) {
            break;
        }
        OnRepaintTimer(bar, *state);
        return 0;
    case WM_PRINTCLIENT: {
        const LRESULT result = DefSubclassProc(bar, msg, wParam, lParam);
        DrawPercent(bar, reinterpret_cast<HDC>(wParam), state->form->Font());
        return result;
    }
    case PBM_SETPOS:
    case PBM_DELTAPOS:
    case PBM_STEPIT:
    case PBM_SETRANGE:
    case PBM_SETRANGE32: {
        // The control repaints only the part of the bar that changed; the text needs all of it.
        // Screen readers hear of a new percent, not of every move within one.
        const int before = ShownPercent(bar);
        const LRESULT result = DefSubclassProc(bar, msg, wParam, lParam);
        InvalidateRect(bar, nullptr, FALSE);
        if (ShownPercent(bar) != before) {
            NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, bar, OBJID_CLIENT, CHILDID_SELF);
        }
        return result;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(bar, &PercentBarProc, kPercentSubclass);
        delete state;
        break;
    default:
        break;
    }
    return DefSubclassProc(bar, msg, wParam, lParam);
}

// The name is the text of the label directly before the bar, as the system names a control; the
// system's own object has neither this role nor this value where the bar is drawn over (Wine's
// knows no progress bar at all).
AccessibleAdjustments PercentBarAccessible(HWND bar) {
    AccessibleAdjustments adjustments;
    adjustments.role = ROLE_SYSTEM_PROGRESSBAR;
    adjustments.value = [bar] { return PercentText(bar); };
    adjustments.name = [bar] {
        HWND label = GetWindow(bar, GW_HWNDPREV);
        wchar_t text[256] = {};
        if (label != nullptr && HasClass(label, WC_STATICW)) {
            GetWindowTextW(label, text, static_cast<int>(std::size(text)));
        }
        return std::wstring(text);
    };
    return adjustments;
}

} // namespace

void ShowPercentOn(HWND bar, const Form& form) {
    auto state = std::make_unique<PercentBar>();
    state->form = &form;
    if (SetWindowSubclass(bar, &PercentBarProc, kPercentSubclass, reinterpret_cast<DWORD_PTR>(state.get()))) {
        (void)state.release(); // freed when the bar is destroyed
    }
    AdjustAccessible(bar, PercentBarAccessible(bar));
}

} // namespace kestro
