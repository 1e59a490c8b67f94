#include "global/window_win.h"

#include <commctrl.h>
#include <vssym32.h>
#include <windowsx.h>

#include <algorithm>
#include <exception>
#include <memory>

#include "global/application_win.h"
#include "global/graphics_win.h"
#include "global/optional_api_win.h"
#include "global/winstr_win.h"

namespace kestro {

namespace {

constexpr wchar_t kPanelClass[] = L"KestroPanel";

bool IsClass(HWND hwnd, const wchar_t* name) {
    wchar_t buffer[64] = {};
    GetClassNameW(hwnd, buffer, static_cast<int>(std::size(buffer)));
    return lstrcmpiW(buffer, name) == 0;
}

} // namespace

int WindowDpi(HWND hwnd) {
    const GetDpiForWindowFunction getDpiForWindow = GetDpiForWindowFn();
    if (hwnd != nullptr && getDpiForWindow != nullptr) {
        if (const UINT dpi = getDpiForWindow(hwnd); dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

namespace {
int highContrastOverride = -1;
}

bool HighContrastOn() {
    if (highContrastOverride >= 0) {
        return highContrastOverride != 0;
    }
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

void OverrideHighContrast(int on) noexcept { highContrastOverride = on < 0 ? -1 : (on != 0 ? 1 : 0); }

std::string GetText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int n = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(n, 0)));
    return Narrow(text);
}

void SetText(HWND hwnd, const std::string& text) { SetWindowTextW(hwnd, Widen(text).c_str()); }

namespace {

// The handler in force is also kept in a window property: a later Subclass() of the same control
// must free it, and x86_64 MinGW's import library has no GetWindowSubclass to ask for it.
constexpr wchar_t kSubclassProp[] = L"Kestro.SubclassHandler";

LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
    auto* handler = reinterpret_cast<SubclassHandler*>(data);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, SubclassProc, id);
        RemovePropW(hwnd, kSubclassProp);
        delete handler;
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    LRESULT result = 0;
    try {
        if ((*handler)(hwnd, msg, wParam, lParam, result)) {
            return result;
        }
    } catch (const std::exception& e) {
        ReportUnhandled(e.what());
        return 0;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

constexpr UINT_PTR kSubclassId = 0x4B53; // one subclass per control

} // namespace

void Subclass(HWND control, SubclassHandler handler) {
    auto owned = std::make_unique<SubclassHandler>(std::move(handler));
    auto* previous = static_cast<SubclassHandler*>(GetPropW(control, kSubclassProp));
    if (!SetWindowSubclass(control, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(owned.get()))) {
        return;
    }
    SetPropW(control, kSubclassProp, owned.release());
    delete previous;
}

LRESULT CallOriginal(HWND control, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(control, msg, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Window

Window::~Window() {
    if (hwnd_ != nullptr) {
        // Detach first: the object is being destroyed and must not see the
        // messages that destruction sends.
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        HWND hwnd = hwnd_;
        hwnd_ = nullptr;
        DestroyWindow(hwnd);
    }
}

Window* Window::FromHandle(HWND hwnd) noexcept {
    if (hwnd == nullptr) {
        return nullptr;
    }
    WNDPROC proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    if (proc != &Window::StaticWndProc) {
        return nullptr;
    }
    return reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

HWND Window::CreateWindowFor(const wchar_t* className, DWORD exStyle, const std::wstring& text, DWORD style, int x,
                             int y, int width, int height, HWND parent, HMENU menuOrId) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (!GetClassInfoExW(instance, className, &existing)) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &Window::StaticWndProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        wc.lpszClassName = className;
        RegisterClassExW(&wc);
    }
    CreateWindowExW(exStyle, className, text.c_str(), style, x, y, width, height, parent, menuOrId, instance, this);
    return hwnd_;
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return Default(msg, wParam, lParam); }

LRESULT CALLBACK Window::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    Window* self = nullptr;
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<Window*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) {
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    LRESULT result = 0;
    try {
        result = self->HandleMessage(msg, wParam, lParam);
    } catch (const std::exception& e) {
        ReportUnhandled(e.what());
    } catch (...) {
        ReportUnhandled("Unknown error");
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->OnHandleDestroyed();
    }
    return result;
}

// ---------------------------------------------------------------------------
// Container

Container::~Container() {
    // Graphic controls are members of the forms and die with them; forget any still listed.
    graphics_.clear();
}

void Container::CreatePanel(Container& parent, int x, int y, int width, int height, DWORD extraStyle) {
    Form& form = parent.OwnerForm();
    CreateWindowFor(kPanelClass, WS_EX_CONTROLPARENT, L"",
                    WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | extraStyle, form.S(x), form.S(y),
                    form.S(width), form.S(height), parent.Handle(), nullptr);
    form.Place(hwnd_, x, y, width, height);
}

void Container::AddGraphic(GraphicControl* control) { graphics_.push_back(control); }

void Container::RemoveGraphic(GraphicControl* control) {
    graphics_.erase(std::remove(graphics_.begin(), graphics_.end(), control), graphics_.end());
    if (hovered_ == control) {
        hovered_ = nullptr;
    }
    if (pressed_ == control) {
        pressed_ = nullptr;
    }
}

GraphicControl* Container::GraphicAt(POINT point) const {
    for (auto it = graphics_.rbegin(); it != graphics_.rend(); ++it) {
        if ((*it)->Visible()) {
            const RECT r = (*it)->ClientRect();
            if (PtInRect(&r, point)) {
                return *it;
            }
        }
    }
    return nullptr;
}

void Container::OnHandleDestroyed() {
    hovered_ = nullptr;
    pressed_ = nullptr;
    tracking_ = false;
}

void Container::PaintBackground(HDC dc, const RECT& area) { FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE)); }

void Container::PaintGraphics(HDC dc, const RECT& area) {
    for (GraphicControl* control : graphics_) {
        if (!control->Visible()) {
            continue;
        }
        const RECT bounds = control->ClientRect();
        RECT overlap;
        if (IntersectRect(&overlap, &bounds, &area)) {
            control->Paint(dc);
        }
    }
}

void Container::UpdateHover(POINT point) {
    GraphicControl* now = GraphicAt(point);
    if (now != hovered_) {
        GraphicControl* before = hovered_;
        hovered_ = now;
        if (before != nullptr) {
            before->MouseLeave();
        }
        if (now != nullptr) {
            now->MouseEnter();
        }
    }
    if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd_, 0};
        tracking_ = TrackMouseEvent(&track) != FALSE;
    }
}

LRESULT Container::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
    case WM_PRINTCLIENT: {
        // Themed controls draw their parent's background under themselves
        // (DrawThemeParentBackground sends both messages with their own DC).
        HDC dc = reinterpret_cast<HDC>(wParam);
        RECT area{};
        if (GetClipBox(dc, &area) != ERROR) {
            PaintBackground(dc, area);
            PaintGraphics(dc, area);
        }
        return msg == WM_ERASEBKGND ? 1 : 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        const RECT area = ps.rcPaint;
        const int w = area.right - area.left;
        const int h = area.bottom - area.top;
        if (w > 0 && h > 0) {
            // Drawn off screen first, so pictures and labels never flicker.
            UniqueDc memory(CreateCompatibleDC(dc));
            UniqueBitmap bitmap(CreateCompatibleBitmap(dc, w, h));
            if (memory && bitmap) {
                SelectGuard selected(memory.get(), bitmap.get());
                SetViewportOrgEx(memory.get(), -area.left, -area.top, nullptr);
                PaintBackground(memory.get(), area);
                PaintGraphics(memory.get(), area);
                SetViewportOrgEx(memory.get(), 0, 0, nullptr);
                BitBlt(dc, area.left, area.top, w, h, memory.get(), 0, 0, SRCCOPY);
            } else {
                PaintBackground(dc, area);
                PaintGraphics(dc, area);
            }
        }
        EndPaint(hwnd_, &ps);
        return 0;
    }
    case WM_MOUSEMOVE:
        UpdateHover(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MOUSELEAVE:
        tracking_ = false;
        if (hovered_ != nullptr) {
            GraphicControl* left = hovered_;
            hovered_ = nullptr;
            left->MouseLeave();
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        // While a button is held the pressed control keeps the mouse, also for
        // further buttons, as a control with the capture does.
        const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        GraphicControl* control = pressed_ != nullptr ? pressed_ : GraphicAt(point);
        if (control != nullptr && control->Enabled()) {
            pressed_ = control;
            SetCapture(hwnd_);
            const int button = msg == WM_LBUTTONDOWN ? 0 : (msg == WM_RBUTTONDOWN ? 1 : 2);
            control->MouseDown(button, point);
        }
        return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        GraphicControl* control = pressed_;
        if (control != nullptr) {
            const bool stillHeld = (wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != 0;
            if (!stillHeld) {
                pressed_ = nullptr;
                if (GetCapture() == hwnd_) {
                    ReleaseCapture();
                }
            }
            const int button = msg == WM_LBUTTONUP ? 0 : (msg == WM_RBUTTONUP ? 1 : 2);
            control->MouseUp(button, point);
            const RECT r = control->ClientRect();
            if (button == 0 && PtInRect(&r, point) && control->Enabled() && control->Visible()) {
                control->Click();
            }
        }
        return 0;
    }
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == hwnd_ && LOWORD(lParam) == HTCLIENT) {
            POINT point;
            GetCursorPos(&point);
            ScreenToClient(hwnd_, &point);
            GraphicControl* control = GraphicAt(point);
            if (control != nullptr && control->Cursor() != nullptr) {
                ::SetCursor(control->Cursor());
                return TRUE;
            }
        }
        break;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
        // A panel's controls report to the form.
        if (form_ != nullptr && static_cast<Container*>(form_) != this && form_->Handle() != nullptr) {
            return SendMessageW(form_->Handle(), msg, wParam, lParam);
        }
        break;
    default:
        break;
    }
    return Default(msg, wParam, lParam);
}

// ---------------------------------------------------------------------------
// GroupBox

void GroupBox::CreateGroup(Container& parent, const std::string& caption, int x, int y, int width, int height) {
    CreatePanel(parent, x, y, width, height);
    SetText(hwnd_, caption);
}

void GroupBox::PaintBackground(HDC dc, const RECT& area) {
    Container::PaintBackground(dc, area);
    RECT client{};
    GetClientRect(hwnd_, &client);
    const std::wstring caption = Widen(GetText(hwnd_));
    SelectGuard font(dc, form_->Font());
    SIZE text{};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
    if (text.cy == 0) {
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        text.cy = metrics.tmHeight;
    }
    RECT frame{client.left, client.top + text.cy / 2, client.right, client.bottom};
    const ThemeFunctions& themes = Theme();
    HTHEME theme = themes.Available() ? themes.open(hwnd_, L"BUTTON") : nullptr;
    if (theme != nullptr) {
        themes.drawBackground(theme, dc, BP_GROUPBOX, GBS_NORMAL, &frame, nullptr);
        themes.close(theme);
    } else {
        DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    }
    if (!caption.empty()) {
        const int left = form_->S(8);
        RECT label{left, 0, left + text.cx + form_->S(2), text.cy};
        FillRect(dc, &label, GetSysColorBrush(COLOR_BTNFACE));
        const int oldMode = SetBkMode(dc, TRANSPARENT);
        const COLORREF oldColor = ::SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        label.left += form_->S(1);
        DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &label, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
        ::SetTextColor(dc, oldColor);
        SetBkMode(dc, oldMode);
    }
}

// ---------------------------------------------------------------------------
// Form

Form* Form::activeForm_ = nullptr;

Form::Form() : Container(this) {}

Form::~Form() {
    if (activeForm_ == this) {
        activeForm_ = nullptr;
    }
    EnableOtherWindows();
    if (tooltip_ != nullptr) {
        DestroyWindow(tooltip_);
        tooltip_ = nullptr;
    }
}

UniqueFont Form::MakeFont(int height96, int weight, bool underline, const wchar_t* face) const {
    return UniqueFont(CreateFontW(S(height96), 0, 0, 0, weight, FALSE, underline ? TRUE : FALSE, FALSE,
                                  DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_DONTCARE, face));
}

void Form::CreateForm(const wchar_t* className, HWND owner, DWORD style, DWORD exStyle, const std::wstring& caption,
                      int clientWidth96, int clientHeight96) {
    // Laid out for the owner's DPI (or the system's) from the start; a window that
    // turns out to be on another monitor's DPI is laid out again below.
    dpi_ = WindowDpi(owner);
    font_ = MakeFont(-11, FW_NORMAL, false);
    CreateWindowFor(className, exStyle | WS_EX_CONTROLPARENT, caption, style | WS_CLIPCHILDREN, CW_USEDEFAULT,
                    CW_USEDEFAULT, 100, 100, owner, nullptr);
    dpi_ = WindowDpi(hwnd_);
    font_ = MakeFont(-11, FW_NORMAL, false);
    SetClientSize(clientWidth96, clientHeight96);
}

namespace {
BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}
} // namespace

void Form::ApplyDpi(int dpi) {
    if (dpi <= 0 || hwnd_ == nullptr) {
        return;
    }
    dpi_ = dpi;
    font_ = MakeFont(-11, FW_NORMAL, false);
    std::vector<HWND> children;
    EnumChildWindows(hwnd_, CollectChild, reinterpret_cast<LPARAM>(&children));
    std::vector<Container*> containers{this};
    for (HWND child : children) {
        if (auto* container = dynamic_cast<Container*>(Window::FromHandle(child))) {
            containers.push_back(container);
        }
        // Controls keep a font of their own when they were given one other than the form's.
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    }
    // Text does not scale in proportion with the DPI (fonts come in whole pixels, hinted), so a
    // caption measured at the old DPI and only scaled could be clipped at the new one.
    for (const auto& entry : fitted_) {
        MeasureFitted(entry.first);
    }
    // Parents first (EnumChildWindows lists them before their children), so each
    // control is placed inside an already placed parent.
    for (HWND child : children) {
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
    if (tooltip_ != nullptr) {
        SendMessageW(tooltip_, WM_SETFONT, 0, FALSE);
        SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, S(320));
    }
    SetClientSize(clientSize96_.cx, clientSize96_.cy);
    Relayout();
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

HWND Form::AddControl(Container& parent, const wchar_t* className, const std::wstring& text, DWORD style,
                      DWORD exStyle, int x, int y, int width, int height, int id) {
    const bool combo = lstrcmpiW(className, WC_COMBOBOXW) == 0;
    HWND control = CreateWindowExW(exStyle, className, text.c_str(), style | WS_CHILD, S(x), S(y), S(width),
                                   S(height) + (combo ? S(160) : 0), parent.Handle(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                   nullptr);
    if (control != nullptr) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        RECT made{};
        GetWindowRect(control, &made);
        if (combo || made.right - made.left != S(width) || made.bottom - made.top != S(height)) {
            // Some controls size themselves when made (etched lines, combo boxes to their font).
            Place(control, x, y, width, height);
        } else {
            design_[control] = RECT{x, y, x + width, y + height};
        }
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
    const std::wstring text = Widen(GetText(control));
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    HDC dc = GetDC(control);
    SIZE size{};
    {
        SelectGuard selected(dc, font != nullptr ? font : font_.get());
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        if (text.empty()) {
            TEXTMETRICW metrics{};
            GetTextMetricsW(dc, &metrics);
            size.cy = metrics.tmHeight;
        }
    }
    ReleaseDC(control, dc);
    const auto up96 = [this](int pixels) { return (pixels * 96 + dpi_ - 1) / dpi_; };
    RECT& r = design_[control];
    r.right = r.left + up96(size.cx) + fit->second.extraWidth96;
    if (fit->second.fitHeight) {
        r.bottom = r.top + up96(size.cy);
    }
}

int Form::TextWidth96(const std::wstring& text) const {
    HDC screen = GetDC(nullptr);
    SIZE size{};
    {
        SelectGuard font(screen, font_.get());
        GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &size);
    }
    ReleaseDC(nullptr, screen);
    return MulDiv(size.cx, 96, dpi_);
}

void Form::Place(HWND control, int x, int y, int width, int height) {
    design_[control] = RECT{x, y, x + width, y + height};
    int h = S(height);
    const bool combo = IsClass(control, WC_COMBOBOXW);
    if (combo) {
        // The window height of a drop-down combo box is its list's extent; the
        // closed height follows the selection field's item height, which is only
        // adjusted when the font does not already give the wanted height.
        h += S(160);
    }
    SetWindowPos(control, nullptr, S(x), S(y), S(width), h, SWP_NOZORDER | SWP_NOACTIVATE);
    if (combo) {
        // A selection field lower than the wanted height is raised to it. One that
        // the font already makes taller is left alone: the field must show its text
        // (and some systems keep it at least that tall anyway). Systems differ in
        // what the item height means, so the effect of a change is measured.
        RECT closed{};
        GetWindowRect(control, &closed);
        int difference = S(height) - (closed.bottom - closed.top);
        for (int attempt = 0; difference > 0 && attempt < 3; ++attempt) {
            const auto item = static_cast<int>(SendMessageW(control, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
            SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), item + difference);
            SetWindowPos(control, nullptr, S(x), S(y), S(width), h, SWP_NOZORDER | SWP_NOACTIVATE);
            GetWindowRect(control, &closed);
            const int now = S(height) - (closed.bottom - closed.top);
            if (now == difference) {
                break; // no effect: nothing more to gain
            }
            difference = now;
            if (difference < 0) {
                // Overshot (the item height counts differently here): step back once.
                const auto again = static_cast<int>(SendMessageW(control, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
                SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), again + difference);
                SetWindowPos(control, nullptr, S(x), S(y), S(width), h, SWP_NOZORDER | SWP_NOACTIVATE);
                break;
            }
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

void Form::OnCommand(int id, std::function<void(int)> handler) { commands_[id] = std::move(handler); }

void Form::SetTextColor(HWND control, Color color) {
    if (color == CLR_INVALID) {
        textColors_.erase(control);
    } else {
        textColors_[control] = color;
    }
    InvalidateRect(control, nullptr, TRUE);
}

Color Form::TextColor(HWND control) const {
    const auto it = textColors_.find(control);
    return it == textColors_.end() ? CLR_INVALID : it->second;
}

void Form::EnsureTooltip() {
    if (tooltip_ != nullptr) {
        return;
    }
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, S(320));
}

void Form::SetHint(HWND control, const std::string& hint) {
    EnsureTooltip();
    std::wstring text = Widen(hint);
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(control);
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = text.data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void Form::SetHint(GraphicControl& control, const std::string& hint) {
    EnsureTooltip();
    std::wstring text = Widen(hint);
    const UINT_PTR id = nextToolId_++;
    graphicTools_[&control] = id;
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_SUBCLASS;
    info.hwnd = control.Parent().Handle();
    info.uId = id;
    info.rect = control.ClientRect();
    info.lpszText = text.data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void Form::UpdateHintRect(GraphicControl& control) {
    const auto it = graphicTools_.find(&control);
    if (it == graphicTools_.end() || tooltip_ == nullptr) {
        return;
    }
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = control.Parent().Handle();
    info.uId = it->second;
    info.rect = control.ClientRect();
    SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
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

SIZE Form::ClientSize96() const { return clientSize96_; }

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

namespace {
struct DisableState {
    HWND self;
    std::vector<HWND>* list;
};

BOOL CALLBACK DisableWindow(HWND hwnd, LPARAM param) {
    auto* s = reinterpret_cast<DisableState*>(param);
    if (hwnd != s->self && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        EnableWindow(hwnd, FALSE);
        s->list->push_back(hwnd);
    }
    return TRUE;
}
} // namespace

void Form::DisableOtherWindows() {
    DisableState state{hwnd_, &disabledWindows_};
    EnumThreadWindows(GetCurrentThreadId(), DisableWindow, reinterpret_cast<LPARAM>(&state));
}

void Form::EnableOtherWindows() {
    for (HWND hwnd : disabledWindows_) {
        if (IsWindow(hwnd)) {
            EnableWindow(hwnd, TRUE);
        }
    }
    disabledWindows_.clear();
}

int Form::ShowModal() {
    HWND previous = GetActiveWindow();
    modalResult_ = mrNone;
    inModalLoop_ = true;
    DisableOtherWindows();
    try {
        OnShow();
    } catch (const std::exception& e) {
        // As the toolkit does for an error in a show handler: reported, and the form is shown all the same.
        Application::Get().ShowException(e.what());
    }
    if (hwnd_ != nullptr && modalResult_ == mrNone) {
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        SetActiveWindow(hwnd_);
    }
    MSG msg;
    while (modalResult_ == mrNone && hwnd_ != nullptr) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            modalResult_ = mrCancel;
            break;
        }
        if (got == -1) {
            break;
        }
        if (!Application::Get().PreTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    try {
        OnClose();
    } catch (const std::exception& e) {
        Application::Get().ShowException(e.what());
    }
    // Re-enable the other windows before hiding, so the focus goes back to the owner.
    EnableOtherWindows();
    if (hwnd_ != nullptr) {
        SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (previous != nullptr && IsWindow(previous) && IsWindowVisible(previous)) {
        SetActiveWindow(previous);
    }
    inModalLoop_ = false;
    return modalResult_;
}

void Form::Show() {
    OnShow();
    HWND app = Application::Get().Handle();
    if (app != nullptr && !IsWindowVisible(app) && GetWindow(hwnd_, GW_OWNER) == app) {
        ShowWindow(app, SW_SHOWNOACTIVATE);
    }
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    SetActiveWindow(hwnd_);
}

void Form::Close() {
    if (inModalLoop_) {
        if (modalResult_ == mrNone) {
            modalResult_ = mrCancel;
        }
        return;
    }
    OnClose();
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
}

bool Form::PreTranslateMessage(MSG& msg) {
    if (hwnd_ == nullptr) {
        return false;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
        // Enter toggles a focused check box, as Space does.
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus) && IsClass(focus, WC_BUTTONW)) {
            const LONG_PTR type = GetWindowLongPtrW(focus, GWL_STYLE) & BS_TYPEMASK;
            if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX) {
                SendMessageW(focus, BM_CLICK, 0, 0);
                return true;
            }
        }
    }
    return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

bool Form::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

// Only top-level windows hear of new system colours; the common controls among the children
// must be told, and everything drawn again with the colours read at paint time.
void Form::SystemColorsChanged() {
    if (hwnd_ == nullptr) {
        return;
    }
    std::vector<HWND> children;
    EnumChildWindows(hwnd_, CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
    }
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

bool Form::HandleCtlColor(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    HWND control = reinterpret_cast<HWND>(lParam);
    const Color color = TextColor(control);
    if (color == CLR_INVALID) {
        return false;
    }
    ::SetTextColor(dc, color);
    if (msg == WM_CTLCOLOREDIT) {
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    } else {
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    return true;
}

LRESULT Form::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnMessage(msg, wParam, lParam, result)) {
        return result;
    }
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const auto it = commands_.find(id);
        if (it != commands_.end()) {
            // Copy: the handler may replace itself.
            auto handler = it->second;
            handler(HIWORD(wParam));
            return 0;
        }
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        if (HandleCtlColor(msg, wParam, lParam, result)) {
            return result;
        }
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(hwnd_, focus)) {
                lastFocus_ = focus;
            }
            break;
        }
        if (activeForm_ != this) {
            activeForm_ = this;
            PostMessageW(hwnd_, WM_KESTRO_ACTIVATE, 0, 0);
        }
        if (HIWORD(wParam) == 0) {
            // Back to the control that had the keyboard focus, or the first in tab order.
            HWND target = lastFocus_;
            if (target == nullptr || !IsWindow(target) || !IsChild(hwnd_, target) || !IsWindowVisible(target) ||
                !IsWindowEnabled(target)) {
                target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
            }
            if (target != nullptr) {
                SetFocus(target);
                return 0;
            }
        }
        break;
    case WM_KESTRO_ACTIVATE:
        OnActivate();
        return 0;
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        // A switch to or from a high-contrast theme arrives as these (and a settings change).
        SystemColorsChanged();
        break;
    case WM_SETTINGCHANGE:
        if (wParam == SPI_SETHIGHCONTRAST) {
            SystemColorsChanged();
        }
        break;
    case WM_DPICHANGED: {
        // Moved to a monitor of another DPI (or its scale changed): lay out again
        // and take the place the system suggests.
        ApplyDpi(LOWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE:
        Close();
        return 0;
    case WM_DESTROY:
        if (activeForm_ == this) {
            activeForm_ = nullptr;
        }
        OnDestroy();
        if (Application::Get().MainForm() == this) {
            PostQuitMessage(0);
        }
        break;
    default:
        break;
    }
    return Container::HandleMessage(msg, wParam, lParam);
}

} // namespace kestro
