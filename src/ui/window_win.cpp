#include "ui/window_win.h"

#include <algorithm>
#include <exception>
#include <iterator>

#include "platform/winstr_win.h"
#include "ui/application_win.h"

namespace kestro {

bool HasClass(HWND hwnd, const wchar_t* name) {
    wchar_t buffer[64] = {};
    GetClassNameW(hwnd, buffer, static_cast<int>(std::size(buffer)));
    return lstrcmpiW(buffer, name) == 0;
}

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

void SetText(HWND hwnd, const std::string& text) {
    SetWindowTextW(hwnd, Widen(text).c_str());
}

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

// The class's procedure, not the window's: a tooltip that watches a window's mouse (TTF_SUBCLASS)
// puts its own procedure in front of the window's.
Window* Window::FromHandle(HWND hwnd) noexcept {
    if (hwnd == nullptr) {
        return nullptr;
    }
    WNDPROC proc = reinterpret_cast<WNDPROC>(GetClassLongPtrW(hwnd, GCLP_WNDPROC));
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

LRESULT Window::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return Default(msg, wParam, lParam);
}

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
        ReportUnhandled(nullptr);
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->OnHandleDestroyed();
    }
    return result;
}

} // namespace kestro
