#pragma once
// The Win32 ends of the output interpreter: posting its events to a window, and reading the
// tool's 8-bit output.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "runner/progress_event.h"

namespace kestro {

// Posts each event as WM_PROCESSINFO (lParam: the record) to the window that the referenced
// handle names at the moment of posting. The receiving window frees a posted record; a record
// that cannot be posted is freed here.
class WindowPostSink final : public ProgressEventSink {
public:
    explicit WindowPostSink(const HWND& window) : window_(window) {}
    void Post(std::unique_ptr<ProgressEvent> info) override;

private:
    const HWND& window_;
};

// One line of the tool's 8-bit output as UTF-8: kept as it is when it is valid UTF-8, otherwise
// read in the OEM code page, which is what a console program writes.
std::string DecodeToolNarrowText(std::string_view bytes);

} // namespace kestro
