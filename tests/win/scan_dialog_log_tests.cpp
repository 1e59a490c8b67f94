// The log that every run of the Scanning dialog leaves beside the recovered files, under Wine with
// scripts of the winfr simulator (bin/winfr.exe).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/winstr_win.h"
#include "support/scan_dialog_fixture.h"

namespace kestro {
namespace {

using namespace testing_win;

class RunLogTest : public ScanDialogTest {
protected:
    ModalRun RunScript(const std::string& script) {
        const std::filesystem::path file = scripts.Path() / L"script.txt";
        WriteScript(file, script);
        SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", file.c_str());
        const ModalRun run = RunModal(*dialog, 15000);
        SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", nullptr);
        return run;
    }
    TempDir scripts{L"kestro-log-script"};
};

TEST_F(RunLogTest, EveryRunLeavesOneLogWithTheCommandLineAndEveryLineTheToolPrinted) {
    const ModalRun run = RunScript("line Windows File Recovery\n"
                                   "line Pass 1: Scanning and processing disk\n"
                                   "line Scanning disk: 50%\n"
                                   "line \xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE \xE5\x86\x99\xE7\x9C\x9F.jpg\n"
                                   "raw Scanning disk: 100%\n"
                                   "exit 0\n");
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(boxes.boxes.empty());
    const auto logs = LogsIn(destination.Path());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0], std::filesystem::path(dialog->LogPath()));
    const std::string name = Narrow(logs[0].filename().wstring());
    EXPECT_TRUE(name.starts_with("Kestro Refindor ") &&
                name.size() == std::string("Kestro Refindor 20261208_114156.log").size())
        << name;
    const std::string text = FileText(logs[0]);
    EXPECT_TRUE(text.starts_with("Kestro Refindor 2.0 - recovery log\r\n")) << text;
    EXPECT_NE(text.find("Destination: " + destination.Utf8() + "\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Command line: " + runner.CommandLine(Arguments()) + "\r\n"), std::string::npos) << text;
    // The tool that ran, by its full path: the simulator where Windows keeps winfr for the account.
    EXPECT_TRUE(Narrow(runner.ToolPath()).ends_with("\\Microsoft\\WindowsApps\\winfr.exe"))
        << Narrow(runner.ToolPath());
    EXPECT_NE(text.find("Tool: " + Narrow(runner.ToolPath()) + "\r\n"), std::string::npos) << text;
    std::size_t from = 0;
    for (const char* line :
         {"] Windows File Recovery\r\n", "] Pass 1: Scanning and processing disk\r\n", "] Scanning disk: 50%\r\n",
          "] \xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE \xE5\x86\x99\xE7\x9C\x9F.jpg\r\n", "] Scanning disk: 100%\r\n",
          "Ended: the tool finished (exit code 0)\r\n"}) {
        const std::size_t at = text.find(line, from);
        ASSERT_NE(at, std::string::npos) << line << " in order, in\n" << text;
        from = at;
    }
    EXPECT_NE(text.find("Ended at: "), std::string::npos);
}

TEST_F(RunLogTest, TheLogSaysHowTheRunEnded) {
    struct Case {
        const char* script;
        const char* ending;
    };
    const Case cases[] = {
        {"line Scanning disk: 10%\ncrash\n", "Ended: the tool crashed (exit code 0xC0000005)"},
        {"line Destination disk is full.\nhang\n", "Ended: the destination disk is full"},
        {"line Windows File Recovery requires admin privileges to run.\nexit 5\n",
         "Ended: the tool needs administrator rights"},
        {"line Scanning disk: 30%\nexit 1\n", "Ended: the tool stopped unexpectedly (exit code 0x00000001)"},
        {"line Scanning disk: 30%\nline Progress: 100%\nexit 1\n", "Ended: the tool finished (exit code 1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        for (const auto& old : LogsIn(destination.Path())) {
            std::filesystem::remove(old);
        }
        Remake();
        RunScript(c.script);
        const auto logs = LogsIn(destination.Path());
        ASSERT_EQ(logs.size(), 1u);
        EXPECT_NE(FileText(logs[0]).find(c.ending), std::string::npos) << FileText(logs[0]);
    }
    // Stopped from the dialog.
    for (const auto& old : LogsIn(destination.Path())) {
        std::filesystem::remove(old);
    }
    Remake();
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", L"hang");
    bool pressed = false;
    RunModal(*dialog, 15000, [&] {
        if (!pressed && Bar() >= 300) {
            pressed = true;
            PostMessageW(dialog->StopButton(), BM_CLICK, 0, 0);
        }
    });
    const auto logs = LogsIn(destination.Path());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(FileText(logs[0]).find("Ended: stopped before the tool finished"), std::string::npos);
}

// Progress redraws repeat a line thousands of times: it is written once, with its count.
TEST_F(RunLogTest, ARepeatedLineIsWrittenOnceWithItsCount) {
    std::string script = "line Pass 1: Scanning and processing disk\n";
    for (int i = 0; i < 5000; ++i) {
        script += "line Scanning disk: 10%\n";
    }
    script += "line Scanning disk: 11%\nexit 0\n";
    RunScript(script);
    const auto logs = LogsIn(destination.Path());
    ASSERT_EQ(logs.size(), 1u);
    const std::string text = FileText(logs[0]);
    std::size_t copies = 0;
    for (std::size_t at = text.find("Scanning disk: 10%"); at != std::string::npos;
         at = text.find("Scanning disk: 10%", at + 1)) {
        ++copies;
    }
    EXPECT_EQ(copies, 1u) << text;
    const std::size_t line = text.find("] Scanning disk: 10%\r\n");
    const std::size_t count = text.find("] (repeated 4999 times)\r\n");
    const std::size_t next = text.find("] Scanning disk: 11%\r\n");
    EXPECT_TRUE(line < count && count < next && next != std::string::npos) << text;
}

// The log goes into the destination or nowhere: a destination that cannot take it changes
// nothing about the run.
TEST_F(RunLogTest, ADestinationThatCannotTakeTheLogLeavesTheRunAsItWas) {
    const std::filesystem::path gone = destination.Path() / L"not-there";
    request.destination = Narrow(gone.wstring());
    Remake();
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", L"quick");
    const ModalRun run = RunModal(*dialog, 20000);
    EXPECT_FALSE(run.timedOut);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.starts_with("Quick scan completed.")) << boxes.boxes[0].text;
    EXPECT_TRUE(dialog->LogPath().empty());
    EXPECT_FALSE(std::filesystem::exists(gone));
}
} // namespace
} // namespace kestro
