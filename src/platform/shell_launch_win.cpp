#include "platform/shell_launch_win.h"

#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>

#include <cwctype>

#include "platform/handles_win.h"
#include "platform/optional_api_win.h"

namespace kestro {

namespace {

// SID_STopLevelBrowser: the service under which a shell view's browser offers itself.
constexpr GUID kTopLevelBrowser = {0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};

// A VARIANT, cleared by oleaut32 (loaded before any is made: see DesktopShellLauncher::Launch).
class Variant {
public:
    Variant() noexcept : value_{} { value_.vt = VT_EMPTY; }
    ~Variant() { AutomationApi().clearVariant(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT& Get() noexcept { return value_; }

    // False when the text could not be allocated.
    bool SetText(const std::wstring& text) noexcept {
        AutomationApi().clearVariant(&value_);
        value_.bstrVal = AutomationApi().allocString(text.data(), static_cast<UINT>(text.size()));
        if (value_.bstrVal == nullptr) {
            return false;
        }
        value_.vt = VT_BSTR;
        return true;
    }
    void SetNumber(LONG number) noexcept {
        AutomationApi().clearVariant(&value_);
        value_.vt = VT_I4;
        value_.lVal = number;
    }

private:
    VARIANT value_;
};

template <class T> bool QueryInto(IUnknown* from, const IID& iid, ComPtr<T>& to) {
    return from != nullptr && SUCCEEDED(from->QueryInterface(iid, reinterpret_cast<void**>(to.Put()))) && to;
}

// The desktop's IShellDispatch2, reached through the desktop window's view.
ComPtr<IShellDispatch2> DesktopShell() {
    ComPtr<IShellDispatch2> none;
    ComPtr<IShellWindows> windows;
    if (FAILED(CreateComInstance(CLSID_ShellWindows, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                 reinterpret_cast<void**>(windows.Put()))) ||
        !windows) {
        return none;
    }
    Variant location;
    Variant root;
    LONG desktopWindow = 0;
    ComPtr<IDispatch> desktop;
    // S_FALSE: no such window.
    if (windows->FindWindowSW(&location.Get(), &root.Get(), SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                              desktop.Put()) != S_OK ||
        !desktop) {
        return none;
    }
    ComPtr<IServiceProvider> services;
    if (!QueryInto(desktop.Get(), IID_IServiceProvider, services)) {
        return none;
    }
    ComPtr<IShellBrowser> browser;
    if (FAILED(services->QueryService(kTopLevelBrowser, IID_IShellBrowser, reinterpret_cast<void**>(browser.Put()))) ||
        !browser) {
        return none;
    }
    ComPtr<IShellView> view;
    if (FAILED(browser->QueryActiveShellView(view.Put())) || !view) {
        return none;
    }
    ComPtr<IDispatch> background;
    if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(background.Put()))) ||
        !background) {
        return none;
    }
    ComPtr<IShellFolderViewDual> folderView;
    if (!QueryInto(background.Get(), IID_IShellFolderViewDual, folderView)) {
        return none;
    }
    ComPtr<IDispatch> application;
    if (FAILED(folderView->get_Application(application.Put())) || !application) {
        return none;
    }
    ComPtr<IShellDispatch2> shell;
    if (!QueryInto(application.Get(), IID_IShellDispatch2, shell)) {
        return none;
    }
    return shell;
}

} // namespace

bool DesktopShellLauncher::Launch(HWND, const std::wstring& verb, const std::wstring& file) {
    const AutomationFunctions& automation = AutomationApi();
    if (!automation.Available()) {
        return false;
    }
    ComPtr<IShellDispatch2> shell = DesktopShell();
    if (!shell) {
        return false;
    }
    BSTR target = automation.allocString(file.data(), static_cast<UINT>(file.size()));
    if (target == nullptr) {
        return false;
    }
    Variant arguments;
    Variant folder;
    Variant operation;
    Variant show;
    show.SetNumber(SW_SHOWNORMAL);
    bool launched = false;
    if (operation.SetText(verb)) {
        // Explorer starts the browser; it may bring its window to the front.
        DWORD explorer = 0;
        if (GetWindowThreadProcessId(GetShellWindow(), &explorer) != 0 && explorer != 0) {
            AllowSetForegroundWindow(explorer);
        }
        launched = SUCCEEDED(shell->ShellExecute(target, arguments.Get(), folder.Get(), operation.Get(), show.Get()));
    }
    automation.freeString(target);
    return launched;
}

bool DirectShellLauncher::Launch(HWND owner, const std::wstring& verb, const std::wstring& file) {
    // The result is not examined: the shell shows its own message when it cannot open the file.
    const auto shellExecute = ShellApi().shellExecute;
    if (shellExecute == nullptr) {
        return false;
    }
    shellExecute(owner, verb.c_str(), file.c_str(), nullptr, nullptr, SW_SHOW);
    return true;
}

bool ProcessIsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return true;
    }
    const UniqueHandle owned(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size)) {
        return true;
    }
    return elevation.TokenIsElevated != 0;
}

bool IsWebAddress(const std::wstring& file) {
    std::size_t start = 0;
    while (start < file.size() && file[start] == L' ') {
        ++start;
    }
    const auto startsWith = [&](const wchar_t* scheme) {
        for (std::size_t i = 0; scheme[i] != L'\0'; ++i) {
            if (start + i >= file.size() || std::towlower(file[start + i]) != scheme[i]) {
                return false;
            }
        }
        return true;
    };
    return startsWith(L"http://") || startsWith(L"https://") || startsWith(L"ms-windows-store://");
}

} // namespace kestro
