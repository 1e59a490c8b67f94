#include "ui/folder_win.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/winstr_win.h"
#include "ui/application_win.h"
#include "ui/disabled_windows_win.h"
#include "ui/subclass_win.h"
#include "platform/optional_api_win.h"

namespace kestro {

namespace {

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

// The root folder's item list, parsed by the desktop folder; null for none (the desktop).
void ParseRoot(HWND owner, const std::wstring& root, ItemList& list) {
    if (root.empty()) {
        return;
    }
    ComPtr<IShellFolder> desktop;
    const auto getDesktop = ShellApi().getDesktopFolder;
    if (getDesktop != nullptr && SUCCEEDED(getDesktop(desktop.Put())) && desktop) {
        std::wstring name = root;
        desktop->ParseDisplayName(owner, nullptr, name.data(), nullptr, &list.list, nullptr);
    }
}

// The active window is active and in front again afterwards, as after any modal dialog.
void ActivateAgain(HWND previous) {
    if (previous == nullptr || !IsWindow(previous) || !IsWindowVisible(previous) || !IsWindowEnabled(previous)) {
        return;
    }
    if (GetForegroundWindow() != previous) {
        SetForegroundWindow(previous);
    }
    if (GetActiveWindow() != previous) {
        SetActiveWindow(previous);
    }
}

// Runs the dialog with no "insert a disk" boxes from empty drives while browsing, and no input to
// the program's other windows; the chosen folder's item list, or null when cancelled.
LPITEMIDLIST Browse(BROWSEINFOW& info, HWND owner) {
    HWND previous = GetActiveWindow();
    OtherWindowsDisabled others(owner);
    info.lParam = reinterpret_cast<LPARAM>(&others);
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    LPITEMIDLIST chosen = ShellApi().browseForFolder(&info);
    SetErrorMode(previousMode);
    others.EnableAgain();
    ActivateAgain(previous);
    return chosen;
}

} // namespace

bool SelectFolder(const std::string& title, const std::wstring& root, std::string& folder) {
    if (!DirectoryExists(folder)) {
        folder.clear();
    }
    const ShellFunctions& shell = ShellApi();
    ComPtr<IMalloc> allocator;
    if (!UseCom() || shell.getMalloc == nullptr || shell.browseForFolder == nullptr ||
        shell.getPathFromIdList == nullptr || FAILED(shell.getMalloc(allocator.Put())) || !allocator) {
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
    ParseRoot(owner, root, rootList);

    const std::wstring wideTitle = Widen(title);
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = rootList.list;
    info.pszDisplayName = buffer;
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = PickerCallback;
    ItemList chosen{allocator.Get()};
    chosen.list = Browse(info, owner);

    const bool result = chosen.list != nullptr;
    if (result) {
        if (shell.getPathFromIdListEx == nullptr ||
            !shell.getPathFromIdListEx(chosen.list, buffer, static_cast<DWORD>(kBufferChars), GPFIDL_DEFAULT)) {
            shell.getPathFromIdList(chosen.list, buffer);
        }
        folder = Narrow(buffer);
    }
    allocator->Free(buffer);
    return result;
}

} // namespace kestro
