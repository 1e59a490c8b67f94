#include "support/scan_dialog_fixture.h"

#include <commctrl.h>

#include <fstream>
#include <utility>

#include "support/event_delivery.h"
#include "ui/application_win.h"

namespace kestro::testing_win {

std::wstring TextOf(HWND control) {
    wchar_t buffer[512] = {};
    GetWindowTextW(control, buffer, 512);
    return buffer;
}

int PositionOf(HWND bar) {
    return static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
}

ProgressEvent PassEvent(RunPass pass, std::int32_t position, const std::string& file, std::int32_t total,
                        std::int32_t recovered) {
    ProgressEvent event = ProgressEvent::Progress(position, pass);
    event.currentFile = file;
    event.totalFiles = total;
    event.filesRecovered = recovered;
    return event;
}

namespace {

std::function<void()>* currentTick = nullptr;

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
    if (currentTick != nullptr) {
        (*currentTick)();
    }
}

} // namespace

ModalRun RunModal(ScanDialog& dialog, DWORD timeoutMs, std::function<void()> tick) {
    ModalRun run;
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    std::function<void()> step = [&] {
        if (tick) {
            tick();
        }
        if (!run.timedOut && GetTickCount64() > end) {
            run.timedOut = true;
            PostMessageW(dialog.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
        }
    };
    currentTick = &step;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &OnTick);
    run.result = dialog.ShowModal();
    KillTimer(nullptr, timer);
    currentTick = nullptr;
    return run;
}

void WriteScript(const std::filesystem::path& file, const std::string& script) {
    std::ofstream out(file, std::ios::binary);
    out << script;
}

void ScanDialogTest::SetUpTestSuite() {
    Application::Get().Initialize(GetModuleHandleW(nullptr));
    Application::Get().SetTitle(kProduct);
}

void ScanDialogTest::SetUp() {
    Application::Get().SetBoxes(&boxes);
    SetEnvironmentVariableW(L"WINFR_SIM_DELAY_MS", L"0");
    SetEnvironmentVariableW(L"WINFR_SIM_FILES", nullptr);
    request.arguments = Arguments();
    request.destination = destination.Utf8();
    request.sourceDrive = 'D';
    request.sourceFileSystem = "NTFS";
    Remake();
}

void ScanDialogTest::Remake(HWND owner) {
    dialog.reset();
    dialog = std::make_unique<ScanDialog>(owner, request, sharedRunner);
}

void ScanDialogTest::TearDown() {
    dialog.reset();
    runner.Stop();
    Application::Get().SetBoxes(nullptr);
}

void ScanDialogTest::Send(ProgressEvent event) {
    SendEvents(dialog->Handle(), {std::move(event)});
}

} // namespace kestro::testing_win
