#include "app/main_window_win.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>
#include <exception>

#include "resource_ids.h"
#include "app/popup_menu_win.h"
#include "dialogs/about_dialog_win.h"
#include "global/application_win.h"
#include "global/drives_win.h"
#include "global/files_win.h"
#include "global/folder_win.h"
#include "global/message_filter_win.h"
#include "global/fpu.h"
#include "global/sizes.h"
#include "global/text.h"
#include "global/texts.h"
#include "global/version_win.h"
#include "global/winstr_win.h"
#include "job/categories.h"
#include "job/command.h"
#include "job/job_system_win.h"
#include "runner/tool_runner_win.h"
#include "widgets/hover_image_win.h"
#include "widgets/link_label_win.h"

namespace kestro {

MainWindow* MainWindow::current_ = nullptr;

namespace {

constexpr wchar_t kClassName[] = L"Kestro Refindor Made by Kestro Software";

// Microsoft's own help page for Windows File Recovery, opened by the title.
constexpr char kTitlePage[] =
    "https://support.microsoft.com/en-us/windows/recover-lost-files-on-windows-10-61f5b28a-f5b8-3cc2-0f8e-a63cb4e1d4c4";

constexpr Color kSilver = RGB(192, 192, 192);

enum ControlId : int {
    idSourceCombo = 1001,
    idModeCombo,
    idDestinationEdit,
    idDestinationButton,
    idSourceFolderCheck,
    idSourceFolderEdit,
    idSourceFolderButton,
    idFilterButton0 = 1010, // .. 1013
    idFileNameEdit = 1020,
    idWildcardEdit,
    idCategoryCheck0 = 1030, // .. 1035
    idCustomTypesCheck = 1036,
    idCustomTypesEdit = 1037,
    idStartButton = 1040,
    idShowFilesButton,
    idExitButton,
    idStatic = 1100,
};

// The popup menu's commands; 0 is no command (a separator, or the menu dismissed).
enum MenuCommand : int { kMenuHomePage = 1, kMenuDonate, kMenuOptions, kMenuAbout, kMenuCopyCommand };

constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kEdit = WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCheck = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kCombo = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;

// The category check boxes, in the order of Category; the hint of each is CategoryHint.
struct CheckBoxSpec {
    int top;
    const char* caption;
};
constexpr CheckBoxSpec kCategoryChecks[kCategoryCount] = {
    {24, "Documents (.txt, .doc, .docx, .wps, .xls, .xlsx, .pdf, .ppt, ...)"},
    {54, "Photos (.bmp, .cur, .ico, .jpg, .jpeg, .png, .gif, .psd, .svg, ...)"},
    {85, "Videos (.mpeg, .mp4, .avi, .wmv, .3gp, .rm, .flv, .rmvb, ...)"},
    {116, "Audios ( .aac, .cda, .wav, .mp3, .wma, .ogg, .flac, .m4a, ...)"},
    {147, "Web pages (.htm, .html, .mht, .xhtml, .asp, .aspx, ...)"},
    {178, "Compressed files (.7z, .arj, .exe, .iso, .jar, .rar, .tar, .zip, ...)"},
};

} // namespace

MainWindow::MainWindow(MainWindowServices services) : services_(std::move(services)) {
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
    current_ = this;
    CreateForm(kClassName, Application::Get().Handle(), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0,
               L"", 460, 299);
    // Any program may ask the window to show itself, also one without this program's rights.
    AllowMessageFrom(hwnd_, WM_SHOWMAIN);
    CreateControls();
    BindHandlers();
    popupMenu_ = std::make_unique<SkinnedPopupMenu>(std::vector<PopupItem>{
        {kMenuHomePage, "&Home Page", true},
        {0, "", true},
        {kMenuDonate, "&Donate", true},
        {0, "", true},
        // Kept for the layout of the menu, never shown.
        {kMenuOptions, "Options", false},
        {0, "", true},
        {kMenuCopyCommand, LoadText(IDS_COPY_COMMAND), true},
        {kMenuAbout, "&About...", true},
    });
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

// ---------------------------------------------------------------------------
// Creation

void MainWindow::OnCreate() {
    savedControlWord_ = GetFpuControlWord();
    SetFpuControlWord(kMainWindowControlWord);
    SetText(hwnd_, LoadText(IDS_PRODUCT_NAME) + " " + LoadText(IDS_VERSION_NUMBER));
    LoadSaveSettings(true);
    c_.updateLink->SetFontColor(RGB(255, 255, 255));
    runner_ = std::make_shared<ToolRunner>();
    runner_->SetToolObserver([this](bool running) { ToolRunningChanged(running); });
}

void MainWindow::CreateTitleBand() {
    HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    c_.titleBanner = std::make_unique<Image>(*this);
    c_.titleBanner->SetStretch(true);
    c_.titleBanner->SetCursor(hand);
    c_.titleBanner->SetPicture(Picture::FromJpegResource(IDR_TITLE_JPEG));
    c_.titleBanner->SetBounds(0, 0, 460, 50);

    c_.productIcon = std::make_unique<Image>(*this);
    c_.productIcon->SetCursor(hand);
    c_.productIcon->SetBounds(24, 8, 32, 32);
    c_.productIcon->SetAutoSize(true);
    c_.productIcon->SetPicture(Picture::FromIconResource(IDI_PRODUCT, 32, 32));

    c_.titleLabel = std::make_unique<Label>(*this);
    c_.titleLabel->SetTransparent(true);
    c_.titleLabel->SetCursor(hand);
    c_.titleLabel->SetFont(-15, true, false);
    c_.titleLabel->SetFontColor(RGB(255, 255, 255));
    c_.titleLabel->SetBounds(65, 8, 0, 0);
    c_.titleLabel->SetCaption("Windows File Recovery Gui");

    c_.subtitleLabel = std::make_unique<Label>(*this);
    c_.subtitleLabel->SetTransparent(true);
    c_.subtitleLabel->SetCursor(hand);
    c_.subtitleLabel->SetAutoSize(false);
    c_.subtitleLabel->SetFontColor(RGB(255, 255, 255));
    c_.subtitleLabel->SetBounds(66, 27, 266, 13);
    c_.subtitleLabel->SetCaption("Recover lost files from your local storage device");

    c_.updateIcon = std::make_unique<Image>(*this);
    c_.updateIcon->SetBounds(0, 24, 16, 16);
    c_.updateIcon->SetAutoSize(true);
    c_.updateIcon->SetPicture(Picture::FromIconResource(IDI_UPDATE, 16, 16));

    c_.updateLink = std::make_unique<LinkLabel>(*this);
    c_.updateLink->SetTransparent(true);
    c_.updateLink->SetFont(-12, false, true);
    c_.updateLink->SetFontHoverColor(RGB(255, 0, 0));
    c_.updateLink->SetFontLinkColor(RGB(255, 255, 255));
    // No link target of its own: its click handler opens the update page, and a
    // target such as "-" would have the shell try to open a file of that name first.
    c_.updateLink->SetURL("");
    c_.updateLink->SetBounds(0, 24, 0, 0);
    c_.updateLink->SetCaption("Check for updates...");
}

void MainWindow::CreateControls() {
    CreateTitleBand();

    c_.mainPanel = std::make_unique<Container>(this);
    c_.mainPanel->CreatePanel(*this, 8, 56, 460, 299);
    Container& panel = *c_.mainPanel;

    c_.sourceLabel = AddLabel(panel, L"Source drive:", 8, 11, idStatic + 1);
    c_.sourceCombo = AddControl(panel, WC_COMBOBOXW, L"", kCombo, 0, 79, 8, 130, 21, idSourceCombo);
    c_.modeLabel = AddLabel(panel, L"Recovery mode:", 260, 7, idStatic + 2);
    c_.modeCombo = AddControl(panel, WC_COMBOBOXW, L"", kCombo, 0, 344, 4, 92, 21, idModeCombo);
    SendMessageW(c_.modeCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Quick Scan"));
    SendMessageW(c_.modeCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Deep Scan"));
    SendMessageW(c_.modeCombo, CB_SETCURSEL, 0, 0);

    // Destination row: the button comes before the edit in keyboard order.
    c_.destinationRow = std::make_unique<Container>(this);
    c_.destinationRow->CreatePanel(panel, 8, 39, 433, 34);
    c_.destinationButton = AddControl(*c_.destinationRow, WC_BUTTONW, L"Browser...", kButton, 0, 350, 0, 80, 23, idDestinationButton);
    c_.destinationEdit =
        AddControl(*c_.destinationRow, WC_EDITW, L"", kEdit, WS_EX_CLIENTEDGE, 51, 2, 278, 20, idDestinationEdit);
    c_.destinationLabel = AddLabel(*c_.destinationRow, L"Save to:", 0, 5, idStatic + 3);

    c_.separatorLine = AddControl(panel, WC_STATICW, L"", WS_VISIBLE | SS_ETCHEDHORZ, 0, 0, 74, 439, 2, idStatic + 4);

    c_.sourceFolderRow = std::make_unique<Container>(this);
    c_.sourceFolderRow->CreatePanel(panel, 8, 88, 473, 34);
    c_.sourceFolderCheck = AddCheckBox(*c_.sourceFolderRow, L"Source file path:", 0, 3, 17, idSourceFolderCheck);
    c_.sourceFolderEdit = AddControl(*c_.sourceFolderRow, WC_EDITW, L"", kEdit, WS_EX_CLIENTEDGE, 106, 3, 222, 20, idSourceFolderEdit);
    c_.sourceFolderButton =
        AddControl(*c_.sourceFolderRow, WC_BUTTONW, L"Browser...", kButton, 0, 350, 1, 80, 23, idSourceFolderButton);

    // The filter choice: four items in four columns, laid out as the toolkit's
    // radio group does (width - 10 shared out, items under the caption line).
    c_.filterGroup = std::make_unique<GroupBox>(this);
    c_.filterGroup->CreateGroup(panel, "Select the filter", 8, 127, 430, 57);
    static const wchar_t* const kFilters[4] = {L"All deleted files", L"Specific file", L"Wildcard",
                                               L"Deleted file type"};
    const int itemWidth = (430 - 10) / 4;
    for (int i = 0; i < 4; ++i) {
        const DWORD style = WS_VISIBLE | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0);
        c_.filterButtons[static_cast<std::size_t>(i)] =
            AddControl(*c_.filterGroup, WC_BUTTONW, kFilters[i], style, 0, 8 + i * itemWidth, 14, itemWidth, 39,
                       idFilterButton0 + i);
    }
    SendMessageW(c_.filterButtons[0], BM_SETCHECK, BST_CHECKED, 0);

    c_.startButton = AddControl(panel, WC_BUTTONW, L"Start...", kButton, 0, 158, 204, 80, 23, idStartButton);
    c_.showFilesButton = AddControl(panel, WC_BUTTONW, L"Show Files...", kButton, 0, 254, 204, 80, 23, idShowFilesButton);
    c_.exitButton = AddControl(panel, WC_BUTTONW, L"Exit", kButton, 0, 351, 204, 80, 23, idExitButton);

    CreateFilterGroups();

    c_.menuImage = std::make_unique<HoverImage>(panel);
    c_.menuImage->SetCursor(LoadCursorW(nullptr, IDC_HAND));
    c_.menuImage->SetBounds(17, 195, 32, 32);
    c_.menuImage->SetAutoSize(true);
    const Picture menu = Picture::FromIconResource(IDI_MENU, 32, 32);
    c_.menuImage->SetPicture(menu);
    c_.menuImage->SetNoFocusedPicture(menu);
    c_.menuImage->SetFocusedPicture(Picture::FromIconResource(IDI_MENU_HOVER, 32, 32));

    c_.menuLabel = std::make_unique<Label>(panel);
    c_.menuLabel->SetCursor(LoadCursorW(nullptr, IDC_HAND));
    c_.menuLabel->SetFont(-11, true, true);
    c_.menuLabel->SetFontColor(RGB(0, 0, 255));
    c_.menuLabel->SetBounds(51, 212, 0, 0);
    c_.menuLabel->SetCaption("Menu");

    SetHint(c_.destinationEdit, "Specifies the storage device and folder on which to put the recovered files. Must be "
                              "different from the source-drive.");
    SetHint(c_.destinationButton, "Set your default output folder");
    SetHint(c_.sourceFolderEdit, "Scan the specified file directory");
    SetHint(c_.wildcardEdit, "myfile.* or *<string>*");
    SetHint(c_.customTypesEdit, "Please separate multiple extensions with commas");
    for (std::size_t i = 0; i < 6; ++i) {
        SetHint(c_.categoryChecks[i], CategoryHint(static_cast<Category>(i)));
    }
    SetHint(*c_.menuImage, "Click to popup the menu");
    SetHint(*c_.menuLabel, "Click to popup the menu");
}

// Labels and check boxes are as wide as their text (and the check mark), at every DPI.
HWND MainWindow::AddLabel(Container& parent, const std::wstring& text, int x, int y, int id) {
    HWND label = AddControl(parent, WC_STATICW, text, kLabel, 0, x, y, TextWidth96(text) + 1, 13, id);
    FitToText(label, 1, false);
    return label;
}

HWND MainWindow::AddCheckBox(Container& parent, const std::wstring& text, int x, int y, int height, int id) {
    HWND box = AddControl(parent, WC_BUTTONW, text, kCheck, 0, x, y, TextWidth96(text) + 24, height, id);
    FitToText(box, 24, false);
    return box;
}

void MainWindow::CreateFilterGroups() {
    Container& panel = *c_.mainPanel;

    c_.fileNameGroup = std::make_unique<GroupBox>(this);
    c_.fileNameGroup->CreateGroup(panel, "Specific file", 8, 200, 430, 89);
    c_.fileNameHelp = AddLabel(*c_.fileNameGroup, L"Scans for a specific file by using a file name such as myfile.docx.", 16,
                         24, idStatic + 10);
    c_.fileNameLabel = AddLabel(*c_.fileNameGroup, L"File name: ", 16, 53, idStatic + 11);
    c_.fileNameEdit =
        AddControl(*c_.fileNameGroup, WC_EDITW, L"myfile.docx", kEdit, WS_EX_CLIENTEDGE, 76, 52, 188, 19, idFileNameEdit);
    SetTextColor(c_.fileNameEdit, kSilver);

    c_.wildcardGroup = std::make_unique<GroupBox>(this);
    c_.wildcardGroup->CreateGroup(panel, "Wildcard", 8, 296, 430, 89);
    c_.wildcardHelp = AddLabel(*c_.wildcardGroup,
                         L"Scans for a specific file by using wildcards such as myfile.* or *<string>*.", 16, 24,
                         idStatic + 13);
    c_.wildcardLabel = AddLabel(*c_.wildcardGroup, L"Wildcard: ", 16, 53, idStatic + 14);
    c_.wildcardEdit = AddControl(*c_.wildcardGroup, WC_EDITW, L"", kEdit, WS_EX_CLIENTEDGE, 69, 52, 188, 19, idWildcardEdit);

    // Designed to the right of the others; moved under the filter choice when shown.
    c_.fileTypeGroup = std::make_unique<GroupBox>(this);
    c_.fileTypeGroup->CreateGroup(panel, "Deleted file type", 448, 200, 430, 244);
    for (std::size_t i = 0; i < kCategoryCount; ++i) {
        c_.categoryChecks[i] = AddCheckBox(*c_.fileTypeGroup, Widen(kCategoryChecks[i].caption), 16,
                                           kCategoryChecks[i].top, 19, idCategoryCheck0 + static_cast<int>(i));
    }
    c_.customTypesCheck = AddCheckBox(*c_.fileTypeGroup, L"Custom file types", 16, 209, 19, idCustomTypesCheck);
    c_.customTypesEdit = AddControl(*c_.fileTypeGroup, WC_EDITW, L".dll, .ini, .sys", kEdit | WS_DISABLED,
                                     WS_EX_CLIENTEDGE, 123, 210, 185, 19, idCustomTypesEdit);
    c_.fileTypesPicture = std::make_unique<Image>(*c_.fileTypeGroup);
    c_.fileTypesPicture->SetBounds(360, 104, 32, 41);
    c_.fileTypesPicture->SetPicture(Picture::FromIconResource(IDI_FILE_TYPES, 32, 41));

    for (Container* group : {c_.fileNameGroup.get(), c_.wildcardGroup.get(), c_.fileTypeGroup.get()}) {
        ShowWindow(group->Handle(), SW_HIDE);
    }
}

void MainWindow::BindHandlers() {
    OnCommand(idSourceCombo, [this](int code) {
        if (code == CBN_DROPDOWN) {
            OnSourceDropDown();
        }
    });
    for (int i = 0; i < kFilterCount; ++i) {
        OnCommand(idFilterButton0 + i, [this](int code) {
            if (code == BN_CLICKED) {
                FilterClicked();
            }
        });
    }
    OnCommand(idCustomTypesCheck, [this](int code) {
        if (code == BN_CLICKED) {
            OnCustomTypesClicked();
        }
    });
    auto click = [this](void (MainWindow::*handler)()) {
        return [this, handler](int code) {
            if (code == BN_CLICKED) {
                (this->*handler)();
            }
        };
    };
    OnCommand(idDestinationButton, click(&MainWindow::OnDestinationButtonClicked));
    OnCommand(idSourceFolderButton, click(&MainWindow::OnSourceFolderButtonClicked));
    OnCommand(idShowFilesButton, click(&MainWindow::OnShowFilesClicked));
    OnCommand(idStartButton, click(&MainWindow::OnStartClicked));
    OnCommand(idExitButton, click(&MainWindow::OnExitClicked));

    Subclass(c_.fileNameEdit, [this](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        if (msg != WM_LBUTTONUP) {
            return false;
        }
        result = CallOriginal(hwnd, msg, wParam, lParam);
        OnFileNameClicked();
        return true;
    });

    auto page = [this](void (MainWindow::*handler)()) {
        return [this, handler](GraphicControl&) { (this->*handler)(); };
    };
    c_.titleBanner->OnClick = page(&MainWindow::OpenMakerHomePage);
    c_.productIcon->OnClick = page(&MainWindow::OpenMakerHomePage);
    c_.subtitleLabel->OnClick = page(&MainWindow::OpenMakerHomePage);
    c_.titleLabel->OnClick = page(&MainWindow::OpenHelpPage);
    c_.updateLink->OnClick = page(&MainWindow::OpenUpdatePage);
    c_.menuImage->OnClick = page(&MainWindow::ShowMenu);
    c_.menuLabel->OnClick = page(&MainWindow::ShowMenu);

    AcceptFolderDrops(c_.destinationEdit);
    AcceptFolderDrops(c_.sourceFolderEdit);
}

void MainWindow::AcceptFolderDrops(HWND edit) {
    DragAcceptFiles(edit, TRUE);
    // Explorer runs with less privilege than this program: let its drops through.
    AllowMessageFrom(edit, WM_DROPFILES);
    AllowMessageFrom(edit, WM_COPYDATA);
    AllowMessageFrom(edit, 0x0049); // WM_COPYGLOBALDATA
    Subclass(edit, [this](HWND hwnd, UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
        if (msg != WM_DROPFILES) {
            return false;
        }
        FolderDropped(hwnd, reinterpret_cast<HDROP>(wParam));
        result = 0;
        return true;
    });
}

// ---------------------------------------------------------------------------
// Lifecycle

void MainWindow::OnShow() {
    FillSourceDrives();
    const int count = static_cast<int>(SendMessageW(c_.sourceCombo, CB_GETCOUNT, 0, 0));
    if (count > 0) {
        SendMessageW(c_.sourceCombo, CB_SETCURSEL, 0, 0);
    }
    if (remembered_.sourceDrive >= 0 && remembered_.sourceDrive < count) {
        SendMessageW(c_.sourceCombo, CB_SETCURSEL, static_cast<WPARAM>(remembered_.sourceDrive), 0);
    }
    SetText(c_.destinationEdit, remembered_.destination);
    if (remembered_.destination.empty() && count >= 2) {
        // Suggest another drive than the selected source: entry 1 when entry 0 is
        // the source, otherwise entry 0.
        const int selected = static_cast<int>(SendMessageW(c_.sourceCombo, CB_GETCURSEL, 0, 0));
        const int other = selected == 0 ? 1 : 0;
        const int length = static_cast<int>(SendMessageW(c_.sourceCombo, CB_GETLBTEXTLEN, static_cast<WPARAM>(other), 0));
        std::wstring entry(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
        SendMessageW(c_.sourceCombo, CB_GETLBTEXT, static_cast<WPARAM>(other), reinterpret_cast<LPARAM>(entry.data()));
        entry.resize(wcslen(entry.c_str()));
        SetText(c_.destinationEdit, DriveOfEntry(Narrow(entry)));
    }
    SetText(c_.sourceFolderEdit, remembered_.sourceFolder);
    SendMessageW(c_.sourceFolderCheck, BM_SETCHECK, remembered_.useSourceFolder ? BST_CHECKED : BST_UNCHECKED, 0);
    // Handed over as read: an index outside the list leaves it without a selection
    // (said explicitly, as not every combo box clears itself for such an index).
    const int modes = static_cast<int>(SendMessageW(c_.modeCombo, CB_GETCOUNT, 0, 0));
    const int mode = remembered_.recoveryMode >= 0 && remembered_.recoveryMode < modes ? remembered_.recoveryMode : -1;
    SendMessageW(c_.modeCombo, CB_SETCURSEL, static_cast<WPARAM>(mode), 0);

    const SIZE client = ClientSize96();
    c_.titleBanner->SetBounds(0, 0, client.cx, 50);
    c_.updateLink->SetLeft(client.cx - c_.updateLink->Width() - 10);
    c_.updateIcon->SetLeft(c_.updateLink->Left() - 20);

    ArrangeFilterPanels();
    CenterOnScreen();
}

void MainWindow::OnActivate() {
    if (!IsWin10OrLater()) {
        Application::Get().MessageBox(LoadText(IDS_WIN10_REQUIRED), LoadText(IDS_PRODUCT_NAME), MB_OK | MB_ICONERROR);
    }
}

void MainWindow::OnClose() {
    // Each step runs even when an earlier one failed: a settings file that cannot
    // be written must not leave the tool running.
    try {
        SetFpuControlWord(savedControlWord_);
    } catch (...) {
    }
    try {
        LoadSaveSettings(false);
    } catch (...) {
    }
    try {
        if (runner_) {
            runner_->Stop();
            runner_->SetToolObserver(nullptr);
        }
        runner_.reset();
    } catch (...) {
    }
}

bool MainWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_CLOSE && CloseRequested()) {
        result = 0;
        return true;
    }
    if (msg == WM_QUERYENDSESSION) {
        // Windows shows the reason set for the run and lets the user decide.
        result = RecoveryRunning() ? FALSE : TRUE;
        return true;
    }
    if (msg == WM_ENDSESSION) {
        if (wParam != FALSE) {
            SessionEnding();
        }
        result = 0;
        return true;
    }
    if (msg == WM_CONTEXTMENU && GET_X_LPARAM(lParam) == -1 && GET_Y_LPARAM(lParam) == -1) {
        // Edits answer the keys with their own menu and never pass them on. A right click is left
        // to the system (the window menu on the caption): the menu belongs to no control.
        ShowMenuFromKeyboard();
        result = 0;
        return true;
    }
    if (msg == WM_SHOWMAIN) {
        ShowWindow(hwnd_, SW_SHOW);
        Application::Get().BringToFront();
        result = 0;
        return true;
    }
    if (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_MINIMIZE && Application::Get().Handle() != nullptr) {
        // The program minimises as a whole, to its taskbar button.
        Application::Get().Minimize();
        result = 0;
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
    now.useSourcePath = SendMessageW(c_.sourceFolderCheck, BM_GETCHECK, 0, 0) == BST_CHECKED;
    now.recoveryModeIndex = static_cast<int>(SendMessageW(c_.modeCombo, CB_GETCURSEL, 0, 0));
    now.sourceDriveIndex = static_cast<int>(SendMessageW(c_.sourceCombo, CB_GETCURSEL, 0, 0));
    WriteSettings(file, now, remembered_);
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
            const std::wstring entry = Widen(SourceEntry(info.label, letterPart));
            SendMessageW(c_.sourceCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        }
    }
}

void MainWindow::OnSourceDropDown() {
    const int selected = static_cast<int>(SendMessageW(c_.sourceCombo, CB_GETCURSEL, 0, 0));
    FillSourceDrives();
    const int count = static_cast<int>(SendMessageW(c_.sourceCombo, CB_GETCOUNT, 0, 0));
    SendMessageW(c_.sourceCombo, CB_SETCURSEL, selected >= 0 && selected < count ? static_cast<WPARAM>(selected)
                                                                             : static_cast<WPARAM>(-1),
                 0);
}

// ---------------------------------------------------------------------------
// Filters and layout

std::optional<Filter> MainWindow::ChosenFilter() const {
    for (std::size_t i = 0; i < c_.filterButtons.size(); ++i) {
        if (SendMessageW(c_.filterButtons[i], BM_GETCHECK, 0, 0) == BST_CHECKED) {
            return FilterOfIndex(static_cast<int>(i));
        }
    }
    return std::nullopt;
}

void MainWindow::SetFilter(Filter filter) {
    for (std::size_t i = 0; i < c_.filterButtons.size(); ++i) {
        const bool chosen = static_cast<int>(i) == IndexOfFilter(filter);
        SendMessageW(c_.filterButtons[i], BM_SETCHECK, chosen ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    FilterClicked();
}

// A click on the item already chosen changes nothing.
void MainWindow::FilterClicked() {
    if (ChosenFilter() != shownFilter_) {
        shownFilter_ = ChosenFilter();
        OnFilterChanged();
    }
}

void MainWindow::OnFilterChanged() { ArrangeFilterPanels(); }

void MainWindow::ArrangeFilterPanels() { Arrange(true); }

// After a DPI change the same arrangement is made at the new scale, in place.
void MainWindow::Relayout() { Arrange(false); }

void MainWindow::Arrange(bool moveWindow) {
    const std::optional<Filter> filter = ChosenFilter();
    if (filter) {
        PlaceButtonRow(ShowFilterGroup(*filter));
        if (filter == Filter::FileType && moveWindow) {
            CenterForFileTypes();
        }
    }
    FitToButtonRow();
}

GroupBox* MainWindow::GroupOfFilter(Filter filter) const {
    switch (filter) {
    case Filter::SpecificFile:
        return c_.fileNameGroup.get();
    case Filter::Wildcard:
        return c_.wildcardGroup.get();
    case Filter::FileType:
        return c_.fileTypeGroup.get();
    case Filter::AllDeleted:
        break;
    }
    return nullptr;
}

// Shows the group of the filter's own field under the filter choice and hides the others. Returns
// what the button row goes below: that group, or the filter choice itself.
Container& MainWindow::ShowFilterGroup(Filter filter) {
    GroupBox* shown = GroupOfFilter(filter);
    if (shown != nullptr) {
        const RECT choice = DesignRect(c_.filterGroup->Handle());
        SetTop(shown->Handle(), choice.top + choice.bottom + 10);
    }
    if (filter == Filter::FileType) {
        // Designed to the right of the others.
        SetLeft(c_.fileTypeGroup->Handle(), DesignRect(c_.fileNameGroup->Handle()).left);
    }
    for (GroupBox* group : {c_.fileNameGroup.get(), c_.wildcardGroup.get(), c_.fileTypeGroup.get()}) {
        ShowWindow(group->Handle(), group == shown ? SW_SHOW : SW_HIDE);
    }
    return shown != nullptr ? static_cast<Container&>(*shown) : *c_.filterGroup;
}

void MainWindow::PlaceButtonRow(const Container& above) {
    const RECT a = DesignRect(above.Handle());
    const int rowTop = a.top + a.bottom + 20;
    SetTop(c_.startButton, rowTop);
    SetTop(c_.showFilesButton, rowTop);
    SetTop(c_.exitButton, rowTop);
    c_.menuImage->SetTop(rowTop - 9);
    c_.menuLabel->SetTop(rowTop + 8);
}

// Centred for a 510-pixel window, whatever its real height.
void MainWindow::CenterForFileTypes() {
    const RECT work = WorkArea();
    RECT window;
    GetWindowRect(hwnd_, &window);
    const int top = ((work.bottom - work.top) - S(510)) / 2;
    SetWindowPos(hwnd_, nullptr, window.left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The panel and the window end below the button row; the title band spans the width.
void MainWindow::FitToButtonRow() {
    const RECT panel = DesignRect(c_.mainPanel->Handle());
    const int panelHeight = panel.top + DesignRect(c_.startButton).top + DesignRect(c_.startButton).bottom + 16;
    Place(c_.mainPanel->Handle(), panel.left, panel.top, 460, panelHeight);
    SetClientSize(460, panelHeight);
    const SIZE client = ClientSize96();
    c_.titleBanner->SetBounds(0, 0, client.cx, 50);
    c_.updateLink->SetLeft(client.cx - c_.updateLink->Width() - 10);
    c_.updateIcon->SetLeft(c_.updateLink->Left() - 20);
}

RECT MainWindow::WorkArea() const {
    if (services_.workArea) {
        return services_.workArea();
    }
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
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
    if (SendMessageW(c_.customTypesCheck, BM_GETCHECK, 0, 0) == BST_CHECKED) {
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
    Application::Get().MessageBox(remembered_.destination + "," + LoadText(IDS_OUTPUT_NOT_EXIST),
                                  LoadText(IDS_PRODUCT_NAME), MB_OK | MB_ICONERROR);
}

void MainWindow::OnExitClicked() { Close(); }

// ---------------------------------------------------------------------------
// Start

JobChoices MainWindow::ReadChoices() const {
    JobChoices choices;
    choices.sourceText = GetText(c_.sourceCombo);
    choices.sourceIndex = static_cast<int>(SendMessageW(c_.sourceCombo, CB_GETCURSEL, 0, 0));
    const int count = static_cast<int>(SendMessageW(c_.sourceCombo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const int length = static_cast<int>(SendMessageW(c_.sourceCombo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0));
        std::wstring entry(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
        SendMessageW(c_.sourceCombo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry.data()));
        entry.resize(wcslen(entry.c_str()));
        choices.sourceEntries.push_back(Narrow(entry));
    }
    choices.destination = GetText(c_.destinationEdit);
    choices.useSourcePath = SendMessageW(c_.sourceFolderCheck, BM_GETCHECK, 0, 0) == BST_CHECKED;
    choices.sourcePath = GetText(c_.sourceFolderEdit);
    choices.recoveryMode = Mode();
    choices.filter = ChosenFilter();
    choices.fileName = GetText(c_.fileNameEdit);
    choices.wildcard = GetText(c_.wildcardEdit);
    for (std::size_t i = 0; i < 6; ++i) {
        choices.types.ticked[i] = SendMessageW(c_.categoryChecks[i], BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    choices.types.custom = SendMessageW(c_.customTypesCheck, BM_GETCHECK, 0, 0) == BST_CHECKED;
    choices.types.customText = GetText(c_.customTypesEdit);
    return choices;
}

void MainWindow::OnStartClicked() {
    try {
        const JobResult job = CheckAndBuild(ReadChoices(), *services_.jobSystem);
        if (!job.ok) {
            Application::Get().MessageBox(job.message, LoadText(IDS_PRODUCT_NAME), MB_OK | MB_ICONERROR);
            return;
        }
        if (job.switchToDeepScan && SendMessageW(c_.modeCombo, CB_GETCURSEL, 0, 0) != 1) {
            SendMessageW(c_.modeCombo, CB_SETCURSEL, 1, 0);
        }
        RunScanDialog(job.arguments);
    } catch (...) {
        // Start fails silently; the Scanning dialog reports the run's own errors.
    }
}

namespace {

bool PutTextOnClipboard(HWND owner, const std::wstring& text) {
    // Another program may hold the clipboard for a moment.
    bool opened = false;
    for (int attempt = 0; attempt < 10 && !opened; ++attempt) {
        opened = OpenClipboard(owner) != FALSE;
        if (!opened) {
            Sleep(20);
        }
    }
    if (!opened) {
        return false;
    }
    bool done = false;
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (EmptyClipboard()) {
        if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
            if (void* target = GlobalLock(memory)) {
                std::memcpy(target, text.c_str(), bytes);
                GlobalUnlock(memory);
                // On success the clipboard owns the memory.
                done = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
            }
            if (!done) {
                GlobalFree(memory);
            }
        }
    }
    CloseClipboard();
    return done;
}

} // namespace

void MainWindow::CopyCommand() {
    const JobResult job = CheckAndBuild(ReadChoices(), *services_.jobSystem);
    if (!job.ok) {
        Application::Get().MessageBox(job.message, LoadText(IDS_PRODUCT_NAME), MB_OK | MB_ICONERROR);
        return;
    }
    // The command line exactly as the runner forms it: trailing blanks removed.
    std::string command = "winfr " + job.arguments;
    while (!command.empty() && static_cast<unsigned char>(command.back()) <= 32) {
        command.pop_back();
    }
    if (!PutTextOnClipboard(hwnd_, Widen(command))) {
        Application::Get().MessageBox(LoadText(IDS_CLIPBOARD_FAILED), LoadText(IDS_PRODUCT_NAME),
                                      MB_OK | MB_ICONERROR);
    }
}

void MainWindow::FolderDropped(HWND edit, HDROP drop) {
    std::string folder;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    if (count > 0) {
        const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, 0, path.data(), length + 1);
        path.resize(length);
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                folder = Narrow(path);
            } else {
                // A dropped file stands for the folder it is in.
                const auto slash = path.find_last_of(L"\\/");
                if (slash != std::wstring::npos) {
                    std::wstring parent = path.substr(0, slash);
                    if (parent.size() == 2 && parent[1] == L':') {
                        parent.push_back(L'\\');
                    }
                    folder = Narrow(parent);
                }
            }
        }
    }
    DragFinish(drop);
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

void MainWindow::RunScanDialog(const std::string& arguments) {
    if (services_.runScan) {
        services_.runScan(hwnd_, arguments);
        return;
    }
    if (!runner_) {
        return;
    }
    {
        ScanDialog dialog(hwnd_, *this, runner_, arguments);
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

// While the Scanning dialog's modal loop runs, closing at once would pull the window and the
// runner away under it. The request stops the tool and ends the dialog instead; the program closes
// (settings saved) when the dialog has returned. No question is asked: End task and logoff must
// not wait on one.
bool MainWindow::CloseRequested() {
    if (scanDialog_ == nullptr) {
        return false;
    }
    closeAfterScan_ = true;
    scanDialog_->StopRun();
    return true;
}

bool MainWindow::RecoveryRunning() const { return runner_ && runner_->ProcessId() != 0; }

// While the tool runs, logoff and shutdown wait (WM_QUERYENDSESSION) and Windows says why.
void MainWindow::ToolRunningChanged(bool running) {
    if (running) {
        services_.shutdownReasons->Set(hwnd_, LoadText(IDS_SHUTDOWN_REASON));
    } else {
        services_.shutdownReasons->Clear(hwnd_);
    }
}

// The session ends once this returns, whatever the program still had in mind.
void MainWindow::SessionEnding() {
    try {
        if (scanDialog_ != nullptr) {
            scanDialog_->StopRun();
        } else if (runner_) {
            runner_->Stop();
        }
    } catch (...) {
    }
    try {
        LoadSaveSettings(false);
    } catch (...) {
    }
}

std::string MainWindow::DestinationText() const { return GetText(c_.destinationEdit); }

RecoveryMode MainWindow::Mode() const {
    return RecoveryModeOfIndex(static_cast<int>(SendMessageW(c_.modeCombo, CB_GETCURSEL, 0, 0)));
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

void MainWindow::MenuChosen(int id) {
    switch (id) {
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
    default:
        break;
    }
}

void MainWindow::OpenPage(const std::string& address) { Application::Get().Shell().Open(hwnd_, "Open", address); }

void MainWindow::OpenMakerHomePage() { OpenPage(LoadText(IDS_URL_HOME)); }

void MainWindow::OpenHelpPage() { OpenPage(kTitlePage); }

void MainWindow::OpenUpdatePage() { OpenPage(LoadText(IDS_URL_UPDATE)); }

void MainWindow::OpenProductPage() { OpenPage(LoadText(IDS_URL_PRODUCT)); }

void MainWindow::OpenDonatePage() { OpenPage(LoadText(IDS_URL_DONATE)); }

void MainWindow::ShowAbout() {
    AboutDialog about(hwnd_);
    about.ShowModal();
}

} // namespace kestro
