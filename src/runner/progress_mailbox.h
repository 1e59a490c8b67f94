#pragma once
// The events of a run on their way from the output interpreter to the window that shows them.
// Windows refuses a posted message once a thread's queue holds 10,000 of them, and a flood of
// output interprets thousands of lines between two turns of the message loop. So the events wait
// here rather than in the message queue: one posted message wakes the window, which then takes
// the events one by one, oldest first. While they wait, moves of the bar merge into one, so only
// a few ever wait; what the window shows, in what order, and how the run ends are the same as if
// each event had been delivered on its own. Portable; shared between threads under a lock.
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

#include "runner/progress_event.h"

namespace kestro {

class ProgressMailbox {
public:
    // Leaves the event to wait. True when the window must be woken for it: it has not been woken
    // since it last took an event.
    bool Put(std::unique_ptr<ProgressEvent> event);
    // The oldest waiting event; null when none waits. The next Put wakes the window again.
    std::unique_ptr<ProgressEvent> Take();
    // The wake-up could not be delivered: the next Put, or a retry, must wake the window again.
    void WakeFailed();
    // Whether events wait that no delivered wake-up announces.
    bool NeedsWake() const;
    // Nothing waits any more (the window is gone).
    void Clear();

    std::size_t Waiting() const;
    // The most that ever waited at once.
    std::size_t MostWaiting() const;

private:
    mutable std::mutex mutex_;
    std::deque<std::unique_ptr<ProgressEvent>> events_;
    bool woken_ = false;
    std::size_t mostWaiting_ = 0;
};

// Whether later can be folded into earlier, which waits before it, without changing what the
// window shows: both only move the bar or name the pass, and they name no two different passes.
bool CanMerge(const ProgressEvent& earlier, const ProgressEvent& later);
// earlier becomes the one event that says what earlier and then later say.
void Merge(ProgressEvent& earlier, const ProgressEvent& later);

} // namespace kestro
