#pragma once
// The text of the log that every run leaves beside the recovered files, for support questions
// and second attempts: what was asked, everything the tool said, and how the run ended. The
// log is written for whoever helps the user, so it stays in English like the tool's own output.
#include <cstdint>
#include <string>
#include <string_view>

namespace kestro {

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// "Kestro Refindor 20261208_114156.log".
std::string RunLogFileName(const LocalTime& started);

enum class RunEnding {
    Finished,      // the tool ended by itself
    StoppedByUser, // Stop, the close box, or the program closing
    DiskFull,      // the destination filled up
    NeedsAdmin,    // the tool lacked administrator rights
    AbortPrompt,   // the tool asked whether to abort, and the run was stopped
    Crashed,       // the tool died with an NTSTATUS error code
};

struct RunLogHeader {
    std::string programVersion;
    std::string sourceDrive;
    std::string fileSystem;
    std::string destination;
    std::string commandLine;
    LocalTime started;
};

// The opening lines, up to and including the blank line before the tool's output.
std::string RunLogOpening(const RunLogHeader& header);

// One line of the tool's output, with its offset from the start in seconds:
// "[   12.3 s] Scanning disk: 12%". Line ends and other control characters inside the line
// are shown as blanks, so every output line is one line of the log.
std::string RunLogOutputLine(std::uint64_t millisecondsSinceStart, std::string_view line);

// The closing lines: how the run ended (with the exit code where it tells something) and when.
std::string RunLogClosing(RunEnding ending, std::uint32_t exitCode, const LocalTime& ended);

} // namespace kestro
