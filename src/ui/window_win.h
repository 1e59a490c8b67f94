#pragma once
// The one window pattern of the program. A Window owns its HWND; its static window procedure
// finds the C++ object (stored at WM_NCCREATE) and calls the virtual HandleMessage, never letting
// an exception escape. Containers (container_win.h) and forms (form_win.h) build on it.
#include <windows.h>

#include <string>

namespace kestro {

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const noexcept { return hwnd_; }

    // The C++ object of a window created by this class, or null.
    static Window* FromHandle(HWND hwnd) noexcept;

protected:
    // Registers the class once per process (background: button face) and creates the window.
    HWND CreateWindowFor(const wchar_t* className, DWORD exStyle, const std::wstring& text, DWORD style, int x, int y,
                         int width, int height, HWND parent, HMENU menuOrId);
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam) { return DefWindowProcW(hwnd_, msg, wParam, lParam); }
    // Called after WM_NCDESTROY; the handle is gone.
    virtual void OnHandleDestroyed() {}

    HWND hwnd_ = nullptr;

private:
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
};

// The window's class is name (letter case aside).
bool HasClass(HWND hwnd, const wchar_t* name);

// A window's text as UTF-8, and back.
std::string GetText(HWND hwnd);
void SetText(HWND hwnd, const std::string& text);

} // namespace kestro
