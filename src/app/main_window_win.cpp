#include "app/main_window_win.h"

#include <shellapi.h>
#include <windowsx.h>

#include <exception>

#include "app/popup_menu_win.h"
#include "base/failures.h"
#include "base/fpu.h"
#include "base/text.h"
#include "base/texts.h"
#include "dialogs/about_dialog_win.h"
#include "dialogs/advanced_options_dialog_win.h"
#include "job/job_system_win.h"
#include "platform/drive_list.h"
#include "platform/drives_win.h"
#include "platform/dropped_files_win.h"
#include "platform/files_win.h"
#include "platform/message_filter_win.h"
#include "platform/version_win.h"
#include "platform/winstr_win.h"
#include "runner/tool_runner_win.h"
#include "ui/application_win.h"
#include "ui/control_state_win.h"
#include "ui/folder_win.h"
#include "ui/hover_image_win.h"
#include "ui/link_label_win.h"

namespace kestro {

MainWindow* MainWindow::current_ = nullptr;

namespace {

constexpr wchar_t kClassName[] = L"Kestro Refindor Made by Kestro Software";

// Microsoft's own help page for Windows File Recovery, opened by the title.
constexpr char kTitlePage[] =
    "https://support.microsoft.com/en-us/windows/recover-lost-files-on-windows-10-61f5b28a-f5b8-3cc2-0f8e-a63cb4e1d4c4";

// The popup menu's commands; 0 is no command (a separator, or the menu dismissed).
enum MenuCommand : int {
    kMenuHomePage = 1,
    kMenuDonate,
    kMenuOptions,
    kMenuAbout,
    kMenuCopyCommand,
    kMenuAdvancedOptions
};

std::vector<PopupItem> MenuItems() {
    return {
        {kMenuHomePage, LoadText(IDS_MENU_HOME_PAGE), true},
        {0, "", true},
        {kMenuDonate, LoadText(IDS_MENU_DONATE), true},
        {0, "", true},
        // Kept for the layout of the menu, never shown.
        {kMenuOptions, LoadText(IDS_MENU_OPTIONS), false},
        {0, "", true},
        {kMenuCopyCommand, LoadText(IDS_COPY_COMMAND), true},
        {kMenuAdvancedOptions, LoadText(IDS_MENU_ADVANCED_OPTIONS), true},
        {kMenuAbout, LoadText(IDS_MENU_ABOUT), true},
    };
}

} // namespace

MainWindow::MainWindow(MainWindowServices services) : services_(std::move(services)) {
    UseRealServices();
    current_ = this;
    CreateForm(kClassName, Application::Get().Handle(), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0,
               L"", 460, 299);
    // Any program may ask the window to show itself, also one without this program's rights.
    AllowMessageFrom(hwnd_, WM_SHOWMAIN);
    CreateControls();
    BindHandlers();
    popupMenu_ = std::make_unique<SkinnedPopupMenu>(MenuItems());
    try {
        OnCreate();
    } catch (const std::exception& e) {
        Application::Get().ShowException(e.what());
    }
}

MainWindow::~MainWindow() {
    if (current_ == this) {
        current_ = nullptr;
    }
    if (runner_) {
        runner_->SetToolObserver(nullptr);
    }
}

void MainWindow::UseRealServices() {
    if (services_.drives == nullptr) {
        ownDrives_ = std::make_unique<SystemDrives>();
        services_.drives = ownDrives_.get();
    }
    if (services_.jobSystem == nullptr) {
        ownJobSystem_ = std::make_unique<SystemJobSystem>();
        services_.jobSystem = ownJobSystem_.get();
    }
    if (services_.shutdownReasons == nullptr) {
        services_.shutdownReasons = &systemShutdownReasons_;
    }
}

void MainWindow::OnCreate() {
    savedControlWord_ = GetFpuControlWord();
    SetFpuControlWord(kMainWindowControlWord);
    SetText(hwnd_, LoadText(IDS_PRODUCT_NAME) + " " + LoadText(IDS_VERSION_NUMBER));
    LoadSaveSettings(true);
    c_.updateLink->SetFontColor(RGB(255, 255, 255));
    runner_ = std::make_shared<ToolRunner>();
    runner_->SetToolObserver([this](bool running) { ToolRunningChanged(running); });
}

// ---------------------------------------------------------------------------
// Lifecycle

void MainWindow::OnShow() {
    FillSourceDrives();
    ShowRememberedChoices();
    FitTitleBand();
    ArrangeFilterPanels();
    CenterOnScreen();
}

// Handed over as read: an index outside its list leaves the source entry 0 and the mode list
// without a selection.
void MainWindow::ShowRememberedChoices() {
    const int count = EntryCount(c_.sourceCombo);
    if (count > 0) {
        SelectIndex(c_.sourceCombo, 0);
    }
    if (remembered_.sourceDrive >= 0 && remembered_.sourceDrive < count) {
        SelectIndex(c_.sourceCombo, remembered_.sourceDrive);
    }
    SetText(c_.destinationEdit, remembered_.destination);
    if (remembered_.destination.empty() && count >= 2) {
        SuggestDestination();
    }
    SetText(c_.sourceFolderEdit, remembered_.sourceFolder);
    SetChecked(c_.sourceFolderCheck, remembered_.useSourceFolder);
    SelectIndex(c_.modeCombo, remembered_.recoveryMode);
}

// Another drive than the selected source: entry 1 when entry 0 is the source, otherwise entry 0.
void MainWindow::SuggestDestination() {
    const int other = SelectedIndex(c_.sourceCombo) == 0 ? 1 : 0;
    const char letter = SourceLetter(other);
    SetText(c_.destinationEdit, letter != 0 ? std::string{letter, ':'} : std::string());
}

void MainWindow::OnActivate() {
    if (!IsWin10OrLater()) {
        Application::Get().MessageBox(LoadText(IDS_WIN10_REQUIRED), LoadText(IDS_PRODUCT_NAME), MB_OK | MB_ICONERROR);
    }
}

void MainWindow::OnClose() {
    leaving_ = true;
    // Each step runs even when an earlier one failed: a settings file that cannot
    // be written must not leave the tool running.
    try {
        SetFpuControlWord(savedControlWord_);
    } catch (...) {
        SwallowedFailure("MainWindow::OnClose: the control word");
    }
    try {
        LoadSaveSettings(false);
    } catch (...) {
        SwallowedFailure("MainWindow::OnClose: the settings");
    }
    try {
        if (runner_) {
            runner_->Stop();
            runner_->SetToolObserver(nullptr);
        }
        runner_.reset();
    } catch (...) {
        SwallowedFailure("MainWindow::OnClose: the runner");
    }
}

bool MainWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (OnSessionMessage(msg, wParam, result)) {
        return true;
    }
    if (OnWindowMessage(msg, wParam, lParam)) {
        result = 0;
        return true;
    }
    return false;
}

// A close request, and the end of the session, while a recovery may run.
bool MainWindow::OnSessionMessage(UINT msg, WPARAM wParam, LRESULT& result) {
    switch (msg) {
    case WM_CLOSE:
        result = 0;
        return CloseRequested();
    case WM_QUERYENDSESSION:
        // Windows shows the reason set for the run and lets the user decide.
        result = RecoveryRunning() ? FALSE : TRUE;
        return true;
    case WM_ENDSESSION:
        if (wParam != FALSE) {
            SessionEnding();
        }
        result = 0;
        return true;
    default:
        return false;
    }
}

bool MainWindow::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CONTEXTMENU && GET_X_LPARAM(lParam) == -1 && GET_Y_LPARAM(lParam) == -1) {
        // Edits answer the keys with their own menu and never pass them on. A right click is left
        // to the system (the window menu on the caption): the menu belongs to no control.
        ShowMenuFromKeyboard();
        return true;
    }
    if (msg == WM_SHOWMAIN) {
        ShowWindow(hwnd_, SW_SHOW);
        Application::Get().BringToFront();
        return true;
    }
    if (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_MINIMIZE && Application::Get().Handle() != nullptr) {
        // The program minimises as a whole, to its taskbar button.
        Application::Get().Minimize();
        return true;
    }
    return false;
}

void MainWindow::LoadSaveSettings(bool load) {
    const std::string file = services_.settingsFile ? services_.settingsFile() : SettingsFile();
    if (load) {
        ReadSettings(file, remembered_);
        return;
    }
    ChoicesAtClose now;
    now.destinationText = GetText(c_.destinationEdit);
    now.sourcePathText = GetText(c_.sourceFolderEdit);
    now.useSourcePath = IsChecked(c_.sourceFolderCheck);
    now.recoveryModeIndex = SelectedIndex(c_.modeCombo);
    now.sourceDriveIndex = SelectedIndex(c_.sourceCombo);
    WriteSettings(file, now, remembered_);
}

// While the Scanning dialog's modal loop runs, closing at once would pull the window and the
// runner away under it. The request stops the tool and ends the dialog instead; the program closes
// (settings saved) when the dialog has returned. No question is asked: End task and logoff must
// not wait on one.
bool MainWindow::CloseRequested() {
    if (scanDialog_ == nullptr) {
        return false;
    }
    closeAfterScan_ = true;
    leaving_ = true;
    scanDialog_->StopRun();
    return true;
}

bool MainWindow::RecoveryRunning() const {
    return runner_ && runner_->ProcessId() != 0;
}

// While the tool runs, logoff and shutdown wait (WM_QUERYENDSESSION) and Windows says why, and the
// computer does not go to sleep. The runner tells of every way a run ends (the tool's own end, a
// crash, Stop, a close request, the end of the session), so each of them lets go of both.
void MainWindow::ToolRunningChanged(bool running) {
    keepAwake_.Hold(running);
    if (running) {
        services_.shutdownReasons->Set(hwnd_, LoadText(IDS_SHUTDOWN_REASON));
        return;
    }
    services_.shutdownReasons->Clear(hwnd_);
    if (!leaving_) {
        Application::Get().CallUserBack();
    }
}

// The session ends once this returns, whatever the program still had in mind.
void MainWindow::SessionEnding() {
    leaving_ = true;
    try {
        if (scanDialog_ != nullptr) {
            scanDialog_->EndForSession();
        } else if (runner_) {
            runner_->Stop();
        }
    } catch (...) {
        SwallowedFailure("MainWindow::SessionEnding: the run");
    }
    try {
        LoadSaveSettings(false);
    } catch (...) {
        SwallowedFailure("MainWindow::SessionEnding: the settings");
    }
}

// ---------------------------------------------------------------------------
// Drives

void MainWindow::FillSourceDrives() {
    SendMessageW(c_.sourceCombo, CB_RESETCONTENT, 0, 0);
    for (const std::string& root : services_.drives->LogicalDrives()) {
        const std::string letterPart = LetterPartOfRoot(root);
        if (letterPart.empty()) {
            continue;
        }
        const DriveInfo info = services_.drives->Query(letterPart[0]);
        if (IsListedDrive(info.fileSystem, info.totalBytes)) {
            AddEntry(c_.sourceCombo, SourceEntryCaption(info.label, letterPart), static_cast<LPARAM>(letterPart[0]));
        }
    }
}

// The list is filled again; the selected index stays while the list still has it.
void MainWindow::OnSourceDropDown() {
    const int selected = SelectedIndex(c_.sourceCombo);
    FillSourceDrives();
    SelectIndex(c_.sourceCombo, selected);
}

// ---------------------------------------------------------------------------
// Inputs

// The placeholder is a state of its own: grey while it is shown, and after that the system's
// text colour as it is at each painting (a colour read once would stay black on a dark
// high-contrast theme).
void MainWindow::OnFileNameClicked() {
    if (fileNamePlaceholder_) {
        fileNamePlaceholder_ = false;
        SetText(c_.fileNameEdit, "");
        SetTextColor(c_.fileNameEdit, CLR_INVALID);
    }
}

void MainWindow::OnCustomTypesClicked() {
    if (!IsWindowEnabled(c_.customTypesEdit)) {
        EnableWindow(c_.customTypesEdit, TRUE);
        SetText(c_.customTypesEdit, "");
    }
    if (IsChecked(c_.customTypesCheck)) {
        SetFocus(c_.customTypesEdit);
    }
}

bool MainWindow::PickFolder(std::string& folder) {
    const std::string title = LoadText(IDS_SELECT_DIRECTORY);
    if (services_.selectFolder) {
        return services_.selectFolder(title, folder);
    }
    return SelectFolder(title, L"", folder);
}

void MainWindow::OnDestinationButtonClicked() {
    std::string folder;
    if (PickFolder(folder)) {
        SetText(c_.destinationEdit, folder);
        remembered_.destination = GetText(c_.destinationEdit);
    }
}

void MainWindow::OnSourceFolderButtonClicked() {
    std::string folder;
    if (PickFolder(folder)) {
        SetText(c_.sourceFolderEdit, folder);
        remembered_.sourceFolder = GetText(c_.sourceFolderEdit);
    }
}

void MainWindow::OnShowFilesClicked() {
    remembered_.destination = GetText(c_.destinationEdit);
    if (DirectoryExists(remembered_.destination)) {
        Application::Get().Shell().Open(hwnd_, "Open", remembered_.destination);
        return;
    }
    ShowError(FormatText(LoadText(IDS_OUTPUT_NOT_EXIST), {remembered_.destination}));
}

void MainWindow::OnExitClicked() {
    Close();
}

void MainWindow::FolderDropped(HWND edit, HDROP drop) {
    const std::string folder = DroppedFolder(drop);
    if (folder.empty()) {
        return;
    }
    SetText(edit, folder);
    if (edit == c_.destinationEdit) {
        remembered_.destination = GetText(c_.destinationEdit);
    } else if (edit == c_.sourceFolderEdit) {
        remembered_.sourceFolder = GetText(c_.sourceFolderEdit);
    }
}

// ---------------------------------------------------------------------------
// Menu and links

void MainWindow::ShowMenu() {
    POINT at{};
    GetCursorPos(&at);
    MenuChosen(popupMenu_->Popup(hwnd_, at));
}

// Shift+F10 or the Applications key: the menu opens below the "Menu" label, its first item
// selected, so every item can be reached without a mouse.
void MainWindow::ShowMenuFromKeyboard() {
    RECT label = c_.menuLabel->ClientRect();
    MapWindowPoints(c_.mainPanel->Handle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&label), 2);
    MenuChosen(popupMenu_->PopupFromKeyboard(hwnd_, POINT{label.left, label.bottom}, label));
}

void MainWindow::MenuChosen(int command) {
    switch (command) {
    case kMenuHomePage:
        OpenProductPage();
        break;
    case kMenuDonate:
        OpenDonatePage();
        break;
    case kMenuAbout:
        ShowAbout();
        break;
    case kMenuCopyCommand:
        CopyCommand();
        break;
    case kMenuAdvancedOptions:
        ShowAdvancedOptions();
        break;
    default:
        break;
    }
}

void MainWindow::OpenPage(const std::string& address) {
    Application::Get().Shell().Open(hwnd_, "Open", address);
}

void MainWindow::OpenMakerHomePage() {
    OpenPage(LoadText(IDS_URL_HOME));
}

void MainWindow::OpenHelpPage() {
    OpenPage(kTitlePage);
}

void MainWindow::OpenUpdatePage() {
    OpenPage(LoadText(IDS_URL_UPDATE));
}

void MainWindow::OpenProductPage() {
    OpenPage(LoadText(IDS_URL_PRODUCT));
}

void MainWindow::OpenDonatePage() {
    OpenPage(LoadText(IDS_URL_DONATE));
}

void MainWindow::ShowAbout() {
    AboutDialog about(hwnd_);
    about.ShowModal();
}

// The choices are saved with the others when the program closes.
void MainWindow::ShowAdvancedOptions() {
    AdvancedOptionsDialog dialog(hwnd_, remembered_.toolOptions);
    if (dialog.ShowModal() == mrOk) {
        remembered_.toolOptions = dialog.Options();
    }
}

} // namespace kestro
