#include "runner/polling_thread_win.h"

#include <algorithm>

namespace kestro {

namespace {
std::atomic<int> livePollingThreads{0};
}

int PollingThread::Live() noexcept {
    return livePollingThreads.load();
}

void PollingThread::Starting() noexcept {
    ++livePollingThreads;
}

void PollingThread::Ended() noexcept {
    --livePollingThreads;
}

bool PollingThread::Call(CallKind kind, DWORD available) noexcept {
    CallRequest request{kind, run_, available};
    return SendMessageW(calls_, WM_RUNNER_CALL, 0, reinterpret_cast<LPARAM>(&request)) == kCallDone;
}

// One look at the pipe: true when output was waiting; ok turns false when the GUI thread did not
// read it.
bool PollingThread::Poll(bool& ok) noexcept {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe_.Get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) {
        return false;
    }
    ok = Call(CallKind::ReadChunk, available);
    return true;
}

// The tool has ended: what it left in the pipe is read, then the GUI thread finishes the run.
void PollingThread::Drain() noexcept {
    bool ok = true;
    while (Poll(ok) && ok) {
    }
    if (ok && !state_->stop.load()) {
        Call(CallKind::Finish, 0);
    }
}

void PollingThread::Run() noexcept {
    // The tool blocks as soon as the pipe's buffer is full, so while it writes, the thread looks
    // again after a short wait, lengthened step by step to the full wait once the pipe stays quiet.
    DWORD waitMs = 1;
    DWORD quietMs = 0;
    bool flushed = true;
    for (;;) {
        bool ok = true;
        if (Poll(ok)) {
            if (!ok) {
                break;
            }
            waitMs = 1;
            quietMs = 0;
            flushed = false;
            continue;
        }
        if (state_->stop.load()) {
            break;
        }
        // Quiet for a whole wait: hand over a line the tool left without its end (a prompt).
        if (!flushed && quietMs >= kPollWaitMs) {
            if (!Call(CallKind::Flush, 0)) {
                break;
            }
            flushed = true;
        }
        const DWORD waited = WaitForSingleObject(process_.Get(), waitMs);
        if (waited == WAIT_OBJECT_0) {
            // The tool is gone: whatever became of Finish, there is nothing left to watch.
            Drain();
            break;
        }
        if (waited != WAIT_TIMEOUT) {
            Sleep(kPollWaitMs); // a failed wait must not turn into a busy loop
        }
        quietMs += waitMs;
        waitMs = std::min<DWORD>(waitMs * 2, kPollWaitMs);
    }
    pipe_.Reset();
    process_.Reset();
    Ended();
}

} // namespace kestro
