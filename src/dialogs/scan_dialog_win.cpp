#include "dialogs/scan_dialog_win.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <iterator>
#include <string>
#include <string_view>

#include "base/exit_codes.h"
#include "base/failures.h"
#include "base/number_text.h"
#include "base/system_error.h"
#include "base/text.h"
#include "base/texts.h"
#include "dialogs/scan_texts.h"
#include "platform/handles_win.h"
#include "platform/locale_win.h"
#include "platform/winstr_win.h"
#include "runner/progress_event.h"
#include "runner/run_log_writer_win.h"
#include "runner/tool_runner_win.h"
#include "runner/window_sink_win.h"
#include "ui/application_win.h"
#include "ui/percent_bar_win.h"

namespace kestro {

namespace {

constexpr int idStatusText = 1001;
constexpr int idProgressBar = 1002;
constexpr int idStop = 1003;
constexpr int idElapsedText = 1004;

class SystemTicks final : public TickSource {
public:
    ULONGLONG Milliseconds() override { return GetTickCount64(); }
};

TickSource& SystemClock() {
    static SystemTicks ticks;
    return ticks;
}

} // namespace

struct ScanDialog::Controls {
    explicit Controls(Form* form) : body(form) {}
    Container body;
    HWND statusText = nullptr;
    HWND progressBar = nullptr;
    HWND stopButton = nullptr;
    HWND elapsedText = nullptr;
};

ScanDialog::ScanDialog(HWND owner, RunRequest request, std::shared_ptr<ToolRunner> runner)
    : controls_(std::make_unique<Controls>(this)), request_(std::move(request)), runner_(std::move(runner)),
      owner_(owner), ticks_(&SystemClock()) {
    CreateForm(L"KestroScanDialog", owner, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS, WS_EX_DLGMODALFRAME,
               Widen(LoadText(IDS_PRODUCT_NAME)), 369, 130);
    Controls& c = *controls_;
    c.body.CreatePanel(*this, 8, 8, 369, 121);
    c.statusText = AddControl(c.body, {.className = WC_STATICW,
                                       .style = WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                                       .bounds = {8, 8, 337, 13},
                                       .id = idStatusText});
    c.progressBar = AddControl(c.body, {.className = PROGRESS_CLASSW,
                                        .style = WS_VISIBLE | PBS_SMOOTH,
                                        .bounds = {8, 37, 337, 12},
                                        .id = idProgressBar});
    ShowPercentOn(c.progressBar, *this);
    SendMessageW(c.progressBar, PBM_SETRANGE32, 0, kBarFull);
    c.elapsedText = AddControl(c.body, {.className = WC_STATICW,
                                        .style = WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                                        .bounds = {8, 55, 337, 13},
                                        .id = idElapsedText});
    c.stopButton = AddControl(c.body, {.className = WC_BUTTONW,
                                       .text = Widen(LoadText(IDS_STOP)),
                                       .style = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                       .bounds = {144, 75, 80, 27},
                                       .id = idStop});
    OnCommand(idStop, [this](int notifyCode) {
        if (notifyCode == BN_CLICKED) {
            StopRun();
        }
    });
}

ScanDialog::~ScanDialog() {
    // A run whose dialog disappears without closing would go on with no one left to stop it.
    if (hwnd_ != nullptr && runner_->NotifyWindow() == hwnd_) {
        runner_->Stop();
    }
    FinishLog();
    EndTaskbarProgress();
    DrainQueuedEvents();
}

void ScanDialog::SetTickSource(TickSource* ticks) noexcept {
    ticks_ = ticks != nullptr ? ticks : &SystemClock();
}

HWND ScanDialog::StatusText() const {
    return controls_->statusText;
}
HWND ScanDialog::ProgressBar() const {
    return controls_->progressBar;
}
HWND ScanDialog::StopButton() const {
    return controls_->stopButton;
}
HWND ScanDialog::ElapsedText() const {
    return controls_->elapsedText;
}

void ScanDialog::OnShow() {
    ClearDisplay();
    CenterOver(owner_);
    runStarted_ = ticks_->Milliseconds();
    if (StartTool()) {
        StartLog();
        StartProgressDisplay();
    }
}

void ScanDialog::ClearDisplay() {
    SetWindowTextW(controls_->statusText, L"");
    shownPass_.reset();
    SendMessageW(controls_->progressBar, PBM_SETPOS, 0, 0);
    filesFound_ = 0;
    savedFolder_.clear();
    outcomeEndedRun_ = false;
    outcomeShown_ = false;
    filesRecovered_ = 0;
    filesTotal_ = 0;
    timeLeft_ = TimeLeftEstimator();
    pass_.reset();
    ending_.reset();
    logLines_ = RepeatedLines();
    SetWindowTextW(controls_->elapsedText, L"");
}

// A failure to start is reported here rather than left to ShowModal, so that the taskbar shows it
// while its box is open. Nothing runs afterwards, so the clock does not start.
bool ScanDialog::StartTool() {
    std::string problem;
    try {
        runner_->Start(hwnd_, request_.arguments);
        return true;
    } catch (const SystemError& e) {
        problem = e.Words();
    } catch (const std::exception& e) {
        problem = e.what();
    }
    TaskbarProgress& taskbar = Application::Get().Taskbar();
    taskbar.SetState(TBPF_ERROR);
    Application::Get().ShowException(problem);
    taskbar.SetState(TBPF_NOPROGRESS);
    return false;
}

void ScanDialog::StartProgressDisplay() {
    TaskbarProgress& taskbar = Application::Get().Taskbar();
    taskbarActive_ = true;
    taskbar.SetState(TBPF_NORMAL);
    taskbar.SetValue(0, kBarFull);
    clockRunning_ = true;
    ShowElapsed();
    SetTimer(hwnd_, kElapsedTimer, 1000, nullptr);
}

// Windows ends the program soon after: the log gets its closing lines now, not when the modal loop
// would have ended.
void ScanDialog::EndForSession() noexcept {
    try {
        runner_->Stop();
        RecordEnding(RunEnding::SessionEnded);
        FinishLog();
        StopClock();
        EndTaskbarProgress();
        SetModalResult(mrAbort);
    } catch (...) {
        SwallowedFailure("ScanDialog::EndForSession");
    }
}

void ScanDialog::OnClose() {
    runner_->Stop();
    RecordEnding(RunEnding::StoppedByUser);
    FinishLog();
    StopClock();
    EndTaskbarProgress();
}

void ScanDialog::StopClock() {
    clockRunning_ = false;
    if (hwnd_ != nullptr) {
        KillTimer(hwnd_, kElapsedTimer);
    }
}

void ScanDialog::EndTaskbarProgress() {
    if (taskbarActive_) {
        taskbarActive_ = false;
        Application::Get().Taskbar().SetState(TBPF_NOPROGRESS);
    }
}

void ScanDialog::ShowElapsed() {
    const ULONGLONG now = ticks_->Milliseconds();
    const auto left = timeLeft_.SecondsLeft(now);
    const bool counted = filesTotal_ > 0;
    const std::string line = ElapsedLineText(
        ClockText(now > runStarted_ ? (now - runStarted_) / 1000 : 0), left ? TimeLeftText(*left) : std::string(),
        counted ? LocaleGroupedNumber(static_cast<std::uint64_t>(std::max(filesRecovered_, 0))) : std::string(),
        counted ? LocaleGroupedNumber(static_cast<std::uint64_t>(filesTotal_)) : std::string());
    // A static repaints on every new text, so an unchanged one is not set again.
    if (GetText(controls_->elapsedText) != line) {
        SetText(controls_->elapsedText, line);
    }
}

void ScanDialog::MoveBar(std::int32_t position) {
    const auto before = SendMessageW(controls_->progressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    const auto after = SendMessageW(controls_->progressBar, PBM_GETPOS, 0, 0);
    if (taskbarActive_ && after != before) {
        Application::Get().Taskbar().SetValue(static_cast<ULONGLONG>(after), kBarFull);
    }
}

// Every outcome that shows a problem also ends the run, so the error state stays on the taskbar
// until the dialog has closed, which follows at once.
void ScanDialog::ShowProblem(const std::string& text) {
    if (taskbarActive_) {
        Application::Get().Taskbar().SetState(TBPF_ERROR);
    }
    ShowBox(text, MB_ICONERROR);
}

// The tool is stopped before the box opens: a box pumps messages, and a tool that ended while it
// was open would otherwise stack the advice to start again on top of it.
void ScanDialog::EndRunWithProblem(const std::string& text, RunEnding ending) {
    RecordEnding(ending);
    outcomeEndedRun_ = true;
    runner_->Stop();
    ShowProblem(text);
    StopRun();
}

void ScanDialog::StopRun() {
    runner_->Stop();
    RecordEnding(RunEnding::StoppedByUser);
    SetModalResult(mrAbort);
}

bool ScanDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_TIMER && wParam == kElapsedTimer) {
        // A tick already queued when the dialog closed must not move the clock on.
        if (clockRunning_) {
            ShowElapsed();
        }
        result = 0;
        return true;
    }
    if (msg == WM_PROGRESS_WAITING) {
        TakeProgressEvents(lParam, [this](const ProgressEvent& event) {
            try {
                OnProgressEvent(event);
            } catch (...) {
                // A failing event must not disturb the run.
                SwallowedFailure("ScanDialog::OnProgressEvent");
            }
        });
        result = 0;
        return true;
    }
    if (msg == WM_DESTROY) {
        DrainQueuedEvents();
    }
    return false;
}

void ScanDialog::ShowBox(const std::string& text, UINT icon) {
    Application::Get().MessageBox(text, LoadText(IDS_PRODUCT_NAME), MB_OK | icon);
}

std::string ScanDialog::CompletedMessage() const {
    return CompletedText(request_.mode, filesFound_, savedFolder_);
}

void ScanDialog::OnProgressEvent(const ProgressEvent& event) {
    if (outcomeEndedRun_) {
        // The run is over and its box is open or answered: events the tool sent before it was
        // stopped (its own end among them) have nothing left to say.
        return;
    }
    switch (event.kind) {
    case EventKind::Progress:
    case EventKind::PassStarted:
        ShowProgress(event);
        break;
    case EventKind::DestinationFull:
        EndRunWithProblem(LoadText(IDS_DISK_FULL), RunEnding::DiskFull);
        break;
    case EventKind::AbortPrompt:
        RecordEnding(RunEnding::AbortPrompt);
        StopRun();
        break;
    case EventKind::NothingFound:
        outcomeShown_ = true;
        ShowRunDone();
        ShowNothingFound();
        break;
    case EventKind::NeedsAdmin:
        EndRunWithProblem(LoadText(IDS_NEEDS_ADMIN), RunEnding::NeedsAdmin);
        break;
    case EventKind::Completed:
        outcomeShown_ = true;
        ShowRunDone();
        ShowBox(CompletedMessage(), MB_ICONINFORMATION);
        break;
    case EventKind::Finished:
        RunFinished(event);
        break;
    }
}

void ScanDialog::ShowProgress(const ProgressEvent& event) {
    FollowPass(event);
    if (event.pass) {
        // A static paints itself on every new text, and most events name the pass already shown.
        if (shownPass_ != event.pass) {
            shownPass_ = event.pass;
            SetText(controls_->statusText,
                    LoadText(*event.pass == RunPass::Scanning ? IDS_SCANNING_DISK : IDS_RECOVERING_FILES));
            // A screen reader announces the new pass ("Recovering files") on this event.
            NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, controls_->statusText, OBJID_CLIENT, CHILDID_SELF);
        }
        if (*event.pass == RunPass::Recovering && event.totalFiles > 0) {
            CountRecovered(event);
        }
    }
    if (event.position) {
        MoveBar(*event.position);
    }
}

// The recovering pass's counts, and the folder the first file went to (the Recovery_... folder
// that the tool makes under the destination).
void ScanDialog::CountRecovered(const ProgressEvent& event) {
    filesFound_ = event.totalFiles;
    filesRecovered_ = event.filesRecovered;
    filesTotal_ = event.totalFiles;
    if (!event.currentFile.empty() && savedFolder_.empty()) {
        std::string destination = request_.destination;
        if (destination.empty() || destination.back() != '\\') {
            destination.push_back('\\');
        }
        savedFolder_ = destination + TextBetween(event.currentFile, destination, "\\");
    }
}

// The tool has gone through the disk: the taskbar button shows the run done, full, while the box that
// tells the outcome waits for a user who may be elsewhere, whatever the last progress line said (files
// the tool skipped leave the recovering pass short of its total). The dialog's own bar stays where
// the tool's progress put it.
void ScanDialog::ShowRunDone() {
    if (taskbarActive_ && SendMessageW(controls_->progressBar, PBM_GETPOS, 0, 0) != kBarFull) {
        Application::Get().Taskbar().SetValue(kBarFull, kBarFull);
    }
}

void ScanDialog::ShowNothingFound() {
    ShowBox(NothingFoundText(request_.mode), MB_ICONINFORMATION);
}

// A tool that crashed must not look like a finished run, whatever it reported before; nor must one
// that ended with an error code before it told any outcome (ended from outside by Task Manager's
// "End process" or taskkill /f, for one: exit code 1).
void ScanDialog::RunFinished(const ProgressEvent& event) {
    const bool crashed = IsCrashExitCode(event.exitCode);
    const bool failed = !crashed && event.exitCode != 0 && !outcomeShown_;
    RecordEnding(crashed ? RunEnding::Crashed : failed ? RunEnding::Failed : RunEnding::Finished, event.exitCode);
    if (crashed || failed) {
        ShowProblem(WithExitCode(LoadText(IDS_TOOL_STOPPED), event.exitCode));
    } else if (!event.progressSeen) {
        ShowProblem(LoadText(IDS_FINISHED_QUICKLY));
    }
    Close();
}

// Wake-ups posted to this window that it will never handle: their tickets are still ours.
void ScanDialog::DrainQueuedEvents() noexcept {
    DiscardProgressWakeups(hwnd_);
}

// A new pass (its caption changes) starts the estimate of the time left again; every move of
// the bar within it feeds the estimate.
void ScanDialog::FollowPass(const ProgressEvent& event) {
    const ULONGLONG now = ticks_->Milliseconds();
    if (event.kind == EventKind::PassStarted || (event.pass && event.pass != pass_)) {
        pass_ = event.pass;
        timeLeft_.StartPass(now, event.position.value_or(static_cast<std::int32_t>(
                                     SendMessageW(controls_->progressBar, PBM_GETPOS, 0, 0))));
    }
    if (event.position) {
        timeLeft_.Observe(now, *event.position);
    }
}

// The log goes into the destination folder, beside the Recovery_... folder the tool makes.
void ScanDialog::StartLog() {
    try {
        const std::string& destination = request_.destination;
        if (destination.empty()) {
            return;
        }
        SYSTEMTIME now{};
        GetLocalTime(&now);
        const LocalTime started{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
        RunLogHeader header;
        header.programVersion = LoadText(IDS_VERSION_NUMBER);
        header.sourceDrive = request_.SourceDriveText();
        header.fileSystem = request_.sourceFileSystem;
        header.destination = destination;
        header.commandLine = runner_->CommandLine(request_.arguments);
        header.options = request_.options;
        header.toolPath = Narrow(runner_->ToolPath());
        header.jobError = runner_->JobError();
        header.started = started;
        log_ =
            std::make_unique<RunLogWriter>(Widen(destination), Widen(RunLogFileName(started)), RunLogOpening(header));
        runner_->SetLineObserver([this](std::string_view line) { LogLine(line); });
        // What goes wrong in the program while the run is on belongs in its log too.
        SetFailureRunLog([this](const std::string& record) { LogNote(record); });
    } catch (...) {
        // Without a log the run goes on as before.
        SwallowedFailure("ScanDialog::StartLog");
        log_.reset();
    }
}

void ScanDialog::LogLine(std::string_view line) {
    if (log_) {
        const ULONGLONG now = ticks_->Milliseconds();
        const std::string text = logLines_.Next(now > runStarted_ ? now - runStarted_ : 0, line);
        if (!text.empty()) {
            log_->Append(text);
        }
    }
}

// A note of the program's own among the tool's lines; any thread may write one.
void ScanDialog::LogNote(const std::string& note) {
    if (log_) {
        const ULONGLONG now = ticks_->Milliseconds();
        log_->Append(RunLogOutputLine(now > runStarted_ ? now - runStarted_ : 0, "(Kestro Refindor) " + note));
    }
}

void ScanDialog::RecordEnding(RunEnding ending, std::uint32_t exitCode) {
    if (!ending_) {
        ending_ = ending;
        endingCode_ = exitCode;
    }
}

// After the runner has stopped: the tool has nothing more to say.
void ScanDialog::FinishLog() noexcept {
    if (!log_) {
        return;
    }
    try {
        runner_->SetLineObserver(nullptr);
        SetFailureRunLog(nullptr);
        const std::string repeats = logLines_.Flush();
        if (!repeats.empty()) {
            log_->Append(repeats);
        }
        SYSTEMTIME now{};
        GetLocalTime(&now);
        const LocalTime ended{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
        log_->Finish(RunLogClosing(ending_.value_or(RunEnding::StoppedByUser), endingCode_, ended));
    } catch (...) {
        SwallowedFailure("ScanDialog::FinishLog");
    }
    logPath_ = log_->Path();
    log_.reset();
}

std::wstring ScanDialog::LogPath() const {
    return log_ ? log_->Path() : logPath_;
}

} // namespace kestro
