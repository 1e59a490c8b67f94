#pragma once
// TfrmMain: the main window. Source drive, destination, recovery mode, filter;
// Start builds the winfr command line and runs it in the Scanning dialog.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/settings_win.h"
#include "dialogs/download_win.h"
#include "job/command.h"
#include "global/graphics_win.h"
#include "global/session_win.h"
#include "global/window_win.h"

namespace kestro {

class DriveSource;
class JobSystem;
class SkinnedPopupMenu;
class TDownloadProcess;
class TsuiURLLabel;
class TWlmShiftImage;

constexpr UINT WM_SHOWMAIN = 0x3602;

// What the main window asks of the world; each left empty means the real thing.
struct MainWindowServices {
    DriveSource* drives = nullptr;
    JobSystem* jobSystem = nullptr;
    // Runs a recovery with the argument string in a modal Scanning dialog.
    std::function<void(HWND owner, const std::string& arguments)> runScan;
    // The folder picker (SelectFolder with an empty root).
    std::function<bool(const std::string& title, std::string& folder)> selectFolder;
    // Where settings.ini lives.
    std::function<std::string()> settingsFile;
    // The work area of the primary display (SPI_GETWORKAREA).
    std::function<RECT()> workArea;
    // Why the session must wait while a recovery runs.
    ShutdownReasons* shutdownReasons = nullptr;
};

class TfrmMain : public Form, public ScanContext {
public:
    explicit TfrmMain(MainWindowServices services = {});
    ~TfrmMain() override;

    // ScanContext
    std::string DestinationText() const override;
    int RecoveryModeIndex() const override;

    // Remembered choices (settings.ini).
    RememberedChoices& Fields() noexcept { return fields_; }
    std::uint16_t SavedControlWord() const noexcept { return savedControlWord_; }

    void ArrangeFilterPanels();
    void FillSourceDrives();
    void LoadSaveSettings(bool load);

    // Handlers, named after control and event.
    void cbSourceDropDown();
    void rgFileTypeClick();
    void seFileNameClick();
    void suiCheckBox7Click();
    void bSavetoClick();
    void bSourcePathClick();
    void bShowFilesClick();
    void bStartClick();
    void bExitClick();
    void iAboutClick();
    // The menu from the keyboard (Shift+F10, the Applications key).
    void MenuKeyPressed();
    void KestroHomepageClick();
    void lTitleClick();
    void lUpdateClick();
    void Homepage1Click();
    void Donate1Click();
    void About1Click();
    void CopyCommandClick();
    // A folder (or a file's folder) dropped on the destination or source-folder edit.
    void FolderDropped(HWND edit, HDROP drop);

    // The file-name edit still shows its grey example, which the first click clears.
    bool FileNamePlaceholderShown() const noexcept { return fileNamePlaceholder_; }

    // The chosen filter (-1: none); SetFilter acts like a click on that item.
    int FilterIndex() const;
    void SetFilter(int index);

    // The controls, for the handlers and for tests.
    struct Controls {
        std::unique_ptr<TImage> imgTitle, KestroHomepage, iUpdate;
        std::unique_ptr<TLabel> lTitle, lTitleHint;
        std::unique_ptr<TsuiURLLabel> lUpdate;

        std::unique_ptr<Container> pSingleMode, Panel1, Panel3;
        std::unique_ptr<GroupBox> rgFileType, gbFileName, gbWildcard, gbFileType;
        HWND Label8 = nullptr, cbSource = nullptr, Label2 = nullptr, cbRecoveryMode = nullptr;
        HWND lOutputFolder = nullptr, eOutputFolder = nullptr, bSaveto = nullptr, Panel2 = nullptr;
        HWND cbSourceFilePath = nullptr, eSourcePath = nullptr, bSourcePath = nullptr;
        std::array<HWND, 4> rgItems{};
        HWND Label3 = nullptr, Label5 = nullptr, seFileName = nullptr;
        HWND Label6 = nullptr, Label7 = nullptr, seWildcard = nullptr;
        HWND seCustomFileType = nullptr;
        std::array<HWND, 7> suiCheckBox{};
        std::unique_ptr<TImage> Image1;
        HWND bStart = nullptr, bShowFiles = nullptr, bExit = nullptr;
        std::unique_ptr<TWlmShiftImage> WlmShiftImage1;
        std::unique_ptr<TLabel> lbEAddress;
    };
    Controls& Ctl() noexcept { return c_; }

protected:
    void FormShow() override;
    void FormActivate() override;
    void FormClose() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void Relayout() override;

private:
    void FormCreate();
    void CreateControls();
    void CreateTitleBand();
    void CreateFilterGroups();
    void Arrange(bool moveWindow);
    HWND AddLabel(Container& parent, const std::wstring& text, int x, int y, int id);
    HWND AddCheckBox(Container& parent, const std::wstring& text, int x, int y, int height, int id);
    void BindHandlers();
    void AcceptFolderDrops(HWND edit);
    JobChoices ReadChoices() const;
    void OpenPage(const std::string& address);
    void RunScanDialog(const std::string& arguments);
    // A close request from outside (End task, the taskbar window) or the end of the session.
    bool CloseRequested();
    bool RecoveryRunning() const;
    void ToolRunningChanged(bool running);
    void SessionEnding();
    void MenuChosen(int id);
    bool PickFolder(std::string& folder);
    RECT WorkArea() const;

    MainWindowServices services_;
    std::unique_ptr<DriveSource> ownDrives_;
    std::unique_ptr<JobSystem> ownJobSystem_;
    SystemShutdownReasons systemShutdownReasons_;
    RememberedChoices fields_;
    std::uint16_t savedControlWord_ = 0;
    // Shared with the Scanning dialog while it is open.
    std::shared_ptr<TDownloadProcess> runner_;
    // The open Scanning dialog, and whether the program closes once it has ended.
    TfrmDownload* scanDialog_ = nullptr;
    bool closeAfterScan_ = false;
    std::unique_ptr<SkinnedPopupMenu> popupMenu_;
    int filterIndex_ = 0;
    bool fileNamePlaceholder_ = true;
    Controls c_;
};

// The program-wide reference to the main window.
extern TfrmMain* frmMain;

} // namespace kestro
