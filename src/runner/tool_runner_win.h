#pragma once
// ToolRunner: starts the recovery tool with its output redirected into a pipe, keeps one polling
// thread per run, reads and interprets the output on the GUI thread, and stops the tool on request.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "runner/tool_launch_win.h"
#include "runner/window_sink_win.h"

namespace kestro {


class ToolRunner {
public:
    ToolRunner();
    // Stops a tool that still runs.
    ~ToolRunner();
    ToolRunner(const ToolRunner&) = delete;
    ToolRunner& operator=(const ToolRunner&) = delete;

    // Starts "winfr " + arguments (trailing blanks removed) and the polling thread; the output's
    // events are posted to notify. The run counts as running from here until Stop, also when the
    // start fails: Stop is what ends it. Throws SystemError: which step failed, and the system's
    // error number.
    void Start(HWND notify, const std::string& arguments);
    // Ends the run, stopping a tool that still runs; nothing when no run is running. Never throws.
    void Stop() noexcept;
    bool IsRunning() const noexcept;
    // The window the running run's events go to; null when none runs.
    HWND NotifyWindow() const noexcept;

    // The program name searched for where Windows puts winfr (tests point it elsewhere).
    void SetToolName(const std::string& name);
    // The full path of the tool that the last Start ran; empty before, and when none was found.
    std::wstring ToolPath() const;
    // Why the tool of the last Start could not be put into the job that ends it with the program
    // (a system error number); nothing when it is in one.
    std::optional<DWORD> JobError() const;
    // The command line Start forms from these arguments.
    std::string CommandLine(const std::string& arguments) const;
    // Whether Start would find the tool, searched exactly as Start searches for it.
    bool ToolFound() const;

    // Told every line of the tool's output as decoded, without its line end, as the runner reads
    // it (on the GUI thread). Null: nobody.
    void SetLineObserver(std::function<void(std::string_view line)> observer);

    // Told true when a tool process starts running and false when the runner lets go of it
    // (stopped, or ended by itself). Called on the GUI thread; it must not start or stop runs.
    void SetToolObserver(std::function<void(bool running)> observer);

    // Null restores the system's calls; the launcher must outlive the runner's use of it.
    void SetLauncher(ToolLauncher* launcher);
    // How the events' wake-ups are posted (tests enforce the queue limit of Windows); null
    // restores PostMessageW.
    void SetMessagePoster(MessagePoster poster);
    // The most events that waited at once for the window in the last run.
    std::size_t MostEventsWaiting() const;

    // Per-run state of the output interpreter.
    std::int32_t LastPermille() const;
    bool ProgressSeen() const;
    // Id of the tool's process while one is held; 0 otherwise.
    DWORD ProcessId() const;

    // Polling threads of all runners that have not yet ended (leak checks wait for 0).
    static int LivePollingThreads();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace kestro
