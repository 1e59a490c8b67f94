#pragma once
// The program's ways of reaching the user and the shell. Everything goes through
// these two interfaces so tests can see each box and each shell call.
#include <windows.h>

#include <memory>
#include <string>

#include "global/shell_launch_win.h"

namespace kestro {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A modal message box; returns the button pressed (IDOK ...).
    virtual int Show(HWND owner, const std::string& text, const std::string& caption, UINT flags) = 0;
};

class ShellOpener {
public:
    virtual ~ShellOpener() = default;
    // Hands a file, folder or web address to the shell; the result is not examined.
    virtual void Open(HWND owner, const std::string& verb, const std::string& file) = 0;
};

class SystemMessageBoxes final : public MessageBoxes {
public:
    int Show(HWND owner, const std::string& text, const std::string& caption, UINT flags) override;
};

// Web addresses through the desktop's shell, so that the browser never runs with this program's
// administrator rights; ShellExecuteW where no desktop shell answers, and for everything else
// (the destination folder of Show Files).
class SystemShell final : public ShellOpener {
public:
    SystemShell();
    // Other ways in place of the real ones (tests); both must outlive the object.
    SystemShell(ShellLauncher& desktop, ShellLauncher& direct) noexcept : desktop_(&desktop), direct_(&direct) {}
    void Open(HWND owner, const std::string& verb, const std::string& file) override;

private:
    std::unique_ptr<ShellLauncher> ownDesktop_;
    std::unique_ptr<ShellLauncher> ownDirect_;
    ShellLauncher* desktop_;
    ShellLauncher* direct_;
};

} // namespace kestro
