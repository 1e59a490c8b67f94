#include "support/main_window_fixture.h"

#include <cstdio>
#include <utility>

#include "platform/winstr_win.h"

namespace kestro::testing_win {

void Click(HWND control) {
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

void MainWindowTest::SetUp() {
    drives.drives = {{"C:\\", "System", "NTFS"}, {"D:\\", "Data", "NTFS"}, {"E:\\", "Stick", "FAT32"}};
    settingsPath = (settingsDir.Path() / L"settings.ini").wstring();
    // The program keeps its settings file in UTF-16, so non-ASCII paths survive.
    if (FILE* f = _wfopen(settingsPath.c_str(), L"wb")) {
        fwrite("\xFF\xFE", 1, 2, f);
        fclose(f);
    }
}

void MainWindowTest::WriteSetting(const wchar_t* key, const wchar_t* value) {
    WritePrivateProfileStringW(L"Options", key, value, settingsPath.c_str());
}

MainWindow& MainWindowTest::Open() {
    MainWindowServices services;
    services.drives = &drives;
    services.jobSystem = &system;
    services.runScan = [this](HWND, const RunRequest& request) { scans.push_back(request); };
    services.selectFolder = [this](const std::string& title, std::string& folder) {
        pickerTitles.push_back(title);
        if (pickerAnswer.empty()) {
            return false;
        }
        folder = pickerAnswer;
        return true;
    };
    if (realPicker) {
        services.selectFolder = nullptr; // the shell's own dialog
    }
    services.settingsFile = [this] { return Narrow(settingsPath); };
    services.workArea = [] { return RECT{0, 0, 1280, 1040}; };
    window = std::make_unique<MainWindow>(std::move(services));
    window->Show();
    PumpUntil([] { return false; }, 50);
    return *window;
}

} // namespace kestro::testing_win
