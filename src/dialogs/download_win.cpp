#include "dialogs/download_win.h"

#include <commctrl.h>

#include <string>

#include "global/application_win.h"
#include "global/handles_win.h"
#include "global/text.h"
#include "global/texts.h"
#include "global/winstr_win.h"
#include "runner/process_info.h"
#include "runner/runner_win.h"

namespace kestro {

namespace {

constexpr int idProcessHint = 1001;
constexpr int idProgressBar = 1002;
constexpr int idStop = 1003;
constexpr UINT_PTR kPercentSubclass = 1;

// The bar carries its whole percent in the middle, drawn over the control's own painting.
void DrawPercent(HWND bar, HDC dc, HFONT font) {
    RECT client;
    GetClientRect(bar, &client);
    const auto position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    const std::wstring text = std::to_wstring(position * 100 / 1000) + L"%";
    SelectGuard selected(dc, font);
    SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

LRESULT CALLBACK PercentBarProc(HWND bar, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR font) noexcept {
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
            DrawPercent(bar, memory.get(), reinterpret_cast<HFONT>(font));
            BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
        }
        EndPaint(bar, &ps);
        return 0;
    }
    case WM_PRINTCLIENT: {
        const LRESULT result = DefSubclassProc(bar, msg, wParam, lParam);
        DrawPercent(bar, reinterpret_cast<HDC>(wParam), reinterpret_cast<HFONT>(font));
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

} // namespace

struct TfrmDownload::Controls {
    explicit Controls(Form* form) : Panel2(form) {}
    Container Panel2;
    HWND lPorcessHint = nullptr;
    HWND suiProgressBar1 = nullptr;
    HWND suiButton1 = nullptr;
};

TfrmDownload::TfrmDownload(HWND owner, ScanContext& context, TDownloadProcess& runner)
    : controls_(std::make_unique<Controls>(this)), context_(context), runner_(runner), owner_(owner) {
    CreateForm(L"TfrmDownload", owner, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS, WS_EX_DLGMODALFRAME,
               Widen(LoadText(IDS_PRODUCT_NAME)), 369, 130);
    Controls& c = *controls_;
    c.Panel2.CreatePanel(*this, 8, 8, 369, 121);
    c.lPorcessHint = AddControl(c.Panel2, WC_STATICW, L"", WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 8, 8, 337,
                                13, idProcessHint);
    c.suiProgressBar1 =
        AddControl(c.Panel2, PROGRESS_CLASSW, L"", WS_VISIBLE | PBS_SMOOTH, 0, 8, 37, 337, 12, idProgressBar);
    SetWindowSubclass(c.suiProgressBar1, &PercentBarProc, kPercentSubclass, reinterpret_cast<DWORD_PTR>(Font()));
    SendMessageW(c.suiProgressBar1, PBM_SETRANGE32, 0, 1000);
    c.suiButton1 =
        AddControl(c.Panel2, WC_BUTTONW, L"Stop", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 144, 75, 80, 27, idStop);
    OnCommand(idStop, [this](int notifyCode) {
        if (notifyCode == BN_CLICKED) {
            bStopClick();
        }
    });
}

TfrmDownload::~TfrmDownload() {
    // A run whose dialog disappears without closing would go on with no one left to stop it.
    if (runner_.Running != 0 && hwnd_ != nullptr && runner_.Window == hwnd_) {
        runner_.Stop(0);
    }
    DrainQueuedEvents();
}

HWND TfrmDownload::ProcessHint() const {
    return controls_->lPorcessHint;
}
HWND TfrmDownload::ProgressBar() const {
    return controls_->suiProgressBar1;
}
HWND TfrmDownload::StopButton() const {
    return controls_->suiButton1;
}

void TfrmDownload::FormShow() {
    SetWindowTextW(controls_->lPorcessHint, L"");
    SendMessageW(controls_->suiProgressBar1, PBM_SETPOS, 0, 0);
    FFilesFound = 0;
    FSavedFolder.clear();
    CenterOver(owner_);
    runner_.Running = 1;
    runner_.Window = hwnd_;
    runner_.Arguments = Arguments;
    runner_.Start();
}

void TfrmDownload::FormClose() {
    if (runner_.Running != 0) {
        runner_.Stop(0);
    }
}

void TfrmDownload::bStopClick() {
    if (runner_.Running != 0) {
        runner_.Stop(0);
    }
    SetModalResult(mrAbort);
}

bool TfrmDownload::OnMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
    if (msg == WM_PROCESSINFO) {
        // The record is ours from here on, whatever its handling does.
        std::unique_ptr<TProcessInfo> info(reinterpret_cast<TProcessInfo*>(lParam));
        if (info) {
            try {
                ProcessInfo(*info);
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

void TfrmDownload::ShowBox(const std::string& text, UINT icon) {
    Application::Get().MessageBox(text, LoadText(IDS_PRODUCT_NAME), MB_OK | icon);
}

std::string TfrmDownload::CompletedMessage() const {
    std::string message = LoadText(context_.RecoveryModeIndex() == 0 ? IDS_QUICK_COMPLETED : IDS_DEEP_COMPLETED);
    if (FFilesFound > 0) {
        message += std::to_string(FFilesFound) + LoadText(IDS_FILES_WERE_FOUND) + "\r\n";
        if (!FSavedFolder.empty()) {
            message += LoadText(IDS_SAVED_IN) + FSavedFolder;
        }
    }
    return message;
}

void TfrmDownload::ProcessInfo(const TProcessInfo& info) {
    if (info.Position == kPositionFinished) {
        if (info.Code == pcNoProgress) {
            ShowBox(LoadText(IDS_FINISHED_QUICKLY), MB_ICONERROR);
        }
        Close();
        return;
    }
    switch (info.Code) {
    case pcProgress:
        if (!info.Caption.empty()) {
            SetWindowTextW(controls_->lPorcessHint, Widen(info.Caption).c_str());
            if (info.Caption == LoadText(IDS_RECOVERING_FILES) && info.TotalFiles > 0) {
                FFilesFound = info.TotalFiles;
                if (!info.CurrentFile.empty() && FSavedFolder.empty()) {
                    std::string destination = context_.DestinationText();
                    if (destination.empty() || destination.back() != '\\') {
                        destination.push_back('\\');
                    }
                    FSavedFolder = destination + TextBetween(info.CurrentFile, destination, "\\");
                }
            }
        }
        if (info.Position >= 0) {
            SendMessageW(controls_->suiProgressBar1, PBM_SETPOS, static_cast<WPARAM>(info.Position), 0);
        }
        break;
    case pcDiskFull:
        ShowBox(LoadText(IDS_DISK_FULL), MB_ICONERROR);
        bStopClick();
        break;
    case pcAbortPrompt:
        bStopClick();
        break;
    case pcNothingFound: {
        std::string text = LoadText(IDS_NOTHING_FOUND);
        if (context_.RecoveryModeIndex() == 0) {
            text += LoadText(IDS_TRY_DEEP_SCAN);
        }
        ShowBox(text, MB_ICONINFORMATION);
        break;
    }
    case pcNeedsAdmin:
        ShowBox(LoadText(IDS_NEEDS_ADMIN), MB_ICONERROR);
        bStopClick();
        break;
    case pcCompleted:
        ShowBox(CompletedMessage(), MB_ICONINFORMATION);
        break;
    default:
        break;
    }
}

void TfrmDownload::DrainQueuedEvents() noexcept {
    if (hwnd_ == nullptr) {
        return;
    }
    // Events posted to this window that it will never handle: their records are still ours.
    MSG msg;
    while (PeekMessageW(&msg, hwnd_, WM_PROCESSINFO, WM_PROCESSINFO, PM_REMOVE)) {
        delete reinterpret_cast<TProcessInfo*>(msg.lParam);
    }
}

} // namespace kestro
