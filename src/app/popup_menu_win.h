#pragma once
// The main window's popup menu, drawn in its own skinned look.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace kestro {

struct PopupItem {
    int id = 0;          // command id; 0 for a separator
    std::string caption; // with "&" for the mnemonic; empty for a separator
    bool visible = true;
};

class SkinnedPopupMenu {
public:
    explicit SkinnedPopupMenu(const std::vector<PopupItem>& items);
    ~SkinnedPopupMenu();
    // Opens the menu with its top-left corner at a screen point and runs it
    // modally; returns the chosen item's id, 0 when dismissed.
    int Popup(HWND owner, POINT screenPoint);
    // The same, opened from the keyboard: the first item is selected at once, and where the
    // menu must move to fit the screen it keeps clear of the screen rectangle avoid (the
    // control it was opened from).
    int PopupFromKeyboard(HWND owner, POINT screenPoint, const RECT& avoid);
    // The visible items in menu order (hidden ones are left out).
    HMENU Handle() const;

    struct Impl;

private:
    int Run(HWND owner, POINT screenPoint, const RECT* keyboardAvoid);
    int Track(HWND ownerWindow, POINT screenPoint, const RECT* keyboardAvoid);

    std::unique_ptr<Impl> impl_;
};

} // namespace kestro
