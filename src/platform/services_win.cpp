#include "platform/services_win.h"

#include <utility>

#include "platform/winstr_win.h"

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
    if (!IsWebAddress(wideFile)) {
        direct_->Launch(owner, wideVerb, wideFile);
        return;
    }
    if (desktop_->Launch(owner, wideVerb, wideFile)) {
        return;
    }
    const bool elevated = elevated_ ? elevated_() : ProcessIsElevated();
    if (!elevated) {
        direct_->Launch(owner, wideVerb, wideFile);
    } else if (unopened_) {
        unopened_(owner, file);
    }
}

void SystemShell::SetElevated(std::function<bool()> elevated) {
    elevated_ = std::move(elevated);
}

void SystemShell::SetUnopenedPage(UnopenedPage unopened) {
    unopened_ = std::move(unopened);
}

} // namespace kestro
