#pragma once
// ScanDialog: the modal Scanning dialog in which a recovery run lives.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "dialogs/time_left.h"
#include "job/recovery_options.h"
#include "job/run_request.h"
#include "runner/progress_event.h"
#include "runner/run_log.h"
#include "ui/form_win.h"

namespace kestro {

class RunLogWriter;
class ToolRunner;

// The clock of the elapsed time; tests put their own in its place.
class TickSource {
public:
    virtual ~TickSource() = default;
    virtual ULONGLONG Milliseconds() = 0;
};

// The dialog shares the runner with the main window: whatever the main window does while the
// dialog's modal loop runs (a close request from outside, the end of the session), the runner
// lives until the dialog has let go of it too.
class ScanDialog : public Form {
public:
    // The dialog runs the request when it is shown: "winfr " + its arguments.
    ScanDialog(HWND owner, RunRequest request, std::shared_ptr<ToolRunner> runner);
    ~ScanDialog() override;

    // The timer that refreshes the elapsed time and the files so far, once a second.
    static constexpr UINT_PTR kElapsedTimer = 1;
    // Null restores the system's clock.
    void SetTickSource(TickSource* ticks) noexcept;

    // The Stop button; also what the events that end a run do.
    void StopRun();
    // The session ends (logoff, shutdown): the run stops and its log is closed at once.
    void EndForSession() noexcept;

    // The controls, for tests and outside readers.
    HWND StatusText() const;
    HWND ProgressBar() const;
    HWND StopButton() const;
    HWND ElapsedText() const;

    std::int32_t FilesFound() const noexcept { return filesFound_; }
    // The run's log beside the recovered files; empty when none could be made (tests).
    std::wstring LogPath() const;
    const std::string& SavedFolder() const noexcept { return savedFolder_; }

    struct Controls;

protected:
    void OnShow() override;
    void OnClose() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void ClearDisplay();
    bool StartTool();
    void StartProgressDisplay();
    void OnProgressEvent(const ProgressEvent& event);
    void ShowProgress(const ProgressEvent& event);
    void CountRecovered(const ProgressEvent& event);
    void ShowRunDone();
    void ShowNothingFound();
    void RunFinished(const ProgressEvent& event);
    void ShowBox(const std::string& text, UINT icon);
    std::string CompletedMessage() const;
    void DrainQueuedEvents() noexcept;
    void MoveBar(std::int32_t position);
    void ShowProblem(const std::string& text);
    void EndRunWithProblem(const std::string& text, RunEnding ending);
    void ShowElapsed();
    void FollowPass(const ProgressEvent& event);
    void StopClock();
    void EndTaskbarProgress();
    void StartLog();
    void LogLine(std::string_view line);
    void LogNote(const std::string& note);
    void RecordEnding(RunEnding ending, std::uint32_t exitCode = 0);
    void FinishLog() noexcept;

    std::unique_ptr<Controls> controls_;
    RunRequest request_;
    std::shared_ptr<ToolRunner> runner_;
    HWND owner_;
    std::int32_t filesFound_ = 0;
    std::string savedFolder_;
    // The pass the status text names; nothing while it is empty.
    std::optional<RunPass> shownPass_;
    // The files so far, from the same event as filesFound_; shown once the tool gave a total.
    std::int32_t filesRecovered_ = 0;
    std::int32_t filesTotal_ = 0;
    TickSource* ticks_;
    ULONGLONG runStarted_ = 0;
    bool clockRunning_ = false;
    // The taskbar follows the bar from a started run until the dialog closes, and not after.
    bool taskbarActive_ = false;
    // An outcome (destination full, missing rights) has stopped the run and shows its box.
    bool outcomeEndedRun_ = false;
    // The tool told how the run went (completed, nothing found).
    bool outcomeShown_ = false;
    // The time left in the pass under way, told by the bar's moves within it.
    TimeLeftEstimator timeLeft_;
    std::optional<RunPass> pass_;
    // The run's log, and how the run ended as far as the dialog knows (the first word counts).
    std::unique_ptr<RunLogWriter> log_;
    RepeatedLines logLines_;
    std::optional<RunEnding> ending_;
    std::uint32_t endingCode_ = 0;
    std::wstring logPath_;
};

} // namespace kestro
