// The layout half of Form: controls placed in 96-DPI pixels and placed again at another DPI,
// sized to their text, the client size and the form's place on the screen.
#include "ui/form_win.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/winstr_win.h"
#include "ui/graphic_controls_win.h"

namespace kestro {

namespace {

// The window height of a drop-down combo box is its list's extent, in 96-DPI pixels.
constexpr int kComboListHeight96 = 160;

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

int WindowHeight(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r.bottom - r.top;
}

} // namespace

std::vector<HWND> ChildWindows(HWND window) {
    std::vector<HWND> children;
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

void Form::ApplyDpi(int dpi) {
    if (dpi <= 0 || hwnd_ == nullptr) {
        return;
    }
    dpi_ = dpi;
    font_ = MakeFont(-11, FW_NORMAL, false);
    const std::vector<HWND> children = ChildWindows(hwnd_);
    for (HWND child : children) {
        // Controls keep a font of their own when they were given one other than the form's.
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    }
    // Text does not scale in proportion with the DPI (fonts come in whole pixels, hinted), so a
    // caption measured at the old DPI and only scaled could be clipped at the new one.
    for (const auto& entry : fitted_) {
        MeasureFitted(entry.first);
    }
    PlaceAgain(children);
    hints_.DpiChanged();
    SetClientSize(clientSize96_.cx, clientSize96_.cy);
    Relayout();
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// Every placed control at its place in the new scale, then the windowless controls.
void Form::PlaceAgain(const std::vector<HWND>& children) {
    std::vector<Container*> containers{this};
    // Parents first (EnumChildWindows lists them before their children), so each control is
    // placed inside an already placed parent.
    for (HWND child : children) {
        if (auto* container = dynamic_cast<Container*>(Window::FromHandle(child))) {
            containers.push_back(container);
        }
        const auto it = design_.find(child);
        if (it != design_.end()) {
            const RECT& r = it->second;
            Place(child, r.left, r.top, r.right - r.left, r.bottom - r.top);
        }
    }
    for (Container* container : containers) {
        for (GraphicControl* control : container->Graphics()) {
            control->DpiChanged();
            UpdateHintRect(*control);
        }
    }
}

HWND Form::AddControl(Container& parent, const ControlArgs& args) {
    const auto [x, y, width, height] = args.bounds;
    const bool combo = lstrcmpiW(args.className, WC_COMBOBOXW) == 0;
    HWND control =
        CreateWindowExW(args.exStyle, args.className, args.text.c_str(), args.style | WS_CHILD, S(x), S(y), S(width),
                        S(height) + (combo ? S(kComboListHeight96) : 0), parent.Handle(),
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.id)), GetModuleHandleW(nullptr), nullptr);
    if (control == nullptr) {
        return nullptr;
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    RECT made{};
    GetWindowRect(control, &made);
    if (combo || made.right - made.left != S(width) || made.bottom - made.top != S(height)) {
        // Some controls size themselves when made (etched lines, combo boxes to their font).
        Place(control, x, y, width, height);
    } else {
        design_[control] = RECT{x, y, x + width, y + height};
    }
    return control;
}

void Form::FitToText(HWND control, int extraWidth96, bool fitHeight) {
    if (control == nullptr) {
        return;
    }
    fitted_[control] = TextFit{extraWidth96, fitHeight};
    MeasureFitted(control);
    const RECT r = design_[control];
    Place(control, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// Sets the control's 96-DPI size from its text, rounded up, so the scaled size never falls
// short of the text by a pixel.
void Form::MeasureFitted(HWND control) {
    const auto fit = fitted_.find(control);
    if (fit == fitted_.end() || !IsWindow(control)) {
        return;
    }
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    const SIZE size = TextExtent(control, font != nullptr ? font : font_.get(), Widen(GetText(control)));
    const auto up96 = [this](int pixels) { return (pixels * 96 + dpi_ - 1) / dpi_; };
    RECT& r = design_[control];
    r.right = r.left + up96(size.cx) + fit->second.extraWidth96;
    if (fit->second.fitHeight) {
        r.bottom = r.top + up96(size.cy);
    }
}

int Form::TextWidth96(const std::wstring& text) const {
    return MulDiv(TextExtent(static_cast<HWND>(nullptr), font_.get(), text).cx, 96, dpi_);
}

void Form::Place(HWND control, int x, int y, int width, int height) {
    design_[control] = RECT{x, y, x + width, y + height};
    if (!HasClass(control, WC_COMBOBOXW)) {
        SetWindowPos(control, nullptr, S(x), S(y), S(width), S(height), SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    SetWindowPos(control, nullptr, S(x), S(y), S(width), S(height) + S(kComboListHeight96),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    FitComboHeight(control, x, y, width, height);
}

// The closed height of a drop-down combo box follows its selection field's item height. A field
// lower than the wanted height is raised to it; one that the font already makes taller is left
// alone: the field must show its text (and some systems keep it at least that tall anyway).
// Systems differ in what the item height means, so the effect of a change is measured.
void Form::FitComboHeight(HWND control, int x, int y, int width, int height) {
    const int windowHeight = S(height) + S(kComboListHeight96);
    const auto setItemHeight = [&](int change) {
        const auto item = static_cast<int>(SendMessageW(control, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
        SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), item + change);
        SetWindowPos(control, nullptr, S(x), S(y), S(width), windowHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    int difference = S(height) - WindowHeight(control);
    for (int attempt = 0; difference > 0 && attempt < 3; ++attempt) {
        setItemHeight(difference);
        const int now = S(height) - WindowHeight(control);
        if (now == difference) {
            break; // no effect: nothing more to gain
        }
        difference = now;
        if (difference < 0) {
            // Overshot (the item height counts differently here): step back once.
            setItemHeight(difference);
            break;
        }
    }
}

RECT Form::DesignRect(HWND control) const {
    const auto it = design_.find(control);
    if (it == design_.end()) {
        return RECT{};
    }
    const RECT& r = it->second;
    return RECT{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void Form::SetTop(HWND control, int top) {
    const RECT r = DesignRect(control);
    Place(control, r.left, top, r.right, r.bottom);
}

void Form::SetLeft(HWND control, int left) {
    const RECT r = DesignRect(control);
    Place(control, left, r.top, r.right, r.bottom);
}

void Form::SetClientSize(int width96, int height96) {
    clientSize96_ = SIZE{width96, height96};
    RECT r{0, 0, S(width96), S(height96)};
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A caption wide enough to wrap its menu bar never applies here, but a
    // frame that differs from AdjustWindowRectEx's idea (Wine's own frames) does: correct once.
    RECT client;
    GetClientRect(hwnd_, &client);
    const int dw = S(width96) - client.right;
    const int dh = S(height96) - client.bottom;
    if (dw != 0 || dh != 0) {
        RECT window;
        GetWindowRect(hwnd_, &window);
        SetWindowPos(hwnd_, nullptr, 0, 0, window.right - window.left + dw, window.bottom - window.top + dh,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

SIZE Form::ClientSize96() const {
    return clientSize96_;
}

void Form::CenterOnScreen() {
    RECT window;
    GetWindowRect(hwnd_, &window);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - (window.right - window.left)) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - (window.bottom - window.top)) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::CenterOver(HWND owner) {
    RECT window;
    GetWindowRect(hwnd_, &window);
    RECT over{};
    if (owner == nullptr || !GetWindowRect(owner, &over)) {
        CenterOnScreen();
        return;
    }
    const int w = window.right - window.left;
    const int h = window.bottom - window.top;
    int x = over.left + ((over.right - over.left) - w) / 2;
    int y = over.top + ((over.bottom - over.top) - h) / 2;
    // Keep the whole dialog on the work area of the owner's monitor.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        x = std::max<int>(work.left, std::min<int>(x, work.right - w));
        y = std::max<int>(work.top, std::min<int>(y, work.bottom - h));
    }
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace kestro
