#pragma once
// The events that the output interpreter sends to the Scanning dialog: each says one thing the
// tool's output told about the run. Portable: on the Win32 side they wait in a mailbox for the
// window that shows them (window_sink_win.h).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

namespace kestro {

// The bar's range, in tenths of a percent.
constexpr std::int32_t kBarEmpty = 0;
constexpr std::int32_t kBarFull = 1000;

// The two passes of a run; the status line names the one under way.
enum class RunPass { Scanning, Recovering };

enum class EventKind {
    Progress,        // the bar moves, and the status line may name the pass
    PassStarted,     // a pass begins: the status line names it and the bar starts again at 0
    NothingFound,    // the tool found nothing with this mode
    DestinationFull, // the tool asks what to do about the full destination disk
    AbortPrompt,     // the tool asks whether to abort (a file exists, ...)
    NeedsAdmin,      // the tool lacks administrator rights
    Completed,       // the tool reports all of its work done
    Finished,        // the tool's process has ended: the last event of a run
};

// A file name carried by an event. Its characters are kept in the record itself up to a length
// that holds nearly every path the tool prints, so that the record is the one allocation of an
// event; a longer one takes a block of its own.
class EventText {
public:
    static constexpr std::size_t kRoom = 256;

    EventText() = default;
    EventText(std::string_view text) { assign(text); }
    EventText(const EventText& other) { assign(other.view()); }
    EventText(EventText&& other) noexcept : size_(other.size_), long_(std::move(other.long_)) {
        if (size_ <= kRoom) {
            std::copy(other.room_, other.room_ + size_, room_);
        }
    }
    EventText& operator=(const EventText& other) {
        if (this != &other) {
            assign(other.view());
        }
        return *this;
    }
    EventText& operator=(EventText&& other) noexcept {
        if (this != &other) {
            size_ = other.size_;
            long_ = std::move(other.long_);
            if (size_ <= kRoom) {
                std::copy(other.room_, other.room_ + size_, room_);
            }
        }
        return *this;
    }
    EventText& operator=(std::string_view text) {
        assign(text);
        return *this;
    }
    ~EventText() = default;

    EventText& assign(std::string_view text) {
        if (text.size() <= kRoom) {
            long_.clear();
            long_.shrink_to_fit();
            std::copy(text.begin(), text.end(), room_);
        } else {
            long_.assign(text);
        }
        size_ = text.size();
        return *this;
    }
    EventText& assign(std::size_t count, char c) { return assign(std::string(count, c)); }

    std::string_view view() const { return size_ <= kRoom ? std::string_view(room_, size_) : std::string_view(long_); }
    operator std::string_view() const { return view(); }
    std::string str() const { return std::string(view()); }
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }

    friend bool operator==(const EventText& a, std::string_view b) { return a.view() == b; }
    friend std::ostream& operator<<(std::ostream& out, const EventText& text) { return out << text.view(); }

private:
    std::size_t size_ = 0;
    char room_[kRoom]; // the first size_ are the text when it fits
    std::string long_;
};

struct ProgressEvent {
    EventKind kind = EventKind::Progress;
    // Progress, PassStarted: where the bar goes (kBarEmpty to kBarFull); nothing leaves it as it is.
    std::optional<std::int32_t> position;
    // Progress, PassStarted: the pass the status line names; nothing leaves the status line as it is.
    std::optional<RunPass> pass;
    // Progress in the recovering pass: the file just recovered, with the files so far out of the
    // total (totalFiles is 0 in every other event).
    EventText currentFile;
    std::int32_t totalFiles = 0;
    std::int32_t filesRecovered = 0;
    // Finished: whether the run ever reported progress, and how the tool's process ended.
    bool progressSeen = false;
    std::uint32_t exitCode = 0;

    static ProgressEvent Progress(std::optional<std::int32_t> position, std::optional<RunPass> pass = std::nullopt) {
        ProgressEvent event;
        event.position = position;
        event.pass = pass;
        return event;
    }
    static ProgressEvent PassStarted(RunPass pass) {
        ProgressEvent event = Progress(kBarEmpty, pass);
        event.kind = EventKind::PassStarted;
        return event;
    }
    // An event that says no more than its kind (the tool's messages and prompts).
    static ProgressEvent Of(EventKind kind) {
        ProgressEvent event;
        event.kind = kind;
        return event;
    }
    static ProgressEvent Finished(bool progressSeen, std::uint32_t exitCode) {
        ProgressEvent event = Of(EventKind::Finished);
        event.progressSeen = progressSeen;
        event.exitCode = exitCode;
        return event;
    }
};

// Where events go. Ownership of the record passes with the call.
class ProgressEventSink {
public:
    virtual ~ProgressEventSink() = default;
    virtual void Post(std::unique_ptr<ProgressEvent> event) = 0;
};

} // namespace kestro
