#pragma once
// The program's ways of reaching the user and the shell. Everything goes through
// these two interfaces so tests can see each box and each shell call.
#include <windows.h>

#include <string>

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

class SystemShell final : public ShellOpener {
public:
    void Open(HWND owner, const std::string& verb, const std::string& file) override;
};

} // namespace kestro
