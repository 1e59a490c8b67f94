#pragma once
// The output interpreter's events posted to a window.
#include <windows.h>

#include <memory>

#include "runner/progress_event.h"

namespace kestro {

// Posts each event as WM_PROCESSINFO (lParam: the record) to the window that the referenced
// handle names at the moment of posting. The receiving window frees a posted record; a record
// that cannot be posted is freed here.
class WindowPostSink final : public ProgressEventSink {
public:
    explicit WindowPostSink(const HWND& window) : window_(window) {}
    void Post(std::unique_ptr<ProgressEvent> event) override;

private:
    const HWND& window_;
};

} // namespace kestro
