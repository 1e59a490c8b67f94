#pragma once
// The computer kept awake while a recovery runs: a deep scan of a whole disk takes hours, people
// leave the computer meanwhile, and sleep would suspend the tool in the middle of it. The display
// may still turn off.
#include <windows.h>

namespace kestro {

// Windows keeps one execution state per thread, and only that thread changes it: the request and
// its release must come from the same thread (the GUI thread), or the request outlives the run.
class KeepAwake {
public:
    KeepAwake() = default;
    // A request still held is released.
    ~KeepAwake();
    KeepAwake(const KeepAwake&) = delete;
    KeepAwake& operator=(const KeepAwake&) = delete;

    // Asks the system to stay awake (ES_CONTINUOUS | ES_SYSTEM_REQUIRED), or lets it sleep again
    // (ES_CONTINUOUS alone). Asking twice for the same is asked once.
    void Hold(bool awake) noexcept;
    bool Held() const noexcept { return held_; }

private:
    bool held_ = false;
};

} // namespace kestro
