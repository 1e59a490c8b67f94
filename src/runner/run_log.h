#pragma once
// The text of the log that every run leaves beside the recovered files, for support questions
// and second attempts: what was asked, everything the tool said, and how the run ended. The
// log is written for whoever helps the user, so it stays in English like the tool's own output.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "job/tool_options.h"

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
    Failed,        // the tool ended with another error code before it reported an outcome
    SessionEnded,  // Windows was shutting down, or the user was logging off
};

struct RunLogHeader {
    std::string programVersion;
    std::string sourceDrive;
    std::string fileSystem;
    std::string destination;
    std::string commandLine;
    ToolOptions options; // the tool's own switches, in words beside the command line
    std::string toolPath; // the program file that was started
    // Why the tool could not be tied to the program's job (a system error number); nothing when it was.
    std::optional<std::uint32_t> jobError;
    LocalTime started;
};

// The opening lines, up to and including the blank line before the tool's output.
std::string RunLogOpening(const RunLogHeader& header);

// One line of the tool's output, with its offset from the start in seconds:
// "[   12.3 s] Scanning disk: 12%". Line ends and other control characters inside the line
// are shown as blanks, so every output line is one line of the log.
std::string RunLogOutputLine(std::uint64_t millisecondsSinceStart, std::string_view line);

// Progress redraws print the same line again and again. A line equal to the one before it is
// counted instead of written; the count follows as "(repeated N times)" when another line comes,
// and at the end.
class RepeatedLines {
public:
    // The log text for one more line of output: the line itself, after the count of the line
    // before it when that one repeated; empty while the line repeats.
    std::string Next(std::uint64_t millisecondsSinceStart, std::string_view line);
    // The count of repeats not yet written; empty when there are none.
    std::string Flush();

private:
    std::string last_;
    bool any_ = false;
    std::uint64_t repeats_ = 0;
    std::uint64_t lastMilliseconds_ = 0;
};

// The closing lines: how the run ended (with the exit code where it tells something) and when.
std::string RunLogClosing(RunEnding ending, std::uint32_t exitCode, const LocalTime& ended);

} // namespace kestro
