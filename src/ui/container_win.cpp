#include "ui/container_win.h"

#include <windowsx.h>

#include <algorithm>

#include "base/failures.h"
#include "platform/handles_win.h"
#include "platform/messages_win.h"
#include "ui/graphic_controls_win.h"
#include "ui/windowless_accessible_win.h"

namespace kestro {

namespace {

constexpr wchar_t kPanelClass[] = L"KestroPanel";

POINT PointOf(LPARAM lParam) {
    return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

int ButtonOf(UINT msg) {
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return 1;
    default:
        return 2;
    }
}

// The notifications and requests a child control sends its parent.
bool IsControlReport(UINT msg) {
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
        return true;
    default:
        return false;
    }
}

} // namespace

// Out of line: the members hold objects whose types only this file knows in full.
Container::Container(ControlHost* host) : host_(host) {}

Container::~Container() {
    DisconnectAccessible();
    // Graphic controls are members of the forms and die with them; forget any still listed.
    graphics_.clear();
}

void Container::DisconnectAccessible() noexcept {
    if (accessible_) {
        accessible_->Disconnect();
        accessible_.Reset();
    }
}

void Container::CreatePanel(Container& parent, int x, int y, int width, int height, DWORD extraStyle) {
    ControlHost& host = parent.Host();
    CreateWindowFor(kPanelClass, WS_EX_CONTROLPARENT, L"",
                    WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | extraStyle, host.S(x), host.S(y),
                    host.S(width), host.S(height), parent.Handle(), nullptr);
    host.Place(hwnd_, x, y, width, height);
}

void Container::AddGraphic(GraphicControl* control) {
    graphics_.push_back(control);
}

void Container::RemoveGraphic(GraphicControl* control) {
    graphics_.erase(std::remove(graphics_.begin(), graphics_.end(), control), graphics_.end());
    if (hovered_ == control) {
        hovered_ = nullptr;
    }
    if (pressed_ == control) {
        pressed_ = nullptr;
    }
    if (focused_ == control) {
        focused_ = nullptr;
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
    focused_ = nullptr;
    DisconnectAccessible();
}

void Container::PaintBackground(HDC dc, const RECT& area) {
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
}

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
    if (GraphicControl* focused = FocusedGraphic()) {
        RECT frame = focused->ClientRect();
        InflateRect(&frame, 1, 1);
        RECT overlap;
        if (IntersectRect(&overlap, &frame, &area)) {
            DrawFocusRect(dc, &frame);
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
    if (IsControlReport(msg) && ReportsToHost()) {
        return SendMessageW(host_->ReportWindow(), msg, wParam, lParam);
    }
    switch (msg) {
    case WM_ERASEBKGND:
    case WM_PRINTCLIENT:
        return OnEraseOrPrint(msg, reinterpret_cast<HDC>(wParam));
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_MOUSEMOVE:
        UpdateHover(PointOf(lParam));
        return 0;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        OnButtonDown(ButtonOf(msg), PointOf(lParam));
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        OnButtonUp(ButtonOf(msg), wParam, PointOf(lParam));
        return 0;
    case WM_SETCURSOR:
        if (OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam))) {
            return TRUE;
        }
        break;
    default:
        if (LRESULT result = 0; HandleAccessMessage(msg, wParam, lParam, result)) {
            return result;
        }
        break;
    }
    return Default(msg, wParam, lParam);
}

// The messages of the keyboard focus and of screen readers; true when the message was answered.
bool Container::HandleAccessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_GETOBJECT:
        result = OnGetObject(wParam, lParam);
        return result != 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        OnFocusChanged(msg == WM_SETFOCUS);
        return false;
    case WM_ACTIVATE_GRAPHIC:
        OnActivationRequest(lParam);
        result = 0;
        return true;
    default:
        return false;
    }
}

// A panel's controls report to the host; the host's own controls are its own business.
bool Container::ReportsToHost() const {
    return host_ != nullptr && host_->ReportWindow() != nullptr && host_->ReportWindow() != hwnd_;
}

// Themed controls draw their parent's background under themselves (DrawThemeParentBackground
// sends both messages with their own DC).
LRESULT Container::OnEraseOrPrint(UINT msg, HDC dc) {
    RECT area{};
    if (GetClipBox(dc, &area) != ERROR) {
        PaintBackground(dc, area);
        PaintGraphics(dc, area);
    }
    return msg == WM_ERASEBKGND ? 1 : 0;
}

void Container::OnPaint() {
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
}

void Container::OnMouseLeave() {
    tracking_ = false;
    if (hovered_ != nullptr) {
        GraphicControl* left = hovered_;
        hovered_ = nullptr;
        left->MouseLeave();
    }
}

// While a button is held the pressed control keeps the mouse, also for further buttons, as a
// control with the capture does.
void Container::OnButtonDown(int button, POINT point) {
    GraphicControl* control = pressed_ != nullptr ? pressed_ : GraphicAt(point);
    if (control != nullptr && control->Enabled()) {
        pressed_ = control;
        SetCapture(hwnd_);
        control->MouseDown(button, point);
    }
}

void Container::OnButtonUp(int button, WPARAM keys, POINT point) {
    GraphicControl* control = pressed_;
    if (control == nullptr) {
        return;
    }
    const bool stillHeld = (keys & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != 0;
    if (!stillHeld) {
        pressed_ = nullptr;
        if (GetCapture() == hwnd_) {
            ReleaseCapture();
        }
    }
    control->MouseUp(button, point);
    const RECT r = control->ClientRect();
    if (button == 0 && PtInRect(&r, point) && control->Enabled() && control->Visible()) {
        control->Click();
    }
}

bool Container::OnSetCursor(HWND hit, UINT hitTest) {
    if (hit != hwnd_ || hitTest != HTCLIENT) {
        return false;
    }
    POINT point;
    GetCursorPos(&point);
    ScreenToClient(hwnd_, &point);
    GraphicControl* control = GraphicAt(point);
    if (control == nullptr || control->Cursor() == nullptr) {
        return false;
    }
    ::SetCursor(control->Cursor());
    return true;
}

// A window without windowless controls is the system's business alone.
LRESULT Container::OnGetObject(WPARAM wParam, LPARAM objectId) {
    if (!AsksForClient(objectId) || graphics_.empty()) {
        return 0;
    }
    if (!accessible_) {
        accessible_ = ComPtr<WindowlessAccessible>(new WindowlessAccessible(*this));
    }
    return AnswerGetObject(accessible_.Get(), wParam);
}

bool Container::Owns(const GraphicControl* control) const {
    return std::find(graphics_.begin(), graphics_.end(), control) != graphics_.end();
}

// A control hidden or disabled while it had the focus has it no longer.
GraphicControl* Container::FocusedGraphic() const {
    const bool holds = hwnd_ != nullptr && focused_ != nullptr && GetFocus() == hwnd_;
    return holds && focused_->Visible() && focused_->Enabled() ? focused_ : nullptr;
}

void Container::FocusGraphic(GraphicControl& control) {
    if (!Owns(&control)) {
        return;
    }
    if (GetFocus() != hwnd_) {
        focused_ = &control;
        SetFocus(hwnd_); // WM_SETFOCUS shows it
        return;
    }
    InvalidateFocusFrame();
    focused_ = &control;
    ShowFocus();
}

// The focus rectangle is drawn one pixel outside the control, so it never runs through its text.
void Container::InvalidateFocusFrame() const {
    if (focused_ != nullptr && hwnd_ != nullptr) {
        RECT frame = focused_->ClientRect();
        InflateRect(&frame, 1, 1);
        InvalidateRect(hwnd_, &frame, FALSE);
    }
}

// Screen readers follow the focus event to the control's child id in the window's client object.
void Container::ShowFocus() {
    if (focused_ != nullptr) {
        InvalidateFocusFrame();
        NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd_, OBJID_CLIENT, AccessibleIdOf(*this, *focused_));
    }
}

// The control that had the focus gets it back with the window; one that can no longer take it
// (hidden or disabled meanwhile) leaves the focus with the window alone.
void Container::OnFocusChanged(bool gained) {
    if (focused_ != nullptr && (!focused_->Visible() || !focused_->Enabled())) {
        InvalidateFocusFrame();
        focused_ = nullptr;
    }
    if (gained) {
        ShowFocus();
    } else {
        InvalidateFocusFrame();
    }
}

bool Container::RequestActivation(GraphicControl& control) {
    return hwnd_ != nullptr && Owns(&control) &&
           PostMessageW(hwnd_, WM_ACTIVATE_GRAPHIC, 0, reinterpret_cast<LPARAM>(&control)) != FALSE;
}

// The control may have gone since the request was made: only one still listed here is touched.
void Container::OnActivationRequest(LPARAM control) {
    auto* requested = reinterpret_cast<GraphicControl*>(control);
    if (Owns(requested) && requested->Visible() && requested->Enabled()) {
        requested->Activate();
    }
}

} // namespace kestro
