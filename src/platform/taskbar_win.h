#pragma once
// Progress on the program's taskbar button. Windows code talks to the small TaskbarProgress
// interface; the system's implementation drives ITaskbarList3 once Explorer has announced the
// button, and tests put a recorder in its place (Wine has no real taskbar).
#include <windows.h>
#include <shobjidl.h>

#include <functional>

#include "platform/handles_win.h"

namespace kestro {

class TaskbarProgress {
public:
    virtual ~TaskbarProgress() = default;
    virtual void SetState(TBPFLAG state) = 0;
    // done out of total, as ITaskbarList3::SetProgressValue takes them.
    virtual void SetValue(ULONGLONG done, ULONGLONG total) = 0;
};

// The taskbar button of one top-level window. Calls made before the button exists are
// remembered and shown when it appears, so a run started early, or Explorer restarted in the
// middle of one, still shows its progress. The taskbar object is held only while there is
// progress to show: a COM object still held when the program ends would be released after
// CoUninitialize has unloaded its code.
class SystemTaskbar final : public TaskbarProgress {
public:
    // Makes the taskbar object; the default asks COM for CLSID_TaskbarList.
    using Factory = std::function<HRESULT(ITaskbarList3** taskbar)>;

    SystemTaskbar();
    explicit SystemTaskbar(Factory factory);

    void Attach(HWND window) noexcept { window_ = window; }
    HWND Window() const noexcept { return window_; }

    // The "TaskbarButtonCreated" message arrived: from now on a taskbar object can be made. One
    // held from before belongs to an Explorer that is gone; a run in progress is shown anew.
    void ButtonCreated() noexcept;
    bool ButtonExists() const noexcept { return buttonExists_; }
    // A taskbar object is held.
    bool Ready() const noexcept { return static_cast<bool>(taskbar_); }

    void SetState(TBPFLAG state) override;
    void SetValue(ULONGLONG done, ULONGLONG total) override;

private:
    bool EnsureTaskbar() noexcept;

    Factory factory_;
    HWND window_ = nullptr;
    ComPtr<ITaskbarList3> taskbar_;
    bool buttonExists_ = false;
    bool creationFailed_ = false;
    TBPFLAG state_ = TBPF_NOPROGRESS;
    bool hasValue_ = false;
    ULONGLONG done_ = 0;
    ULONGLONG total_ = 0;
};

// The taskbar button flashing to call a user who is elsewhere back to the program: until the
// program is in front again (FLASHW_TRAY | FLASHW_TIMERNOFG). Windows stops such flashing when the
// flashed window itself comes to the front; the window that carries the program's button never
// stays there (it hands the activation on, and a click on the main window passes it by), so the
// program stops it itself when it is in front again.
class TaskbarFlash {
public:
    void Start(HWND window) noexcept;
    void Stop() noexcept;
    bool Flashing() const noexcept { return window_ != nullptr; }

private:
    HWND window_ = nullptr;
};

// The window in front (the foreground window) is one of this program's.
bool ProgramInForeground() noexcept;

// The message Explorer sends to a top-level window once its taskbar button exists.
UINT TaskbarButtonCreatedMessage() noexcept;

// The program runs elevated and Explorer does not, so the integrity filter would drop Explorer's
// message; this lets it through to window. A no-op before Windows 7, which lacks the call.
void AllowTaskbarButtonCreated(HWND window) noexcept;

} // namespace kestro
