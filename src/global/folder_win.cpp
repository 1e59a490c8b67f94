#include "global/folder_win.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "global/application_win.h"
#include "global/files_win.h"
#include "global/handles_win.h"
#include "global/window_win.h"
#include "global/winstr_win.h"

namespace kestro {

namespace {

// The program's windows that the picker's own modal handling leaves alone: all but its owner,
// which the dialog disables and enables again itself.
class OtherWindowsDisabled {
public:
    explicit OtherWindowsDisabled(HWND owner) : owner_(owner) {
        EnumThreadWindows(GetCurrentThreadId(), &OtherWindowsDisabled::Disable, reinterpret_cast<LPARAM>(this));
    }
    ~OtherWindowsDisabled() { EnableAgain(); }
    OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
    OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;

    void EnableAgain() {
        for (HWND hwnd : disabled_) {
            if (IsWindow(hwnd)) {
                EnableWindow(hwnd, TRUE);
            }
        }
        disabled_.clear();
    }

private:
    static BOOL CALLBACK Disable(HWND hwnd, LPARAM param) {
        auto* self = reinterpret_cast<OtherWindowsDisabled*>(param);
        if (hwnd != self->owner_ && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
            EnableWindow(hwnd, FALSE);
            self->disabled_.push_back(hwnd);
        }
        return TRUE;
    }

    HWND owner_;
    std::vector<HWND> disabled_;
};

// As soon as the dialog is about to go, the other windows are enabled again: the system then
// hands the activation from the dialog to its owner, and the owner on to the window that was
// active before, which it can only do to an enabled window. Enabled only after the dialog is
// gone, the activation would pass to another program instead.
int CALLBACK PickerCallback(HWND dialog, UINT msg, LPARAM, LPARAM data) {
    if (msg != BFFM_INITIALIZED) {
        return 0;
    }
    RECT client{};
    int x = 0;
    int y = 0;
    if (GetClientRect(dialog, &client)) {
        x = (GetSystemMetrics(SM_CXSCREEN) - client.right) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - client.bottom) / 2;
    }
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    auto* others = reinterpret_cast<OtherWindowsDisabled*>(data);
    Subclass(dialog, [others](HWND, UINT message, WPARAM, LPARAM lParam, LRESULT&) {
        const bool hiding = message == WM_WINDOWPOSCHANGING &&
                            (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_HIDEWINDOW) != 0;
        if (hiding || message == WM_DESTROY) {
            others->EnableAgain();
        }
        return false;
    });
    return 0;
}

// Frees an item list with the shell's allocator.
struct ItemList {
    IMalloc* allocator;
    LPITEMIDLIST list = nullptr;
    ~ItemList() {
        if (list != nullptr) {
            allocator->Free(list);
        }
    }
};

} // namespace

bool SelectFolder(const std::string& title, const std::wstring& root, std::string& folder) {
    if (!DirectoryExists(folder)) {
        folder.clear();
    }
    ComPtr<IMalloc> allocator;
    if (FAILED(SHGetMalloc(allocator.Put())) || !allocator) {
        return false;
    }
    // Room for long paths; the dialog itself writes at most MAX_PATH characters into it.
    constexpr std::size_t kBufferChars = 32768;
    auto* buffer = static_cast<wchar_t*>(allocator->Alloc(kBufferChars * sizeof(wchar_t)));
    if (buffer == nullptr) {
        return false;
    }
    buffer[0] = L'\0';
    HWND owner = Application::Get().Handle();

    ItemList rootList{allocator.Get()};
    if (!root.empty()) {
        ComPtr<IShellFolder> desktop;
        if (SUCCEEDED(SHGetDesktopFolder(desktop.Put())) && desktop) {
            std::wstring name = root;
            desktop->ParseDisplayName(owner, nullptr, name.data(), nullptr, &rootList.list, nullptr);
        }
    }

    const std::wstring wideTitle = Widen(title);
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = rootList.list;
    info.pszDisplayName = buffer;
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = PickerCallback;

    // No "insert a disk" boxes from empty drives while browsing, and no input to the program's
    // other windows. The active window is active again afterwards, as after any modal dialog.
    HWND previous = GetActiveWindow();
    OtherWindowsDisabled others(owner);
    info.lParam = reinterpret_cast<LPARAM>(&others);
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    ItemList chosen{allocator.Get()};
    chosen.list = SHBrowseForFolderW(&info);
    SetErrorMode(previousMode);
    others.EnableAgain();
    if (previous != nullptr && IsWindow(previous) && IsWindowVisible(previous) && IsWindowEnabled(previous)) {
        if (GetForegroundWindow() != previous) {
            SetForegroundWindow(previous);
        }
        if (GetActiveWindow() != previous) {
            SetActiveWindow(previous);
        }
    }

    bool result = false;
    if (chosen.list != nullptr) {
        result = true;
        if (!SHGetPathFromIDListEx(chosen.list, buffer, static_cast<DWORD>(kBufferChars), GPFIDL_DEFAULT)) {
            SHGetPathFromIDListW(chosen.list, buffer);
        }
        folder = Narrow(buffer);
    }
    allocator->Free(buffer);
    return result;
}

} // namespace kestro
