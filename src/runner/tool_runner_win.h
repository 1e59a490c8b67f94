#pragma once
// ToolRunner: starts the recovery tool with its output redirected into a pipe, keeps one polling
// thread per run, reads and interprets the output on the GUI thread, and stops the tool on request.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

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
    // start fails: Stop is what ends it. Throws std::runtime_error whose message is a fixed text
    // followed directly by the system error number.
    void Start(HWND notify, std::string arguments);
    // Ends the run, stopping a tool that still runs; nothing when no run is running. Never throws.
    void Stop() noexcept;
    bool IsRunning() const noexcept;
    // The window the running run's events go to; null when none runs.
    HWND NotifyWindow() const noexcept;

    // The program name searched for (tests point it elsewhere).
    void SetToolName(const std::string& name);
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
