#include "platform/optional_api_win.h"

#include <string>

namespace kestro {

namespace {

// GetProcAddress gives a generic function pointer; the detour through void(*)() keeps the cast
// to the real signature free of warnings.
template <class Function> Function Lookup(HMODULE module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Modules that every process has loaded before its first instruction: asking for them by name
// cannot load anything new.
HMODULE Kernel32() {
    static const HMODULE module = GetModuleHandleW(L"kernel32.dll");
    return module;
}

HMODULE User32() {
    static const HMODULE module = GetModuleHandleW(L"user32.dll");
    return module;
}

HMODULE Ntdll() {
    static const HMODULE module = GetModuleHandleW(L"ntdll.dll");
    return module;
}

} // namespace

HMODULE LoadSystemLibrary(const wchar_t* name) {
    HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) {
        return module;
    }
    // A system without the search flags: the full path in the system folder says the same.
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
        return nullptr;
    }
    std::wstring path(folder, length);
    if (path.back() != L'\\') {
        path.push_back(L'\\');
    }
    path += name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool RestrictDllSearchToSystemFolder() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    static const auto setDefaultDllDirectories =
        Lookup<SetDefaultDllDirectoriesFn>(Kernel32(), "SetDefaultDllDirectories");
    return setDefaultDllDirectories != nullptr && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

const ThemeFunctions& Theme() {
    static const ThemeFunctions functions = [] {
        ThemeFunctions f;
        HMODULE uxtheme = LoadSystemLibrary(L"uxtheme.dll");
        f.open = Lookup<decltype(f.open)>(uxtheme, "OpenThemeData");
        f.close = Lookup<decltype(f.close)>(uxtheme, "CloseThemeData");
        f.drawBackground = Lookup<decltype(f.drawBackground)>(uxtheme, "DrawThemeBackground");
        return f;
    }();
    return functions;
}

bool CreateShutdownBlockReason(HWND window, const wchar_t* reason) {
    using CreateFn = BOOL(WINAPI*)(HWND, LPCWSTR);
    static const auto create = Lookup<CreateFn>(User32(), "ShutdownBlockReasonCreate");
    return create != nullptr && window != nullptr && create(window, reason) != FALSE;
}

bool DestroyShutdownBlockReason(HWND window) {
    using DestroyFn = BOOL(WINAPI*)(HWND);
    static const auto destroy = Lookup<DestroyFn>(User32(), "ShutdownBlockReasonDestroy");
    return destroy != nullptr && window != nullptr && destroy(window) != FALSE;
}

namespace {
SetThreadExecutionStateFunction replacedExecutionState = nullptr;
FlashWindowExFunction replacedFlash = nullptr;
} // namespace

SetThreadExecutionStateFunction SetThreadExecutionStateFn() {
    static const auto function = Lookup<SetThreadExecutionStateFunction>(Kernel32(), "SetThreadExecutionState");
    return replacedExecutionState != nullptr ? replacedExecutionState : function;
}

void ReplaceSetThreadExecutionState(SetThreadExecutionStateFunction function) noexcept {
    replacedExecutionState = function;
}

FlashWindowExFunction FlashWindowExFn() {
    static const auto function = Lookup<FlashWindowExFunction>(User32(), "FlashWindowEx");
    return replacedFlash != nullptr ? replacedFlash : function;
}

void ReplaceFlashWindowEx(FlashWindowExFunction function) noexcept {
    replacedFlash = function;
}

GetDpiForWindowFunction GetDpiForWindowFn() {
    static const auto function = Lookup<GetDpiForWindowFunction>(User32(), "GetDpiForWindow");
    return function;
}

SystemParametersInfoForDpiFunction SystemParametersInfoForDpiFn() {
    static const auto function = Lookup<SystemParametersInfoForDpiFunction>(User32(), "SystemParametersInfoForDpi");
    return function;
}

ChangeWindowMessageFilterExFunction ChangeWindowMessageFilterExFn() {
    static const auto function = Lookup<ChangeWindowMessageFilterExFunction>(User32(), "ChangeWindowMessageFilterEx");
    return function;
}

RtlGetVersionFunction RtlGetVersionFn() {
    static const auto function = Lookup<RtlGetVersionFunction>(Ntdll(), "RtlGetVersion");
    return function;
}

const NetShareFunctions& NetShare() {
    static const NetShareFunctions functions = [] {
        NetShareFunctions f;
        HMODULE netapi = LoadSystemLibrary(L"netapi32.dll");
        f.getInfo = Lookup<decltype(f.getInfo)>(netapi, "NetShareGetInfo");
        f.freeBuffer = Lookup<decltype(f.freeBuffer)>(netapi, "NetApiBufferFree");
        return f;
    }();
    return functions;
}

GetConnectionFunction WNetGetConnectionFn() {
    static const auto function = Lookup<GetConnectionFunction>(LoadSystemLibrary(L"mpr.dll"), "WNetGetConnectionW");
    return function;
}

const ShellFunctions& ShellApi() {
    static const ShellFunctions functions = [] {
        ShellFunctions f;
        HMODULE shell32 = LoadSystemLibrary(L"shell32.dll");
        f.dragQueryFile = Lookup<decltype(f.dragQueryFile)>(shell32, "DragQueryFileW");
        f.dragFinish = Lookup<decltype(f.dragFinish)>(shell32, "DragFinish");
        f.browseForFolder = Lookup<decltype(f.browseForFolder)>(shell32, "SHBrowseForFolderW");
        f.getDesktopFolder = Lookup<decltype(f.getDesktopFolder)>(shell32, "SHGetDesktopFolder");
        f.getKnownFolderPath = Lookup<decltype(f.getKnownFolderPath)>(shell32, "SHGetKnownFolderPath");
        f.getMalloc = Lookup<decltype(f.getMalloc)>(shell32, "SHGetMalloc");
        f.getPathFromIdListEx = Lookup<decltype(f.getPathFromIdListEx)>(shell32, "SHGetPathFromIDListEx");
        f.getPathFromIdList = Lookup<decltype(f.getPathFromIdList)>(shell32, "SHGetPathFromIDListW");
        f.getSpecialFolderLocation =
            Lookup<decltype(f.getSpecialFolderLocation)>(shell32, "SHGetSpecialFolderLocation");
        f.shellExecute = Lookup<decltype(f.shellExecute)>(shell32, "ShellExecuteW");
        return f;
    }();
    return functions;
}

const ComFunctions& ComApi() {
    static const ComFunctions functions = [] {
        ComFunctions f;
        HMODULE ole32 = LoadSystemLibrary(L"ole32.dll");
        f.createInstance = Lookup<decltype(f.createInstance)>(ole32, "CoCreateInstance");
        f.initialize = Lookup<decltype(f.initialize)>(ole32, "CoInitializeEx");
        f.uninitialize = Lookup<decltype(f.uninitialize)>(ole32, "CoUninitialize");
        f.taskMemFree = Lookup<decltype(f.taskMemFree)>(ole32, "CoTaskMemFree");
        f.disconnectObject = Lookup<decltype(f.disconnectObject)>(ole32, "CoDisconnectObject");
        return f;
    }();
    return functions;
}

const AutomationFunctions& AutomationApi() {
    static const AutomationFunctions functions = [] {
        AutomationFunctions f;
        HMODULE oleaut32 = LoadSystemLibrary(L"oleaut32.dll");
        f.allocString = Lookup<decltype(f.allocString)>(oleaut32, "SysAllocStringLen");
        f.freeString = Lookup<decltype(f.freeString)>(oleaut32, "SysFreeString");
        f.clearVariant = Lookup<decltype(f.clearVariant)>(oleaut32, "VariantClear");
        return f;
    }();
    return functions;
}

namespace {
// Whether UseCom started COM on this process's GUI thread, which EndCom then ends.
bool comStarted = false;
bool comTried = false;
} // namespace

bool UseCom() {
    if (!comTried) {
        comTried = true;
        const ComFunctions& com = ComApi();
        comStarted = com.initialize != nullptr &&
                     SUCCEEDED(com.initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    }
    // A thread where something else started COM already (RPC_E_CHANGED_MODE aside) can use it too.
    return comStarted || ComApi().initialize != nullptr;
}

void EndCom() {
    if (comStarted && ComApi().uninitialize != nullptr) {
        ComApi().uninitialize();
    }
    comStarted = false;
    comTried = false;
}

HRESULT CreateComInstance(const CLSID& clsid, DWORD context, const IID& iid, void** object) {
    if (!UseCom() || ComApi().createInstance == nullptr) {
        return E_NOINTERFACE;
    }
    return ComApi().createInstance(clsid, nullptr, context, iid, object);
}

void FreeComMemory(void* memory) noexcept {
    if (memory != nullptr && ComApi().taskMemFree != nullptr) {
        ComApi().taskMemFree(memory);
    }
}

GetAdaptersAddressesFunction GetAdaptersAddressesFn() {
    static const auto function =
        Lookup<GetAdaptersAddressesFunction>(LoadSystemLibrary(L"iphlpapi.dll"), "GetAdaptersAddresses");
    return function;
}

const AccessibilityFunctions& Accessibility() {
    static const AccessibilityFunctions functions = [] {
        AccessibilityFunctions f;
        HMODULE oleacc = LoadSystemLibrary(L"oleacc.dll");
        f.resultFromObject = Lookup<decltype(f.resultFromObject)>(oleacc, "LresultFromObject");
        f.createStandardObject = Lookup<decltype(f.createStandardObject)>(oleacc, "CreateStdAccessibleObject");
        f.objectFromWindow = Lookup<decltype(f.objectFromWindow)>(oleacc, "AccessibleObjectFromWindow");
        return f;
    }();
    return functions;
}

} // namespace kestro
