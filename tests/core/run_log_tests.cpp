#include "runner/run_log.h"

#include <gtest/gtest.h>

using namespace kestro;

namespace {
constexpr LocalTime kStarted{2026, 12, 8, 9, 5, 7};
}

TEST(RunLog, IsNamedAfterItsStartWithLeadingZeros) {
    EXPECT_EQ(RunLogFileName(kStarted), "Kestro Refindor 20261208_090507.log");
    EXPECT_EQ(RunLogFileName({2031, 1, 31, 23, 59, 59}), "Kestro Refindor 20310131_235959.log");
}

TEST(RunLog, OpensWithWhatWasAskedAndWhen) {
    RunLogHeader header;
    header.programVersion = "2.0";
    header.sourceDrive = "C:";
    header.fileSystem = "NTFS";
    header.destination = "D:\\Спасение";
    header.commandLine = "winfr C: \"D:\\Спасение\" /regular /o:b /a /e:*.mm1 ";
    header.toolPath = "C:\\Users\\Ана\\AppData\\Local\\Microsoft\\WindowsApps\\winfr.exe";
    header.started = kStarted;
    const std::string opening = "Kestro Refindor 2.0 - recovery log\r\n"
                                "Source drive: C: (NTFS)\r\n"
                                "Destination: D:\\Спасение\r\n"
                                "Command line: winfr C: \"D:\\Спасение\" /regular /o:b /a /e:*.mm1 \r\n"
                                "Options: keep both when a recovered file exists (/o:b) (the defaults)\r\n"
                                "Tool: C:\\Users\\Ана\\AppData\\Local\\Microsoft\\WindowsApps\\winfr.exe\r\n";
    EXPECT_EQ(RunLogOpening(header), opening + "Started: 2026-12-08 09:05:07\r\n\r\n");
    // A tool outside the job that ends it with the program is worth knowing about afterwards.
    header.jobError = 5;
    EXPECT_EQ(RunLogOpening(header), opening +
                                         "Note: the tool could not be tied to this program (system error 5); it may go "
                                         "on running if the program is ended by force.\r\n"
                                         "Started: 2026-12-08 09:05:07\r\n\r\n");
}

// The tool's own switches in words, beside the command line that carries them.
TEST(RunLog, TellsTheChosenToolOptionsInWords) {
    struct Case {
        ToolOptions options;
        const char* line;
    };
    const Case cases[] = {
        {{.overwrite = Overwrite::Never}, "Options: never overwrite an existing file (/o:n)\r\n"},
        {{.overwrite = Overwrite::Always}, "Options: always overwrite an existing file (/o:a)\r\n"},
        {{.systemFiles = true},
         "Options: recover system files (/k), keep both when a recovered file exists (/o:b)\r\n"},
        {{true, true, true, Overwrite::Never},
         "Options: recover undeleted files too (/u), recover system files (/k), recover files without their "
         "primary data stream (/g), never overwrite an existing file (/o:n)\r\n"},
    };
    for (const auto& c : cases) {
        RunLogHeader header;
        header.options = c.options;
        const std::string opening = RunLogOpening(header);
        EXPECT_NE(opening.find("\r\n" + std::string(c.line)), std::string::npos) << opening;
        EXPECT_EQ(opening.find("(the defaults)"), std::string::npos) << opening;
    }
}

TEST(RunLog, EachOutputLineIsOneLogLineWithItsOffset) {
    EXPECT_EQ(RunLogOutputLine(0, "Windows File Recovery"), "[     0.0 s] Windows File Recovery\r\n");
    EXPECT_EQ(RunLogOutputLine(12345, "Scanning disk: 12%"), "[    12.3 s] Scanning disk: 12%\r\n");
    EXPECT_EQ(RunLogOutputLine(3600999, "x"), "[  3600.9 s] x\r\n");
    // A redrawn progress line or a stray line end inside stays on its line.
    EXPECT_EQ(RunLogOutputLine(1000, "a\rb\nc\td\x7f"), "[     1.0 s] a b c d\r\n");
    EXPECT_EQ(RunLogOutputLine(1000, ""), "[     1.0 s]\r\n");
    EXPECT_EQ(RunLogOutputLine(1000, "Фото 写真.jpg"), "[     1.0 s] Фото 写真.jpg\r\n");
}

TEST(RunLog, ARepeatedLineIsWrittenOnceWithItsCount) {
    RepeatedLines lines;
    std::string log = lines.Next(0, "Pass 1: Scanning and processing disk");
    for (std::uint64_t i = 0; i < 5000; ++i) {
        log += lines.Next(1000 + i, "Scanning disk: 10%");
    }
    log += lines.Next(7000, "Scanning disk: 11%");
    log += lines.Next(7100, "Scanning disk: 11%");
    log += lines.Flush();
    log += lines.Flush();
    EXPECT_EQ(log, "[     0.0 s] Pass 1: Scanning and processing disk\r\n"
                   "[     1.0 s] Scanning disk: 10%\r\n"
                   "[     5.9 s] (repeated 4999 times)\r\n"
                   "[     7.0 s] Scanning disk: 11%\r\n"
                   "[     7.1 s] (repeated 1 time)\r\n");
    // An empty first line is a line like any other.
    RepeatedLines blank;
    EXPECT_EQ(blank.Next(0, ""), "[     0.0 s]\r\n");
    EXPECT_EQ(blank.Next(0, ""), "");
    EXPECT_EQ(blank.Flush(), "[     0.0 s] (repeated 1 time)\r\n");
}

TEST(RunLog, ClosesWithHowTheRunEnded) {
    const LocalTime ended{2026, 12, 8, 10, 0, 0};
    const std::string at = "Ended at: 2026-12-08 10:00:00\r\n";
    EXPECT_EQ(RunLogClosing(RunEnding::Finished, 0, ended), "\r\nEnded: the tool finished (exit code 0)\r\n" + at);
    EXPECT_EQ(RunLogClosing(RunEnding::StoppedByUser, 1, ended),
              "\r\nEnded: stopped before the tool finished\r\n" + at);
    EXPECT_EQ(RunLogClosing(RunEnding::DiskFull, 0, ended), "\r\nEnded: the destination disk is full\r\n" + at);
    EXPECT_EQ(RunLogClosing(RunEnding::NeedsAdmin, 5, ended),
              "\r\nEnded: the tool needs administrator rights\r\n" + at);
    EXPECT_EQ(RunLogClosing(RunEnding::AbortPrompt, 0, ended),
              "\r\nEnded: the tool asked whether to abort; the run was stopped\r\n" + at);
    EXPECT_EQ(RunLogClosing(RunEnding::Crashed, 0xC0000005, ended),
              "\r\nEnded: the tool crashed (exit code 0xC0000005)\r\n" + at);
    EXPECT_EQ(RunLogClosing(RunEnding::Failed, 1, ended),
              "\r\nEnded: the tool stopped unexpectedly (exit code 0x00000001)\r\n" + at);
    EXPECT_EQ(RunLogClosing(RunEnding::SessionEnded, 0, ended),
              "\r\nEnded: stopped because Windows was shutting down or the user was logging off\r\n" + at);
}
