#pragma once
// Small helpers shared by the Windows test programs.
#include <windows.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace kestro::testing_win {

// A fresh, empty folder under the system's temporary folder (or under parent), named name, this
// process and the time, removed again by the destructor.
class TempDir {
public:
    explicit TempDir(const std::wstring& name);
    TempDir(const std::filesystem::path& parent, const std::wstring& name);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string Utf8() const;

private:
    std::filesystem::path path_;
};

// The folder that holds the running test program.
std::filesystem::path ExeFolder();

// The run logs (*.log) in a folder.
std::vector<std::filesystem::path> LogsIn(const std::filesystem::path& folder);
// A file's bytes.
std::string FileText(const std::filesystem::path& file);

// Runs the message loop until pred() holds or timeoutMs passes. It sleeps in
// GetMessage, as the program's own loops do, so calls sent by other threads
// (the runner's polling thread) are served at once; a 10 ms timer wakes it to
// look at pred() again.
template <class Pred> bool PumpUntil(Pred pred, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, nullptr);
    bool met = pred();
    while (!met && GetTickCount64() <= end) {
        MSG msg;
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        met = pred();
    }
    KillTimer(nullptr, timer);
    return met;
}

// The visible popup menu window of this thread, or null.
HWND ThisThreadsMenuWindow();

// The process has ended (or never existed) within the time given.
bool ProcessGone(DWORD processId, DWORD withinMs);

// A window's place in its parent's client area: left, top, width, height.
RECT PlaceOf(HWND control);

// The text on the clipboard, empty when there is none.
std::string ClipboardText();
// The text on the clipboard once there is some within the time given; empty when none came.
std::string WaitForClipboardText(DWORD timeoutMs);
// Nothing on the clipboard any more.
void ClearClipboard();

// Handles of this process, for leak checks.
DWORD HandleCount();

// GDI objects of this process; 0 where the system does not count them (Wine).
DWORD GdiObjectCount();

// Sets system colours for as long as it lives, then puts the old ones back. SetSysColors tells
// every top-level window, as a switch to or from a high-contrast theme does.
class SystemColors {
public:
    SystemColors(std::initializer_list<std::pair<int, COLORREF>> colors);
    ~SystemColors();
    SystemColors(const SystemColors&) = delete;
    SystemColors& operator=(const SystemColors&) = delete;

private:
    std::vector<INT> elements_;
    std::vector<COLORREF> saved_;
};

// The text of every label and check box under window that its control no longer shows whole at
// the form's DPI (the check mark counted in), each with the text's and the control's widths.
std::vector<std::string> ClippedCaptions(HWND window, int dpi);

// Paints a window's client area (WM_PRINTCLIENT) into a 32-bit picture; one COLORREF per pixel.
std::vector<COLORREF> PrintClient(HWND window);

// The pixels of window's client area as the screen shows them now, in the same order.
std::vector<COLORREF> ScreenClient(HWND window);

} // namespace kestro::testing_win
