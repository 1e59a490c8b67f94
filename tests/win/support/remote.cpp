#include "support/remote.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include "platform/winstr_win.h"
#include "support/fakes.h"
#include "support/wine_helpers.h"

namespace kestro::testing_win {

namespace {

struct Found {
    DWORD process;
    const wchar_t* className;
    std::wstring title;
    HWND window = nullptr;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM param) {
    auto* found = reinterpret_cast<Found*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != found->process || !IsWindowVisible(hwnd)) {
        return TRUE;
    }
    wchar_t name[128] = {};
    GetClassNameW(hwnd, name, 128);
    if (lstrcmpW(name, found->className) != 0) {
        return TRUE;
    }
    if (!found->title.empty()) {
        wchar_t title[256] = {};
        GetWindowTextW(hwnd, title, 256);
        if (found->title != title) {
            return TRUE;
        }
    }
    found->window = hwnd;
    return FALSE;
}

struct ChildSearch {
    std::wstring className;
    std::wstring text;
    HWND found = nullptr;
};

BOOL CALLBACK FindChild(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<ChildSearch*>(param);
    wchar_t name[128] = {};
    GetClassNameW(hwnd, name, 128);
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    if (lstrcmpiW(name, search->className.c_str()) == 0 && (search->text.empty() || search->text == text)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND WaitForWindow(DWORD process, const wchar_t* className, const std::wstring& title, DWORD timeoutMs) {
    HWND result = nullptr;
    PumpUntil(
        [&] {
            Found found{process, className, title};
            EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&found));
            result = found.window;
            return result != nullptr;
        },
        timeoutMs);
    return result;
}

DWORD WaitForChildProcess(DWORD parent, const wchar_t* exeName, DWORD timeoutMs) {
    DWORD child = 0;
    PumpUntil(
        [&] {
            HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
            if (snapshot == INVALID_HANDLE_VALUE) {
                return false;
            }
            PROCESSENTRY32W entry{};
            entry.dwSize = sizeof(entry);
            for (BOOL more = Process32FirstW(snapshot, &entry); more && child == 0;
                 more = Process32NextW(snapshot, &entry)) {
                if (entry.th32ParentProcessID == parent && lstrcmpiW(entry.szExeFile, exeName) == 0) {
                    child = entry.th32ProcessID;
                }
            }
            CloseHandle(snapshot);
            return child != 0;
        },
        timeoutMs);
    return child;
}

HWND WaitForMenu(DWORD process, DWORD timeoutMs) {
    return WaitForWindow(process, L"#32768", L"", timeoutMs);
}

HWND Child(HWND parent, const wchar_t* className, const wchar_t* text) {
    ChildSearch search{className, text};
    EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string ControlText(HWND control) {
    wchar_t text[1024] = {};
    SendMessageW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return Narrow(text);
}

std::string BoxText(HWND box) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    return Narrow(text);
}

void Screenshot(HWND window, const wchar_t* name) {
    const std::filesystem::path shots = std::filesystem::path(KESTRO_BUILD_DIR) / "screenshots";
    std::filesystem::create_directories(shots);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpUntil([] { return false; }, 300);
    SaveWindowBitmap(window, (shots / name).wstring());
}

std::filesystem::path SettingsIni() {
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::filesystem::path(folder) / L"Kestro" / L"Refindor" / L"settings.ini";
}

HWND OpenMainMenu(DWORD process, HWND main, int dpi) {
    HWND start = Child(main, L"Button", L"Start...");
    if (start == nullptr) {
        return nullptr;
    }
    HWND panel = GetParent(start);
    RECT row{};
    GetWindowRect(start, &row);
    MapWindowPoints(HWND_DESKTOP, panel, reinterpret_cast<POINT*>(&row), 2);
    const LPARAM at = MAKELPARAM(MulDiv(56, dpi, 96), row.top + MulDiv(12, dpi, 96));
    PostMessageW(panel, WM_MOUSEMOVE, 0, at);
    PostMessageW(panel, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(panel, WM_LBUTTONUP, 0, at);
    return WaitForMenu(process, 5000);
}

SIZE ClientOf(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return SIZE{r.right, r.bottom};
}

Program::Program(const std::wstring& scenario, bool freshSettings, const std::filesystem::path& otherExe) {
    if (freshSettings) {
        std::error_code ec;
        std::filesystem::remove(SettingsIni(), ec);
    }
    const std::filesystem::path exe = otherExe.empty() ? ExeFolder() / L"Tarvask.exe" : otherExe;
    // The simulator's settings travel in the environment the program hands to the tool.
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", scenario.c_str());
    SetEnvironmentVariableW(L"WINFR_SIM_DELAY_MS", L"5");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring line = L"\"" + exe.wstring() + L"\"";
    const std::filesystem::path folder = exe.parent_path();
    // Under load, Wine's server now and then refuses a start (seen once in a few hundred runs, with the
    // program in place): one more try after a pause keeps that out of the tests' results.
    for (int attempt = 0; attempt < 2 && !started_; ++attempt) {
        if (attempt > 0) {
            Sleep(500);
        }
        started_ = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                                  &startup, &info_) != FALSE;
    }
}

Program::~Program() {
    if (started_) {
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info_.hProcess, 1);
        }
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
}

bool Program::WaitForExit(DWORD ms) const {
    return WaitForSingleObject(info_.hProcess, ms) == WAIT_OBJECT_0;
}

DWORD Program::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void Program::Kill() const {
    TerminateProcess(info_.hProcess, 1);
}

} // namespace kestro::testing_win
