#pragma once
// The program's other windows kept from input while one of its windows runs modally.
#include <windows.h>

#include <vector>

namespace kestro {

// Disables the visible, enabled top-level windows of this thread but one; they are enabled again
// by EnableAgain or when the object ends, those that still exist.
class OtherWindowsDisabled {
public:
    explicit OtherWindowsDisabled(HWND except);
    ~OtherWindowsDisabled() { EnableAgain(); }
    OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
    OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;

    void EnableAgain();

private:
    static BOOL CALLBACK Disable(HWND hwnd, LPARAM param);

    HWND except_;
    std::vector<HWND> disabled_;
};

} // namespace kestro
