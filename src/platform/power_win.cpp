#include "platform/power_win.h"

#include "platform/optional_api_win.h"

namespace kestro {

KeepAwake::~KeepAwake() {
    Hold(false);
}

// A request the system refuses leaves nothing to release; the run goes on all the same.
void KeepAwake::Hold(bool awake) noexcept {
    if (awake == held_) {
        return;
    }
    const auto setState = SetThreadExecutionStateFn();
    if (setState == nullptr) {
        return;
    }
    const EXECUTION_STATE flags = awake ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS;
    if (setState(flags) != 0 || !awake) {
        held_ = awake;
    }
}

} // namespace kestro
