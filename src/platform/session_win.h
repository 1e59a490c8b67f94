#pragma once
// What the program tells Windows while it must hold up the end of the session: a reason that
// the logoff and shutdown screen shows beside the program's window.
#include <windows.h>

#include <string>

namespace kestro {

class ShutdownReasons {
public:
    virtual ~ShutdownReasons() = default;
    // Shows reason for window while the session is asked to end.
    virtual void Set(HWND window, const std::string& reason) = 0;
    virtual void Clear(HWND window) = 0;
};

class SystemShutdownReasons final : public ShutdownReasons {
public:
    void Set(HWND window, const std::string& reason) override;
    void Clear(HWND window) override;
};

} // namespace kestro
