#pragma once
// The events that the output interpreter sends to the Scanning dialog. Portable: the Win32 side
// turns each Post into a WM_PROCESSINFO message whose lParam carries the record.
#include <cstdint>
#include <memory>
#include <string>

namespace kestro {

constexpr unsigned WM_PROCESSINFO = 0x3603;

enum ProcessCode : int {
    pcProgress = 0,
    pcDiskFull = 1,
    pcAbortPrompt = 3,
    pcNothingFound = 4,
    pcNeedsAdmin = 5,
    pcCompleted = 6,
    pcNoProgress = 8
};

// Position values with a meaning of their own.
constexpr std::int32_t kPositionUnchanged = -1;
constexpr std::int32_t kPositionFull = 1000;
constexpr std::int32_t kPositionFinished = 2000;

struct ProgressEvent {
    std::int32_t Position = 0; // tenths of a percent; -1 bar unchanged; 2000 finished
    std::string Caption;       // UTF-8; empty leaves the label unchanged
    std::int32_t Code = 0;
    std::string CurrentFile; // UTF-8
    std::int32_t TotalFiles = 0;
    std::int32_t FilesRecovered = 0; // files recovered so far, given with TotalFiles
    std::uint32_t ExitCode = 0;      // the finished event: how the tool's process ended
};

// Where events go. Ownership of the record passes with the call.
class ProgressEventSink {
public:
    virtual ~ProgressEventSink() = default;
    virtual void Post(std::unique_ptr<ProgressEvent> info) = 0;
};

} // namespace kestro
