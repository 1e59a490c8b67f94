#include "runner/run_log.h"

#include <utility>

#include "base/exit_codes.h"

namespace kestro {

namespace {

constexpr char kLineEnd[] = "\r\n"; // Notepad on every Windows reads it

std::string TwoDigits(int value) {
    return (value >= 0 && value < 10 ? "0" : "") + std::to_string(value);
}

std::string DateTimeText(const LocalTime& t) {
    return std::to_string(t.year) + "-" + TwoDigits(t.month) + "-" + TwoDigits(t.day) + " " + TwoDigits(t.hour) + ":" +
           TwoDigits(t.minute) + ":" + TwoDigits(t.second);
}

std::string EndingText(RunEnding ending, std::uint32_t exitCode) {
    switch (ending) {
    case RunEnding::Finished:
        return "the tool finished (exit code " + std::to_string(exitCode) + ")";
    case RunEnding::StoppedByUser:
        return "stopped before the tool finished";
    case RunEnding::DiskFull:
        return "the destination disk is full";
    case RunEnding::NeedsAdmin:
        return "the tool needs administrator rights";
    case RunEnding::AbortPrompt:
        return "the tool asked whether to abort; the run was stopped";
    case RunEnding::Crashed:
        return "the tool crashed (exit code 0x" + HexExitCode(exitCode) + ")";
    case RunEnding::Failed:
        return "the tool stopped unexpectedly (exit code 0x" + HexExitCode(exitCode) + ")";
    case RunEnding::SessionEnded:
        return "stopped because Windows was shutting down or the user was logging off";
    }
    return "unknown";
}

// Whoever reads the log later sees what the switches asked for without looking them up.
std::string OptionsText(const ToolOptions& options) {
    std::string text;
    const auto add = [&text](const char* words) { text += (text.empty() ? "" : ", ") + std::string(words); };
    if (options.undeletedFiles) {
        add("recover undeleted files too (/u)");
    }
    if (options.systemFiles) {
        add("recover system files (/k)");
    }
    if (options.noPrimaryStream) {
        add("recover files without their primary data stream (/g)");
    }
    switch (options.overwrite) {
    case Overwrite::KeepBoth:
        add("keep both when a recovered file exists (/o:b)");
        break;
    case Overwrite::Never:
        add("never overwrite an existing file (/o:n)");
        break;
    case Overwrite::Always:
        add("always overwrite an existing file (/o:a)");
        break;
    }
    return options == ToolOptions{} ? text + " (the defaults)" : text;
}

} // namespace

std::string RunLogFileName(const LocalTime& started) {
    return "Kestro Refindor " + std::to_string(started.year) + TwoDigits(started.month) + TwoDigits(started.day) + "_" +
           TwoDigits(started.hour) + TwoDigits(started.minute) + TwoDigits(started.second) + ".log";
}

std::string RunLogOpening(const RunLogHeader& header) {
    std::string text = "Kestro Refindor " + header.programVersion + " - recovery log" + kLineEnd;
    text += "Source drive: " + header.sourceDrive + " (" + header.fileSystem + ")" + kLineEnd;
    text += "Destination: " + header.destination + kLineEnd;
    text += "Command line: " + header.commandLine + kLineEnd;
    text += "Options: " + OptionsText(header.options) + kLineEnd;
    text += "Tool: " + header.toolPath + kLineEnd;
    if (header.jobError) {
        text += "Note: the tool could not be tied to this program (system error " + std::to_string(*header.jobError) +
                "); it may go on running if the program is ended by force." + kLineEnd;
    }
    text += "Started: " + DateTimeText(header.started) + kLineEnd;
    text += kLineEnd;
    return text;
}

std::string RunLogOutputLine(std::uint64_t millisecondsSinceStart, std::string_view line) {
    std::string seconds = std::to_string(millisecondsSinceStart / 1000);
    if (seconds.size() < 6) {
        seconds.insert(0, 6 - seconds.size(), ' ');
    }
    std::string text = "[" + seconds + "." + std::to_string(millisecondsSinceStart % 1000 / 100) + " s] ";
    text.reserve(text.size() + line.size() + 2);
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        text += (byte < 0x20 || byte == 0x7F) ? ' ' : c;
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    text += kLineEnd;
    return text;
}

std::string RepeatedLines::Next(std::uint64_t millisecondsSinceStart, std::string_view line) {
    if (any_ && line == last_) {
        ++repeats_;
        lastMilliseconds_ = millisecondsSinceStart;
        return {};
    }
    std::string text = Flush();
    text += RunLogOutputLine(millisecondsSinceStart, line);
    last_.assign(line);
    any_ = true;
    lastMilliseconds_ = millisecondsSinceStart;
    return text;
}

std::string RepeatedLines::Flush() {
    if (repeats_ == 0) {
        return {};
    }
    const std::uint64_t repeats = std::exchange(repeats_, 0);
    const std::string note = "(repeated " + std::to_string(repeats) + (repeats == 1 ? " time)" : " times)");
    return RunLogOutputLine(lastMilliseconds_, note);
}

std::string RunLogClosing(RunEnding ending, std::uint32_t exitCode, const LocalTime& ended) {
    return std::string(kLineEnd) + "Ended: " + EndingText(ending, exitCode) + kLineEnd +
           "Ended at: " + DateTimeText(ended) + kLineEnd;
}

} // namespace kestro
