#include "global/services_win.h"

#include "global/winstr_win.h"

namespace kestro {

int SystemMessageBoxes::Show(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
    return MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), flags);
}

SystemShell::SystemShell()
    : ownDesktop_(std::make_unique<DesktopShellLauncher>()), ownDirect_(std::make_unique<DirectShellLauncher>()),
      desktop_(ownDesktop_.get()), direct_(ownDirect_.get()) {}

void SystemShell::Open(HWND owner, const std::string& verb, const std::string& file) {
    const std::wstring wideVerb = Widen(verb);
    const std::wstring wideFile = Widen(file);
    if (IsWebAddress(wideFile) && desktop_->Launch(owner, wideVerb, wideFile)) {
        return;
    }
    direct_->Launch(owner, wideVerb, wideFile);
}

} // namespace kestro
