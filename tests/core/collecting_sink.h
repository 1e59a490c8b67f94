#pragma once
// The sink the output interpreter's tests hand it: it keeps every event in the readable form with
// its exit code, and can fail a chosen post as a window that has gone would.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "common/recorded_event.h"
#include "runner/interpreter.h"

namespace kestro::testing {

using Events = std::vector<RecordedEvent>;

class CollectingSink : public ProgressEventSink {
public:
    Events events;
    std::vector<std::uint32_t> exitCodes; // of each event
    int throwOnPost = -1;                 // index of the post that fails, or -1
    int posts = 0;
    void Post(std::unique_ptr<ProgressEvent> event) override {
        if (posts++ == throwOnPost) {
            throw std::runtime_error("window gone");
        }
        events.push_back(Record(*event));
        exitCodes.push_back(event->exitCode);
    }
};

} // namespace kestro::testing
