// Whole runs of the Scanning dialog under Wine: the winfr simulator (bin/winfr.exe) played through
// the real runner, each scenario ending as the tool says, with the message boxes recorded instead
// of shown.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "platform/winstr_win.h"
#include "support/scan_dialog_fixture.h"
#include "ui/application_win.h"

namespace kestro {
namespace {

using namespace testing_win;

struct RunCase {
    const wchar_t* scenario;
    int mode;
    const char* box; // start of the one box shown (nullptr: none)
    UINT icon;
    int result;           // modal result
    int bar;              // bar position at the end
    const wchar_t* label; // label at the end
    bool folderNamed;     // the completed box names the Recovery folder, which exists
};

class RunTest : public ScanDialogTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RunTest, RunEndsAsTheToolSays) {
    const RunCase& c = GetParam();
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", c.scenario);
    if (std::wstring(c.scenario) == L"deep") {
        SetEnvironmentVariableW(L"WINFR_SIM_FILES", L"300"); // the whole 2500 are the runner tests' job
    }
    request.mode = RecoveryModeOfIndex(c.mode);
    Remake();
    const ModalRun run = RunModal(*dialog, 20000);

    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.result, c.result);
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_EQ(runner.ProcessId(), 0u);
    if (c.box == nullptr) {
        EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes[0].text;
    } else {
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text.rfind(c.box, 0), 0u) << boxes.boxes[0].text;
        EXPECT_EQ(boxes.boxes[0].caption, kProduct);
        EXPECT_EQ(boxes.boxes[0].Icon(), c.icon);
    }
    EXPECT_EQ(Bar(), c.bar);
    EXPECT_EQ(Label(), c.label);
    if (c.folderNamed) {
        const std::string marker = "saved in ";
        const std::string& text = boxes.boxes.at(0).text;
        const std::string folder = text.substr(text.find(marker) + marker.size());
        EXPECT_EQ(folder.rfind(destination.Utf8() + "\\Recovery_", 0), 0u) << folder;
        EXPECT_TRUE(std::filesystem::is_directory(Widen(folder))) << folder;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, RunTest,
    ::testing::Values(RunCase{L"quick", 0, "Quick scan completed. 12 files were found.\r\n", MB_ICONINFORMATION,
                              mrCancel, 1000, L"Recovering files", true},
                      RunCase{L"deep", 1, "Deep scan completed. 300 files were found.\r\n", MB_ICONINFORMATION,
                              mrCancel, 1000, L"Recovering files", true},
                      RunCase{L"nothing", 0,
                              "No recoverable files were found with this mode. Please change the Deep Scan to try.",
                              MB_ICONINFORMATION, mrCancel, 1000, L"Scanning and processing disk", false},
                      RunCase{L"diskfull", 0, "Destination disk is full, please free up space.", MB_ICONERROR, mrAbort,
                              75, L"Recovering files", false},
                      RunCase{L"admin", 0,
                              "Please right click on the \"Tarvask.exe\" and select \"Run as administrator\".",
                              MB_ICONERROR, mrAbort, 0, L"", false},
                      RunCase{L"instant", 0, "If the scanning is finished quickly, it is recommended to start again.",
                              MB_ICONERROR, mrCancel, 0, L"", false},
                      // A crash is told, not shown as a finished run, whatever progress came before.
                      RunCase{L"crash", 0, "The recovery tool stopped unexpectedly (exit code 0xC0000005).",
                              MB_ICONERROR, mrCancel, 400, L"Scanning and processing disk", false},
                      RunCase{L"midcrash", 0, "The recovery tool stopped unexpectedly (exit code 0xC0000005).",
                              MB_ICONERROR, mrCancel, 125, L"Recovering files", false},
                      // Ended from outside after some progress, before it told any outcome.
                      RunCase{L"killed", 0, "The recovery tool stopped unexpectedly (exit code 0x00000001).",
                              MB_ICONERROR, mrCancel, 300, L"Scanning and processing disk", false},
                      RunCase{L"unicode", 1, "Deep scan completed. 5 files were found.\r\n", MB_ICONINFORMATION,
                              mrCancel, 1000, L"Recovering files", true},
                      RunCase{L"pieces", 0, "Quick scan completed. 8 files were found.\r\n", MB_ICONINFORMATION,
                              mrCancel, 1000, L"Recovering files", true},
                      RunCase{L"ansi", 0, "Quick scan completed. 2 files were found.\r\n", MB_ICONINFORMATION, mrCancel,
                              1000, L"Recovering files", true}),
    [](const ::testing::TestParamInfo<RunCase>& param) { return Narrow(param.param.scenario); });

// A hanging tool: the dialog stays open with the progress so far until the user ends it.
class HangTest : public ScanDialogTest, public ::testing::WithParamInterface<int> {};

TEST_P(HangTest, DialogStaysOpenUntilStoppedAndTheToolEndsWithIt) {
    enum { byStopButton, byCloseBox };
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", L"hang");
    DWORD processId = 0;
    ULONGLONG sinceProgress = 0;
    bool acted = false;
    const ModalRun run = RunModal(*dialog, 10000, [&] {
        if (acted || Bar() < 300) {
            return;
        }
        if (sinceProgress == 0) {
            processId = runner.ProcessId();
            sinceProgress = GetTickCount64();
            // Esc must not end a scan by accident.
            PostMessageW(dialog->StopButton(), WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageW(dialog->StopButton(), WM_KEYUP, VK_ESCAPE, 0);
        } else if (GetTickCount64() - sinceProgress > 400) {
            acted = true;
            if (GetParam() == byStopButton) {
                PostMessageW(dialog->StopButton(), BM_CLICK, 0, 0);
            } else {
                PostMessageW(dialog->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
            }
        }
    });
    EXPECT_TRUE(acted) << "the dialog closed before it was told to";
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.result, GetParam() == byStopButton ? mrAbort : mrCancel);
    EXPECT_EQ(Bar(), 300);
    EXPECT_FALSE(runner.IsRunning());
    ASSERT_NE(processId, 0u);
    EXPECT_TRUE(ProcessGone(processId, 1000));
    EXPECT_TRUE(boxes.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, HangTest, ::testing::Values(0, 1), [](const ::testing::TestParamInfo<int>& param) {
    return std::string(param.param == 0 ? "StopButton" : "CloseBox");
});

// A message box that, like the real one, keeps messages flowing while it is open; it records how
// many boxes were open at once.
class PumpingBoxes final : public MessageBoxes {
public:
    int Show(HWND, const std::string& text, const std::string&, UINT) override {
        boxes.push_back(text);
        ++open;
        deepest = std::max(deepest, open);
        PumpUntil([] { return false; }, 800);
        --open;
        return IDOK;
    }
    std::vector<std::string> boxes;
    int open = 0;
    int deepest = 0;
};

struct EndingPromptCase {
    const char* name;
    const char* script; // the tool's output; it ends by itself soon after its prompt
    const char* box;
};

void PrintTo(const EndingPromptCase& c, std::ostream* os) {
    *os << c.name;
}

class EndingPromptTest : public ScanDialogTest, public ::testing::WithParamInterface<EndingPromptCase> {};

// The prompts for a full destination and for missing rights end the run. The tool is stopped
// before their box opens, so its own end can no longer add the advice to start again on top.
TEST_P(EndingPromptTest, TheToolIsStoppedBeforeTheBoxAndNothingStacksOnIt) {
    const std::filesystem::path script = destination.Path() / L"script.txt";
    WriteScript(script, GetParam().script);
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", script.c_str());
    PumpingBoxes pumping;
    Application::Get().SetBoxes(&pumping);
    // The tool may be gone before the first look at the runner: its id is taken when it starts.
    DWORD processId = 0;
    runner.SetToolObserver([&](bool running) {
        if (running) {
            processId = runner.ProcessId();
        }
    });
    const ModalRun run = RunModal(*dialog, 15000);
    runner.SetToolObserver(nullptr);
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", nullptr);
    Application::Get().SetBoxes(&boxes);

    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.result, mrAbort);
    ASSERT_EQ(pumping.boxes.size(), 1u) << (pumping.boxes.empty() ? std::string("no box") : pumping.boxes.back());
    EXPECT_EQ(pumping.boxes[0], GetParam().box);
    EXPECT_EQ(pumping.deepest, 1);
    EXPECT_FALSE(runner.IsRunning());
    ASSERT_NE(processId, 0u);
    EXPECT_TRUE(ProcessGone(processId, 1000));
}

INSTANTIATE_TEST_SUITE_P(
    Prompts, EndingPromptTest,
    ::testing::Values(
        // The tool asks without a line end and gives up a little later, while the box is open.
        EndingPromptCase{"DiskFullThenExit",
                         "line Pass 2: Recovering files\n"
                         "raw Destination disk is full. Free up space, then press (r)etry, (s)kip, or (a)bort:\n"
                         "sleep 400\n"
                         "exit 0\n",
                         "Destination disk is full, please free up space."},
        // The prompt and the tool's end arrive together: both events are queued before the box.
        EndingPromptCase{"DiskFullAndExitAtOnce",
                         "line Destination disk is full.\n"
                         "exit 0\n",
                         "Destination disk is full, please free up space."},
        EndingPromptCase{"AdminThenExit",
                         "line Windows File Recovery requires admin privileges to run.\n"
                         "sleep 300\n"
                         "exit 5\n",
                         "Please right click on the \"Tarvask.exe\" and select \"Run as administrator\"."},
        EndingPromptCase{"AdminAndExitAtOnce",
                         "line Windows File Recovery requires admin privileges to run.\n"
                         "exit 5\n",
                         "Please right click on the \"Tarvask.exe\" and select \"Run as administrator\"."}),
    [](const ::testing::TestParamInfo<EndingPromptCase>& param) { return std::string(param.param.name); });

TEST_F(ScanDialogTest, FailedStartIsReportedAndLeavesTheDialogIdleUntilStopped) {
    // An owner to centre over.
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 100, 100, 600, 400, nullptr, nullptr,
                                 nullptr, nullptr);
    Remake(owner);
    runner.SetToolName("kestro-no-such-tool");
    bool idle = false;
    bool centred = false;
    bool pressed = false;
    const ModalRun run = RunModal(*dialog, 5000, [&] {
        if (pressed || !IsWindowVisible(dialog->Handle())) {
            return;
        }
        idle = runner.IsRunning() && Bar() == 0 && Label().empty();
        RECT d;
        GetWindowRect(dialog->Handle(), &d);
        centred = std::abs((d.left + d.right) / 2 - 400) <= 1 && std::abs((d.top + d.bottom) / 2 - 300) <= 1;
        pressed = true;
        PostMessageW(dialog->StopButton(), BM_CLICK, 0, 0);
    });
    DestroyWindow(owner);

    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Error while creating restore process!2.");
    EXPECT_EQ(boxes.boxes[0].caption, kProduct);
    EXPECT_EQ(boxes.boxes[0].Icon(), static_cast<UINT>(MB_ICONERROR));
    EXPECT_TRUE(idle);
    EXPECT_TRUE(centred);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.result, mrAbort);
    EXPECT_FALSE(runner.IsRunning());
}

} // namespace
} // namespace kestro
