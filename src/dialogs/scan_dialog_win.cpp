#include "dialogs/scan_dialog_win.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <iterator>
#include <string>
#include <string_view>

#include "dialogs/scan_outcome.h"
#include "global/application_win.h"
#include "global/handles_win.h"
#include "global/text.h"
#include "global/texts.h"
#include "global/winstr_win.h"
#include "runner/progress_event.h"
#include "runner/tool_runner_win.h"

namespace kestro {

namespace {

constexpr int idStatusText = 1001;
constexpr int idProgressBar = 1002;
constexpr int idStop = 1003;
constexpr int idElapsedText = 1004;
constexpr LPARAM kBarRange = 1000;
constexpr UINT_PTR kPercentSubclass = 1;

// The bar carries its whole percent in the middle, drawn over the control's own painting in the
// dialog's font as it is now (a DPI change replaces the font). In high contrast the bar is drawn
// in the system's colours, which may be dark; the text takes their text colours then, one over
// the filled part and one over the rest.
void DrawPercent(HWND bar, HDC dc, HFONT font) {
    RECT client;
    GetClientRect(bar, &client);
    const auto position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    const std::wstring text = std::to_wstring(position * 100 / 1000) + L"%";
    SelectGuard selected(dc, font);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const auto draw = [&](COLORREF color, const RECT& part) {
        if (IsRectEmpty(&part)) {
            return;
        }
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
        const COLORREF oldColor = ::SetTextColor(dc, color);
        RECT all = client;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &all,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        ::SetTextColor(dc, oldColor);
        RestoreDC(dc, saved);
    };
    if (HighContrastOn()) {
        const int filled = MulDiv(client.right - client.left, std::clamp(position, 0, 1000), 1000);
        draw(GetSysColor(COLOR_HIGHLIGHTTEXT), RECT{client.left, client.top, client.left + filled, client.bottom});
        draw(GetSysColor(COLOR_BTNTEXT), RECT{client.left + filled, client.top, client.right, client.bottom});
    } else {
        draw(RGB(0, 0, 0), client);
    }
    SetBkMode(dc, oldMode);
}

LRESULT CALLBACK PercentBarProc(HWND bar, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) noexcept {
    const auto* form = reinterpret_cast<const Form*>(data);
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(bar, &ps);
        RECT client;
        GetClientRect(bar, &client);
        // Composed off screen: the text never flickers over a half-painted bar.
        UniqueDc memory(CreateCompatibleDC(dc));
        UniqueBitmap bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
        if (memory && bitmap) {
            SelectGuard selected(memory.get(), bitmap.get());
            DefSubclassProc(bar, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory.get()), PRF_CLIENT | PRF_ERASEBKGND);
            DrawPercent(bar, memory.get(), form->Font());
            BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
        }
        EndPaint(bar, &ps);
        return 0;
    }
    case WM_PRINTCLIENT: {
        const LRESULT result = DefSubclassProc(bar, msg, wParam, lParam);
        DrawPercent(bar, reinterpret_cast<HDC>(wParam), form->Font());
        return result;
    }
    case PBM_SETPOS:
    case PBM_DELTAPOS:
    case PBM_STEPIT:
    case PBM_SETRANGE:
    case PBM_SETRANGE32: {
        // The control repaints only the part of the bar that changed; the text needs all of it.
        const LRESULT result = DefSubclassProc(bar, msg, wParam, lParam);
        InvalidateRect(bar, nullptr, FALSE);
        return result;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(bar, &PercentBarProc, kPercentSubclass);
        break;
    default:
        break;
    }
    return DefSubclassProc(bar, msg, wParam, lParam);
}

class SystemTicks final : public TickSource {
public:
    ULONGLONG Milliseconds() override { return GetTickCount64(); }
};

TickSource& SystemClock() {
    static SystemTicks ticks;
    return ticks;
}

// h:mm:ss; the hours simply grow past 24.
std::string ClockText(ULONGLONG seconds) {
    const auto two = [](ULONGLONG n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    return std::to_string(seconds / 3600) + ":" + two(seconds / 60 % 60) + ":" + two(seconds % 60);
}

// A locale text of at most a few characters, or fallback when the locale has none.
std::wstring LocaleText(LCTYPE type, const wchar_t* fallback) {
    wchar_t buffer[16] = {};
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, static_cast<int>(std::size(buffer)));
    return n > 1 ? std::wstring(buffer, static_cast<std::size_t>(n - 1)) : std::wstring(fallback);
}

UINT LocaleNumber(LCTYPE type, UINT fallback) {
    DWORD value = 0;
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type | LOCALE_RETURN_NUMBER,
                                  reinterpret_cast<LPWSTR>(&value), sizeof(value) / sizeof(wchar_t));
    return n > 0 ? static_cast<UINT>(value) : fallback;
}

// The locale writes its grouping as "3;0" (threes all the way), "3;2;0" (Indian) or "3" (one
// group only); NUMBERFMTW wants 3, 32 and 30.
UINT GroupingOf(const std::wstring& text) {
    UINT grouping = 0;
    for (const wchar_t c : text) {
        if (c >= L'0' && c <= L'9') {
            grouping = grouping * 10 + static_cast<UINT>(c - L'0');
        }
    }
    return !text.empty() && text.back() == L'0' ? grouping / 10 : grouping * 10;
}

// A count as the user writes numbers ("1,204", "1.204", "1 204"), without decimals.
std::string GroupedNumber(std::int32_t value) {
    const std::wstring digits = std::to_wstring(value);
    std::wstring decimal = LocaleText(LOCALE_SDECIMAL, L".");
    std::wstring thousand = LocaleText(LOCALE_STHOUSAND, L",");
    NUMBERFMTW format{};
    format.NumDigits = 0;
    format.LeadingZero = LocaleNumber(LOCALE_ILZERO, 1);
    format.Grouping = GroupingOf(LocaleText(LOCALE_SGROUPING, L"3;0"));
    format.lpDecimalSep = decimal.data();
    format.lpThousandSep = thousand.data();
    format.NegativeOrder = LocaleNumber(LOCALE_INEGNUMBER, 1);
    wchar_t buffer[64] = {};
    const int n = GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, digits.c_str(), &format, buffer,
                                    static_cast<int>(std::size(buffer)));
    return Narrow(n > 1 ? std::wstring_view(buffer, static_cast<std::size_t>(n - 1)) : std::wstring_view(digits));
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

ScanDialog::ScanDialog(HWND owner, ScanContext& context, std::shared_ptr<ToolRunner> runner, std::string arguments)
    : controls_(std::make_unique<Controls>(this)), context_(context), runner_(std::move(runner)),
      arguments_(std::move(arguments)), owner_(owner), ticks_(&SystemClock()) {
    CreateForm(L"KestroScanDialog", owner, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS, WS_EX_DLGMODALFRAME,
               Widen(LoadText(IDS_PRODUCT_NAME)), 369, 130);
    Controls& c = *controls_;
    c.body.CreatePanel(*this, 8, 8, 369, 121);
    c.statusText = AddControl(c.body, WC_STATICW, L"", WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 8, 8, 337,
                                13, idStatusText);
    c.progressBar =
        AddControl(c.body, PROGRESS_CLASSW, L"", WS_VISIBLE | PBS_SMOOTH, 0, 8, 37, 337, 12, idProgressBar);
    SetWindowSubclass(c.progressBar, &PercentBarProc, kPercentSubclass,
                      reinterpret_cast<DWORD_PTR>(static_cast<Form*>(this)));
    SendMessageW(c.progressBar, PBM_SETRANGE32, 0, kBarRange);
    c.elapsedText = AddControl(c.body, WC_STATICW, L"", WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 8, 55, 337, 13,
                            idElapsedText);
    c.stopButton =
        AddControl(c.body, WC_BUTTONW, L"Stop", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 144, 75, 80, 27, idStop);
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
    SetWindowTextW(controls_->statusText, L"");
    SendMessageW(controls_->progressBar, PBM_SETPOS, 0, 0);
    filesFound_ = 0;
    savedFolder_.clear();
    outcomeEndedRun_ = false;
    filesRecovered_ = 0;
    filesTotal_ = 0;
    SetWindowTextW(controls_->elapsedText, L"");
    CenterOver(owner_);
    runStarted_ = ticks_->Milliseconds();
    TaskbarProgress& taskbar = Application::Get().Taskbar();
    try {
        runner_->Start(hwnd_, arguments_);
    } catch (const std::exception& e) {
        // Reported here rather than left to ShowModal, so that the taskbar shows the failure
        // while its box is open. Nothing runs afterwards, so the clock does not start.
        taskbar.SetState(TBPF_ERROR);
        Application::Get().ShowException(e.what());
        taskbar.SetState(TBPF_NOPROGRESS);
        return;
    }
    taskbarActive_ = true;
    taskbar.SetState(TBPF_NORMAL);
    taskbar.SetValue(0, kBarRange);
    clockRunning_ = true;
    ShowElapsed();
    SetTimer(hwnd_, kElapsedTimer, 1000, nullptr);
}

void ScanDialog::OnClose() {
    runner_->Stop();
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
    std::string line = LoadText(IDS_ELAPSED) + ClockText(now > runStarted_ ? (now - runStarted_) / 1000 : 0);
    if (filesTotal_ > 0) {
        line += "   " + GroupedNumber(std::max(filesRecovered_, 0)) + LoadText(IDS_FILES_OF) + GroupedNumber(filesTotal_) +
                LoadText(IDS_FILES_SO_FAR);
    }
    // A static repaints on every new text, so an unchanged one is not set again.
    if (GetText(controls_->elapsedText) != line) {
        SetText(controls_->elapsedText, line);
    }
}

void ScanDialog::MoveBar(std::int32_t position) {
    const auto before = SendMessageW(controls_->progressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    const auto after = SendMessageW(controls_->progressBar, PBM_GETPOS, 0, 0);
    if (taskbarActive_ && after != before) {
        Application::Get().Taskbar().SetValue(static_cast<ULONGLONG>(after), kBarRange);
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
void ScanDialog::EndRunWithProblem(const std::string& text) {
    outcomeEndedRun_ = true;
    runner_->Stop();
    ShowProblem(text);
    StopRun();
}

void ScanDialog::StopRun() {
    runner_->Stop();
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
    if (msg == WM_PROCESSINFO) {
        // The record is ours from here on, whatever its handling does.
        std::unique_ptr<ProgressEvent> event(reinterpret_cast<ProgressEvent*>(lParam));
        if (event) {
            try {
                OnProgressEvent(*event);
            } catch (...) {
                // A failing event must not disturb the run.
            }
        }
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
    std::string message = LoadText(context_.Mode() == RecoveryMode::Quick ? IDS_QUICK_COMPLETED : IDS_DEEP_COMPLETED);
    if (filesFound_ > 0) {
        message += std::to_string(filesFound_) + LoadText(IDS_FILES_WERE_FOUND) + "\r\n";
        if (!savedFolder_.empty()) {
            message += LoadText(IDS_SAVED_IN) + savedFolder_;
        }
    }
    return message;
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
        EndRunWithProblem(LoadText(IDS_DISK_FULL));
        break;
    case EventKind::AbortPrompt:
        StopRun();
        break;
    case EventKind::NothingFound:
        ShowNothingFound();
        break;
    case EventKind::NeedsAdmin:
        EndRunWithProblem(LoadText(IDS_NEEDS_ADMIN));
        break;
    case EventKind::Completed:
        ShowBox(CompletedMessage(), MB_ICONINFORMATION);
        break;
    case EventKind::Finished:
        RunFinished(event);
        break;
    }
}

void ScanDialog::ShowProgress(const ProgressEvent& event) {
    if (event.pass) {
        SetText(controls_->statusText, LoadText(*event.pass == RunPass::Scanning ? IDS_SCANNING_DISK
                                                                                 : IDS_RECOVERING_FILES));
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
        std::string destination = context_.DestinationText();
        if (destination.empty() || destination.back() != '\\') {
            destination.push_back('\\');
        }
        savedFolder_ = destination + TextBetween(event.currentFile, destination, "\\");
    }
}

void ScanDialog::ShowNothingFound() {
    std::string text = LoadText(IDS_NOTHING_FOUND);
    if (context_.Mode() == RecoveryMode::Quick) {
        text += LoadText(IDS_TRY_DEEP_SCAN);
    }
    ShowBox(text, MB_ICONINFORMATION);
}

// A tool that crashed must not look like a finished run, whatever it reported before.
void ScanDialog::RunFinished(const ProgressEvent& event) {
    if (IsCrashExitCode(event.exitCode)) {
        ShowProblem(WithExitCode(LoadText(IDS_TOOL_STOPPED), event.exitCode));
    } else if (!event.progressSeen) {
        ShowProblem(LoadText(IDS_FINISHED_QUICKLY));
    }
    Close();
}

void ScanDialog::DrainQueuedEvents() noexcept {
    if (hwnd_ == nullptr) {
        return;
    }
    // Events posted to this window that it will never handle: their records are still ours.
    MSG msg;
    while (PeekMessageW(&msg, hwnd_, WM_PROCESSINFO, WM_PROCESSINFO, PM_REMOVE)) {
        delete reinterpret_cast<ProgressEvent*>(msg.lParam);
    }
}

} // namespace kestro
