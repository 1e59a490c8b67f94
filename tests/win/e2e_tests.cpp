// Tarvask.exe itself, driven from outside as a user would: the simulator plays
// winfr (where Windows keeps it for the account), the window is found by its class
// name, the destination is typed, Start is clicked, the outcome box is read off
// the screen and answered, and the settings are read after closing. Whole runs: a
// quick scan, a run closed or ended by force, a tool that ends abnormally, the
// pattern list and the switches the tool receives, and a slow run with its time
// left and its log.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/winstr_win.h"
#include "support/outside_run.h"
#include "support/remote.h"
#include "support/wine_helpers.h"
#include "ui/window_win.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

// Whether the tool made a Recovery_YYYYMMDD_HHMMSS folder in destination.
bool HasRecoveryFolder(const std::filesystem::path& destination) {
    for (const auto& entry : std::filesystem::directory_iterator(destination)) {
        if (entry.path().filename().wstring().rfind(L"Recovery_", 0) == 0) {
            return true;
        }
    }
    return false;
}

TEST(EndToEnd, AQuickScanFromStartToItsEnd) {
    // A destination on drive D: of the test prefix, the source being C:.
    const TempDir folder(L"D:\\", L"e2e-\u0424\u043e\u0442\u043e");
    const std::filesystem::path& destination = folder.Path();
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
    ASSERT_NE(start, nullptr);
    ASSERT_NE(Child(main, L"ComboBox"), nullptr);
    EXPECT_NE(Child(main, L"Button", L"Show Files..."), nullptr);
    EXPECT_NE(Child(main, L"Static", L"Save to:"), nullptr);
    // The destination edit is the one beside "Save to:" (the first Edit in keyboard order).
    ASSERT_NE(Child(main, L"Button", L"Browser..."), nullptr);
    ASSERT_NE(DestinationEdit(main), nullptr);
    SetDestination(main, destination);

    PostMessageW(start, BM_CLICK, 0, 0);
    HWND scanning = WaitForWindow(program.Id(), L"KestroScanDialog", L"Kestro Refindor", 10000);
    ASSERT_NE(scanning, nullptr);
    Screenshot(scanning, L"e2e-scanning.bmp");

    // The completed outcome, read off the screen.
    HWND box = WaitForWindow(program.Id(), L"#32770", L"Kestro Refindor", 30000);
    ASSERT_NE(box, nullptr);
    const std::string text = BoxText(box);
    EXPECT_EQ(text.rfind("Quick scan completed. 12 files were found.\r\nThe recovered files have been saved in ", 0),
              0u)
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
    EXPECT_EQ(FirstLineOf(record), "winfr C: " + Narrow(destination.wstring()) + " /regular /o:b /a /e:*.mm1");
    EXPECT_TRUE(HasRecoveryFolder(destination));

    // Closing by the close box saves the settings.
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.WaitForExit(20000));
    ASSERT_TRUE(std::filesystem::exists(SettingsIni()));
    EXPECT_EQ(SavedDestination(), destination.wstring());
}

// Task Manager's "End task", taskkill without /F and logoff tools ask the taskbar window to close.
TEST(EndToEnd, ClosingTheTaskbarWindowDuringARunEndsToolAndProgramCleanly) {
    const TempDir folder(L"D:\\", L"e2e-close");
    const std::filesystem::path& destination = folder.Path();
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
}

TEST(EndToEnd, AForcedEndOfTheProgramAlsoEndsTheTool) {
    const TempDir folder(L"D:\\", L"e2e-kill");
    const std::filesystem::path& destination = folder.Path();
    Program program(L"hang");
    ASSERT_TRUE(program.Started());
    const OutsideRun run = StartThroughTheWindow(program, destination, 300);
    ASSERT_NE(run.scanning, nullptr);
    ASSERT_NE(run.tool, 0u);
    program.Kill();
    ASSERT_TRUE(program.WaitForExit(10000));
    EXPECT_TRUE(ProcessGone(run.tool, 5000)) << "the hidden, elevated tool outlived the program";
}

// A crash, and an end from outside (Task Manager's "End process": exit code 1) after progress, are
// told with the exit code, never as a finished run.
TEST(EndToEnd, AToolThatEndsAbnormallyAfterProgressIsReportedWithItsExitCode) {
    const struct {
        const wchar_t* scenario;
        const char* box;
        int bar;
    } cases[] = {{L"crash", "The recovery tool stopped unexpectedly (exit code 0xC0000005).", 400},
                 {L"killed", "The recovery tool stopped unexpectedly (exit code 0x00000001).", 300}};
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.scenario));
        const TempDir folder(L"D:\\", L"e2e-crash");
        const std::filesystem::path& destination = folder.Path();
        Program program(c.scenario);
        ASSERT_TRUE(program.Started());
        const OutsideRun run = StartThroughTheWindow(program, destination, -1);
        ASSERT_NE(run.scanning, nullptr);
        HWND box = WaitForWindow(program.Id(), L"#32770", L"Kestro Refindor", 20000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(BoxText(box), c.box);
        HWND bar = Child(run.scanning, PROGRESS_CLASSW);
        EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), c.bar) << "the progress reported before the end";
        Screenshot(box, (L"e2e-" + std::wstring(c.scenario) + L".bmp").c_str());
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(PumpUntil([&] { return !IsWindow(run.scanning) || !IsWindowVisible(run.scanning); }, 10000));
        PostMessageW(run.main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.WaitForExit(20000));
    }
}

// Blanks pasted after a trailing comma in the custom types: a tab or a no-break space must not
// become a pattern of its own ("*" and a blank would recover every file).
TEST(EndToEnd, PastedBlanksInTheCustomTypesPassNoPatternOfTheirOwn) {
    const TempDir folder(L"D:\\", L"e2e-types");
    const std::filesystem::path& destination = folder.Path();
    TempDir records(L"e2e-types");
    const std::filesystem::path record = records.Path() / L"command.txt";
    SetEnvironmentVariableW(L"WINFR_SIM_RECORD", record.c_str());
    Program program(L"quick");
    SetEnvironmentVariableW(L"WINFR_SIM_RECORD", nullptr);
    ASSERT_TRUE(program.Started());
    HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    SetDestination(main, destination);
    SendMessageW(Child(main, L"Button", L"Deleted file type"), BM_CLICK, 0, 0);
    HWND custom = Child(main, L"Button", L"Custom file types");
    ASSERT_NE(custom, nullptr);
    SendMessageW(custom, BM_CLICK, 0, 0);
    HWND types = GetWindow(custom, GW_HWNDNEXT);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(types) != FALSE; }, 3000));
    for (const wchar_t* text : {L".log,\t", L".log,\u00A0"}) {
        std::filesystem::remove(record);
        SendMessageW(types, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        PressStart(main);
        HWND box = WaitForWindow(program.Id(), L"#32770", L"Kestro Refindor", 30000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(BoxText(box).rfind("Quick scan completed.", 0), 0u) << BoxText(box);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        HWND scanning = WaitForWindow(program.Id(), L"KestroScanDialog", L"Kestro Refindor", 1000);
        EXPECT_TRUE(PumpUntil([&] { return scanning == nullptr || !IsWindowVisible(scanning); }, 20000));
        // The command line, then the arguments as the tool read them.
        const std::vector<std::string> lines = LinesOf(record);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[0], "winfr C: " + Narrow(destination.wstring()) + " /regular /o:b /a /e:*.mm1 /n *.log");
        EXPECT_EQ(lines[lines.size() - 2], "/n");
        EXPECT_EQ(lines.back(), "*.log") << "nothing after *.log";
    }
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(20000));
}

// The tool's own switches as a person who knows winfr leaves them in settings.ini: Start hands them to
// the tool, the overwrite rule in place of the keep-both one, the log names them in words, and the
// settings the program writes when it closes keep them for the next start.
TEST(EndToEnd, TheSwitchesOfTheSettingsFileReachTheToolAndStayForTheNextStart) {
    const TempDir folder(L"D:\\", L"e2e-switches");
    const std::filesystem::path& destination = folder.Path();
    std::filesystem::create_directories(SettingsIni().parent_path());
    std::ofstream(SettingsIni(), std::ios::binary | std::ios::trunc)
        << "[Options]\r\nUndeletedFiles=1\r\nSystemFiles=1\r\nNoPrimaryStream=1\r\nOverwrite=never\r\n";
    TempDir records(L"e2e-switches");
    const std::filesystem::path record = records.Path() / L"command.txt";
    SetEnvironmentVariableW(L"WINFR_SIM_RECORD", record.c_str());
    Program program(L"quick", false);
    SetEnvironmentVariableW(L"WINFR_SIM_RECORD", nullptr);
    ASSERT_TRUE(program.Started());
    HWND main = nullptr;
    HWND box = FirstBoxAfterStart(program, destination, main);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(BoxText(box).rfind("Quick scan completed.", 0), 0u) << BoxText(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    HWND scanning = WaitForWindow(program.Id(), L"KestroScanDialog", L"Kestro Refindor", 1000);
    EXPECT_TRUE(PumpUntil([&] { return scanning == nullptr || !IsWindowVisible(scanning); }, 20000));

    const std::string commandLine = FirstLineOf(record);
    EXPECT_EQ(commandLine, "winfr C: " + Narrow(destination.wstring()) + " /regular /o:n /a /e:*.mm1 /u /k /g");
    EXPECT_EQ(commandLine.find("/o:b"), std::string::npos);
    const std::vector<std::filesystem::path> logs = LogsIn(destination);
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(FileText(logs[0]).find("\r\nOptions: recover undeleted files too (/u), recover system files (/k), "
                                     "recover files without their primary data stream (/g), never overwrite an "
                                     "existing file (/o:n)\r\n"),
              std::string::npos)
        << FileText(logs[0]);

    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.WaitForExit(20000));
    for (const auto& [key, value] : {std::pair{L"UndeletedFiles", L"1"}, std::pair{L"SystemFiles", L"1"},
                                     std::pair{L"NoPrimaryStream", L"1"}, std::pair{L"Overwrite", L"never"}}) {
        wchar_t saved[64] = {};
        GetPrivateProfileStringW(L"Options", key, L"", saved, 64, SettingsIni().c_str());
        EXPECT_STREQ(saved, value) << Narrow(key);
    }
}

// The static of the Scanning dialog whose text begins with "Elapsed".
std::string ElapsedLine(HWND scanning) {
    for (HWND child = Child(scanning, L"Static"); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::string text = ControlText(child);
        if (text.starts_with("Elapsed")) {
            return text;
        }
    }
    return {};
}

// A run that reaches 60 % in 2 % steps 0.4 s apart, then prints one progress line 5,000 times in
// one write and one more line, then hangs; returns the lines its log must show, in order.
std::vector<std::string> WriteSlowScript(const std::filesystem::path& script) {
    std::vector<std::string> printed = {"Windows File Recovery", "Pass 1: Scanning and processing disk"};
    std::ofstream out(script, std::ios::binary);
    out << "line " << printed[0] << "\nline " << printed[1] << "\n";
    for (int percent = 0; percent <= 60; percent += 2) {
        printed.push_back("Scanning disk: " + std::to_string(percent) + "%");
        out << "line " << printed.back() << "\nsleep 400\n";
    }
    // A progress line redrawn 5,000 times, in one write.
    out << "raw ";
    for (int i = 0; i < 5000; ++i) {
        out << "Scanning disk: 61%<CR><LF>";
    }
    out << "\n";
    printed.push_back("Scanning disk: 61%");
    printed.push_back("(repeated 4999 times)");
    out << "line Scanning disk: 62%\n";
    printed.push_back("Scanning disk: 62%");
    out << "hang\n";
    return printed;
}

TEST(EndToEnd, ASlowRunShowsTheTimeLeftAndLeavesOneLogBesideTheRecoveredFiles) {
    const TempDir folder(L"D:\\", L"e2e-log");
    const std::filesystem::path& destination = folder.Path();
    TempDir scripts(L"e2e-log-script");
    const std::filesystem::path script = scripts.Path() / L"slow.txt";
    const std::vector<std::string> printed = WriteSlowScript(script);
    const std::filesystem::path record = scripts.Path() / L"command.txt";
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", script.c_str());
    SetEnvironmentVariableW(L"WINFR_SIM_RECORD", record.c_str());
    Program program(L"quick");
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", nullptr);
    SetEnvironmentVariableW(L"WINFR_SIM_RECORD", nullptr);
    ASSERT_TRUE(program.Started());
    const OutsideRun run = StartThroughTheWindow(program, destination, -1);
    ASSERT_NE(run.scanning, nullptr);
    std::string line;
    EXPECT_TRUE(PumpUntil([&] { return (line = ElapsedLine(run.scanning)).find(" left") != std::string::npos; }, 25000))
        << line;
    EXPECT_TRUE(line.starts_with("Elapsed 0:00:1")) << line;
    Screenshot(run.scanning, L"e2e-time-left.bmp");
    // Wait for the last line the tool prints, then stop.
    HWND bar = Child(run.scanning, PROGRESS_CLASSW);
    EXPECT_TRUE(PumpUntil([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) >= 620; }, 20000));
    PostMessageW(Child(run.scanning, L"Button", L"Stop"), BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(run.scanning) || !IsWindowVisible(run.scanning); }, 10000));

    const std::vector<std::filesystem::path> logs = LogsIn(destination);
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_TRUE(logs[0].filename().wstring().starts_with(L"Kestro Refindor "));
    const std::string text = FileText(logs[0]);
    const std::string commandLine = FirstLineOf(record);
    ASSERT_FALSE(commandLine.empty());
    EXPECT_NE(text.find("Command line: " + commandLine + "\r\n"), std::string::npos) << text;
    std::size_t from = 0;
    for (const std::string& printedLine : printed) {
        const std::size_t at = text.find("] " + printedLine + "\r\n", from);
        ASSERT_NE(at, std::string::npos) << printedLine << " in\n" << text;
        from = at;
    }
    EXPECT_NE(text.find("Ended: stopped before the tool finished\r\n", from), std::string::npos) << text;
    EXPECT_EQ(text.find("Scanning disk: 61%"), text.rfind("Scanning disk: 61%")) << "one line for 5,000";

    PostMessageW(run.main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(20000));
}

} // namespace
