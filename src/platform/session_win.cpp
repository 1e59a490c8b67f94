#include "platform/session_win.h"

#include "platform/optional_api_win.h"
#include "platform/winstr_win.h"

namespace kestro {

// Where the system lacks these calls, the logoff screen shows the program without a reason;
// answering WM_QUERYENDSESSION still holds the session up.
void SystemShutdownReasons::Set(HWND window, const std::string& reason) {
    CreateShutdownBlockReason(window, Widen(reason).c_str());
}

void SystemShutdownReasons::Clear(HWND window) {
    DestroyShutdownBlockReason(window);
}

} // namespace kestro
