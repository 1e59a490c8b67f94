#include "platform/clipboard_win.h"

#include <cstring>

namespace kestro {

namespace {

// Another program may hold the clipboard for a moment.
bool OpenClipboardSoon(HWND owner) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (OpenClipboard(owner)) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

// On success the clipboard owns the memory.
bool SetUnicodeText(const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) {
        return false;
    }
    bool done = false;
    if (void* target = GlobalLock(memory)) {
        std::memcpy(target, text.c_str(), bytes);
        GlobalUnlock(memory);
        done = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    }
    if (!done) {
        GlobalFree(memory);
    }
    return done;
}

} // namespace

bool PutTextOnClipboard(HWND owner, const std::wstring& text) {
    if (!OpenClipboardSoon(owner)) {
        return false;
    }
    const bool done = EmptyClipboard() && SetUnicodeText(text);
    CloseClipboard();
    return done;
}

} // namespace kestro
