#pragma once
// The main window built for real, with fake drives, job checks, boxes, shell and folder picker and
// a settings file of its own, for the test programs of the main window.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/main_window_win.h"
#include "job/run_request.h"
#include "support/fakes.h"
#include "support/wine_helpers.h"
#include "ui/window_win.h"

namespace kestro::testing_win {

// A click of the left mouse button inside a control, as the user makes it.
void Click(HWND control);

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;

    void WriteSetting(const wchar_t* key, const wchar_t* value);

    // Creates and shows the window with the fakes (the shell's own folder picker when realPicker).
    MainWindow& Open();

    std::string EditText(HWND edit) { return GetText(edit); }

    TempDir settingsDir{L"main-window"};
    std::wstring settingsPath;
    FakeDrives drives;
    FakeJobSystem system;
    RecordingBoxes boxes;
    RecordingShell shell;
    std::vector<RunRequest> scans; // the runs Start asked for
    std::vector<std::string> pickerTitles;
    std::string pickerAnswer;
    bool realPicker = false;
    std::unique_ptr<MainWindow> window;
};

} // namespace kestro::testing_win
