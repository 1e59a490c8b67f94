#pragma once
// System functions that the program looks up at run time instead of importing them: those that
// not every Windows it starts on has, and those of DLLs that are not among the system's known
// DLLs. The program runs elevated, and Windows looks for a statically imported DLL beside the
// program before the system folder, so such a DLL is loaded here, from the system folder only.
// Each function is looked up once; a missing one is null, and its caller carries on without it.
#include <windows.h>
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

} // namespace kestro
