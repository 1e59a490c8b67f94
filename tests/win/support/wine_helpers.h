#pragma once
// Small helpers shared by the Windows test programs.
#include <windows.h>

#include <filesystem>
#include <string>

namespace kestro::testing_win {

// A fresh, empty folder under the system's temporary folder, removed again by the destructor.
class TempDir {
public:
    explicit TempDir(const std::wstring& name);
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

// The process has ended (or never existed) within the time given.
bool ProcessGone(DWORD processId, DWORD withinMs);

// A window's place in its parent's client area: left, top, width, height.
RECT PlaceOf(HWND control);

// The text on the clipboard, empty when there is none.
std::string ClipboardText();

// Handles of this process, for leak checks.
DWORD HandleCount();

} // namespace kestro::testing_win
