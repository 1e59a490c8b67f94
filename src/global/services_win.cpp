#include "global/services_win.h"

#include <shellapi.h>

#include "global/winstr_win.h"

namespace kestro {

int SystemMessageBoxes::Show(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
    return MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), flags);
}

void SystemShell::Open(HWND owner, const std::string& verb, const std::string& file) {
    ShellExecuteW(owner, Widen(verb).c_str(), Widen(file).c_str(), nullptr, nullptr, SW_SHOW);
}

} // namespace kestro
