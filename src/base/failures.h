#pragma once
// Failures that the program deliberately swallows are still recorded. A window procedure, a thread
// or a destructor must not let a failure escape, and the user is better served when the run goes
// on; but whoever looks into a problem later needs to know where it happened and what it was.
#include <functional>
#include <string>
#include <string_view>

namespace kestro {

// Records the failure being handled, with where names the place ("ScanDialog::OnProgressEvent").
// Call it inside the catch block that swallows the failure.
void SwallowedFailure(std::string_view where) noexcept;

// Where the records go: the debugger's output (the Windows side sets it once) and, while a run is
// on, the run's log. Either may be empty. A listener runs on the thread that swallowed the
// failure, must not throw, and is never entered again by a failure inside itself.
using FailureListener = std::function<void(const std::string& record)>;
void SetFailureDebugOutput(FailureListener listener);
void SetFailureRunLog(FailureListener listener);

// The record of one failure: "failure ignored in <where>: <what>".
std::string SwallowedFailureRecord(std::string_view where, std::string_view what);

} // namespace kestro
