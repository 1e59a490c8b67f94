#include "runner/window_sink_win.h"

#include <utility>

namespace kestro {

void DiscardProgressWakeups(HWND window) noexcept {
    if (window == nullptr) {
        return;
    }
    MSG msg;
    while (PeekMessageW(&msg, window, WM_PROGRESS_WAITING, WM_PROGRESS_WAITING, PM_REMOVE)) {
        delete reinterpret_cast<ProgressTicket*>(msg.lParam);
    }
}

WindowPostSink::WindowPostSink(const HWND& window)
    : window_(window), mailbox_(std::make_shared<ProgressMailbox>()) {}

void WindowPostSink::Post(std::unique_ptr<ProgressEvent> event) {
    HWND window = window_;
    if (!ReachableWindow(window)) {
        return;
    }
    if (mailbox_->Put(std::move(event))) {
        Wake(window);
    }
}

void WindowPostSink::StartRun() {
    // Tickets of the earlier run keep its mailbox alive until their window has taken or dropped it.
    mailbox_ = std::make_shared<ProgressMailbox>();
}

bool WindowPostSink::NeedsWake() const {
    return mailbox_->NeedsWake();
}

bool WindowPostSink::RetryWake() {
    if (!mailbox_->NeedsWake()) {
        return true;
    }
    HWND window = window_;
    if (!ReachableWindow(window)) {
        mailbox_->Clear();
        return true;
    }
    return Wake(window);
}

std::size_t WindowPostSink::MostWaiting() const {
    return mailbox_->MostWaiting();
}

void WindowPostSink::SetPoster(MessagePoster poster) {
    poster_ = std::move(poster);
}

// A null window would post to this thread's own queue, and a window of another process would
// receive an address that means nothing there.
bool WindowPostSink::ReachableWindow(HWND window) const {
    if (window == nullptr) {
        return false;
    }
    DWORD processId = 0;
    return GetWindowThreadProcessId(window, &processId) != 0 && processId == GetCurrentProcessId();
}

bool WindowPostSink::Wake(HWND window) {
    auto ticket = std::make_unique<ProgressTicket>(ProgressTicket{mailbox_});
    const LPARAM lParam = reinterpret_cast<LPARAM>(ticket.get());
    const BOOL posted = poster_ ? poster_(window, WM_PROGRESS_WAITING, 0, lParam)
                                : PostMessageW(window, WM_PROGRESS_WAITING, 0, lParam);
    if (!posted) {
        // A full queue (ERROR_NOT_ENOUGH_QUOTA): the events wait on, and the wake-up is tried again.
        mailbox_->WakeFailed();
        return false;
    }
    (void)ticket.release(); // the window owns it now
    return true;
}

} // namespace kestro
