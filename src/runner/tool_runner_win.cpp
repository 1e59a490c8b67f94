#include "runner/tool_runner_win.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "global/application_win.h"
#include "global/handles_win.h"
#include "global/texts.h"
#include "global/window_win.h"
#include "global/winstr_win.h"
#include "runner/oem_text_win.h"
#include "runner/window_sink_win.h"
#include "runner/interpreter.h"

namespace kestro {

namespace {

constexpr wchar_t kCallWindowClass[] = L"KestroRunnerCalls";
constexpr UINT WM_RUNNER_CALL = WM_APP + 0x210;
constexpr LRESULT kCallDone = 1;
constexpr LRESULT kCallRefused = 2;
constexpr LRESULT kCallFailed = 3;
constexpr DWORD kPollWaitMs = 200;

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

bool IsAbsolutePath(const std::wstring& path) {
    if (path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
        path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) {
        return true;
    }
    return path.size() >= 2 && (path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/');
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring JoinPath(std::wstring folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') {
        folder.push_back(L'\\');
    }
    return folder + name;
}

std::wstring ApplicationFolder() {
    std::wstring buffer(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(length);
    const std::size_t slash = buffer.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : buffer.substr(0, slash);
}

template <class Getter> std::wstring SystemFolder(Getter get) {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = get(buffer, MAX_PATH + 1);
    return length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

std::vector<std::wstring> PathFolders() {
    std::vector<std::wstring> folders;
    const DWORD needed = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (needed == 0) {
        return folders;
    }
    std::wstring path(needed, L'\0');
    path.resize(GetEnvironmentVariableW(L"PATH", path.data(), needed));
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(L';', start);
        if (end == std::wstring::npos) {
            end = path.size();
        }
        std::wstring entry = path.substr(start, end - start);
        std::erase(entry, L'"');
        const std::size_t first = entry.find_first_not_of(L' ');
        const std::size_t last = entry.find_last_not_of(L' ');
        entry = first == std::wstring::npos ? std::wstring() : entry.substr(first, last - first + 1);
        // A relative entry (".", "bin") would be a search of the current directory after all.
        if (IsAbsolutePath(entry)) {
            folders.push_back(entry);
        }
        start = end + 1;
    }
    return folders;
}

// The trailing blank of the argument string (and any other control character there) is not part
// of the tool's command line.
std::string CommandLine(const std::string& toolName, const std::string& arguments) {
    std::string line = (toolName.find(' ') != std::string::npos ? "\"" + toolName + "\"" : toolName) + " " + arguments;
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= 32) {
        line.pop_back();
    }
    return line;
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

// The body of the polling thread. It peeks at and waits on its own duplicates of the pipe and the
// process handle, so Stop may close the runner's handles at any moment; everything else it asks
// of the GUI thread, tagged with its run, through the runner's call window.
void PollingThreadBody(std::shared_ptr<PollState> state, HWND calls, unsigned run, UniqueHandle pipe,
                       UniqueHandle process) noexcept {
    const auto call = [&](CallKind kind, DWORD available) {
        CallRequest request{kind, run, available, {}};
        return SendMessageW(calls, WM_RUNNER_CALL, 0, reinterpret_cast<LPARAM>(&request)) == kCallDone;
    };
    // One poll: true when output was waiting; ok turns false when the GUI thread did not read it.
    const auto poll = [&](bool& ok) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe.Get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) {
            return false;
        }
        ok = call(CallKind::ReadChunk, available);
        return true;
    };

    // The tool blocks as soon as the pipe's buffer is full, so while it writes, the thread looks
    // again after a short wait, lengthened step by step to the full wait once the pipe stays quiet.
    DWORD waitMs = 1;
    DWORD quietMs = 0;
    bool flushed = true;
    for (;;) {
        bool ok = true;
        const bool found = poll(ok);
        if (!ok) {
            break;
        }
        if (found) {
            waitMs = 1;
            quietMs = 0;
            flushed = false;
            continue;
        }
        if (state->stop.load()) {
            break;
        }
        // Quiet for a whole wait: hand over a line the tool left without its end (a prompt).
        if (!flushed && quietMs >= kPollWaitMs) {
            if (!call(CallKind::Flush, 0)) {
                break;
            }
            flushed = true;
        }
        const DWORD waited = WaitForSingleObject(process.Get(), waitMs);
        if (waited == WAIT_OBJECT_0) {
            while (poll(ok) && ok) {
            }
            if (ok && !state->stop.load()) {
                call(CallKind::Finish, 0);
            }
            // The tool is gone: whatever became of Finish, there is nothing left to watch.
            break;
        }
        if (waited != WAIT_TIMEOUT) {
            Sleep(kPollWaitMs); // a failed wait must not turn into a busy loop
        }
        quietMs += waitMs;
        waitMs = std::min<DWORD>(waitMs * 2, kPollWaitMs);
    }
    pipe.Reset();
    process.Reset();
    --livePollingThreads;
}

} // namespace

struct ToolRunner::Impl {
    explicit Impl(ToolRunner& runner);
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
    void CreateOutputPipe();
    void CloseOutputPipe() noexcept;
    void ReadChunk();
    void Finish();
    void EndRun(std::uint32_t exitCode);
    void ReleaseProcess() noexcept;
    void TellObserver(bool running) noexcept;

    ToolRunner& runner;
    UniqueHandle readPipe;
    UniqueHandle writePipe;
    DWORD available = 0;
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
    WindowPostSink sink;
    OutputInterpreter interpreter;
    std::unique_ptr<CallWindow> calls;
};

ToolRunner::Impl::Impl(ToolRunner& owner) : runner(owner), sink(owner.Window), interpreter(sink) {
    interpreter.SetNarrowDecoder(&DecodeToolNarrowText);
}

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
    if (request.run == 0 || request.run != currentRun || runner.Running == 0) {
        return kCallRefused;
    }
    try {
        switch (request.kind) {
        case CallKind::ReadChunk:
            available = request.available;
            ReadChunk();
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

void ToolRunner::Impl::CreateOutputPipe() {
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = TRUE;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &attributes, 0)) {
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

void ToolRunner::Impl::ReadChunk() {
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
    runner.Stop(0);
    interpreter.PostFinished(exitCode);
}

void ToolRunner::Impl::TellObserver(bool running) noexcept {
    if (toolRunningTold == running) {
        return;
    }
    toolRunningTold = running;
    if (toolObserver) {
        try {
            toolObserver(running);
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

void ToolRunner::Impl::EndRun(std::uint32_t exitCode) {
    currentRun = 0;
    if (pollState) {
        pollState->stop = true;
        pollState.reset();
    }
    CloseOutputPipe();
    if (processId != 0) {
        std::vector<std::pair<HWND, DWORD>> windows;
        EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
        for (const auto& [window, owner] : windows) {
            if (owner == processId) {
                PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
        }
    }
    if (process) {
        TerminateProcess(process.Get(), exitCode);
    }
    ReleaseProcess();
}

ToolRunner::ToolRunner() : impl_(std::make_unique<Impl>(*this)) {}

ToolRunner::~ToolRunner() {
    if (Running != 0) {
        Stop(0);
    }
}

void ToolRunner::SetToolObserver(std::function<void(bool running)> observer) {
    impl_->toolObserver = std::move(observer);
}

void ToolRunner::SetToolName(const std::string& name) {
    impl_->toolName = name;
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

void ToolRunner::Start() {
    Impl& d = *impl_;
    // A tool that an earlier Start left running would otherwise be out of reach for good.
    if (d.process || d.pollState || d.readPipe) {
        try {
            d.EndRun(0);
        } catch (...) {
        }
    }
    d.pollState.reset();
    d.interpreter.Reset();
    if (!d.calls) {
        d.calls = std::make_unique<Impl::CallWindow>(d);
    }

    d.CreateOutputPipe();

    try {
        const std::wstring toolName = Widen(d.toolName);
        std::wstring commandLine = Widen(CommandLine(d.toolName, Arguments));

        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
        startup.wShowWindow = SW_HIDE;
        startup.hStdInput = nullptr;
        startup.hStdOutput = d.writePipe.Get();
        startup.hStdError = d.writePipe.Get();

        // The program runs elevated: a winfr.exe dropped into whatever the current directory is
        // must never be the one started, not by this search and not by any the system makes.
        SetEnvironmentVariableW(L"NoDefaultCurrentDirectoryInExePath", L"1");
        const std::wstring program = FindToolProgram(toolName);
        if (program.empty()) {
            RaiseError(IDS_CREATE_PROCESS_ERROR, ERROR_FILE_NOT_FOUND);
        }

        // Made before the tool starts, and not inheritable, so the tool never holds it.
        UniqueHandle threadPipe = DuplicateForThread(d.readPipe.Get());
        if (!threadPipe) {
            RaiseError(IDS_CREATE_PROCESS_ERROR, GetLastError());
        }

        // Created suspended, so that it is in the job before its first instruction runs, and
        // any process it starts is in the job too.
        UniqueHandle job = MakeToolJob();
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                            NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr, nullptr, &startup, &info)) {
            RaiseError(IDS_CREATE_PROCESS_ERROR, GetLastError());
        }
        d.process.Reset(info.hProcess);
        d.processThread.Reset(info.hThread);
        d.processId = info.dwProcessId;
        d.threadId = info.dwThreadId;
        if (job && AssignProcessToJobObject(job.Get(), d.process.Get())) {
            d.job = std::move(job);
        }
        if (ResumeThread(d.processThread.Get()) == static_cast<DWORD>(-1)) {
            RaiseError(IDS_CREATE_PROCESS_ERROR, GetLastError());
        }

        UniqueHandle threadProcess = DuplicateForThread(d.process.Get());
        if (!threadProcess) {
            RaiseError(IDS_CREATE_PROCESS_ERROR, GetLastError());
        }

        auto state = std::make_shared<PollState>();
        const unsigned run = ++d.lastRun == 0 ? ++d.lastRun : d.lastRun;
        ++livePollingThreads;
        try {
            std::thread(&PollingThreadBody, state, d.calls->Handle(), run, std::move(threadPipe),
                        std::move(threadProcess))
                .detach();
        } catch (...) {
            --livePollingThreads;
            throw;
        }
        d.pollState = std::move(state);
        d.currentRun = run;
        d.TellObserver(true);
    } catch (...) {
        d.CloseOutputPipe();
        if (d.process) {
            // Started, but nothing would ever watch it.
            TerminateProcess(d.process.Get(), 0);
        }
        d.ReleaseProcess();
        throw;
    }
}

void ToolRunner::Stop(std::uint32_t exitCode) {
    if (Running == 0) {
        return;
    }
    try {
        Running = 0;
        impl_->EndRun(exitCode);
    } catch (...) {
        // Stop must always be callable, also on a run whose start failed half way.
    }
}

std::wstring FindToolProgram(const std::wstring& name) {
    if (name.empty()) {
        return {};
    }
    std::wstring file = name;
    const std::size_t slash = file.find_last_of(L"\\/");
    const std::size_t dot = file.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) {
        file += L".exe";
    }
    if (slash != std::wstring::npos) {
        // A name with a folder in it is taken only as a full path: a relative one would be
        // looked up from the current directory.
        return IsAbsolutePath(file) && IsFile(file) ? file : std::wstring();
    }
    std::vector<std::wstring> folders;
    folders.push_back(ApplicationFolder());
    folders.push_back(SystemFolder([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); }));
    folders.push_back(SystemFolder([](wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); }));
    for (std::wstring& folder : PathFolders()) {
        folders.push_back(std::move(folder));
    }
    for (const std::wstring& folder : folders) {
        if (folder.empty()) {
            continue;
        }
        std::wstring candidate = JoinPath(folder, file);
        if (IsFile(candidate)) {
            return candidate;
        }
    }
    return {};
}

} // namespace kestro
