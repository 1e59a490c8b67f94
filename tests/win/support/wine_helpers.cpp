#include "support/wine_helpers.h"

#include "global/winstr_win.h"

namespace kestro::testing_win {

TempDir::TempDir(const std::wstring& name) {
    wchar_t buffer[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, buffer);
    path_ = std::filesystem::path(buffer) / (name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                             std::to_wstring(GetTickCount64()));
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Utf8() const { return Narrow(path_.wstring()); }

std::filesystem::path ExeFolder() {
    wchar_t buffer[32768];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    return std::filesystem::path(std::wstring(buffer, n)).parent_path();
}

RECT PlaceOf(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return RECT{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

bool ProcessGone(DWORD processId, DWORD withinMs) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) {
        return true;
    }
    const bool gone = WaitForSingleObject(process, withinMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return gone;
}

std::string ClipboardText() {
    std::string text;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
                text = Narrow(wide);
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
    }
    return text;
}

DWORD HandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

} // namespace kestro::testing_win
