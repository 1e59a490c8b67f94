#include "runner/oem_text_win.h"

#include <windows.h>

#include "platform/winstr_win.h"

namespace kestro {

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
