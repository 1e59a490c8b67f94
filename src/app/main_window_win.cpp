#include "app/main_window_win.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>
#include <exception>

#include "resource_ids.h"
#include "app/popup_menu_win.h"
#include "dialogs/about_win.h"
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
#include "runner/runner_win.h"
#include "widgets/shift_image_win.h"
#include "widgets/url_label_win.h"

namespace kestro {

TfrmMain* frmMain = nullptr;

namespace {

constexpr wchar_t kClassName[] = L"Kestro Refindor Made by Kestro Software";

// Microsoft's own help page for Windows File Recovery, opened by the title.
constexpr char kTitlePage[] =
    "https://support.microsoft.com/en-us/windows/recover-lost-files-on-windows-10-61f5b28a-f5b8-3cc2-0f8e-a63cb4e1d4c4";

constexpr Color kSilver = RGB(192, 192, 192);

enum ControlId : int {
    idSource = 1001,
    idRecoveryMode,
    idOutputFolder,
    idSaveto,
    idSourceFilePath,
    idSourcePath,
    idSourcePathButton,
    idFilter0 = 1010, // .. 1013
    idFileName = 1020,
    idWildcard,
    idCheckBox1 = 1030, // .. 1036
    idCustomFileType = 1037,
    idStart = 1040,
    idShowFiles,
    idExit,
    idStatic = 1100,
};

enum MenuId : int { miHomepage = 1, Donate1, miOptions, About1, miCopyCommand };

constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kEdit = WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCheck = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kCombo = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;

// Caption and hint of the six category check boxes, then "Custom file types".
struct CheckBoxSpec {
    int top;
    const char* caption;
};
constexpr CheckBoxSpec kCheckBoxes[7] = {
    {24, "Documents (.txt, .doc, .docx, .wps, .xls, .xlsx, .pdf, .ppt, ...)"},
    {54, "Photos (.bmp, .cur, .ico, .jpg, .jpeg, .png, .gif, .psd, .svg, ...)"},
    {85, "Videos (.mpeg, .mp4, .avi, .wmv, .3gp, .rm, .flv, .rmvb, ...)"},
    {116, "Audios ( .aac, .cda, .wav, .mp3, .wma, .ogg, .flac, .m4a, ...)"},
    {147, "Web pages (.htm, .html, .mht, .xhtml, .asp, .aspx, ...)"},
    {178, "Compressed files (.7z, .arj, .exe, .iso, .jar, .rar, .tar, .zip, ...)"},
    {209, "Custom file types"},
};

} // namespace

TfrmMain::TfrmMain(MainWindowServices services) : services_(std::move(services)) {
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
    frmMain = this;
    CreateForm(kClassName, Application::Get().Handle(), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0,
               L"", 460, 299);
    // Any program may ask the window to show itself, also one without this program's rights.
    AllowMessageFrom(hwnd_, WM_SHOWMAIN);
    CreateControls();
    BindHandlers();
    popupMenu_ = std::make_unique<SkinnedPopupMenu>(std::vector<PopupItem>{
        {miHomepage, "&Home Page", true},
        {0, "", true},
        {Donate1, "&Donate", true},
        {0, "", true},
        // Kept for the layout of the menu, never shown.
        {miOptions, "Options", false},
        {0, "", true},
        {miCopyCommand, LoadText(IDS_COPY_COMMAND), true},
        {About1, "&About...", true},
    });
    try {
        FormCreate();
    } catch (const std::exception& e) {
        Application::Get().ShowException(e.what());
    }
}

TfrmMain::~TfrmMain() {
    if (frmMain == this) {
        frmMain = nullptr;
    }
    if (runner_) {
        runner_->SetToolObserver(nullptr);
    }
    if (RecoveryRunner == runner_.get()) {
        RecoveryRunner = nullptr;
    }
}

// ---------------------------------------------------------------------------
// Creation

void TfrmMain::FormCreate() {
    savedControlWord_ = GetFpuControlWord();
    SetFpuControlWord(kMainWindowControlWord);
    SetText(hwnd_, LoadText(IDS_PRODUCT_NAME) + " " + LoadText(IDS_VERSION_NUMBER));
    LoadSaveSettings(true);
    c_.lUpdate->SetFontColor(RGB(255, 255, 255));
    runner_ = std::make_shared<TDownloadProcess>();
    runner_->SetToolObserver([this](bool running) { ToolRunningChanged(running); });
    RecoveryRunner = runner_.get();
}

void TfrmMain::CreateTitleBand() {
    HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    c_.imgTitle = std::make_unique<TImage>(*this);
    c_.imgTitle->SetStretch(true);
    c_.imgTitle->SetCursor(hand);
    c_.imgTitle->SetPicture(Picture::FromJpegResource(IDR_TITLE_JPEG));
    c_.imgTitle->SetBounds(0, 0, 460, 50);

    c_.KestroHomepage = std::make_unique<TImage>(*this);
    c_.KestroHomepage->SetCursor(hand);
    c_.KestroHomepage->SetBounds(24, 8, 32, 32);
    c_.KestroHomepage->SetAutoSize(true);
    c_.KestroHomepage->SetPicture(Picture::FromIconResource(IDI_PRODUCT, 32, 32));

    c_.lTitle = std::make_unique<TLabel>(*this);
    c_.lTitle->SetTransparent(true);
    c_.lTitle->SetCursor(hand);
    c_.lTitle->SetFont(-15, true, false);
    c_.lTitle->SetFontColor(RGB(255, 255, 255));
    c_.lTitle->SetBounds(65, 8, 0, 0);
    c_.lTitle->SetCaption("Windows File Recovery Gui");

    c_.lTitleHint = std::make_unique<TLabel>(*this);
    c_.lTitleHint->SetTransparent(true);
    c_.lTitleHint->SetCursor(hand);
    c_.lTitleHint->SetAutoSize(false);
    c_.lTitleHint->SetFontColor(RGB(255, 255, 255));
    c_.lTitleHint->SetBounds(66, 27, 266, 13);
    c_.lTitleHint->SetCaption("Recover lost files from your local storage device");

    c_.iUpdate = std::make_unique<TImage>(*this);
    c_.iUpdate->SetBounds(0, 24, 16, 16);
    c_.iUpdate->SetAutoSize(true);
    c_.iUpdate->SetPicture(Picture::FromIconResource(IDI_UPDATE, 16, 16));

    c_.lUpdate = std::make_unique<TsuiURLLabel>(*this);
    c_.lUpdate->SetTransparent(true);
    c_.lUpdate->SetFont(-12, false, true);
    c_.lUpdate->SetFontHoverColor(RGB(255, 0, 0));
    c_.lUpdate->SetFontLinkColor(RGB(255, 255, 255));
    // No link target of its own: its click handler opens the update page, and a
    // target such as "-" would have the shell try to open a file of that name first.
    c_.lUpdate->SetURL("");
    c_.lUpdate->SetBounds(0, 24, 0, 0);
    c_.lUpdate->SetCaption("Check for updates...");
}

void TfrmMain::CreateControls() {
    CreateTitleBand();

    c_.pSingleMode = std::make_unique<Container>(this);
    c_.pSingleMode->CreatePanel(*this, 8, 56, 460, 299);
    Container& panel = *c_.pSingleMode;

    c_.Label8 = AddLabel(panel, L"Source drive:", 8, 11, idStatic + 1);
    c_.cbSource = AddControl(panel, WC_COMBOBOXW, L"", kCombo, 0, 79, 8, 130, 21, idSource);
    c_.Label2 = AddLabel(panel, L"Recovery mode:", 260, 7, idStatic + 2);
    c_.cbRecoveryMode = AddControl(panel, WC_COMBOBOXW, L"", kCombo, 0, 344, 4, 92, 21, idRecoveryMode);
    SendMessageW(c_.cbRecoveryMode, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Quick Scan"));
    SendMessageW(c_.cbRecoveryMode, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Deep Scan"));
    SendMessageW(c_.cbRecoveryMode, CB_SETCURSEL, 0, 0);

    // Destination row: the button comes before the edit in keyboard order.
    c_.Panel1 = std::make_unique<Container>(this);
    c_.Panel1->CreatePanel(panel, 8, 39, 433, 34);
    c_.bSaveto = AddControl(*c_.Panel1, WC_BUTTONW, L"Browser...", kButton, 0, 350, 0, 80, 23, idSaveto);
    c_.eOutputFolder =
        AddControl(*c_.Panel1, WC_EDITW, L"", kEdit, WS_EX_CLIENTEDGE, 51, 2, 278, 20, idOutputFolder);
    c_.lOutputFolder = AddLabel(*c_.Panel1, L"Save to:", 0, 5, idStatic + 3);

    c_.Panel2 = AddControl(panel, WC_STATICW, L"", WS_VISIBLE | SS_ETCHEDHORZ, 0, 0, 74, 439, 2, idStatic + 4);

    c_.Panel3 = std::make_unique<Container>(this);
    c_.Panel3->CreatePanel(panel, 8, 88, 473, 34);
    c_.cbSourceFilePath = AddCheckBox(*c_.Panel3, L"Source file path:", 0, 3, 17, idSourceFilePath);
    c_.eSourcePath = AddControl(*c_.Panel3, WC_EDITW, L"", kEdit, WS_EX_CLIENTEDGE, 106, 3, 222, 20, idSourcePath);
    c_.bSourcePath =
        AddControl(*c_.Panel3, WC_BUTTONW, L"Browser...", kButton, 0, 350, 1, 80, 23, idSourcePathButton);

    // The filter choice: four items in four columns, laid out as the toolkit's
    // radio group does (width - 10 shared out, items under the caption line).
    c_.rgFileType = std::make_unique<GroupBox>(this);
    c_.rgFileType->CreateGroup(panel, "Select the filter", 8, 127, 430, 57);
    static const wchar_t* const kFilters[4] = {L"All deleted files", L"Specific file", L"Wildcard",
                                               L"Deleted file type"};
    const int itemWidth = (430 - 10) / 4;
    for (int i = 0; i < 4; ++i) {
        const DWORD style = WS_VISIBLE | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0);
        c_.rgItems[static_cast<std::size_t>(i)] =
            AddControl(*c_.rgFileType, WC_BUTTONW, kFilters[i], style, 0, 8 + i * itemWidth, 14, itemWidth, 39,
                       idFilter0 + i);
    }
    SendMessageW(c_.rgItems[0], BM_SETCHECK, BST_CHECKED, 0);

    c_.bStart = AddControl(panel, WC_BUTTONW, L"Start...", kButton, 0, 158, 204, 80, 23, idStart);
    c_.bShowFiles = AddControl(panel, WC_BUTTONW, L"Show Files...", kButton, 0, 254, 204, 80, 23, idShowFiles);
    c_.bExit = AddControl(panel, WC_BUTTONW, L"Exit", kButton, 0, 351, 204, 80, 23, idExit);

    CreateFilterGroups();

    c_.WlmShiftImage1 = std::make_unique<TWlmShiftImage>(panel);
    c_.WlmShiftImage1->SetCursor(LoadCursorW(nullptr, IDC_HAND));
    c_.WlmShiftImage1->SetBounds(17, 195, 32, 32);
    c_.WlmShiftImage1->SetAutoSize(true);
    const Picture menu = Picture::FromIconResource(IDI_MENU, 32, 32);
    c_.WlmShiftImage1->SetPicture(menu);
    c_.WlmShiftImage1->SetNoFocusedPicture(menu);
    c_.WlmShiftImage1->SetFocusedPicture(Picture::FromIconResource(IDI_MENU_HOVER, 32, 32));

    c_.lbEAddress = std::make_unique<TLabel>(panel);
    c_.lbEAddress->SetCursor(LoadCursorW(nullptr, IDC_HAND));
    c_.lbEAddress->SetFont(-11, true, true);
    c_.lbEAddress->SetFontColor(RGB(0, 0, 255));
    c_.lbEAddress->SetBounds(51, 212, 0, 0);
    c_.lbEAddress->SetCaption("Menu");

    SetHint(c_.eOutputFolder, "Specifies the storage device and folder on which to put the recovered files. Must be "
                              "different from the source-drive.");
    SetHint(c_.bSaveto, "Set your default output folder");
    SetHint(c_.eSourcePath, "Scan the specified file directory");
    SetHint(c_.seWildcard, "myfile.* or *<string>*");
    SetHint(c_.seCustomFileType, "Please separate multiple extensions with commas");
    for (std::size_t i = 0; i < 6; ++i) {
        SetHint(c_.suiCheckBox[i], CategoryHint(static_cast<Category>(i)));
    }
    SetHint(*c_.WlmShiftImage1, "Click to popup the menu");
    SetHint(*c_.lbEAddress, "Click to popup the menu");
}

// Labels and check boxes are as wide as their text (and the check mark), at every DPI.
HWND TfrmMain::AddLabel(Container& parent, const std::wstring& text, int x, int y, int id) {
    HWND label = AddControl(parent, WC_STATICW, text, kLabel, 0, x, y, TextWidth96(text) + 1, 13, id);
    FitToText(label, 1, false);
    return label;
}

HWND TfrmMain::AddCheckBox(Container& parent, const std::wstring& text, int x, int y, int height, int id) {
    HWND box = AddControl(parent, WC_BUTTONW, text, kCheck, 0, x, y, TextWidth96(text) + 24, height, id);
    FitToText(box, 24, false);
    return box;
}

void TfrmMain::CreateFilterGroups() {
    Container& panel = *c_.pSingleMode;

    c_.gbFileName = std::make_unique<GroupBox>(this);
    c_.gbFileName->CreateGroup(panel, "Specific file", 8, 200, 430, 89);
    c_.Label3 = AddLabel(*c_.gbFileName, L"Scans for a specific file by using a file name such as myfile.docx.", 16,
                         24, idStatic + 10);
    c_.Label5 = AddLabel(*c_.gbFileName, L"File name: ", 16, 53, idStatic + 11);
    c_.seFileName =
        AddControl(*c_.gbFileName, WC_EDITW, L"myfile.docx", kEdit, WS_EX_CLIENTEDGE, 76, 52, 188, 19, idFileName);
    SetTextColor(c_.seFileName, kSilver);

    c_.gbWildcard = std::make_unique<GroupBox>(this);
    c_.gbWildcard->CreateGroup(panel, "Wildcard", 8, 296, 430, 89);
    c_.Label6 = AddLabel(*c_.gbWildcard,
                         L"Scans for a specific file by using wildcards such as myfile.* or *<string>*.", 16, 24,
                         idStatic + 13);
    c_.Label7 = AddLabel(*c_.gbWildcard, L"Wildcard: ", 16, 53, idStatic + 14);
    c_.seWildcard = AddControl(*c_.gbWildcard, WC_EDITW, L"", kEdit, WS_EX_CLIENTEDGE, 69, 52, 188, 19, idWildcard);

    // Designed to the right of the others; moved under the filter choice when shown.
    c_.gbFileType = std::make_unique<GroupBox>(this);
    c_.gbFileType->CreateGroup(panel, "Deleted file type", 448, 200, 430, 244);
    for (std::size_t i = 0; i < 7; ++i) {
        c_.suiCheckBox[i] = AddCheckBox(*c_.gbFileType, Widen(kCheckBoxes[i].caption), 16, kCheckBoxes[i].top, 19,
                                        idCheckBox1 + static_cast<int>(i));
    }
    c_.seCustomFileType = AddControl(*c_.gbFileType, WC_EDITW, L".dll, .ini, .sys", kEdit | WS_DISABLED,
                                     WS_EX_CLIENTEDGE, 123, 210, 185, 19, idCustomFileType);
    c_.Image1 = std::make_unique<TImage>(*c_.gbFileType);
    c_.Image1->SetBounds(360, 104, 32, 41);
    c_.Image1->SetPicture(Picture::FromIconResource(IDI_FILE_TYPES, 32, 41));

    for (Container* group : {c_.gbFileName.get(), c_.gbWildcard.get(), c_.gbFileType.get()}) {
        ShowWindow(group->Handle(), SW_HIDE);
    }
}

void TfrmMain::BindHandlers() {
    OnCommand(idSource, [this](int code) {
        if (code == CBN_DROPDOWN) {
            cbSourceDropDown();
        }
    });
    for (int i = 0; i < 4; ++i) {
        OnCommand(idFilter0 + i, [this](int code) {
            if (code == BN_CLICKED && FilterIndex() != filterIndex_) {
                filterIndex_ = FilterIndex();
                rgFileTypeClick();
            }
        });
    }
    OnCommand(idCheckBox1 + 6, [this](int code) {
        if (code == BN_CLICKED) {
            suiCheckBox7Click();
        }
    });
    auto click = [this](void (TfrmMain::*handler)()) {
        return [this, handler](int code) {
            if (code == BN_CLICKED) {
                (this->*handler)();
            }
        };
    };
    OnCommand(idSaveto, click(&TfrmMain::bSavetoClick));
    OnCommand(idSourcePathButton, click(&TfrmMain::bSourcePathClick));
    OnCommand(idShowFiles, click(&TfrmMain::bShowFilesClick));
    OnCommand(idStart, click(&TfrmMain::bStartClick));
    OnCommand(idExit, click(&TfrmMain::bExitClick));

    Subclass(c_.seFileName, [this](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        if (msg != WM_LBUTTONUP) {
            return false;
        }
        result = CallOriginal(hwnd, msg, wParam, lParam);
        seFileNameClick();
        return true;
    });

    auto page = [this](void (TfrmMain::*handler)()) {
        return [this, handler](GraphicControl&) { (this->*handler)(); };
    };
    c_.imgTitle->OnClick = page(&TfrmMain::KestroHomepageClick);
    c_.KestroHomepage->OnClick = page(&TfrmMain::KestroHomepageClick);
    c_.lTitleHint->OnClick = page(&TfrmMain::KestroHomepageClick);
    c_.lTitle->OnClick = page(&TfrmMain::lTitleClick);
    c_.lUpdate->OnClick = page(&TfrmMain::lUpdateClick);
    c_.WlmShiftImage1->OnClick = page(&TfrmMain::iAboutClick);
    c_.lbEAddress->OnClick = page(&TfrmMain::iAboutClick);

    AcceptFolderDrops(c_.eOutputFolder);
    AcceptFolderDrops(c_.eSourcePath);
}

void TfrmMain::AcceptFolderDrops(HWND edit) {
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

void TfrmMain::FormShow() {
    FillSourceDrives();
    const int count = static_cast<int>(SendMessageW(c_.cbSource, CB_GETCOUNT, 0, 0));
    if (count > 0) {
        SendMessageW(c_.cbSource, CB_SETCURSEL, 0, 0);
    }
    if (fields_.FSourceDrive >= 0 && fields_.FSourceDrive < count) {
        SendMessageW(c_.cbSource, CB_SETCURSEL, static_cast<WPARAM>(fields_.FSourceDrive), 0);
    }
    SetText(c_.eOutputFolder, fields_.FOutputDirectory);
    if (fields_.FOutputDirectory.empty() && count >= 2) {
        // Suggest another drive than the selected source: entry 1 when entry 0 is
        // the source, otherwise entry 0.
        const int selected = static_cast<int>(SendMessageW(c_.cbSource, CB_GETCURSEL, 0, 0));
        const int other = selected == 0 ? 1 : 0;
        const int length = static_cast<int>(SendMessageW(c_.cbSource, CB_GETLBTEXTLEN, static_cast<WPARAM>(other), 0));
        std::wstring entry(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
        SendMessageW(c_.cbSource, CB_GETLBTEXT, static_cast<WPARAM>(other), reinterpret_cast<LPARAM>(entry.data()));
        entry.resize(wcslen(entry.c_str()));
        SetText(c_.eOutputFolder, DriveOfEntry(Narrow(entry)));
    }
    SetText(c_.eSourcePath, fields_.FSourcePath);
    SendMessageW(c_.cbSourceFilePath, BM_SETCHECK, fields_.FIsUseSourcePath ? BST_CHECKED : BST_UNCHECKED, 0);
    // Handed over as read: an index outside the list leaves it without a selection
    // (said explicitly, as not every combo box clears itself for such an index).
    const int modes = static_cast<int>(SendMessageW(c_.cbRecoveryMode, CB_GETCOUNT, 0, 0));
    const int mode = fields_.FRecoveryMode >= 0 && fields_.FRecoveryMode < modes ? fields_.FRecoveryMode : -1;
    SendMessageW(c_.cbRecoveryMode, CB_SETCURSEL, static_cast<WPARAM>(mode), 0);

    const SIZE client = ClientSize96();
    c_.imgTitle->SetBounds(0, 0, client.cx, 50);
    c_.lUpdate->SetLeft(client.cx - c_.lUpdate->Width() - 10);
    c_.iUpdate->SetLeft(c_.lUpdate->Left() - 20);

    ArrangeFilterPanels();
    CenterOnScreen();
}

void TfrmMain::FormActivate() {
    if (!IsWin10OrLater()) {
        Application::Get().MessageBox(LoadText(IDS_WIN10_REQUIRED), LoadText(IDS_PRODUCT_NAME), MB_OK | MB_ICONERROR);
    }
}

void TfrmMain::FormClose() {
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
        if (RecoveryRunner == runner_.get()) {
            RecoveryRunner = nullptr;
        }
        if (runner_) {
            runner_->Stop(0);
            runner_->SetToolObserver(nullptr);
        }
        runner_.reset();
    } catch (...) {
    }
}

bool TfrmMain::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
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
        MenuKeyPressed();
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

void TfrmMain::LoadSaveSettings(bool load) {
    const std::string file = services_.settingsFile ? services_.settingsFile() : SettingsFile();
    if (load) {
        ReadSettings(file, fields_);
        return;
    }
    ChoicesAtClose now;
    now.destinationText = GetText(c_.eOutputFolder);
    now.sourcePathText = GetText(c_.eSourcePath);
    now.useSourcePath = SendMessageW(c_.cbSourceFilePath, BM_GETCHECK, 0, 0) == BST_CHECKED;
    now.recoveryModeIndex = static_cast<int>(SendMessageW(c_.cbRecoveryMode, CB_GETCURSEL, 0, 0));
    now.sourceDriveIndex = static_cast<int>(SendMessageW(c_.cbSource, CB_GETCURSEL, 0, 0));
    WriteSettings(file, now, fields_);
}

// ---------------------------------------------------------------------------
// Drives

void TfrmMain::FillSourceDrives() {
    SendMessageW(c_.cbSource, CB_RESETCONTENT, 0, 0);
    for (const std::string& root : services_.drives->LogicalDrives()) {
        const std::string letterPart = LetterPartOfRoot(root);
        if (letterPart.empty()) {
            continue;
        }
        const DriveInfo info = services_.drives->Query(letterPart[0]);
        if (IsListedDrive(info.fileSystem, info.totalBytes)) {
            const std::wstring entry = Widen(SourceEntry(info.label, letterPart));
            SendMessageW(c_.cbSource, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        }
    }
}

void TfrmMain::cbSourceDropDown() {
    const int selected = static_cast<int>(SendMessageW(c_.cbSource, CB_GETCURSEL, 0, 0));
    FillSourceDrives();
    const int count = static_cast<int>(SendMessageW(c_.cbSource, CB_GETCOUNT, 0, 0));
    SendMessageW(c_.cbSource, CB_SETCURSEL, selected >= 0 && selected < count ? static_cast<WPARAM>(selected)
                                                                             : static_cast<WPARAM>(-1),
                 0);
}

// ---------------------------------------------------------------------------
// Filters and layout

int TfrmMain::FilterIndex() const {
    for (std::size_t i = 0; i < c_.rgItems.size(); ++i) {
        if (SendMessageW(c_.rgItems[i], BM_GETCHECK, 0, 0) == BST_CHECKED) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TfrmMain::SetFilter(int index) {
    for (std::size_t i = 0; i < c_.rgItems.size(); ++i) {
        SendMessageW(c_.rgItems[i], BM_SETCHECK, static_cast<int>(i) == index ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    if (FilterIndex() != filterIndex_) {
        filterIndex_ = FilterIndex();
        rgFileTypeClick();
    }
}

void TfrmMain::rgFileTypeClick() { ArrangeFilterPanels(); }

void TfrmMain::ArrangeFilterPanels() { Arrange(true); }

// After a DPI change the same arrangement is made at the new scale, in place.
void TfrmMain::Relayout() { Arrange(false); }

void TfrmMain::Arrange(bool moveWindow) {
    const RECT rg = DesignRect(c_.rgFileType->Handle());
    const int rgBottom = rg.top + rg.bottom;
    const int index = FilterIndex();
    auto show = [](Container& group, bool visible) { ShowWindow(group.Handle(), visible ? SW_SHOW : SW_HIDE); };
    Container* anchor = nullptr;
    switch (index) {
    case 0:
        show(*c_.gbFileName, false);
        show(*c_.gbWildcard, false);
        show(*c_.gbFileType, false);
        anchor = c_.rgFileType.get();
        break;
    case 1:
        SetTop(c_.gbFileName->Handle(), rgBottom + 10);
        show(*c_.gbFileName, true);
        show(*c_.gbWildcard, false);
        show(*c_.gbFileType, false);
        anchor = c_.gbFileName.get();
        break;
    case 2:
        SetTop(c_.gbWildcard->Handle(), rgBottom + 10);
        show(*c_.gbFileName, false);
        show(*c_.gbWildcard, true);
        show(*c_.gbFileType, false);
        anchor = c_.gbWildcard.get();
        break;
    case 3:
        SetTop(c_.gbFileType->Handle(), rgBottom + 10);
        SetLeft(c_.gbFileType->Handle(), DesignRect(c_.gbFileName->Handle()).left);
        show(*c_.gbFileName, false);
        show(*c_.gbWildcard, false);
        show(*c_.gbFileType, true);
        anchor = c_.gbFileType.get();
        break;
    default:
        break;
    }
    if (anchor != nullptr) {
        const RECT a = DesignRect(anchor->Handle());
        const int rowTop = a.top + a.bottom + 20;
        SetTop(c_.bStart, rowTop);
        SetTop(c_.bShowFiles, rowTop);
        SetTop(c_.bExit, rowTop);
        c_.WlmShiftImage1->SetTop(rowTop - 9);
        c_.lbEAddress->SetTop(rowTop + 8);
        if (index == 3 && moveWindow) {
            // Centred for a 510-pixel window, whatever its real height.
            const RECT work = WorkArea();
            RECT window;
            GetWindowRect(hwnd_, &window);
            const int top = ((work.bottom - work.top) - S(510)) / 2;
            SetWindowPos(hwnd_, nullptr, window.left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    const RECT panel = DesignRect(c_.pSingleMode->Handle());
    const int panelHeight = panel.top + DesignRect(c_.bStart).top + DesignRect(c_.bStart).bottom + 16;
    Place(c_.pSingleMode->Handle(), panel.left, panel.top, 460, panelHeight);
    SetClientSize(460, panelHeight);
    const SIZE client = ClientSize96();
    c_.imgTitle->SetBounds(0, 0, client.cx, 50);
    c_.lUpdate->SetLeft(client.cx - c_.lUpdate->Width() - 10);
    c_.iUpdate->SetLeft(c_.lUpdate->Left() - 20);
}

RECT TfrmMain::WorkArea() const {
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
void TfrmMain::seFileNameClick() {
    if (fileNamePlaceholder_) {
        fileNamePlaceholder_ = false;
        SetText(c_.seFileName, "");
        SetTextColor(c_.seFileName, CLR_INVALID);
    }
}

void TfrmMain::suiCheckBox7Click() {
    if (!IsWindowEnabled(c_.seCustomFileType)) {
        EnableWindow(c_.seCustomFileType, TRUE);
        SetText(c_.seCustomFileType, "");
    }
    if (SendMessageW(c_.suiCheckBox[6], BM_GETCHECK, 0, 0) == BST_CHECKED) {
        SetFocus(c_.seCustomFileType);
    }
}

bool TfrmMain::PickFolder(std::string& folder) {
    const std::string title = LoadText(IDS_SELECT_DIRECTORY);
    if (services_.selectFolder) {
        return services_.selectFolder(title, folder);
    }
    return SelectFolder(title, L"", folder);
}

void TfrmMain::bSavetoClick() {
    std::string folder;
    if (PickFolder(folder)) {
        SetText(c_.eOutputFolder, folder);
        fields_.FOutputDirectory = GetText(c_.eOutputFolder);
    }
}

void TfrmMain::bSourcePathClick() {
    std::string folder;
    if (PickFolder(folder)) {
        SetText(c_.eSourcePath, folder);
        fields_.FSourcePath = GetText(c_.eSourcePath);
    }
}

void TfrmMain::bShowFilesClick() {
    fields_.FOutputDirectory = GetText(c_.eOutputFolder);
    if (DirectoryExists(fields_.FOutputDirectory)) {
        Application::Get().Shell().Open(hwnd_, "Open", fields_.FOutputDirectory);
        return;
    }
    Application::Get().MessageBox(fields_.FOutputDirectory + "," + LoadText(IDS_OUTPUT_NOT_EXIST),
                                  LoadText(IDS_PRODUCT_NAME), MB_OK | MB_ICONERROR);
}

void TfrmMain::bExitClick() { Close(); }

// ---------------------------------------------------------------------------
// Start

JobChoices TfrmMain::ReadChoices() const {
    JobChoices choices;
    choices.sourceText = GetText(c_.cbSource);
    choices.sourceIndex = static_cast<int>(SendMessageW(c_.cbSource, CB_GETCURSEL, 0, 0));
    const int count = static_cast<int>(SendMessageW(c_.cbSource, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const int length = static_cast<int>(SendMessageW(c_.cbSource, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0));
        std::wstring entry(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
        SendMessageW(c_.cbSource, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry.data()));
        entry.resize(wcslen(entry.c_str()));
        choices.sourceEntries.push_back(Narrow(entry));
    }
    choices.destination = GetText(c_.eOutputFolder);
    choices.useSourcePath = SendMessageW(c_.cbSourceFilePath, BM_GETCHECK, 0, 0) == BST_CHECKED;
    choices.sourcePath = GetText(c_.eSourcePath);
    choices.recoveryMode = static_cast<int>(SendMessageW(c_.cbRecoveryMode, CB_GETCURSEL, 0, 0));
    choices.filter = FilterIndex();
    choices.fileName = GetText(c_.seFileName);
    choices.wildcard = GetText(c_.seWildcard);
    for (std::size_t i = 0; i < 6; ++i) {
        choices.types.ticked[i] = SendMessageW(c_.suiCheckBox[i], BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    choices.types.custom = SendMessageW(c_.suiCheckBox[6], BM_GETCHECK, 0, 0) == BST_CHECKED;
    choices.types.customText = GetText(c_.seCustomFileType);
    return choices;
}

void TfrmMain::bStartClick() {
    try {
        const JobResult job = CheckAndBuild(ReadChoices(), *services_.jobSystem);
        if (!job.ok) {
            Application::Get().MessageBox(job.message, LoadText(IDS_PRODUCT_NAME), MB_OK | MB_ICONERROR);
            return;
        }
        if (job.switchToDeepScan && SendMessageW(c_.cbRecoveryMode, CB_GETCURSEL, 0, 0) != 1) {
            SendMessageW(c_.cbRecoveryMode, CB_SETCURSEL, 1, 0);
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

void TfrmMain::CopyCommandClick() {
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

void TfrmMain::FolderDropped(HWND edit, HDROP drop) {
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
    if (edit == c_.eOutputFolder) {
        fields_.FOutputDirectory = GetText(c_.eOutputFolder);
    } else if (edit == c_.eSourcePath) {
        fields_.FSourcePath = GetText(c_.eSourcePath);
    }
}

void TfrmMain::RunScanDialog(const std::string& arguments) {
    if (services_.runScan) {
        services_.runScan(hwnd_, arguments);
        return;
    }
    if (!runner_) {
        return;
    }
    {
        TfrmDownload dialog(hwnd_, *this, runner_);
        dialog.Arguments = arguments;
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
bool TfrmMain::CloseRequested() {
    if (scanDialog_ == nullptr) {
        return false;
    }
    closeAfterScan_ = true;
    scanDialog_->bStopClick();
    return true;
}

bool TfrmMain::RecoveryRunning() const { return runner_ && runner_->ProcessId() != 0; }

// While the tool runs, logoff and shutdown wait (WM_QUERYENDSESSION) and Windows says why.
void TfrmMain::ToolRunningChanged(bool running) {
    if (running) {
        services_.shutdownReasons->Set(hwnd_, LoadText(IDS_SHUTDOWN_REASON));
    } else {
        services_.shutdownReasons->Clear(hwnd_);
    }
}

// The session ends once this returns, whatever the program still had in mind.
void TfrmMain::SessionEnding() {
    try {
        if (scanDialog_ != nullptr) {
            scanDialog_->bStopClick();
        } else if (runner_) {
            runner_->Stop(0);
        }
    } catch (...) {
    }
    try {
        LoadSaveSettings(false);
    } catch (...) {
    }
}

std::string TfrmMain::DestinationText() const { return GetText(c_.eOutputFolder); }

int TfrmMain::RecoveryModeIndex() const {
    return static_cast<int>(SendMessageW(c_.cbRecoveryMode, CB_GETCURSEL, 0, 0));
}

// ---------------------------------------------------------------------------
// Menu and links

void TfrmMain::iAboutClick() {
    POINT at{};
    GetCursorPos(&at);
    MenuChosen(popupMenu_->Popup(hwnd_, at));
}

// Shift+F10 or the Applications key: the menu opens below the "Menu" label, its first item
// selected, so every item can be reached without a mouse.
void TfrmMain::MenuKeyPressed() {
    RECT label = c_.lbEAddress->ClientRect();
    MapWindowPoints(c_.pSingleMode->Handle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&label), 2);
    MenuChosen(popupMenu_->PopupFromKeyboard(hwnd_, POINT{label.left, label.bottom}, label));
}

void TfrmMain::MenuChosen(int id) {
    switch (id) {
    case miHomepage:
        Homepage1Click();
        break;
    case Donate1:
        Donate1Click();
        break;
    case About1:
        About1Click();
        break;
    case miCopyCommand:
        CopyCommandClick();
        break;
    default:
        break;
    }
}

void TfrmMain::OpenPage(const std::string& address) { Application::Get().Shell().Open(hwnd_, "Open", address); }

void TfrmMain::KestroHomepageClick() { OpenPage(LoadText(IDS_URL_HOME)); }

void TfrmMain::lTitleClick() { OpenPage(kTitlePage); }

void TfrmMain::lUpdateClick() { OpenPage(LoadText(IDS_URL_UPDATE)); }

void TfrmMain::Homepage1Click() { OpenPage(LoadText(IDS_URL_PRODUCT)); }

void TfrmMain::Donate1Click() { OpenPage(LoadText(IDS_URL_DONATE)); }

void TfrmMain::About1Click() {
    TfrmAbout about(hwnd_);
    about.ShowModal();
}

} // namespace kestro
