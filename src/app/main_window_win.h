#pragma once
// MainWindow: the main window. Source drive, destination, recovery mode, filter;
// Start builds the winfr command line and runs it in the Scanning dialog.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/settings_win.h"
#include "base/texts.h"
#include "dialogs/scan_dialog_win.h"
#include "job/command.h"
#include "job/run_request.h"
#include "platform/messages_win.h"
#include "platform/power_win.h"
#include "platform/session_win.h"
#include "ui/form_win.h"
#include "ui/graphic_controls_win.h"
#include "ui/group_box_win.h"
#include "ui/subclass_win.h"

namespace kestro {

class DriveSource;
class JobSystem;
class SkinnedPopupMenu;
class ToolRunner;
class LinkLabel;
class HoverImage;

// What the main window asks of the world; each left empty means the real thing.
struct MainWindowServices {
    DriveSource* drives = nullptr;
    JobSystem* jobSystem = nullptr;
    // Runs a recovery in a modal Scanning dialog.
    std::function<void(HWND owner, const RunRequest& request)> runScan;
    // The folder picker (SelectFolder with an empty root).
    std::function<bool(const std::string& title, std::string& folder)> selectFolder;
    // Where settings.ini lives.
    std::function<std::string()> settingsFile;
    // The work area of the primary display (SPI_GETWORKAREA).
    std::function<RECT()> workArea;
    // Why the session must wait while a recovery runs.
    ShutdownReasons* shutdownReasons = nullptr;
};

// Its code is in three files by job: main_window_win.cpp (life, messages, settings, inputs, menu),
// main_window_controls_win.cpp (the controls and their arrangement) and main_window_start_win.cpp
// (the recovery job from the choices).
class MainWindow : public Form {
public:
    explicit MainWindow(MainWindowServices services = {});
    ~MainWindow() override;

    // The recovery mode chosen in the mode list.
    RecoveryMode Mode() const;

    // Remembered choices (settings.ini).
    RememberedChoices& Remembered() noexcept { return remembered_; }
    // The runner of the recoveries, from the window's creation until it closes; null after.
    ToolRunner* Runner() const noexcept { return runner_.get(); }
    // The program's main window while it exists.
    static MainWindow* Current() noexcept { return current_; }
    std::uint16_t SavedControlWord() const noexcept { return savedControlWord_; }

    void ArrangeFilterPanels();
    void FillSourceDrives();
    void LoadSaveSettings(bool load);

    // Handlers of the controls' events.
    void OnSourceDropDown();
    void OnFilterChanged();
    void OnFileNameClicked();
    void OnCustomTypesClicked();
    void OnDestinationButtonClicked();
    void OnSourceFolderButtonClicked();
    void OnShowFilesClicked();
    void OnStartClicked();
    void OnExitClicked();
    void ShowMenu();
    // The menu from the keyboard (Shift+F10, the Applications key).
    void ShowMenuFromKeyboard();
    void OpenMakerHomePage();
    void OpenHelpPage();
    void OpenUpdatePage();
    void OpenProductPage();
    void OpenDonatePage();
    void ShowAbout();
    // The tool's own switches in the Advanced options dialog; OK keeps what it shows.
    void ShowAdvancedOptions();
    void CopyCommand();
    // A folder (or a file's folder) dropped on the destination or source-folder edit.
    void FolderDropped(HWND edit, HDROP drop);

    // The file-name edit still shows its grey example, which the first click clears.
    bool FileNamePlaceholderShown() const noexcept { return fileNamePlaceholder_; }

    // The chosen filter (nothing when no item is chosen); SetFilter acts like a click on that item.
    std::optional<Filter> ChosenFilter() const;
    void SetFilter(Filter filter);
    HWND FilterButton(Filter filter) const { return c_.filterButtons[static_cast<std::size_t>(IndexOfFilter(filter))]; }

    // The controls, for the handlers and for tests.
    struct Controls {
        std::unique_ptr<Image> titleBanner, productIcon, updateIcon;
        std::unique_ptr<Label> titleLabel, subtitleLabel;
        std::unique_ptr<LinkLabel> updateLink;

        std::unique_ptr<Container> mainPanel, destinationRow, sourceFolderRow;
        std::unique_ptr<GroupBox> filterGroup, fileNameGroup, wildcardGroup, fileTypeGroup;
        HWND sourceLabel = nullptr, sourceCombo = nullptr, modeLabel = nullptr, modeCombo = nullptr;
        HWND destinationLabel = nullptr, destinationEdit = nullptr, destinationButton = nullptr,
             separatorLine = nullptr;
        HWND sourceFolderCheck = nullptr, sourceFolderEdit = nullptr, sourceFolderButton = nullptr;
        std::array<HWND, kFilterCount> filterButtons{};
        HWND fileNameHelp = nullptr, fileNameLabel = nullptr, fileNameEdit = nullptr;
        HWND wildcardHelp = nullptr, wildcardLabel = nullptr, wildcardEdit = nullptr;
        std::array<HWND, kCategoryCount> categoryChecks{};
        HWND customTypesCheck = nullptr, customTypesEdit = nullptr;
        std::unique_ptr<Image> fileTypesPicture;
        HWND startButton = nullptr, showFilesButton = nullptr, exitButton = nullptr;
        std::unique_ptr<HoverImage> menuImage;
        std::unique_ptr<Label> menuLabel;
    };
    // For tests: every control made, the filter groups too.
    Controls& Ctl() {
        EnsureFilterGroups();
        return c_;
    }
    SkinnedPopupMenu& PopupMenu() noexcept { return *popupMenu_; }

protected:
    void OnShow() override;
    void OnActivate() override;
    void OnClose() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void Relayout() override;

private:
    // Life and messages.
    void UseRealServices();
    void OnCreate();
    void ShowRememberedChoices();
    void SuggestDestination();
    void FitTitleBand();
    bool OnSessionMessage(UINT msg, WPARAM wParam, LRESULT& result);
    bool OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // A close request from outside (End task, the taskbar window) or the end of the session.
    bool CloseRequested();
    bool RecoveryRunning() const;
    void ToolRunningChanged(bool running);
    void SessionEnding();
    void MenuChosen(int command);
    bool PickFolder(std::string& folder);
    void OpenPage(const std::string& address);
    RECT WorkArea() const;

    // The controls.
    void CreateControls();
    void CreateTitleBand();
    void CreateTitleLabels(HCURSOR hand);
    void CreateUpdateLink();
    void CreateSourceRow(Container& panel);
    void CreateDestinationRow(Container& panel);
    void CreateSourceFolderRow(Container& panel);
    void CreateFilterChoice(Container& panel);
    void CreateButtonRow(Container& panel);
    void EnsureFilterGroups();
    void CreateFileNameGroup(Container& panel);
    void CreateWildcardGroup(Container& panel);
    void CreateFileTypeGroup(Container& panel);
    void CreateMenuControls(Container& panel);
    void SetHints();
    void DescribeForScreenReaders();
    void NameAfter(HWND control, TextId caption);
    HWND AddLabel(Container& parent, const std::wstring& text, int x, int y, int id);
    HWND AddCheckBox(Container& parent, const std::wstring& text, int x, int y, int height, int id);
    void BindHandlers();
    void BindButtons();
    void BindGraphics();
    void AcceptFolderDrops(HWND edit);
    void Arrange(bool moveWindow);
    void FilterClicked();
    GroupBox* GroupOfFilter(Filter filter) const;
    Container& ShowFilterGroup(Filter filter);
    void PlaceButtonRow(const Container& above);
    void CenterForFileTypes();
    void FitToButtonRow();

    // The recovery job.
    JobChoices ReadChoices();
    void RunScanDialog(const RunRequest& request);
    char SourceLetter(int entry) const;
    bool ToolMissing();
    void ShowError(const std::string& text);

    MainWindowServices services_;
    std::unique_ptr<DriveSource> ownDrives_;
    std::unique_ptr<JobSystem> ownJobSystem_;
    SystemShutdownReasons systemShutdownReasons_;
    RememberedChoices remembered_;
    std::uint16_t savedControlWord_ = 0;
    // Shared with the Scanning dialog while it is open.
    std::shared_ptr<ToolRunner> runner_;
    // The open Scanning dialog, and whether the program closes once it has ended.
    ScanDialog* scanDialog_ = nullptr;
    bool closeAfterScan_ = false;
    // The program is closing or the session ending: nobody will come back to see a run end.
    bool leaving_ = false;
    // The computer stays awake while the tool runs.
    KeepAwake keepAwake_;
    std::unique_ptr<SkinnedPopupMenu> popupMenu_;
    // The filter the window is arranged for.
    std::optional<Filter> shownFilter_ = Filter::AllDeleted;
    bool fileNamePlaceholder_ = true;
    Controls c_;

    static MainWindow* current_;
};

} // namespace kestro
