#include "ui/container_win.h"

#include <windowsx.h>

#include <algorithm>

#include "platform/handles_win.h"
#include "ui/graphic_controls_win.h"

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

Container::~Container() {
    // Graphic controls are members of the forms and die with them; forget any still listed.
    graphics_.clear();
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
        break;
    }
    return Default(msg, wParam, lParam);
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

} // namespace kestro
