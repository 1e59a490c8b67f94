#include "ui/subclass_win.h"

#include <commctrl.h>

#include <exception>
#include <memory>

#include "ui/application_win.h"

namespace kestro {

namespace {

// The handler in force is also kept in a window property: a later Subclass() of the same control
// must free it, and x86_64 MinGW's import library has no GetWindowSubclass to ask for it.
constexpr wchar_t kSubclassProp[] = L"Kestro.SubclassHandler";

constexpr UINT_PTR kSubclassId = 0x4B53; // one subclass per control

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

} // namespace kestro
