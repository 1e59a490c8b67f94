#pragma once
// The polling thread of one run, and the synchronous calls it makes onto the GUI thread.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "platform/handles_win.h"
#include "platform/messages_win.h"

namespace kestro {

// What the GUI thread answers a polling thread's call (WM_RUNNER_CALL to the runner's call window).
constexpr LRESULT kCallDone = 1;
constexpr LRESULT kCallRefused = 2;
constexpr LRESULT kCallFailed = 3;
// How long the thread waits on the tool while its pipe is quiet.
constexpr DWORD kPollWaitMs = 200;

// What the polling thread and the runner share. It outlives the runner: a thread that is still
// ending after its runner is gone reads only this.
struct PollState {
    std::atomic<bool> stop{false};
};

enum class CallKind { ReadChunk, Flush, Finish };

// One synchronous call from a polling thread. It lives on the polling thread's stack while the GUI
// thread runs it.
struct CallRequest {
    CallKind kind;
    unsigned run;
    DWORD available;
};

// The thread of one run. It peeks at and waits on its own duplicates of the pipe and the process
// handle, so Stop may close the runner's handles at any moment; everything else it asks of the GUI
// thread, tagged with its run, through the runner's call window.
class PollingThread {
public:
    PollingThread(std::shared_ptr<PollState> state, HWND calls, unsigned run, UniqueHandle pipe, UniqueHandle process)
        : state_(std::move(state)), calls_(calls), run_(run), pipe_(std::move(pipe)), process_(std::move(process)) {}

    void Run() noexcept;

    // Threads that have not yet ended; Starting before a thread is made, Ended when it could not be.
    static int Live() noexcept;
    static void Starting() noexcept;
    static void Ended() noexcept;

private:
    bool Call(CallKind kind, DWORD available) noexcept;
    bool Poll(bool& ok) noexcept;
    void Drain() noexcept;

    std::shared_ptr<PollState> state_;
    HWND calls_;
    unsigned run_;
    UniqueHandle pipe_;
    UniqueHandle process_;
};

} // namespace kestro
