#include "ui/disabled_windows_win.h"

namespace kestro {

OtherWindowsDisabled::OtherWindowsDisabled(HWND except) : except_(except) {
    EnumThreadWindows(GetCurrentThreadId(), &OtherWindowsDisabled::Disable, reinterpret_cast<LPARAM>(this));
}

void OtherWindowsDisabled::EnableAgain() {
    for (HWND hwnd : disabled_) {
        if (IsWindow(hwnd)) {
            EnableWindow(hwnd, TRUE);
        }
    }
    disabled_.clear();
}

BOOL CALLBACK OtherWindowsDisabled::Disable(HWND hwnd, LPARAM param) {
    auto* self = reinterpret_cast<OtherWindowsDisabled*>(param);
    if (hwnd != self->except_ && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        EnableWindow(hwnd, FALSE);
        self->disabled_.push_back(hwnd);
    }
    return TRUE;
}

} // namespace kestro
