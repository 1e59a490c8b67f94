#include "platform/version_win.h"

#include <windows.h>

#include "platform/optional_api_win.h"

namespace kestro {

bool IsWin10OrLater() {
    const RtlGetVersionFunction rtlGetVersion = RtlGetVersionFn();
    if (rtlGetVersion == nullptr) {
        return false;
    }
    OSVERSIONINFOEXW info{};
    static_assert(sizeof(info) == 284, "RTL_OSVERSIONINFOEXW is 284 bytes");
    info.dwOSVersionInfoSize = sizeof(info);
    return rtlGetVersion(&info) == 0 && info.dwMajorVersion >= 10;
}

} // namespace kestro
