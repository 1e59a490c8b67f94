#include "ui/control_state_win.h"

#include <algorithm>

#include "platform/winstr_win.h"

namespace kestro {

int SelectedIndex(HWND combo) {
    return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

int EntryCount(HWND combo) {
    return static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
}

std::string EntryText(HWND combo, int index) {
    const auto at = static_cast<WPARAM>(index);
    const int length = static_cast<int>(SendMessageW(combo, CB_GETLBTEXTLEN, at, 0));
    std::wstring entry(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(entry.data()));
    entry.resize(wcslen(entry.c_str()));
    return Narrow(entry);
}

int AddEntry(HWND combo, const std::string& text, LPARAM data) {
    const std::wstring wide = Widen(text);
    const auto index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    if (index >= 0) {
        SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), data);
    }
    return static_cast<int>(index);
}

LPARAM EntryData(HWND combo, int index) {
    const auto data = SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return data == CB_ERR ? 0 : data;
}

void SelectIndex(HWND combo, int index) {
    const bool inside = index >= 0 && index < EntryCount(combo);
    SendMessageW(combo, CB_SETCURSEL, inside ? static_cast<WPARAM>(index) : static_cast<WPARAM>(-1), 0);
}

bool IsChecked(HWND button) {
    return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND button, bool checked) {
    SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

} // namespace kestro
