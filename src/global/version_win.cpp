#include "global/version_win.h"

#include <windows.h>

namespace kestro {

bool IsWin10OrLater() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) {
        return false;
    }
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
    if (rtlGetVersion == nullptr) {
        return false;
    }
    OSVERSIONINFOEXW info{};
    static_assert(sizeof(info) == 284, "RTL_OSVERSIONINFOEXW is 284 bytes");
    info.dwOSVersionInfoSize = sizeof(info);
    return rtlGetVersion(&info) == 0 && info.dwMajorVersion >= 10;
}

} // namespace kestro
