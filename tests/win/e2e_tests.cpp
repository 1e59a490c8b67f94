// Tarvask.exe itself, driven from outside as a user would: the simulator plays
// winfr (beside the program as winfr.exe), the window is found by its class
// name, the destination is typed, Start is clicked, the outcome box is read off
// the screen and answered, and the settings are read after closing.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "global/window_win.h"
#include "global/winstr_win.h"
#include "support/fakes.h"
#include "support/remote.h"
#include "support/wine_helpers.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

TEST(EndToEnd, AQuickScanFromStartToItsEnd) {
    // A destination on drive D: of the test prefix, the source being C:.
    const std::filesystem::path destination = L"D:\\e2e-\u0424\u043e\u0442\u043e-" + std::to_wstring(GetTickCount64());
    std::filesystem::create_directories(destination);
    TempDir records(L"e2e-record");
    const std::filesystem::path record = records.Path() / L"command.txt";
    SetEnvironmentVariableW(L"WINFR_SIM_RECORD", record.c_str());
    Program program(L"quick");
    SetEnvironmentVariableW(L"WINFR_SIM_RECORD", nullptr);
    ASSERT_TRUE(program.Started());
    HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(GetText(main), "Kestro Refindor 2.0");
    Screenshot(main, L"e2e-main.bmp");
    // Every control is a real window with its text.
    HWND start = Child(main, L"Button", L"Start...");
    HWND combo = Child(main, L"ComboBox");
    ASSERT_NE(start, nullptr);
    ASSERT_NE(combo, nullptr);
    EXPECT_NE(Child(main, L"Button", L"Show Files..."), nullptr);
    EXPECT_NE(Child(main, L"Static", L"Save to:"), nullptr);
    HWND edit = nullptr;
    {
        // The destination edit is the one beside "Save to:" (the first Edit in keyboard order).
        HWND saveTo = Child(main, L"Button", L"Browser...");
        ASSERT_NE(saveTo, nullptr);
        edit = GetWindow(saveTo, GW_HWNDNEXT);
    }
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(destination.c_str()));

    PostMessageW(start, BM_CLICK, 0, 0);
    HWND scanning = WaitForWindow(program.Id(), L"TfrmDownload", L"Kestro Refindor", 10000);
    ASSERT_NE(scanning, nullptr);
    Screenshot(scanning, L"e2e-scanning.bmp");

    // The completed outcome, read off the screen.
    HWND box = WaitForWindow(program.Id(), L"#32770", L"Kestro Refindor", 30000);
    ASSERT_NE(box, nullptr);
    const std::string text = BoxText(box);
    EXPECT_EQ(text.rfind("Quick scan completed. 12 files were found.\r\nThe recovered files have been saved in ", 0), 0u)
        << text;
    EXPECT_NE(text.find(Narrow(destination.wstring()) + "\\Recovery_"), std::string::npos) << text;
    HWND bar = Child(scanning, PROGRESS_CLASSW);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 1000);
    Screenshot(box, L"e2e-completed.bmp");
    PostMessageW(box, WM_COMMAND, IDOK, 0);

    // The tool exits; the dialog closes itself.
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(scanning) || !IsWindowVisible(scanning); }, 20000));
    // The command line the tool received.
    std::ifstream in(record);
    std::string commandLine;
    std::getline(in, commandLine);
    EXPECT_EQ(commandLine, "winfr C: " + Narrow(destination.wstring()) + " /regular /o:b /a /e:*.mm1");
    bool recovered = false;
    for (const auto& entry : std::filesystem::directory_iterator(destination)) {
        recovered = recovered || entry.path().filename().wstring().rfind(L"Recovery_", 0) == 0;
    }
    EXPECT_TRUE(recovered);

    // Closing by the close box saves the settings.
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.WaitForExit(20000));
    const std::filesystem::path ini = SettingsIni();
    ASSERT_TRUE(std::filesystem::exists(ini));
    wchar_t value[512] = {};
    GetPrivateProfileStringW(L"Options", L"OutputDirectory", L"", value, 512, ini.c_str());
    EXPECT_EQ(std::wstring(value), destination.wstring());
    std::error_code ec;
    std::filesystem::remove_all(destination, ec);
}

// A recovery started through the window; the Scanning dialog and the tool are found from outside.
struct OutsideRun {
    HWND main = nullptr;
    HWND scanning = nullptr;
    DWORD tool = 0;
};

// Types the destination, presses Start and waits until the dialog shows the bar at least at
// barAtLeast (the hanging scenario stops at 300); a negative one: the tool is not looked for.
OutsideRun StartThroughTheWindow(const Program& program, const std::filesystem::path& destination, int barAtLeast) {
    OutsideRun run;
    run.main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    if (run.main == nullptr) {
        return run;
    }
    HWND edit = GetWindow(Child(run.main, L"Button", L"Browser..."), GW_HWNDNEXT);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(destination.c_str()));
    PostMessageW(Child(run.main, L"Button", L"Start..."), BM_CLICK, 0, 0);
    run.scanning = WaitForWindow(program.Id(), L"TfrmDownload", L"Kestro Refindor", 10000);
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

// Task Manager's "End task", taskkill without /F and logoff tools ask the taskbar window to close.
TEST(EndToEnd, ClosingTheTaskbarWindowDuringARunEndsToolAndProgramCleanly) {
    const std::filesystem::path destination = L"D:\\e2e-close-" + std::to_wstring(GetTickCount64());
    std::filesystem::create_directories(destination);
    Program program(L"hang");
    ASSERT_TRUE(program.Started());
    const OutsideRun run = StartThroughTheWindow(program, destination, 300);
    ASSERT_NE(run.scanning, nullptr);
    ASSERT_NE(run.tool, 0u);
    HWND taskbarWindow = WaitForWindow(program.Id(), L"KestroApplication", L"Kestro Refindor", 5000);
    ASSERT_NE(taskbarWindow, nullptr);
    RECT size{};
    GetWindowRect(taskbarWindow, &size);
    EXPECT_EQ(size.right - size.left, 0) << "the taskbar window has no size";

    PostMessageW(taskbarWindow, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.WaitForExit(20000)) << "a close request must end the program without a question";
    EXPECT_EQ(program.ExitCode(), 0u);
    EXPECT_TRUE(ProcessGone(run.tool, 5000)) << "the tool outlived the program";
    EXPECT_EQ(SavedDestination(), destination.wstring()) << "the settings were not written";
    std::error_code ec;
    std::filesystem::remove_all(destination, ec);
}

TEST(EndToEnd, AForcedEndOfTheProgramAlsoEndsTheTool) {
    const std::filesystem::path destination = L"D:\\e2e-kill-" + std::to_wstring(GetTickCount64());
    std::filesystem::create_directories(destination);
    Program program(L"hang");
    ASSERT_TRUE(program.Started());
    const OutsideRun run = StartThroughTheWindow(program, destination, 300);
    ASSERT_NE(run.scanning, nullptr);
    ASSERT_NE(run.tool, 0u);
    program.Kill();
    ASSERT_TRUE(program.WaitForExit(10000));
    EXPECT_TRUE(ProcessGone(run.tool, 5000)) << "the hidden, elevated tool outlived the program";
    std::error_code ec;
    std::filesystem::remove_all(destination, ec);
}

TEST(EndToEnd, AToolThatCrashesAfterProgressIsReportedWithItsExitCode) {
    const std::filesystem::path destination = L"D:\\e2e-crash-" + std::to_wstring(GetTickCount64());
    std::filesystem::create_directories(destination);
    Program program(L"crash");
    ASSERT_TRUE(program.Started());
    const OutsideRun run = StartThroughTheWindow(program, destination, -1);
    ASSERT_NE(run.scanning, nullptr);
    HWND box = WaitForWindow(program.Id(), L"#32770", L"Kestro Refindor", 20000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(BoxText(box), "The recovery tool stopped unexpectedly (exit code 0xC0000005).");
    HWND bar = Child(run.scanning, PROGRESS_CLASSW);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 400) << "the progress reported before the crash";
    Screenshot(box, L"e2e-crashed.bmp");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(run.scanning) || !IsWindowVisible(run.scanning); }, 10000));
    PostMessageW(run.main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(20000));
    std::error_code ec;
    std::filesystem::remove_all(destination, ec);
}

TEST(EndToEnd, TheSourceDriveNeverBecomesTheDestination) {
    Program program(L"quick");
    ASSERT_TRUE(program.Started());
    HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    HWND edit = GetWindow(Child(main, L"Button", L"Browser..."), GW_HWNDNEXT);
    // The first entry, C:, is the source.
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"C:\\windows"));
    PostMessageW(Child(main, L"Button", L"Start..."), BM_CLICK, 0, 0);
    HWND box = WaitForWindow(program.Id(), L"#32770", L"Kestro Refindor", 10000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(BoxText(box), "Source and Destination cannot refer to the same physical partition.");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(20000));
}

TEST(EndToEnd, FilterChoiceResizesTheWindow) {
    Program program(L"quick");
    ASSERT_TRUE(program.Started());
    HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ClientOf(main).cx, 460);
    EXPECT_EQ(ClientOf(main).cy, 299);
    const struct {
        const wchar_t* item;
        int height;
    } cases[] = {{L"Specific file", 398}, {L"Deleted file type", 553}, {L"Wildcard", 398}, {L"All deleted files", 299}};
    for (const auto& k : cases) {
        HWND radio = Child(main, L"Button", k.item);
        ASSERT_NE(radio, nullptr);
        SendMessageW(radio, BM_CLICK, 0, 0);
        EXPECT_TRUE(PumpUntil([&] { return ClientOf(main).cy == k.height; }, 3000)) << Narrow(k.item);
        EXPECT_EQ(ClientOf(main).cx, 460);
    }
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(20000));
}

TEST(EndToEnd, ChoicesSurviveARestartAndTheMenuOpensTheAboutDialog) {
    const std::filesystem::path destination = L"E:\\e2e-keep-" + std::to_wstring(GetTickCount64());
    std::filesystem::create_directories(destination);
    {
        Program program(L"quick");
        ASSERT_TRUE(program.Started());
        HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
        ASSERT_NE(main, nullptr);
        HWND edit = GetWindow(Child(main, L"Button", L"Browser..."), GW_HWNDNEXT);
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(destination.c_str()));
        SendMessageW(Child(main, L"Button", L"Source file path:"), BM_SETCHECK, BST_CHECKED, 0);
        PostMessageW(main, WM_CLOSE, 0, 0);
        ASSERT_TRUE(program.WaitForExit(20000));
    }
    // Started again, with the settings file kept.
    Program again(L"quick", false);
    ASSERT_TRUE(again.Started());
    HWND main = WaitForWindow(again.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    HWND edit = GetWindow(Child(main, L"Button", L"Browser..."), GW_HWNDNEXT);
    EXPECT_EQ(ControlText(edit), Narrow(destination.wstring()));
    EXPECT_EQ(SendMessageW(Child(main, L"Button", L"Source file path:"), BM_GETCHECK, 0, 0), BST_CHECKED);

    // A click on the "Menu" label (8 px below the button row, 51 px from the panel's left)
    // opens the popup menu; its last item opens the About dialog.
    HWND menu = OpenMainMenu(again.Id(), main, 96);
    ASSERT_NE(menu, nullptr);
    PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    HWND about = WaitForWindow(again.Id(), L"TfrmAbout", L"About Refindor", 5000);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(ClientOf(about).cx, 360);
    EXPECT_EQ(ClientOf(about).cy, 237);
    EXPECT_NE(Child(about, L"Static", L"Kestro Refindor"), nullptr);
    EXPECT_NE(Child(about, L"Static", L"Version: 2.0  Build 20230428"), nullptr);
    EXPECT_NE(Child(about, L"Button", L"&OK"), nullptr);
    Screenshot(about, L"e2e-about.bmp");
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(about); }, 5000));
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(again.WaitForExit(20000));
    std::error_code ec;
    std::filesystem::remove_all(destination, ec);
}

} // namespace
