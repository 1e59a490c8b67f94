#pragma once
// The ways a file, folder or web address is handed to the shell. The program runs elevated: a
// browser started from it would run with administrator rights too, so web addresses go through
// the desktop's own shell (Explorer), which starts the browser as the user normally runs it.
#include <windows.h>

#include <string>

namespace kestro {

class ShellLauncher {
public:
    virtual ~ShellLauncher() = default;
    // True when the shell took the request; false when this way is not available.
    virtual bool Launch(HWND owner, const std::wstring& verb, const std::wstring& file) = 0;
};

// Through the desktop window's shell view: IShellWindows, the desktop's view, its
// IShellDispatch2::ShellExecute. Fails where no desktop shell answers (Wine, a missing Explorer).
class DesktopShellLauncher final : public ShellLauncher {
public:
    bool Launch(HWND owner, const std::wstring& verb, const std::wstring& file) override;
};

// ShellExecuteW from this process, with its rights.
class DirectShellLauncher final : public ShellLauncher {
public:
    bool Launch(HWND owner, const std::wstring& verb, const std::wstring& file) override;
};

// Whether this process runs with administrator rights (an elevated token). When that cannot be
// told, it counts as elevated.
bool ProcessIsElevated();

// An address that a program of the user opens: http, https, or a Microsoft Store page (leading
// blanks aside, any letter case).
bool IsWebAddress(const std::wstring& file);

} // namespace kestro
