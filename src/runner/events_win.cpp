#include "runner/events_win.h"

#include "global/winstr_win.h"

namespace kestro {

void WindowPostSink::Post(std::unique_ptr<ProgressEvent> info) {
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
    if (PostMessageW(window, WM_PROCESSINFO, 0, reinterpret_cast<LPARAM>(info.get()))) {
        info.release(); // the window owns it now
    }
}

std::string DecodeToolNarrowText(std::string_view bytes) {
    if (bytes.empty()) {
        return {};
    }
    const int size = static_cast<int>(bytes.size());
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0) > 0) {
        return std::string(bytes);
    }
    const int needed = MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), size, nullptr, 0);
    if (needed <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), size, wide.data(), needed);
    return Narrow(wide);
}

} // namespace kestro
