#pragma once
// ToolRunner: starts the recovery tool with its output redirected into a
// pipe, keeps one polling thread per run, reads and interprets the output on the
// GUI thread, and stops the tool on request.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kestro {

class ToolRunner {
public:
    ToolRunner();
    // Stops a tool that still runs.
    ~ToolRunner();
    ToolRunner(const ToolRunner&) = delete;
    ToolRunner& operator=(const ToolRunner&) = delete;

    // Set by the Scanning dialog before Start.
    std::uint8_t Running = 0;
    HWND Window = nullptr;
    std::string Arguments;

    // Starts "winfr " + Arguments (trailing blanks removed) and the polling thread.
    // Throws std::runtime_error whose message is a fixed text followed directly by
    // the system error number.
    void Start();
    // Ends the run when Running is set; otherwise nothing. Never throws.
    void Stop(std::uint32_t exitCode);

    // The program name searched for (tests point it elsewhere).
    void SetToolName(const std::string& name);

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

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// The full path of the program that a bare tool name stands for: searched in the application's
// folder, the system folder, the Windows folder and the absolute PATH folders, in that order, but
// never in the current directory. ".exe" is added to a name without an extension. Empty when
// nothing is found.
std::wstring FindToolProgram(const std::wstring& name);

} // namespace kestro
