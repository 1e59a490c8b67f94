#include "runner/progress_mailbox.h"

#include <algorithm>
#include <utility>

namespace kestro {

bool CanMerge(const ProgressEvent& earlier, const ProgressEvent& later) {
    if (earlier.kind != EventKind::Progress || later.kind != EventKind::Progress) {
        return false;
    }
    // A change of pass starts the time-left estimate and the status line anew: the pass shown
    // before it must have been shown.
    return !(earlier.pass && later.pass && *earlier.pass != *later.pass);
}

void Merge(ProgressEvent& earlier, const ProgressEvent& later) {
    if (later.position) {
        earlier.position = later.position;
    }
    if (later.pass) {
        earlier.pass = later.pass;
    }
    // The counts and the file of the recovering pass are the latest ones; the folder the files
    // go to is the same for every file of a run.
    if (later.totalFiles > 0) {
        earlier.currentFile = later.currentFile;
        earlier.totalFiles = later.totalFiles;
        earlier.filesRecovered = later.filesRecovered;
    }
}

bool ProgressMailbox::Put(std::unique_ptr<ProgressEvent> event) {
    if (!event) {
        return false;
    }
    std::lock_guard lock(mutex_);
    if (!events_.empty() && CanMerge(*events_.back(), *event)) {
        Merge(*events_.back(), *event);
    } else {
        events_.push_back(std::move(event));
        mostWaiting_ = std::max(mostWaiting_, events_.size());
    }
    return !std::exchange(woken_, true);
}

std::unique_ptr<ProgressEvent> ProgressMailbox::Take() {
    std::lock_guard lock(mutex_);
    // Whatever arrives from now on needs a wake-up of its own: handling this event may open a
    // message box, whose loop must see the events that follow it, as it would posted messages.
    woken_ = false;
    if (events_.empty()) {
        return nullptr;
    }
    std::unique_ptr<ProgressEvent> event = std::move(events_.front());
    events_.pop_front();
    return event;
}

void ProgressMailbox::WakeFailed() {
    std::lock_guard lock(mutex_);
    woken_ = false;
}

bool ProgressMailbox::NeedsWake() const {
    std::lock_guard lock(mutex_);
    return !woken_ && !events_.empty();
}

void ProgressMailbox::Clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
    woken_ = false;
}

std::size_t ProgressMailbox::Waiting() const {
    std::lock_guard lock(mutex_);
    return events_.size();
}

std::size_t ProgressMailbox::MostWaiting() const {
    std::lock_guard lock(mutex_);
    return mostWaiting_;
}

} // namespace kestro
