// The main window's recovery job: the choices read from the controls, checked and turned into the
// tool's arguments, then run in the Scanning dialog or copied as a command line.
#include "app/main_window_win.h"

#include "base/failures.h"

#include "base/texts.h"
#include "job/cmdline.h"
#include "job/command.h"
#include "job/run_request.h"
#include "platform/clipboard_win.h"
#include "platform/winstr_win.h"
#include "runner/tool_runner_win.h"
#include "ui/application_win.h"
#include "ui/control_state_win.h"

namespace kestro {

namespace {
constexpr int kDeepScanEntry = 1; // of the mode list
}

JobChoices MainWindow::ReadChoices() {
    EnsureFilterGroups();
    JobChoices choices;
    choices.sourceText = GetText(c_.sourceCombo);
    choices.sourceIndex = SelectedIndex(c_.sourceCombo);
    for (int i = 0; i < EntryCount(c_.sourceCombo); ++i) {
        choices.sourceEntries.push_back(SourceEntry{EntryText(c_.sourceCombo, i), SourceLetter(i)});
    }
    choices.destination = GetText(c_.destinationEdit);
    choices.useSourcePath = IsChecked(c_.sourceFolderCheck);
    choices.sourcePath = GetText(c_.sourceFolderEdit);
    choices.recoveryMode = Mode();
    choices.filter = ChosenFilter();
    choices.fileName = GetText(c_.fileNameEdit);
    choices.wildcard = GetText(c_.wildcardEdit);
    for (std::size_t i = 0; i < kCategoryCount; ++i) {
        choices.types.ticked[i] = IsChecked(c_.categoryChecks[i]);
    }
    choices.types.custom = IsChecked(c_.customTypesCheck);
    choices.types.customText = GetText(c_.customTypesEdit);
    choices.options = remembered_.toolOptions;
    return choices;
}

void MainWindow::ShowError(const std::string& text) {
    Application::Get().MessageBox(text, LoadText(IDS_PRODUCT_NAME), MB_OK | MB_ICONERROR);
}

void MainWindow::OnStartClicked() {
    try {
        const JobChoices choices = ReadChoices();
        const JobResult job = CheckAndBuild(choices, *services_.jobSystem);
        if (!job.ok) {
            ShowError(job.message);
            return;
        }
        if (job.switchToDeepScan && SelectedIndex(c_.modeCombo) != kDeepScanEntry) {
            SendMessageW(c_.modeCombo, CB_SETCURSEL, kDeepScanEntry, 0);
        }
        if (ToolMissing()) {
            return;
        }
        RunRequest request;
        request.arguments = job.arguments;
        request.destination = choices.destination;
        request.mode = Mode();
        request.sourceDrive = job.sourceDrive.front();
        request.sourceFileSystem = services_.jobSystem->FileSystemName(request.sourceDrive);
        request.options = choices.options;
        RunScanDialog(request);
    } catch (...) {
        // Start fails without a box of its own; the Scanning dialog reports the run's own errors.
        SwallowedFailure("MainWindow::OnStartClicked");
    }
}

// The command line exactly as the runner forms it, without starting anything.
void MainWindow::CopyCommand() {
    const JobResult job = CheckAndBuild(ReadChoices(), *services_.jobSystem);
    if (!job.ok) {
        ShowError(job.message);
        return;
    }
    if (!PutTextOnClipboard(hwnd_, Widen(ToolCommandLine("winfr", job.arguments)))) {
        ShowError(LoadText(IDS_CLIPBOARD_FAILED));
    }
}

// Many who start the program do not have Windows File Recovery yet: instead of a Scanning dialog
// that can only fail with a system error number, they are offered its Store page. The search is
// the runner's own, so what it finds here is what Start would start.
bool MainWindow::ToolMissing() {
    if (!runner_ || runner_->ToolFound()) {
        return false;
    }
    const int answer = Application::Get().MessageBox(LoadText(IDS_TOOL_NOT_INSTALLED), LoadText(IDS_PRODUCT_NAME),
                                                     MB_YESNO | MB_ICONINFORMATION);
    if (answer == IDYES) {
        OpenPage(LoadText(IDS_URL_STORE));
    }
    return true;
}

void MainWindow::RunScanDialog(const RunRequest& request) {
    if (services_.runScan) {
        services_.runScan(hwnd_, request);
        return;
    }
    if (!runner_) {
        return;
    }
    {
        ScanDialog dialog(hwnd_, request, runner_);
        scanDialog_ = &dialog;
        try {
            dialog.ShowModal();
        } catch (...) {
            scanDialog_ = nullptr;
            throw;
        }
        scanDialog_ = nullptr;
    }
    if (closeAfterScan_) {
        closeAfterScan_ = false;
        Close();
    }
}

RecoveryMode MainWindow::Mode() const {
    return RecoveryModeOfIndex(SelectedIndex(c_.modeCombo));
}

// The drive an entry of the source list stands for, kept as the entry's data.
char MainWindow::SourceLetter(int entry) const {
    return static_cast<char>(EntryData(c_.sourceCombo, entry));
}

} // namespace kestro
