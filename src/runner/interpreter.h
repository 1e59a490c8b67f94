#pragma once
// Reads the tool's console output and turns the lines it recognises into progress events:
// scanning and recovering progress, the outcomes (nothing found, destination full, an abort
// prompt, missing rights, completed) and the finished event of a run.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "runner/decoder.h"
#include "runner/progress_event.h"

namespace kestro {

class OutputInterpreter : private LineReceiver {
public:
    explicit OutputInterpreter(ProgressEventSink& sink);

    // A new run: LastPermille and ProgressSeen back to 0, nothing carried from the last run.
    void Reset();

    // One read from the pipe. A failure while a piece is interpreted drops the lines that the
    // rest of this piece completes; the events already posted stay posted.
    void Feed(const unsigned char* bytes, std::size_t count) noexcept;

    // The pipe went quiet or the run ended: interpret the carried incomplete line now, so that
    // a prompt the tool writes without a line end still acts.
    void Flush() noexcept;

    // The finished event: whether the run ever reported progress, and the exit code of the tool's
    // process.
    void PostFinished(std::uint32_t exitCode = 0);

    std::int32_t LastPermille() const { return lastPermille_; }
    bool ProgressSeen() const { return progressSeen_; }

    // 8-bit output (not UTF-16LE) is turned into UTF-8 line by line with this; the default keeps
    // valid UTF-8 and reads other bytes as Windows-1252. The Win32 side installs the OEM code page.
    void SetNarrowDecoder(std::function<std::string(std::string_view)> decode);

    // Told every decoded line before it is interpreted (the run's log). A failing observer does
    // not keep the line from being interpreted.
    void SetLineObserver(std::function<void(std::string_view line)> observer);

private:
    void Line(std::string_view line) override;
    void Interpret(std::string_view line);
    void InterpretMessages(unsigned phrases);
    void InterpretScanning(std::string_view line);
    void InterpretRecovered(std::string_view line);
    void InterpretPercent(std::string_view line);
    void Post(ProgressEvent event);

    ProgressEventSink& sink_;
    std::function<void(std::string_view)> lineObserver_;
    OutputDecoder decoder_;
    std::int32_t lastPermille_ = 0;
    bool progressSeen_ = false;
    bool dropRestOfPiece_ = false;
};

// The text (already trimmed) read as a signed 32-bit integer: an optional sign, then decimal
// digits, or up to eight hexadecimal digits after "$", "x", "X", "0x" or "0X" taken as a 32-bit
// pattern. Anything else, a decimal value out of range and a longer hexadecimal value give 0.
std::int32_t WholeNumber(std::string_view text);

// The trimmed text between the last two "%" signs of line, or start when line holds fewer than two.
std::string_view LastPercentNumber(std::string_view line, std::string_view start);

} // namespace kestro
