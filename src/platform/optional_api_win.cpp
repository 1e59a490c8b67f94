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
