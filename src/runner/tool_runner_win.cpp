#include "runner/tool_runner_win.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "global/application_win.h"
#include "global/files_win.h"
#include "global/handles_win.h"
#include "global/texts.h"
#include "global/window_win.h"
#include "global/winstr_win.h"
#include "job/cmdline.h"
#include "runner/interpreter.h"
#include "runner/oem_text_win.h"
#include "runner/window_sink_win.h"

namespace kestro {

namespace {

constexpr wchar_t kCallWindowClass[] = L"KestroRunnerCalls";
constexpr UINT WM_RUNNER_CALL = WM_APP + 0x210;
constexpr LRESULT kCallDone = 1;
constexpr LRESULT kCallRefused = 2;
constexpr LRESULT kCallFailed = 3;
constexpr DWORD kPollWaitMs = 200;
// The pipe holds this much of the tool's output: while the GUI thread is busy (painting, a box
// open) the tool writes on instead of waiting, and a flood of output is read in a few large
// pieces rather than in many small ones, each of which costs a call onto the GUI thread.
constexpr DWORD kPipeBytes = 64 * 1024;

std::atomic<int> livePollingThreads{0};

// What the polling thread and the runner share. It outlives the runner: a thread that is still
// ending after its runner is gone reads only this.
struct PollState {
    std::atomic<bool> stop{false};
};

enum class CallKind { ReadChunk, Flush, Finish };

// One synchronous call from a polling thread. It lives on the polling thread's stack while the GUI
// thread runs it.
struct CallRequest {
    CallKind kind;
    unsigned run;
    DWORD available;
    std::string error; // why the call failed, for a reader in a debugger
};

[[noreturn]] void RaiseError(TextId text, DWORD error) {
    throw std::runtime_error(LoadText(text) + std::to_string(error));
}

UniqueHandle DuplicateForThread(HANDLE source) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), source, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return UniqueHandle();
    }
    return UniqueHandle(copy);
}

// A job that ends every process in it when its last handle closes: the program's handle is the
// only one (it is not inheritable), so the tool cannot outlive the program, however the program
// ends. Empty when the system refuses one; the tool then runs without it.
UniqueHandle MakeToolJob() {
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        return job;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
        job.Reset();
    }
    return job;
}

// The tool's console output goes into the pipe; its console window stays hidden.
STARTUPINFOW ToolStartup(HANDLE output) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nullptr;
    startup.hStdOutput = output;
    startup.hStdError = output;
    return startup;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) noexcept {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    try {
        reinterpret_cast<std::vector<std::pair<HWND, DWORD>>*>(list)->emplace_back(window, processId);
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

// The thread of one run. It peeks at and waits on its own duplicates of the pipe and the process
// handle, so Stop may close the runner's handles at any moment; everything else it asks of the GUI
// thread, tagged with its run, through the runner's call window.
class PollingThread {
public:
    PollingThread(std::shared_ptr<PollState> state, HWND calls, unsigned run, UniqueHandle pipe, UniqueHandle process)
        : state_(std::move(state)), calls_(calls), run_(run), pipe_(std::move(pipe)), process_(std::move(process)) {}

    void Run() noexcept;

private:
    bool Call(CallKind kind, DWORD available) noexcept {
        CallRequest request{kind, run_, available, {}};
        return SendMessageW(calls_, WM_RUNNER_CALL, 0, reinterpret_cast<LPARAM>(&request)) == kCallDone;
    }
    // One look at the pipe: true when output was waiting; ok turns false when the GUI thread did
    // not read it.
    bool Poll(bool& ok) noexcept {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe_.Get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) {
            return false;
        }
        ok = Call(CallKind::ReadChunk, available);
        return true;
    }
    // The tool has ended: what it left in the pipe is read, then the GUI thread finishes the run.
    void Drain() noexcept {
        bool ok = true;
        while (Poll(ok) && ok) {
        }
        if (ok && !state_->stop.load()) {
            Call(CallKind::Finish, 0);
        }
    }

    std::shared_ptr<PollState> state_;
    HWND calls_;
    unsigned run_;
    UniqueHandle pipe_;
    UniqueHandle process_;
};

void PollingThread::Run() noexcept {
    // The tool blocks as soon as the pipe's buffer is full, so while it writes, the thread looks
    // again after a short wait, lengthened step by step to the full wait once the pipe stays quiet.
    DWORD waitMs = 1;
    DWORD quietMs = 0;
    bool flushed = true;
    for (;;) {
        bool ok = true;
        if (Poll(ok)) {
            if (!ok) {
                break;
            }
            waitMs = 1;
            quietMs = 0;
            flushed = false;
            continue;
        }
        if (state_->stop.load()) {
            break;
        }
        // Quiet for a whole wait: hand over a line the tool left without its end (a prompt).
        if (!flushed && quietMs >= kPollWaitMs) {
            if (!Call(CallKind::Flush, 0)) {
                break;
            }
            flushed = true;
        }
        const DWORD waited = WaitForSingleObject(process_.Get(), waitMs);
        if (waited == WAIT_OBJECT_0) {
            // The tool is gone: whatever became of Finish, there is nothing left to watch.
            Drain();
            break;
        }
        if (waited != WAIT_TIMEOUT) {
            Sleep(kPollWaitMs); // a failed wait must not turn into a busy loop
        }
        quietMs += waitMs;
        waitMs = std::min<DWORD>(waitMs * 2, kPollWaitMs);
    }
    pipe_.Reset();
    process_.Reset();
    --livePollingThreads;
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
            return Default(msg, wParam, lParam);
        }

    private:
        Impl* impl_;
    };

    LRESULT Serve(CallRequest& request) noexcept;
    void EndLeftoverRun() noexcept;
    void CreateOutputPipe();
    void CloseOutputPipe() noexcept;
    UniqueHandle LaunchTool(const std::string& arguments);
    void CreateSuspendedInJob(const std::wstring& program, std::wstring& commandLine, STARTUPINFOW& startup);
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
        return kCallDone;
    } catch (const std::exception& e) {
        try {
            request.error = e.what();
        } catch (...) {
        }
    } catch (...) {
    }
    return kCallFailed;
}

// A tool that an earlier Start left running would otherwise be out of reach for good.
void ToolRunner::Impl::EndLeftoverRun() noexcept {
    if (process || pollState || readPipe) {
        try {
            EndRun();
        } catch (...) {
        }
    }
    pollState.reset();
}

void ToolRunner::Impl::CreateOutputPipe() {
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = TRUE;
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
    STARTUPINFOW startup = ToolStartup(writePipe.Get());
    // The program runs elevated: a winfr.exe dropped into whatever the current directory is must
    // never be the one started, not by this search and not by any the system makes.
    SetEnvironmentVariableW(L"NoDefaultCurrentDirectoryInExePath", L"1");
    const std::wstring program = FindToolProgram(Widen(toolName));
    if (program.empty()) {
        RaiseError(IDS_CREATE_PROCESS_ERROR, ERROR_FILE_NOT_FOUND);
    }
    UniqueHandle threadPipe = DuplicateForThread(readPipe.Get());
    if (!threadPipe) {
        RaiseError(IDS_CREATE_PROCESS_ERROR, GetLastError());
    }
    CreateSuspendedInJob(program, commandLine, startup);
    if (ResumeThread(processThread.Get()) == static_cast<DWORD>(-1)) {
        RaiseError(IDS_CREATE_PROCESS_ERROR, GetLastError());
    }
    return threadPipe;
}

// Created suspended, so that the tool is in the job before its first instruction runs, and any
// process it starts is in the job too.
void ToolRunner::Impl::CreateSuspendedInJob(const std::wstring& program, std::wstring& commandLine,
                                            STARTUPINFOW& startup) {
    UniqueHandle toolJob = MakeToolJob();
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr, nullptr, &startup, &info)) {
        RaiseError(IDS_CREATE_PROCESS_ERROR, GetLastError());
    }
    process.Reset(info.hProcess);
    processThread.Reset(info.hThread);
    processId = info.dwProcessId;
    threadId = info.dwThreadId;
    if (toolJob && AssignProcessToJobObject(toolJob.Get(), process.Get())) {
        job = std::move(toolJob);
    }
}

void ToolRunner::Impl::StartPolling(UniqueHandle threadPipe) {
    UniqueHandle threadProcess = DuplicateForThread(process.Get());
    if (!threadProcess) {
        RaiseError(IDS_CREATE_PROCESS_ERROR, GetLastError());
    }
    auto state = std::make_shared<PollState>();
    const unsigned run = ++lastRun == 0 ? ++lastRun : lastRun;
    ++livePollingThreads;
    try {
        std::thread(&PollingThread::Run,
                    PollingThread(state, calls->Handle(), run, std::move(threadPipe), std::move(threadProcess)))
            .detach();
    } catch (...) {
        --livePollingThreads;
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

void ToolRunner::Start(HWND notify, std::string arguments) {
    Impl& d = *impl_;
    d.running = true;
    d.notify = notify;
    d.EndLeftoverRun();
    d.interpreter.Reset();
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
    return livePollingThreads.load();
}

} // namespace kestro
