#pragma once
// The program's ways of reaching the user and the shell. Everything goes through
// these two interfaces so tests can see each box and each shell call.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/shell_launch_win.h"

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
// administrator rights. Where no desktop shell answers (Explorer is not running, or the program
// was elevated with another account's password, whose desktop shell is not there), ShellExecuteW
// only when this process is not elevated: otherwise the address goes to the user instead, who
// opens it in a browser of their own. Everything else (the destination folder of Show Files)
// goes through ShellExecuteW.
class SystemShell final : public ShellOpener {
public:
    using UnopenedPage = std::function<void(HWND owner, const std::string& address)>;

    SystemShell();
    // Other ways in place of the real ones (tests); both must outlive the object.
    SystemShell(ShellLauncher& desktop, ShellLauncher& direct) noexcept : desktop_(&desktop), direct_(&direct) {}
    void Open(HWND owner, const std::string& verb, const std::string& file) override;

    // Whether this process runs with administrator rights; null restores the system's answer.
    void SetElevated(std::function<bool()> elevated);
    // What becomes of a web page that no way may open.
    void SetUnopenedPage(UnopenedPage unopened);

private:
    std::unique_ptr<ShellLauncher> ownDesktop_;
    std::unique_ptr<ShellLauncher> ownDirect_;
    ShellLauncher* desktop_;
    ShellLauncher* direct_;
    std::function<bool()> elevated_;
    UnopenedPage unopened_;
};

} // namespace kestro
