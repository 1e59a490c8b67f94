#pragma once
// The output interpreter's events, delivered to a window through a mailbox.
#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>

#include "platform/messages_win.h"
#include "runner/progress_event.h"
#include "runner/progress_mailbox.h"

namespace kestro {

struct ProgressTicket {
    std::shared_ptr<ProgressMailbox> mailbox;
};

// Hands the events that the ticket in lParam stands for to handle(const ProgressEvent&), oldest
// first, and frees the ticket. handle may pump messages (a message box): the events after the one
// it handles then reach the window through the next wake-up, in their order.
template <class Handler> void TakeProgressEvents(LPARAM lParam, Handler&& handle) {
    const std::unique_ptr<ProgressTicket> ticket(reinterpret_cast<ProgressTicket*>(lParam));
    if (!ticket || !ticket->mailbox) {
        return;
    }
    while (std::unique_ptr<ProgressEvent> event = ticket->mailbox->Take()) {
        handle(*event);
    }
}

// Frees the tickets of wake-ups still queued for window, which will never handle them.
void DiscardProgressWakeups(HWND window) noexcept;

// Posts a message as PostMessageW does, with its result; tests put a double in its place that
// enforces the post limit of Windows' message queues.
using MessagePoster = std::function<BOOL(HWND window, UINT message, WPARAM wParam, LPARAM lParam)>;

// Leaves each event in the run's mailbox and wakes the window that the referenced handle names
// at that moment. Events for no window, or for a window of another process (the address would
// mean nothing there), are freed here.
class WindowPostSink final : public ProgressEventSink {
public:
    explicit WindowPostSink(const HWND& window);
    void Post(std::unique_ptr<ProgressEvent> event) override;

    // A new run: its events wait in a mailbox of their own, so none of an earlier run reaches it.
    void StartRun();
    // Whether a wake-up was refused and events wait unannounced.
    bool NeedsWake() const;
    // Tries the refused wake-up again. True when nothing is left to do: the window was woken, or
    // it is gone.
    bool RetryWake();
    // The most events that waited at once in this run's mailbox.
    std::size_t MostWaiting() const;

    // Null restores PostMessageW.
    void SetPoster(MessagePoster poster);

private:
    bool ReachableWindow(HWND window) const;
    bool Wake(HWND window);

    const HWND& window_;
    std::shared_ptr<ProgressMailbox> mailbox_;
    MessagePoster poster_;
};

} // namespace kestro
