#include "runner/window_sink_win.h"

namespace kestro {

void WindowPostSink::Post(std::unique_ptr<ProgressEvent> event) {
    HWND window = window_;
    // A null window would post to this thread's own queue, and a window of another process
    // would receive an address that means nothing there: neither could ever free the record.
    if (window == nullptr) {
        return;
    }
    DWORD processId = 0;
    if (GetWindowThreadProcessId(window, &processId) == 0 || processId != GetCurrentProcessId()) {
        return;
    }
    if (PostMessageW(window, WM_PROCESSINFO, 0, reinterpret_cast<LPARAM>(event.get()))) {
        event.release(); // the window owns it now
    }
}

} // namespace kestro
