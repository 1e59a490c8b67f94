#pragma once
// Writes one run's log into the destination folder from a thread of its own. The GUI thread only
// appends to a buffer, so a slow or failing destination never stalls the Scanning dialog; a
// failure to create or write the file (disk full, removed drive) simply ends the log. The file
// is written in the folder given and nowhere else: the destination is on another volume than
// the one being recovered, whereas the program's own folders usually are not.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kestro {

class RunLogWriter {
public:
    // Starts the thread, which creates folder\fileName (or "<name> (2).log" and so on when that
    // exists) and writes opening first. The file never grows beyond maxBytes.
    RunLogWriter(std::wstring folder, std::wstring fileName, std::string opening,
                 std::uint64_t maxBytes = kMaxFileBytes);
    // Finishes the log if Finish was not called, and waits a little for the thread; a thread
    // stuck on a slow destination is left to end by itself.
    ~RunLogWriter();
    RunLogWriter(const RunLogWriter&) = delete;
    RunLogWriter& operator=(const RunLogWriter&) = delete;

    void Append(std::string_view text);
    // The last text: the thread writes everything still held, closes the file and ends.
    void Finish(std::string_view closing);
    // Waits until the thread has ended (written all, or given up); false when it did not in time.
    bool WaitFinished(DWORD milliseconds);
    // The file's full path once created; empty before and when it could not be created.
    std::wstring Path() const;

    // What may wait in memory for a slow destination; beyond it, lines are counted and dropped.
    static constexpr std::size_t kMaxPending = 16u << 20;
    // The largest log file. A run of days on a big disk could otherwise fill the destination
    // with its log rather than with recovered files. The output stops short of it, so that a
    // note and the closing lines still fit.
    static constexpr std::uint64_t kMaxFileBytes = 64u << 20;
    static constexpr std::uint64_t kClosingRoom = 4096;

    // Shared with the thread, which may outlive the writer.
    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace kestro
