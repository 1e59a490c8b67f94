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

// Runs the thread's message queue until pred() is true or timeoutMs passes.
template <class Pred> bool PumpUntil(Pred pred, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!pred()) {
        if (GetTickCount64() > end) {
            return false;
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

// A window's place in its parent's client area: left, top, width, height.
RECT PlaceOf(HWND control);

// Handles of this process, for leak checks.
DWORD HandleCount();

} // namespace kestro::testing_win
