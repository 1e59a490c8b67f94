#include "base/failures.h"

#include <exception>
#include <mutex>
#include <utility>

namespace kestro {

namespace {

struct Listeners {
    std::mutex mutex;
    FailureListener debugOutput;
    FailureListener runLog;
};

Listeners& TheListeners() {
    static Listeners listeners;
    return listeners;
}

// A failure while a record is being written is not recorded again: that way lies recursion.
thread_local bool recording = false;

// What the failure being handled is, as far as it tells.
std::string CurrentFailure() {
    const std::exception_ptr failure = std::current_exception();
    if (!failure) {
        return "no failure being handled";
    }
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "a failure of no known kind";
    }
}

} // namespace

std::string SwallowedFailureRecord(std::string_view where, std::string_view what) {
    std::string record = "failure ignored in ";
    record.append(where);
    record += ": ";
    record.append(what);
    return record;
}

void SwallowedFailure(std::string_view where) noexcept {
    if (recording) {
        return;
    }
    recording = true;
    try {
        const std::string record = SwallowedFailureRecord(where, CurrentFailure());
        Listeners& listeners = TheListeners();
        std::lock_guard lock(listeners.mutex);
        if (listeners.debugOutput) {
            listeners.debugOutput(record);
        }
        if (listeners.runLog) {
            listeners.runLog(record);
        }
    } catch (...) {
        // Out of memory for the record itself: nothing more can be told.
    }
    recording = false;
}

void SetFailureDebugOutput(FailureListener listener) {
    Listeners& listeners = TheListeners();
    std::lock_guard lock(listeners.mutex);
    listeners.debugOutput = std::move(listener);
}

void SetFailureRunLog(FailureListener listener) {
    Listeners& listeners = TheListeners();
    std::lock_guard lock(listeners.mutex);
    listeners.runLog = std::move(listener);
}

} // namespace kestro
