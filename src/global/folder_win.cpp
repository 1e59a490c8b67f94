#include "global/folder_win.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "global/application_win.h"
#include "global/files_win.h"
#include "global/handles_win.h"
#include "global/winstr_win.h"

namespace kestro {

namespace {

int CALLBACK CenterOnScreen(HWND dialog, UINT msg, LPARAM, LPARAM) {
    if (msg == BFFM_INITIALIZED) {
        RECT client{};
        int x = 0;
        int y = 0;
        if (GetClientRect(dialog, &client)) {
            x = (GetSystemMetrics(SM_CXSCREEN) - client.right) / 2;
            y = (GetSystemMetrics(SM_CYSCREEN) - client.bottom) / 2;
        }
        SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return 0;
}

BOOL CALLBACK DisableEnabledWindow(HWND hwnd, LPARAM param) {
    auto* disabled = reinterpret_cast<std::vector<HWND>*>(param);
    if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        EnableWindow(hwnd, FALSE);
        disabled->push_back(hwnd);
    }
    return TRUE;
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
    info.lpfn = CenterOnScreen;
    info.lParam = 0;

    // No "insert a disk" boxes from empty drives while browsing, and no input to
    // the program's other windows.
    std::vector<HWND> disabled;
    EnumThreadWindows(GetCurrentThreadId(), DisableEnabledWindow, reinterpret_cast<LPARAM>(&disabled));
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    ItemList chosen{allocator.Get()};
    chosen.list = SHBrowseForFolderW(&info);
    SetErrorMode(previousMode);
    for (HWND hwnd : disabled) {
        if (IsWindow(hwnd)) {
            EnableWindow(hwnd, TRUE);
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
