#include "global/message_filter_win.h"

namespace kestro {

void AllowMessageFrom(HWND window, UINT message) {
    using Filter = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
    static const auto filter = reinterpret_cast<Filter>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx")));
    if (filter != nullptr && window != nullptr) {
        filter(window, message, MSGFLT_ALLOW, nullptr);
    }
}

} // namespace kestro
