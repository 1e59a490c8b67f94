// The keyboard among a form's windowless controls. The dialog manager (IsDialogMessage) knows only
// windows: where Tab would pass a windowless control that takes the focus, or leaves one, the form
// moves the focus itself, and every other key is left to the dialog manager as before.
#include <algorithm>

#include "ui/form_win.h"
#include "ui/graphic_controls_win.h"

namespace kestro {

namespace {

bool IsTabStop(HWND window) {
    return window != nullptr && IsWindowVisible(window) && IsWindowEnabled(window) &&
           (GetWindowLongPtrW(window, GWL_STYLE) & WS_TABSTOP) != 0;
}

Container* ContainerOf(HWND window) {
    return dynamic_cast<Container*>(Window::FromHandle(window));
}

bool CanTakeFocus(const GraphicControl& control) {
    return control.Focusable() && control.Visible() && control.Enabled() && control.PartOf() == nullptr &&
           IsWindowVisible(control.Parent().Handle());
}

bool Pressed(int key) {
    return GetKeyState(key) < 0;
}

} // namespace

bool Form::OnWindowlessKey(const MSG& msg) {
    HWND focus = GetFocus();
    if (msg.message != WM_KEYDOWN || focus == nullptr || (focus != hwnd_ && !IsChild(hwnd_, focus))) {
        return false;
    }
    Container* holder = ContainerOf(focus);
    GraphicControl* control = holder != nullptr ? holder->FocusedGraphic() : nullptr;
    if (msg.wParam == VK_TAB && !Pressed(VK_CONTROL) && !Pressed(VK_MENU)) {
        if (control == nullptr) {
            return holder == nullptr && TabFromWindow(focus, Pressed(VK_SHIFT));
        }
        TabFromGraphic(*control, Pressed(VK_SHIFT));
        return true;
    }
    if (control == nullptr) {
        return false;
    }
    switch (msg.wParam) {
    case VK_RETURN:
    case VK_SPACE:
        // A key held down activates once.
        if ((msg.lParam & (1 << 30)) == 0) {
            control->Activate();
        }
        return true;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        // The arrows move within a group of controls, and a windowless control is in none.
        return true;
    default:
        return false;
    }
}

// From a window: to the windowless controls placed before the next tab stop (Tab), or before this
// one (Shift+Tab). Window to window is the dialog manager's move.
bool Form::TabFromWindow(HWND focus, bool back) {
    HWND stop = TabStopHolding(focus);
    const std::vector<GraphicControl*> before = GraphicsBefore(back ? stop : GetNextDlgTabItem(hwnd_, stop, FALSE));
    if (before.empty()) {
        return false;
    }
    FocusByKeyboard(back ? *before.back() : *before.front());
    return true;
}

// From a windowless control: to its neighbour among those placed before the same tab stop, else
// on to that tab stop (Tab) or back to the one before it (Shift+Tab).
void Form::TabFromGraphic(GraphicControl& control, bool back) {
    HWND stop = KeyboardStopOf(control);
    const std::vector<GraphicControl*> row = GraphicsBefore(stop);
    const auto at = std::find(row.begin(), row.end(), &control);
    if (at != row.end() && !back && at + 1 != row.end()) {
        FocusByKeyboard(**(at + 1));
        return;
    }
    if (at != row.end() && back && at != row.begin()) {
        FocusByKeyboard(**(at - 1));
        return;
    }
    HWND window = back && stop != nullptr ? GetNextDlgTabItem(hwnd_, stop, TRUE) : stop;
    if (window != nullptr) {
        FocusByKeyboard(window);
    } else if (!row.empty()) {
        // No window takes the focus: round the windowless controls alone.
        FocusByKeyboard(back ? *row.back() : *row.front());
    }
}

// Every windowless control of the form that takes the focus and comes just before stop, in order.
std::vector<GraphicControl*> Form::GraphicsBefore(HWND stop) const {
    std::vector<const Container*> containers{this};
    for (HWND child : ChildWindows(hwnd_)) {
        if (const Container* container = ContainerOf(child)) {
            containers.push_back(container);
        }
    }
    std::vector<GraphicControl*> found;
    for (const Container* container : containers) {
        for (GraphicControl* control : container->Graphics()) {
            if (CanTakeFocus(*control) && KeyboardStopOf(*control) == stop) {
                found.push_back(control);
            }
        }
    }
    return found;
}

// The window that Tab reaches right after the control: the one it is placed before, or the next tab
// stop from there when that window takes no focus; the first tab stop for a control placed nowhere,
// which comes last.
HWND Form::KeyboardStopOf(const GraphicControl& control) const {
    HWND place = control.PlaceBefore();
    if (place == nullptr) {
        return GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    }
    return IsTabStop(place) ? place : GetNextDlgTabItem(hwnd_, place, FALSE);
}

// The control that a focused window is part of, as the dialog manager counts tab stops: a combo box
// for the edit inside it.
HWND Form::TabStopHolding(HWND focus) const {
    HWND stop = focus;
    for (HWND parent = GetParent(stop); parent != nullptr && parent != hwnd_; parent = GetParent(stop)) {
        if ((GetWindowLongPtrW(parent, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0) {
            break;
        }
        stop = parent;
    }
    return stop;
}

// As the dialog manager moves the focus: the focus rectangles show from now on, and an edit's text
// is selected whole.
void Form::FocusByKeyboard(HWND window) {
    SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    if ((SendMessageW(window, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0) {
        SendMessageW(window, EM_SETSEL, 0, -1);
    }
    SetFocus(window);
}

void Form::FocusByKeyboard(GraphicControl& control) {
    SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    control.Parent().FocusGraphic(control);
}

} // namespace kestro
