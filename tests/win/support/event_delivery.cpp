#include "support/event_delivery.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace kestro::testing_win {

namespace {

PostQuota* activeQuota = nullptr;

std::unique_ptr<ProgressTicket> TicketFor(std::vector<ProgressEvent> events) {
    auto ticket = std::make_unique<ProgressTicket>(ProgressTicket{std::make_shared<ProgressMailbox>()});
    for (ProgressEvent& event : events) {
        ticket->mailbox->Put(std::make_unique<ProgressEvent>(std::move(event)));
    }
    return ticket;
}

} // namespace

void SendEvents(HWND window, std::vector<ProgressEvent> events) {
    SendMessageW(window, WM_PROGRESS_WAITING, 0, reinterpret_cast<LPARAM>(TicketFor(std::move(events)).release()));
}

bool PostEvents(HWND window, std::vector<ProgressEvent> events) {
    auto ticket = TicketFor(std::move(events));
    if (!PostMessageW(window, WM_PROGRESS_WAITING, 0, reinterpret_cast<LPARAM>(ticket.get()))) {
        return false;
    }
    ticket.release();
    return true;
}

PostQuota::PostQuota(std::size_t limit) : limit_(limit) {
    activeQuota = this;
    hook_ = SetWindowsHookExW(WH_GETMESSAGE, &PostQuota::Retrieved, nullptr, GetCurrentThreadId());
}

PostQuota::~PostQuota() {
    if (hook_ != nullptr) {
        UnhookWindowsHookEx(hook_);
    }
    activeQuota = nullptr;
}

MessagePoster PostQuota::Poster() {
    return [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        return Post(window, message, wParam, lParam);
    };
}

BOOL PostQuota::Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (waiting_.size() >= limit_) {
        ++refused_;
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return FALSE;
    }
    if (!PostMessageW(window, message, wParam, lParam)) {
        return FALSE;
    }
    ++posted_;
    waiting_.emplace(window, message, wParam, lParam);
    mostWaiting_ = std::max(mostWaiting_, waiting_.size());
    return TRUE;
}

LRESULT CALLBACK PostQuota::Retrieved(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE && activeQuota != nullptr) {
        const MSG& msg = *reinterpret_cast<const MSG*>(lParam);
        auto& waiting = activeQuota->waiting_;
        const auto it = waiting.find({msg.hwnd, msg.message, msg.wParam, msg.lParam});
        if (it != waiting.end()) {
            waiting.erase(it);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace kestro::testing_win
