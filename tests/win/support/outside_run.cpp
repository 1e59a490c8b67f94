#include "support/outside_run.h"

#include <commctrl.h>

#include <fstream>

#include "support/wine_helpers.h"

namespace kestro::testing_win {

HWND DestinationEdit(HWND main) {
    return FindWindowExW(GetParent(Child(main, L"Button", L"Browser...")), nullptr, L"Edit", nullptr);
}

void SetDestination(HWND main, const std::filesystem::path& destination) {
    SendMessageW(DestinationEdit(main), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(destination.c_str()));
}

void PressStart(HWND main) {
    PostMessageW(Child(main, L"Button", L"Start..."), BM_CLICK, 0, 0);
}

HWND FirstBoxAfterStart(const Program& program, const std::filesystem::path& destination, HWND& main) {
    main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    if (main == nullptr) {
        return nullptr;
    }
    SetDestination(main, destination);
    PressStart(main);
    return WaitForWindow(program.Id(), L"#32770", L"Kestro Refindor", 10000);
}

OutsideRun StartThroughTheWindow(const Program& program, const std::filesystem::path& destination, int barAtLeast) {
    OutsideRun run;
    run.main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    if (run.main == nullptr) {
        return run;
    }
    SetDestination(run.main, destination);
    PressStart(run.main);
    run.scanning = WaitForWindow(program.Id(), L"KestroScanDialog", L"Kestro Refindor", 10000);
    if (run.scanning == nullptr) {
        return run;
    }
    if (barAtLeast < 0) {
        return run;
    }
    run.tool = WaitForChildProcess(program.Id(), L"winfr.exe", 10000);
    HWND bar = Child(run.scanning, PROGRESS_CLASSW);
    PumpUntil([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) >= barAtLeast; }, 10000);
    return run;
}

std::wstring SavedDestination() {
    wchar_t value[512] = {};
    GetPrivateProfileStringW(L"Options", L"OutputDirectory", L"", value, 512, SettingsIni().c_str());
    return value;
}

std::string FirstLineOf(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

std::vector<std::string> LinesOf(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

} // namespace kestro::testing_win
