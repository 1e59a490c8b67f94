#include "runner/tool_runner_win.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "base/failures.h"
#include "base/system_error.h"
#include "base/texts.h"
#include "job/cmdline.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/winstr_win.h"
#include "runner/interpreter.h"
#include "runner/oem_text_win.h"
#include "runner/polling_thread_win.h"
#include "runner/tool_launch_win.h"
#include "runner/window_sink_win.h"
#include "ui/application_win.h"
#include "ui/window_win.h"

namespace kestro {

namespace {

constexpr wchar_t kCallWindowClass[] = L"KestroRunnerCalls";
// While a wake-up of the event window is refused (its queue is full), it is tried again this often.
constexpr UINT_PTR kWakeRetryTimer = 1;
constexpr UINT kWakeRetryMs = 50;
// The pipe holds this much of the tool's output: while the GUI thread is busy (painting, a box
// open) the tool writes on instead of waiting, and a flood of output is read in a few large
// pieces rather than in many small ones, each of which costs a call onto the GUI thread.
constexpr DWORD kPipeBytes = 64 * 1024;

[[noreturn]] void RaiseError(TextId text, DWORD error) {
    throw SystemError(text, error);
}

UniqueHandle DuplicateForThread(HANDLE source) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), source, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return UniqueHandle();
    }
    return UniqueHandle(copy);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) noexcept {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    try {
        reinterpret_cast<std::vector<std::pair<HWND, DWORD>>*>(list)->emplace_back(window, processId);
    } catch (...) {
        // Out of memory while listing: the windows listed so far are asked to close.
        SwallowedFailure("CollectWindow");
        return FALSE;
    }
    return TRUE;
}

} // namespace

struct ToolRunner::Impl {
    Impl() { interpreter.SetNarrowDecoder(&DecodeToolNarrowText); }
    ~Impl();

    // The message-only window through which polling threads call onto the GUI thread.
    class CallWindow final : public kestro::Window {
    public:
        explicit CallWindow(Impl& impl) : impl_(&impl) {
            CreateWindowFor(kCallWindowClass, 0, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr);
        }
        void Detach() noexcept { impl_ = nullptr; }

    protected:
        LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
            if (msg == WM_RUNNER_CALL) {
                auto* request = reinterpret_cast<CallRequest*>(lParam);
                return impl_ != nullptr && request != nullptr ? impl_->Serve(*request) : kCallRefused;
            }
            if (msg == WM_TIMER && wParam == kWakeRetryTimer) {
                if (impl_ != nullptr) {
                    impl_->RetryWake();
                } else {
                    KillTimer(Handle(), kWakeRetryTimer);
                }
                return 0;
            }
            return Default(msg, wParam, lParam);
        }

    private:
        Impl* impl_;
    };

    LRESULT Serve(CallRequest& request) noexcept;
    void WakeLater() noexcept;
    void RetryWake() noexcept;
    void EndLeftoverRun() noexcept;
    void CreateOutputPipe();
    void CloseOutputPipe() noexcept;
    UniqueHandle LaunchTool(const std::string& arguments);
    void CreateSuspendedInJob(const std::wstring& program, std::wstring& commandLine);
    void StartPolling(UniqueHandle threadPipe);
    void AbandonStart() noexcept;
    void ReadChunk(DWORD available);
    void Finish();
    void Stop() noexcept;
    void EndRun();
    void CloseToolWindows() const;
    void ReleaseProcess() noexcept;
    void TellObserver(bool running) noexcept;

    bool running = false;
    HWND notify = nullptr; // kept after the run ends: the finished event goes there
    UniqueHandle readPipe;
    UniqueHandle writePipe;
    UniqueHandle process;
    UniqueHandle processThread;
    UniqueHandle job; // holds the tool's process; closing it ends whatever still runs in it
    std::function<void(bool)> toolObserver;
    bool toolRunningTold = false;
    DWORD processId = 0;
    DWORD threadId = 0;
    std::shared_ptr<PollState> pollState;
    std::string toolName = "winfr";
    std::wstring toolPath;
    std::optional<DWORD> jobError;
    ToolLauncher* launcher = &SystemToolLauncher();
    unsigned currentRun = 0; // tag of the run the GUI thread serves; 0 between runs
    unsigned lastRun = 0;
    WindowPostSink sink{notify};
    OutputInterpreter interpreter{sink};
    std::unique_ptr<CallWindow> calls;
};

ToolRunner::Impl::~Impl() {
    if (pollState) {
        pollState->stop = true;
    }
    if (calls) {
        // A call still on its way finds no runner behind the window, and one sent after this
        // fails because the window is gone.
        calls->Detach();
        calls.reset();
    }
}

LRESULT ToolRunner::Impl::Serve(CallRequest& request) noexcept {
    // A thread of an earlier run, or one whose run was stopped, must not touch this run.
    if (request.run == 0 || request.run != currentRun || !running) {
        return kCallRefused;
    }
    try {
        switch (request.kind) {
        case CallKind::ReadChunk:
            ReadChunk(request.available);
            break;
        case CallKind::Flush:
            interpreter.Flush();
            break;
        case CallKind::Finish:
            Finish();
            break;
        }
        WakeLater();
        return kCallDone;
    } catch (...) {
        // The polling thread learns that the call failed and ends; the run stays until Stop.
        SwallowedFailure("ToolRunner::Serve");
    }
    return kCallFailed;
}

// A refused wake-up must not leave the events, the run's end among them, waiting for good.
void ToolRunner::Impl::WakeLater() noexcept {
    if (sink.NeedsWake() && calls) {
        SetTimer(calls->Handle(), kWakeRetryTimer, kWakeRetryMs, nullptr);
    }
}

void ToolRunner::Impl::RetryWake() noexcept {
    try {
        if (sink.RetryWake() && calls) {
            KillTimer(calls->Handle(), kWakeRetryTimer);
        }
    } catch (...) {
        SwallowedFailure("ToolRunner::RetryWake");
    }
}

// A tool that an earlier Start left running would otherwise be out of reach for good.
void ToolRunner::Impl::EndLeftoverRun() noexcept {
    if (process || pollState || readPipe) {
        try {
            EndRun();
        } catch (...) {
            SwallowedFailure("ToolRunner::EndLeftoverRun");
        }
    }
    pollState.reset();
}

void ToolRunner::Impl::CreateOutputPipe() {
    // Neither end is inheritable as made: the tool must never hold the read end, or the program
    // could not tell that the tool has gone. Only the write end becomes inheritable, below.
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = FALSE;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &attributes, kPipeBytes)) {
        RaiseError(IDS_PIPE_CREATE_ERROR, GetLastError());
    }
    readPipe.Reset(readEnd);
    writePipe.Reset(writeEnd);
    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), writePipe.Get(), GetCurrentProcess(), &duplicate, 0, TRUE,
                         DUPLICATE_CLOSE_SOURCE | DUPLICATE_SAME_ACCESS)) {
        const DWORD error = GetLastError();
        // With DUPLICATE_CLOSE_SOURCE the source is closed even when the call fails.
        writePipe.Release();
        RaiseError(IDS_PIPE_DUPLICATE_ERROR, error);
    }
    writePipe.Release(); // closed by the duplication
    writePipe.Reset(duplicate);
}

void ToolRunner::Impl::CloseOutputPipe() noexcept {
    readPipe.Reset();
    writePipe.Reset();
}

// Starts the tool and lets it run. Returns the polling thread's duplicate of the pipe's read end,
// made before the tool starts and not inheritable, so the tool never holds it.
UniqueHandle ToolRunner::Impl::LaunchTool(const std::string& arguments) {
    std::wstring commandLine = Widen(ToolCommandLine(toolName, arguments));
    // The program runs elevated: a winfr.exe dropped into whatever the current directory is must
    // never be the one started, not by this search and not by any the system makes.
    SetEnvironmentVariableW(L"NoDefaultCurrentDirectoryInExePath", L"1");
    toolPath = FindToolProgram(Widen(toolName));
    if (toolPath.empty()) {
        RaiseError(IDS_CREATE_PROCESS_ERROR, ERROR_FILE_NOT_FOUND);
    }
    UniqueHandle threadPipe = DuplicateForThread(readPipe.Get());
    if (!threadPipe) {
        RaiseError(IDS_CREATE_PROCESS_ERROR, GetLastError());
    }
    CreateSuspendedInJob(toolPath, commandLine);
    if (ResumeThread(processThread.Get()) == static_cast<DWORD>(-1)) {
        RaiseError(IDS_CREATE_PROCESS_ERROR, GetLastError());
    }
    return threadPipe;
}

// Created suspended, so that the tool is in the job before its first instruction runs, and any
// process it starts is in the job too. The tool is started by its full path: nothing else the
// system might find for the name runs.
void ToolRunner::Impl::CreateSuspendedInJob(const std::wstring& program, std::wstring& commandLine) {
    DWORD jobCreationError = ERROR_SUCCESS;
    UniqueHandle toolJob = MakeToolJob(jobCreationError);
    const InheritedHandles inherited(writePipe.Get());
    STARTUPINFOEXW startup = ToolStartup(writePipe.Get(), inherited);
    DWORD flags = NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED | CREATE_NO_WINDOW;
    if (startup.lpAttributeList != nullptr) {
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    PROCESS_INFORMATION info{};
    if (!launcher->StartProcess(program, commandLine, flags, startup, info)) {
        RaiseError(IDS_CREATE_PROCESS_ERROR, GetLastError());
    }
    process.Reset(info.hProcess);
    processThread.Reset(info.hThread);
    processId = info.dwProcessId;
    threadId = info.dwThreadId;
    if (!toolJob) {
        jobError = FailureCode(jobCreationError);
    } else if (launcher->AssignToJob(toolJob.Get(), process.Get())) {
        job = std::move(toolJob);
    } else {
        jobError = FailureCode(GetLastError());
    }
}

void ToolRunner::Impl::StartPolling(UniqueHandle threadPipe) {
    UniqueHandle threadProcess = DuplicateForThread(process.Get());
    if (!threadProcess) {
        RaiseError(IDS_CREATE_PROCESS_ERROR, GetLastError());
    }
    auto state = std::make_shared<PollState>();
    const unsigned run = ++lastRun == 0 ? ++lastRun : lastRun;
    PollingThread::Starting();
    try {
        std::thread(&PollingThread::Run,
                    PollingThread(state, calls->Handle(), run, std::move(threadPipe), std::move(threadProcess)))
            .detach();
    } catch (...) {
        PollingThread::Ended();
        throw;
    }
    pollState = std::move(state);
    currentRun = run;
    TellObserver(true);
}

void ToolRunner::Impl::AbandonStart() noexcept {
    CloseOutputPipe();
    if (process) {
        // Started, but nothing would ever watch it.
        TerminateProcess(process.Get(), 0);
    }
    ReleaseProcess();
}

void ToolRunner::Impl::ReadChunk(DWORD available) {
    std::vector<unsigned char> buffer(available);
    DWORD read = 0;
    if (!ReadFile(readPipe.Get(), buffer.data(), available, &read, nullptr)) {
        const DWORD error = GetLastError();
        if (pollState) {
            pollState->stop = true;
            pollState.reset();
        }
        RaiseError(IDS_PIPE_READ_ERROR, error);
    }
    interpreter.Feed(buffer.data(), read);
}

void ToolRunner::Impl::Finish() {
    interpreter.Flush(); // the tool's last line may have had no line end
    // The tool ended by itself: how it ended is read before Stop lets go of its process.
    DWORD exitCode = 0;
    if (!process || !GetExitCodeProcess(process.Get(), &exitCode)) {
        exitCode = 0;
    }
    Stop();
    interpreter.PostFinished(exitCode);
}

void ToolRunner::Impl::Stop() noexcept {
    if (!running) {
        return;
    }
    try {
        running = false;
        EndRun();
    } catch (...) {
        // Stop must always be callable, also on a run whose start failed half way.
        SwallowedFailure("ToolRunner::Stop");
    }
}

void ToolRunner::Impl::TellObserver(bool toolRunning) noexcept {
    if (toolRunningTold == toolRunning) {
        return;
    }
    toolRunningTold = toolRunning;
    if (toolObserver) {
        try {
            toolObserver(toolRunning);
        } catch (...) {
            SwallowedFailure("ToolRunner::TellObserver");
        }
    }
}

void ToolRunner::Impl::ReleaseProcess() noexcept {
    process.Reset();
    processThread.Reset();
    job.Reset();
    processId = 0;
    threadId = 0;
    TellObserver(false);
}

// A tool with windows of its own is asked to close them, as a user would, before it is ended.
void ToolRunner::Impl::CloseToolWindows() const {
    if (processId == 0) {
        return;
    }
    std::vector<std::pair<HWND, DWORD>> windows;
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
    for (const auto& [window, owner] : windows) {
        if (owner == processId) {
            PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
    }
}

void ToolRunner::Impl::EndRun() {
    currentRun = 0;
    if (pollState) {
        pollState->stop = true;
        pollState.reset();
    }
    CloseOutputPipe();
    CloseToolWindows();
    if (process) {
        TerminateProcess(process.Get(), 0);
    }
    ReleaseProcess();
}

ToolRunner::ToolRunner() : impl_(std::make_unique<Impl>()) {}

ToolRunner::~ToolRunner() {
    impl_->Stop();
}

void ToolRunner::Start(HWND notify, const std::string& arguments) {
    Impl& d = *impl_;
    d.running = true;
    d.notify = notify;
    d.EndLeftoverRun();
    d.interpreter.Reset();
    d.sink.StartRun();
    d.toolPath.clear();
    d.jobError.reset();
    if (!d.calls) {
        d.calls = std::make_unique<Impl::CallWindow>(d);
    }
    d.CreateOutputPipe();
    try {
        d.StartPolling(d.LaunchTool(arguments));
    } catch (...) {
        d.AbandonStart();
        throw;
    }
}

void ToolRunner::Stop() noexcept {
    impl_->Stop();
}

bool ToolRunner::IsRunning() const noexcept {
    return impl_->running;
}

HWND ToolRunner::NotifyWindow() const noexcept {
    return impl_->running ? impl_->notify : nullptr;
}

void ToolRunner::SetToolObserver(std::function<void(bool running)> observer) {
    impl_->toolObserver = std::move(observer);
}

void ToolRunner::SetToolName(const std::string& name) {
    impl_->toolName = name;
}

std::wstring ToolRunner::ToolPath() const {
    return impl_->toolPath;
}

std::optional<DWORD> ToolRunner::JobError() const {
    return impl_->jobError;
}

void ToolRunner::SetLauncher(ToolLauncher* launcher) {
    impl_->launcher = launcher != nullptr ? launcher : &SystemToolLauncher();
}

void ToolRunner::SetMessagePoster(MessagePoster poster) {
    impl_->sink.SetPoster(std::move(poster));
}

std::size_t ToolRunner::MostEventsWaiting() const {
    return impl_->sink.MostWaiting();
}

std::string ToolRunner::CommandLine(const std::string& arguments) const {
    return ToolCommandLine(impl_->toolName, arguments);
}

bool ToolRunner::ToolFound() const {
    return !FindToolProgram(Widen(impl_->toolName)).empty();
}

void ToolRunner::SetLineObserver(std::function<void(std::string_view line)> observer) {
    impl_->interpreter.SetLineObserver(std::move(observer));
}

std::int32_t ToolRunner::LastPermille() const {
    return impl_->interpreter.LastPermille();
}

bool ToolRunner::ProgressSeen() const {
    return impl_->interpreter.ProgressSeen();
}

DWORD ToolRunner::ProcessId() const {
    return impl_->processId;
}

int ToolRunner::LivePollingThreads() {
    return PollingThread::Live();
}

} // namespace kestro
