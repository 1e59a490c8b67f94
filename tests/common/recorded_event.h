#pragma once
// A progress event as the tests compare and print it, and its one-line text form, which the golden
// transcripts use (tests/data/transcripts/README.md):
//   progress|450|scanning           the bar to 45.0 %, the status line names the scanning pass
//   progress|500                    the bar alone
//   progress|250|recovering|4|E:\x  the recovering pass: the bar, the total and the file just recovered
//   progress|-|recovering|100|c     the same without a move of the bar
//   pass-started|recovering         a pass begins (the bar back at 0)
//   nothing-found, destination-full, abort-prompt, needs-admin, completed
//   finished / finished|no-progress the tool's end, after progress or without any
#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "runner/progress_event.h"

namespace kestro::testing {

struct RecordedEvent {
    EventKind kind = EventKind::Progress;
    std::optional<std::int32_t> position;
    std::optional<RunPass> pass;
    std::string currentFile;
    std::int32_t totalFiles = 0;
    bool progressSeen = false; // finished events only
    bool operator==(const RecordedEvent&) const = default;
};

inline RecordedEvent Record(const ProgressEvent& e) {
    RecordedEvent r{e.kind, e.position, e.pass, e.currentFile.str(), e.totalFiles, false};
    if (e.kind == EventKind::Finished) {
        r.progressSeen = e.progressSeen;
    }
    if (e.kind != EventKind::Progress && e.kind != EventKind::PassStarted) {
        r.position.reset();
    }
    return r;
}

// The expected events, written as the dialog reads them.
inline RecordedEvent Progress(std::int32_t position) {
    return {EventKind::Progress, position, std::nullopt, {}, 0, false};
}
inline RecordedEvent Scanning(std::int32_t position) {
    return {EventKind::Progress, position, RunPass::Scanning, {}, 0, false};
}
inline RecordedEvent Recovering(std::optional<std::int32_t> position, std::string file, std::int32_t total) {
    return {EventKind::Progress, position, RunPass::Recovering, std::move(file), total, false};
}
inline RecordedEvent RecoveringPassStarted() {
    return {EventKind::PassStarted, kBarEmpty, RunPass::Recovering, {}, 0, false};
}
inline RecordedEvent Saying(EventKind kind) { return {kind, std::nullopt, std::nullopt, {}, 0, false}; }
inline RecordedEvent Finished(bool progressSeen) {
    return {EventKind::Finished, std::nullopt, std::nullopt, {}, 0, progressSeen};
}

inline const char* KindName(EventKind kind) {
    switch (kind) {
    case EventKind::Progress:
        return "progress";
    case EventKind::PassStarted:
        return "pass-started";
    case EventKind::NothingFound:
        return "nothing-found";
    case EventKind::DestinationFull:
        return "destination-full";
    case EventKind::AbortPrompt:
        return "abort-prompt";
    case EventKind::NeedsAdmin:
        return "needs-admin";
    case EventKind::Completed:
        return "completed";
    case EventKind::Finished:
        return "finished";
    }
    return "unknown";
}

inline const char* PassName(RunPass pass) { return pass == RunPass::Scanning ? "scanning" : "recovering"; }

inline std::string ToText(const RecordedEvent& e) {
    std::string text = KindName(e.kind);
    if (e.kind == EventKind::Finished) {
        return e.progressSeen ? text : text + "|no-progress";
    }
    if (e.kind == EventKind::PassStarted) {
        return text + "|" + (e.pass ? PassName(*e.pass) : "-");
    }
    if (e.kind != EventKind::Progress) {
        return text;
    }
    text += "|" + (e.position ? std::to_string(*e.position) : std::string("-"));
    if (e.pass) {
        text += "|" + std::string(PassName(*e.pass));
    }
    if (e.totalFiles != 0 || !e.currentFile.empty()) {
        text += "|" + std::to_string(e.totalFiles) + "|" + e.currentFile;
    }
    return text;
}

inline std::ostream& operator<<(std::ostream& os, const RecordedEvent& e) { return os << ToText(e); }

// The fields of a line of the text form: at most five, the last taking any further '|'.
inline std::vector<std::string> RecordedFields(std::string_view text) {
    std::vector<std::string> fields(1);
    for (const char c : text) {
        if (c == '|' && fields.size() < 5) {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    return fields;
}

// A progress event from its fields (the kind's included); nothing when they make none.
inline std::optional<RecordedEvent> ProgressOfFields(const std::vector<std::string>& fields) {
    if (fields.size() < 2 || fields.size() == 4) {
        return std::nullopt;
    }
    RecordedEvent e = Saying(EventKind::Progress);
    if (fields[1] != "-") {
        e.position = std::stoi(fields[1]);
    }
    if (fields.size() >= 3) {
        if (fields[2] != "scanning" && fields[2] != "recovering") {
            return std::nullopt;
        }
        e.pass = fields[2] == "scanning" ? RunPass::Scanning : RunPass::Recovering;
    }
    if (fields.size() == 5) {
        e.totalFiles = std::stoi(fields[3]);
        e.currentFile = fields[4];
    }
    return e;
}

// The event a line of the text form stands for; throws std::runtime_error for anything else.
inline RecordedEvent ParseRecordedEvent(std::string_view text) {
    const std::vector<std::string> fields = RecordedFields(text);
    const auto fail = [&]() -> RecordedEvent { throw std::runtime_error("not an event: " + std::string(text)); };
    for (int k = static_cast<int>(EventKind::Progress); k <= static_cast<int>(EventKind::Finished); ++k) {
        const auto kind = static_cast<EventKind>(k);
        if (fields[0] != KindName(kind)) {
            continue;
        }
        if (kind == EventKind::Finished) {
            RecordedEvent e = Saying(kind);
            e.progressSeen = fields.size() == 1;
            return fields.size() == 1 || fields[1] == "no-progress" ? e : fail();
        }
        if (kind == EventKind::PassStarted) {
            return fields.size() == 2 && fields[1] == "recovering" ? RecoveringPassStarted() : fail();
        }
        if (kind != EventKind::Progress) {
            return fields.size() == 1 ? Saying(kind) : fail();
        }
        const std::optional<RecordedEvent> progress = ProgressOfFields(fields);
        return progress ? *progress : fail();
    }
    return fail();
}

} // namespace kestro::testing
