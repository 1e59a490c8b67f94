#pragma once
// Progress events delivered to a window as the runner delivers them, and a message poster that
// enforces the post limit of Windows' message queues.
#include <windows.h>

#include <cstddef>
#include <set>
#include <tuple>
#include <vector>

#include "runner/progress_event.h"
#include "runner/window_sink_win.h"

namespace kestro::testing_win {

// The events wait in a mailbox of their own and one wake-up tells the window: sent, they are
// handled before this returns; posted, when the window's thread next takes its messages (false
// when the post failed).
void SendEvents(HWND window, std::vector<ProgressEvent> events);
bool PostEvents(HWND window, std::vector<ProgressEvent> events);

// Windows refuses PostMessage with ERROR_NOT_ENOUGH_QUOTA once a thread's queue holds 10,000
// posted messages; Wine posts without any limit, so a pass under Wine alone says nothing about
// it. This poster posts as PostMessageW does, but refuses, as Windows would, once limit of the
// messages it posted wait in this thread's queue (a smaller limit than Windows' makes the rule
// bite sooner). It sees messages leave the queue through a WH_GETMESSAGE hook on this thread.
// One at a time.
class PostQuota {
public:
    explicit PostQuota(std::size_t limit);
    ~PostQuota();
    PostQuota(const PostQuota&) = delete;
    PostQuota& operator=(const PostQuota&) = delete;

    MessagePoster Poster();
    std::size_t Waiting() const { return waiting_.size(); }
    std::size_t MostWaiting() const { return mostWaiting_; }
    std::size_t Refused() const { return refused_; }
    std::size_t Posted() const { return posted_; }

private:
    static LRESULT CALLBACK Retrieved(int code, WPARAM wParam, LPARAM lParam);
    BOOL Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::size_t limit_;
    HHOOK hook_ = nullptr;
    std::multiset<std::tuple<HWND, UINT, WPARAM, LPARAM>> waiting_;
    std::size_t mostWaiting_ = 0;
    std::size_t refused_ = 0;
    std::size_t posted_ = 0;
};

} // namespace kestro::testing_win
