#include "platform/taskbar_win.h"

#include <utility>

#include "base/failures.h"
#include "platform/message_filter_win.h"
#include "platform/optional_api_win.h"

namespace kestro {

namespace {

HRESULT CreateSystemTaskbar(ITaskbarList3** taskbar) {
    return CreateComInstance(CLSID_TaskbarList, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                             reinterpret_cast<void**>(taskbar));
}

} // namespace

SystemTaskbar::SystemTaskbar() : factory_(&CreateSystemTaskbar) {}

SystemTaskbar::SystemTaskbar(Factory factory) : factory_(std::move(factory)) {}

bool SystemTaskbar::EnsureTaskbar() noexcept {
    if (taskbar_) {
        return true;
    }
    // Before Windows 7 there is no ITaskbarList3; one failure per button is enough to know.
    if (!buttonExists_ || creationFailed_ || window_ == nullptr || !factory_) {
        return false;
    }
    try {
        ComPtr<ITaskbarList3> created;
        if (SUCCEEDED(factory_(created.Put())) && created && SUCCEEDED(created->HrInit())) {
            taskbar_ = std::move(created);
            return true;
        }
    } catch (...) {
        // Without a taskbar object the progress is simply not shown there.
        SwallowedFailure("SystemTaskbar::Create");
    }
    creationFailed_ = true;
    return false;
}

void SystemTaskbar::ButtonCreated() noexcept {
    taskbar_.Reset();
    buttonExists_ = true;
    creationFailed_ = false;
    if (state_ == TBPF_NOPROGRESS || !EnsureTaskbar()) {
        return;
    }
    // A value moves a button without progress to the normal state, so it goes first and the
    // state (error, say) after it.
    if (hasValue_) {
        taskbar_->SetProgressValue(window_, done_, total_);
    }
    taskbar_->SetProgressState(window_, state_);
}

void SystemTaskbar::SetState(TBPFLAG state) {
    state_ = state;
    if (state == TBPF_NOPROGRESS) {
        hasValue_ = false;
        if (taskbar_) {
            taskbar_->SetProgressState(window_, state);
            taskbar_.Reset();
        }
        return;
    }
    if (EnsureTaskbar()) {
        taskbar_->SetProgressState(window_, state);
    }
}

void SystemTaskbar::SetValue(ULONGLONG done, ULONGLONG total) {
    // The taskbar leaves the no-progress state on a value; what is remembered does the same.
    if (state_ == TBPF_NOPROGRESS || state_ == TBPF_INDETERMINATE) {
        state_ = TBPF_NORMAL;
    }
    hasValue_ = true;
    done_ = done;
    total_ = total;
    if (EnsureTaskbar()) {
        taskbar_->SetProgressValue(window_, done, total);
    }
}

UINT TaskbarButtonCreatedMessage() noexcept {
    static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
    return message;
}

void AllowTaskbarButtonCreated(HWND window) noexcept {
    const UINT message = TaskbarButtonCreatedMessage();
    if (message != 0) {
        AllowMessageFrom(window, message);
    }
}

} // namespace kestro
