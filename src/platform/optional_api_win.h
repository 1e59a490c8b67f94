#pragma once
// System functions that the program looks up at run time instead of importing them: those that
// not every Windows it starts on has, and those of DLLs that are not among the system's known
// DLLs. The program runs elevated, and Windows looks for a statically imported DLL beside the
// program before the system folder, so such a DLL is loaded here, from the system folder only.
// Each function is looked up once; a missing one is null, and its caller carries on without it.
// Every such look-up of the program is in this module.
#include <windows.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlobj.h>
#include <uxtheme.h>

namespace kestro {

// A DLL from the system folder and nowhere else; null when it cannot be loaded from there. It
// stays loaded for the life of the process.
HMODULE LoadSystemLibrary(const wchar_t* name);

// From now on the process loads DLLs from the system folder only
// (SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)). False where the system lacks the
// function (Windows 7 without its update): the program still starts and reaches its version warning.
bool RestrictDllSearchToSystemFolder();

// The visual-styles functions of uxtheme.dll. Each is null where uxtheme cannot be loaded.
struct ThemeFunctions {
    decltype(&::OpenThemeData) open = nullptr;
    decltype(&::CloseThemeData) close = nullptr;
    decltype(&::DrawThemeBackground) drawBackground = nullptr;
    bool Available() const noexcept { return open != nullptr && close != nullptr && drawBackground != nullptr; }
};
const ThemeFunctions& Theme();

// ShutdownBlockReasonCreate and ShutdownBlockReasonDestroy of user32 (Windows Vista and later).
// False where they are missing or the system refused.
bool CreateShutdownBlockReason(HWND window, const wchar_t* reason);
bool DestroyShutdownBlockReason(HWND window);

// kernel32's SetThreadExecutionState and user32's FlashWindowEx. Every Windows the program starts on
// has them; they are reached through here so that tests can put recorders in their place (null
// restores the system's), since what they do cannot be seen under Wine, which neither sleeps nor
// has a taskbar.
using SetThreadExecutionStateFunction = EXECUTION_STATE(WINAPI*)(EXECUTION_STATE flags);
SetThreadExecutionStateFunction SetThreadExecutionStateFn();
void ReplaceSetThreadExecutionState(SetThreadExecutionStateFunction function) noexcept;
using FlashWindowExFunction = BOOL(WINAPI*)(PFLASHWINFO info);
FlashWindowExFunction FlashWindowExFn();
void ReplaceFlashWindowEx(FlashWindowExFunction function) noexcept;

// user32's GetDpiForWindow (Windows 10, version 1607).
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
GetDpiForWindowFunction GetDpiForWindowFn();

// user32's SystemParametersInfoForDpi (Windows 10, version 1607).
using SystemParametersInfoForDpiFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
SystemParametersInfoForDpiFunction SystemParametersInfoForDpiFn();

// user32's ChangeWindowMessageFilterEx (Windows 7).
using ChangeWindowMessageFilterExFunction = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
ChangeWindowMessageFilterExFunction ChangeWindowMessageFilterExFn();

// ntdll's RtlGetVersion, which does not depend on the program's compatibility manifest.
using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
RtlGetVersionFunction RtlGetVersionFn();

// What tells a share of this computer and a drive connected to a share; netapi32, mpr and iphlpapi
// are loaded when first asked for. Their types are written out here so that this header needs no
// network headers: NET_API_STATUS is a DWORD, LMSTR an LPWSTR, and the adapter list's buffer is
// handed over as it is (an IP_ADAPTER_ADDRESSES list).
struct NetShareFunctions {
    DWORD(WINAPI* getInfo)(LPWSTR server, LPWSTR share, DWORD level, LPBYTE* buffer) = nullptr; // NetShareGetInfo
    DWORD(WINAPI* freeBuffer)(LPVOID buffer) = nullptr;                                         // NetApiBufferFree
    bool Available() const noexcept { return getInfo != nullptr && freeBuffer != nullptr; }
};
const NetShareFunctions& NetShare();

// mpr's WNetGetConnectionW.
using GetConnectionFunction = DWORD(WINAPI*)(LPCWSTR local, LPWSTR remote, LPDWORD length);
GetConnectionFunction WNetGetConnectionFn();

// iphlpapi's GetAdaptersAddresses.
using GetAdaptersAddressesFunction = ULONG(WINAPI*)(ULONG family, ULONG flags, PVOID reserved, PVOID addresses,
                                                    PULONG size);
GetAdaptersAddressesFunction GetAdaptersAddressesFn();

// shell32, ole32 and oleaut32 are big, and most starts of the program never need them: they serve
// a folder picked, a web page opened, a file dropped, the taskbar's progress. So they are loaded
// when first used, from the system folder, and the program starts without them. A member is null
// where its DLL or the function is missing.
struct ShellFunctions {
    decltype(&::DragQueryFileW) dragQueryFile = nullptr;
    decltype(&::DragFinish) dragFinish = nullptr;
    decltype(&::SHBrowseForFolderW) browseForFolder = nullptr;
    decltype(&::SHGetDesktopFolder) getDesktopFolder = nullptr;
    decltype(&::SHGetKnownFolderPath) getKnownFolderPath = nullptr;
    decltype(&::SHGetMalloc) getMalloc = nullptr;
    decltype(&::SHGetPathFromIDListEx) getPathFromIdListEx = nullptr;
    decltype(&::SHGetPathFromIDListW) getPathFromIdList = nullptr;
    decltype(&::SHGetSpecialFolderLocation) getSpecialFolderLocation = nullptr;
    decltype(&::ShellExecuteW) shellExecute = nullptr;
};
const ShellFunctions& ShellApi();

struct ComFunctions {
    decltype(&::CoCreateInstance) createInstance = nullptr;
    decltype(&::CoInitializeEx) initialize = nullptr;
    decltype(&::CoUninitialize) uninitialize = nullptr;
    decltype(&::CoTaskMemFree) taskMemFree = nullptr;
    decltype(&::CoDisconnectObject) disconnectObject = nullptr;
};
const ComFunctions& ComApi();

struct AutomationFunctions {
    decltype(&::SysAllocStringLen) allocString = nullptr;
    decltype(&::SysFreeString) freeString = nullptr;
    decltype(&::VariantClear) clearVariant = nullptr;
    bool Available() const noexcept { return allocString != nullptr && freeString != nullptr && clearVariant != nullptr; }
};
const AutomationFunctions& AutomationApi();

// COM for the GUI thread, started the first time something needs it; false where it cannot be.
// Call it from the GUI thread only.
bool UseCom();
// Ends what UseCom started; the program calls it once, at its end, after every COM object is gone.
void EndCom();

// CoCreateInstance through UseCom; E_NOINTERFACE where COM cannot be had.
HRESULT CreateComInstance(const CLSID& clsid, DWORD context, const IID& iid, void** object);
// CoTaskMemFree; nothing for null.
void FreeComMemory(void* memory) noexcept;

// What answers screen readers (Active Accessibility), from oleacc.dll, which is not among the known
// DLLs. Its types are written out so that this header needs no <oleacc.h>.
struct AccessibilityFunctions {
    // LresultFromObject: the answer to WM_GETOBJECT.
    LRESULT(WINAPI* resultFromObject)(REFIID iid, WPARAM wParam, IUnknown* object) = nullptr;
    // CreateStdAccessibleObject: the system's own object for a window.
    HRESULT(WINAPI* createStandardObject)(HWND window, LONG objectId, REFIID iid, void** object) = nullptr;
    // AccessibleObjectFromWindow: a window's object as a client gets it (through WM_GETOBJECT).
    HRESULT(WINAPI* objectFromWindow)(HWND window, DWORD objectId, REFIID iid, void** object) = nullptr;
    bool Available() const noexcept {
        return resultFromObject != nullptr && createStandardObject != nullptr && objectFromWindow != nullptr;
    }
};
const AccessibilityFunctions& Accessibility();

} // namespace kestro
