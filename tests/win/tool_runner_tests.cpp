// Runs of the tool runner under Wine, with the winfr simulator (bin/winfr.exe) as the tool: one per
// kind of tool behaviour, output in mixed encodings and in floods against Windows' queue limit,
// and the command line the tool receives; and the pieces a run's output is read and logged with.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/winstr_win.h"
#include "runner/oem_text_win.h"
#include "runner/run_log_writer_win.h"
#include "support/event_delivery.h"
#include "support/tool_runner_fixture.h"

namespace kestro {
namespace {

using namespace testing_win;

std::string ReadUtf8OrUtf16(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::wstring wide((bytes.size() - 2) / 2, L'\0');
        std::memcpy(wide.data(), bytes.data() + 2, wide.size() * 2);
        return Narrow(wide);
    }
    return bytes;
}

// ---------------------------------------------------------------------------
// Whole runs, one per kind of tool behaviour.

struct ScenarioCase {
    const wchar_t* scenario;
    std::optional<EventKind> outcome; // an outcome the run must report
    bool progressSeen;                // told by the finished event
    const char* file;                 // part of a reported file name (nullptr: none)
    int totalFiles;                   // TotalFiles of the recovering events (0: not checked)
    std::uint32_t exitCode = 0;       // carried by the finished event
};

class ScenarioTest : public RunnerTest, public ::testing::WithParamInterface<ScenarioCase> {};

TEST_P(ScenarioTest, RunEndsWithOneFinishedEventAfterAllOutput) {
    const ScenarioCase& c = GetParam();
    EventWindow window;
    ASSERT_TRUE(RunToEnd(c.scenario, window));
    PumpUntil([] { return false; }, 100); // nothing may follow the finished event

    ASSERT_EQ(window.FinishedCount(), 1);
    EXPECT_EQ(window.events.back().kind, EventKind::Finished);
    EXPECT_EQ(window.events.back().progressSeen, c.progressSeen);
    EXPECT_EQ(window.events.back().exitCode, c.exitCode);
    if (c.outcome) {
        EXPECT_GE(window.Count(*c.outcome), 1) << "outcome " << static_cast<int>(*c.outcome);
    }
    if (c.file != nullptr) {
        EXPECT_TRUE(ReadLine(c.file)) << c.file;
    }
    if (c.totalFiles > 0) {
        const auto last = std::find_if(window.events.rbegin(), window.events.rend(),
                                       [](const ProgressEvent& e) { return e.totalFiles > 0; });
        ASSERT_NE(last, window.events.rend());
        EXPECT_EQ(last->totalFiles, c.totalFiles);
    }
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_EQ(runner.ProcessId(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, ScenarioTest,
    ::testing::Values(ScenarioCase{L"quick", EventKind::Completed, true, nullptr, 12},
                      ScenarioCase{L"deep", EventKind::Completed, true, nullptr, 2500},
                      ScenarioCase{L"nothing", EventKind::NothingFound, true, nullptr, 0},
                      ScenarioCase{L"admin", EventKind::NeedsAdmin, false, nullptr, 0, 5},
                      ScenarioCase{L"instant", std::nullopt, false, nullptr, 0},
                      ScenarioCase{L"crash", std::nullopt, true, nullptr, 0, 0xC0000005},
                      ScenarioCase{L"midcrash", std::nullopt, true, nullptr, 40, 0xC0000005},
                      ScenarioCase{L"unicode", EventKind::Completed, true,
                                   "\xD0\x94\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82\xD1\x8B\\"
                                   "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xD0\xBE \xD1\x80\xD0\xB0\xD0\xB1"
                                   "\xD0\xBE\xD1\x82\xD0\xB5.docx",
                                   5},
                      ScenarioCase{L"pieces", EventKind::Completed, true,
                                   "Photos\\\xF0\x9F\x98\x80\xF0\x9F\x98\x80"
                                   "\xF0\x9F\x98\x80.png",
                                   0},
                      ScenarioCase{L"ansi", EventKind::Completed, true, "Caf\xC3\xA9\\R\xC3\xA9sum\xC3\xA9.docx", 2}),
    [](const ::testing::TestParamInfo<ScenarioCase>& param) { return Narrow(param.param.scenario); });

// Through the real pipe: a run whose first line is not ASCII, with a line of 8-bit text among
// the UTF-16 ones; every line is read in its own encoding.
TEST_F(RunnerTest, OutputThatMixesEncodingsIsReadLineByLine) {
    const std::filesystem::path script = destination.Path() / L"mixed.txt";
    {
        std::ofstream out(script, std::ios::binary);
        out << "line \xD0\x92\xD0\xBE\xD1\x81\xD1\x81\xD1\x82\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xBB\xD0\xB5\xD0\xBD"
               "\xD0\xB8\xD0\xB5 \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB\xD0\xBE\xD0\xB2\n"
               "line \xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\n"
               "line Pass 1: Scanning and processing disk\n"
               "scan 0 50 50\n"
               "utf16 off\n"
               "line Scanning disk: 75%\n"
               "utf16 on\n"
               "scan 100 100\n"
               "line Pass 2: Recovering files\n"
               "total 1\n"
               "file \xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE\\\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82.docx\n"
               "utf16 off\n"
               "line Warning: one file skipped\n"
               "utf16 on\n"
               "line Progress: 100%\n";
    }
    SetEnv(L"WINFR_SIM_SCENARIO_FILE", script.wstring());
    EventWindow window;
    const bool finished = RunToEnd(L"quick", window);
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", nullptr);
    ASSERT_TRUE(finished);
    for (const char* line : {"Scanning disk: 50%", "Scanning disk: 75%", "Scanning disk: 100%"}) {
        EXPECT_TRUE(ReadLine(line)) << line << ": the 8-bit line among them";
    }
    EXPECT_TRUE(ReadLine("\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE\\\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82.docx"));
    EXPECT_TRUE(ReadLine("Warning: one file skipped"));
    EXPECT_EQ(runner.LastPermille(), 1000);
    EXPECT_EQ(window.Count(EventKind::Completed), 1) << "UTF-16 again after the 8-bit line";
}

TEST_F(RunnerTest, OutputFloodIsReadCompletelyBeforeTheFinishedEvent) {
    SetEnv(L"WINFR_SIM_FLOOD_LINES", L"20000");
    EventWindow window;
    ASSERT_TRUE(RunToEnd(L"flood", window));
    ASSERT_GE(window.events.size(), 2u);
    // "Progress: 100%" is the tool's last line: it arrives, and before the end.
    EXPECT_EQ(window.events[window.events.size() - 2].kind, EventKind::Completed);
    EXPECT_EQ(window.events.back().kind, EventKind::Finished);
    EXPECT_EQ(runner.LastPermille(), 1000);
}

TEST_F(RunnerTest, PromptWithoutLineEndActsWhileTheToolWaits) {
    // The tool asks "... or (a)bort: " and waits for an answer that never comes.
    EventWindow window;
    StartRun(L"diskfull", window);
    EXPECT_TRUE(PumpUntil([&] { return window.Count(EventKind::DestinationFull) > 0; }, 5000));
    EXPECT_EQ(window.Count(EventKind::AbortPrompt), 0) << "the full-disk prompt is one outcome, not two";
    EXPECT_TRUE(runner.IsRunning()) << "the tool is still waiting";
    runner.Stop();
}

// A flood interprets thousands of lines between two turns of the message loop. Windows would
// refuse posts beyond its queue limit (Wine never does), and a refused end of the run would leave
// the dialog open for good: the events wait in the runner's mailbox, and a handful of wake-ups
// reach the window.
TEST_F(RunnerTest, AFloodEndsRightWhereWindowsLimitsTheQueue) {
    SetEnv(L"WINFR_SIM_FLOOD_LINES", L"200000");
    testing_win::PostQuota quota(50);
    runner.SetMessagePoster(quota.Poster());
    EventWindow window;
    const bool ended = RunToEnd(L"flood", window);
    runner.SetMessagePoster(nullptr);
    ASSERT_TRUE(ended);
    EXPECT_EQ(quota.Refused(), 0u);
    EXPECT_LE(quota.MostWaiting(), 2u);
    EXPECT_LE(runner.MostEventsWaiting(), 64u);
    EXPECT_EQ(window.events.back().kind, EventKind::Finished);
    EXPECT_EQ(window.Count(EventKind::Completed), 1);
    const auto last = std::find_if(window.events.rbegin(), window.events.rend(),
                                   [](const ProgressEvent& e) { return e.totalFiles > 0; });
    ASSERT_NE(last, window.events.rend());
    EXPECT_EQ(last->filesRecovered, 200000);
    EXPECT_EQ(last->totalFiles, 200000);
}

// A queue that is full when the run ends: the wake-up is tried again until it gets through.
TEST_F(RunnerTest, ARefusedWakeUpIsTriedAgainUntilTheEndOfTheRunArrives) {
    int refusals = 0;
    runner.SetMessagePoster([&](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> BOOL {
        if (refusals < 5) {
            ++refusals;
            SetLastError(ERROR_NOT_ENOUGH_QUOTA);
            return FALSE;
        }
        return PostMessageW(hwnd, message, wParam, lParam);
    });
    EventWindow window;
    const bool ended = RunToEnd(L"quick", window);
    runner.SetMessagePoster(nullptr);
    ASSERT_TRUE(ended);
    EXPECT_EQ(refusals, 5);
    EXPECT_EQ(window.Count(EventKind::Completed), 1);
    EXPECT_EQ(window.FinishedCount(), 1);
    EXPECT_EQ(window.events.back().kind, EventKind::Finished);
}

struct CommandLineCase {
    const char* arguments;
    const char* commandLine;
};

class CommandLineTest : public RunnerTest, public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(CommandLineTest, ToolGetsWinfrAndTheArgumentsWithoutTrailingBlanks) {
    TempDir record(L"kestro-record");
    const std::filesystem::path file = record.Path() / L"command.txt";
    SetEnv(L"WINFR_SIM_RECORD", file.wstring());
    SetEnv(L"WINFR_SIM_SCENARIO", L"instant");
    EventWindow window;
    runner.Start(window.Handle(), GetParam().arguments);
    ASSERT_TRUE(PumpUntil([&] { return window.FinishedCount() > 0; }, kRunTimeoutMs));
    // The first line of the record is the command line as the tool received it.
    std::string recorded = ReadUtf8OrUtf16(file);
    recorded = recorded.substr(0, recorded.find('\n'));
    EXPECT_EQ(recorded, GetParam().commandLine);
}

INSTANTIATE_TEST_SUITE_P(Arguments, CommandLineTest,
                         ::testing::Values(CommandLineCase{"", "winfr"}, CommandLineCase{"   ", "winfr"},
                                           CommandLineCase{"C: E:\\out /regular ", "winfr C: E:\\out /regular"},
                                           CommandLineCase{"C: E:\\out \t\r\n ", "winfr C: E:\\out"},
                                           CommandLineCase{"C: \"E:\\\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 1\" ",
                                                           "winfr C: \"E:\\\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 "
                                                           "1\""}));

// A run of days on a big disk must not fill the destination with its log: the file stops at its
// limit (64 MB; a small one here), in whole lines, with a note and the closing lines.
TEST(RunLogWriter, TheFileStopsGrowingAtItsLimitWithANoteAndTheClosingLines) {
    TempDir folder(L"kestro-log-limit");
    constexpr std::uint64_t kLimit = 64 * 1024;
    std::wstring path;
    {
        RunLogWriter writer(folder.Path().wstring(), L"limit.log", "opening\r\n", kLimit);
        const std::string line = "[     1.0 s] Files recovered: 1, total files: 9, current filename: D:\\x.txt\r\n";
        for (int i = 0; i < 5000; ++i) {
            writer.Append(line);
        }
        writer.Finish("\r\nEnded: the tool finished (exit code 0)\r\n");
        ASSERT_TRUE(writer.WaitFinished(10000));
        path = writer.Path();
    }
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_LE(text.size(), kLimit);
    EXPECT_GT(text.size(), kLimit - RunLogWriter::kClosingRoom - 200);
    EXPECT_TRUE(text.ends_with("current filename: D:\\x.txt\r\n"
                               "[The lines that followed were not written: the log reached its limit of 64 KB]\r\n"
                               "\r\nEnded: the tool finished (exit code 0)\r\n"))
        << text.substr(text.size() - 300);
}

TEST(ToolNarrowText, KeepsUtf8AndReadsOtherBytesInTheOemCodePage) {
    EXPECT_EQ(DecodeToolNarrowText("Caf\xC3\xA9"), "Caf\xC3\xA9");
    EXPECT_EQ(DecodeToolNarrowText("plain"), "plain");
    // 0x82 is "é" in the OEM code pages of Western Windows (437, 850).
    const char oem[] = {'C', 'a', 'f', static_cast<char>(0x82)};
    wchar_t expected[2] = {};
    MultiByteToWideChar(CP_OEMCP, 0, oem + 3, 1, expected, 1);
    EXPECT_EQ(DecodeToolNarrowText(std::string_view(oem, 4)), "Caf" + Narrow(std::wstring_view(expected, 1)));
}

} // namespace
} // namespace kestro
