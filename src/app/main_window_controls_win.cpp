// The main window's controls: made in keyboard order, bound to their handlers, and arranged for the
// chosen filter at the window's DPI.
#include "app/main_window_win.h"

#include <commctrl.h>
#include <oleacc.h>

#include "resource_ids.h"
#include "base/text.h"
#include "job/categories.h"
#include "platform/message_filter_win.h"
#include "platform/winstr_win.h"
#include "ui/application_win.h"
#include "ui/control_accessible_win.h"
#include "ui/control_state_win.h"
#include "ui/hover_image_win.h"
#include "ui/link_label_win.h"

namespace kestro {

namespace {

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

constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kEdit = WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCheck = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kCombo = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;

constexpr Color kWhite = RGB(255, 255, 255);
constexpr Color kSilver = RGB(192, 192, 192);

// The category check boxes, in the order of Category; the hint of each is CategoryHint.
struct CategoryCheckPlace {
    int top;
    TextId caption;
};
constexpr CategoryCheckPlace kCategoryChecks[kCategoryCount] = {
    {24, IDS_CATEGORY_DOCUMENTS}, {54, IDS_CATEGORY_PHOTOS},     {85, IDS_CATEGORY_VIDEOS},
    {116, IDS_CATEGORY_AUDIOS},   {147, IDS_CATEGORY_WEB_PAGES}, {178, IDS_CATEGORY_COMPRESSED},
};

constexpr TextId kFilterCaptions[kFilterCount] = {IDS_FILTER_ALL_DELETED, IDS_FILTER_SPECIFIC_FILE, IDS_FILTER_WILDCARD,
                                                  IDS_FILTER_FILE_TYPE};

std::wstring Caption(TextId id) {
    return Widen(LoadText(id));
}

} // namespace

// The order of making is the keyboard order.
void MainWindow::CreateControls() {
    CreateTitleBand();
    c_.mainPanel = std::make_unique<Container>(this);
    c_.mainPanel->CreatePanel(*this, 8, 56, 460, 299);
    Container& panel = *c_.mainPanel;
    CreateSourceRow(panel);
    CreateDestinationRow(panel);
    c_.separatorLine = AddControl(
        panel,
        {.className = WC_STATICW, .style = WS_VISIBLE | SS_ETCHEDHORZ, .bounds = {0, 74, 439, 2}, .id = idStatic + 4});
    CreateSourceFolderRow(panel);
    CreateFilterChoice(panel);
    CreateButtonRow(panel);
    // The filter groups come next in the keyboard order; they are made when first needed.
    CreateMenuControls(panel);
    SetHints();
    DescribeForScreenReaders();
}

// The windowless controls that do something take the focus, in the keyboard order where they
// stand: the title band's links before the first row, the menu button before Start. The title
// picture and the program icon do what the subtitle does, as the menu picture does what "Menu"
// does. The edits and combo boxes are named after their labels, also where the label is a check
// box or does not stand directly before them.
void MainWindow::DescribeForScreenReaders() {
    c_.titleLabel->SetAccessibleRole(ROLE_SYSTEM_LINK);
    c_.subtitleLabel->SetAccessibleRole(ROLE_SYSTEM_LINK);
    c_.titleBanner->SetPartOf(c_.subtitleLabel.get());
    c_.productIcon->SetPartOf(c_.subtitleLabel.get());
    const std::array<GraphicControl*, 4> titleBand{c_.titleLabel.get(), c_.subtitleLabel.get(), c_.updateIcon.get(),
                                                   c_.updateLink.get()};
    for (GraphicControl* control : titleBand) {
        control->SetPlaceBefore(c_.sourceCombo);
    }
    c_.menuLabel->SetAccessibleRole(ROLE_SYSTEM_BUTTONMENU);
    c_.menuImage->SetPartOf(c_.menuLabel.get());
    c_.menuLabel->SetPlaceBefore(c_.startButton);
    NameAfter(c_.sourceCombo, IDS_SOURCE_DRIVE);
    NameAfter(c_.modeCombo, IDS_RECOVERY_MODE);
    NameAfter(c_.destinationEdit, IDS_SAVE_TO);
    NameAfter(c_.sourceFolderEdit, IDS_SOURCE_FOLDER_CHECK);
}

void MainWindow::NameAfter(HWND control, TextId caption) {
    SetAccessibleName(control, NameOfCaption(LoadText(caption)));
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

    CreateTitleLabels(hand);
    CreateUpdateLink();
}

void MainWindow::CreateTitleLabels(HCURSOR hand) {
    c_.titleLabel = std::make_unique<Label>(*this);
    c_.titleLabel->SetTransparent(true);
    c_.titleLabel->SetCursor(hand);
    c_.titleLabel->SetFont(-15, true, false);
    c_.titleLabel->SetFontColor(kWhite);
    c_.titleLabel->SetBounds(65, 8, 0, 0);
    c_.titleLabel->SetCaption(LoadText(IDS_TITLE));

    c_.subtitleLabel = std::make_unique<Label>(*this);
    c_.subtitleLabel->SetTransparent(true);
    c_.subtitleLabel->SetCursor(hand);
    c_.subtitleLabel->SetAutoSize(false);
    c_.subtitleLabel->SetFontColor(kWhite);
    c_.subtitleLabel->SetBounds(66, 27, 266, 13);
    c_.subtitleLabel->SetCaption(LoadText(IDS_SUBTITLE));
}

void MainWindow::CreateUpdateLink() {
    c_.updateIcon = std::make_unique<Image>(*this);
    c_.updateIcon->SetBounds(0, 24, 16, 16);
    c_.updateIcon->SetAutoSize(true);
    c_.updateIcon->SetPicture(Picture::FromIconResource(IDI_UPDATE, 16, 16));

    c_.updateLink = std::make_unique<LinkLabel>(*this);
    c_.updateLink->SetTransparent(true);
    c_.updateLink->SetFont(-12, false, true);
    c_.updateLink->SetFontHoverColor(RGB(255, 0, 0));
    c_.updateLink->SetFontLinkColor(kWhite);
    // No link target of its own: its click handler opens the update page, and a
    // target such as "-" would have the shell try to open a file of that name first.
    c_.updateLink->SetURL("");
    c_.updateLink->SetBounds(0, 24, 0, 0);
    c_.updateLink->SetCaption(LoadText(IDS_CHECK_UPDATES));
}

void MainWindow::CreateSourceRow(Container& panel) {
    c_.sourceLabel = AddLabel(panel, Caption(IDS_SOURCE_DRIVE), 8, 11, idStatic + 1);
    c_.sourceCombo = AddControl(
        panel, {.className = WC_COMBOBOXW, .style = kCombo, .bounds = {79, 8, 130, 21}, .id = idSourceCombo});
    c_.modeLabel = AddLabel(panel, Caption(IDS_RECOVERY_MODE), 260, 7, idStatic + 2);
    c_.modeCombo =
        AddControl(panel, {.className = WC_COMBOBOXW, .style = kCombo, .bounds = {344, 4, 92, 21}, .id = idModeCombo});
    SendMessageW(c_.modeCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Caption(IDS_QUICK_SCAN).c_str()));
    SendMessageW(c_.modeCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Caption(IDS_DEEP_SCAN).c_str()));
    SendMessageW(c_.modeCombo, CB_SETCURSEL, 0, 0);
}

// The button comes before the edit in keyboard order, and the label directly before the edit, where
// screen readers look for the edit's name.
void MainWindow::CreateDestinationRow(Container& panel) {
    c_.destinationRow = std::make_unique<Container>(this);
    c_.destinationRow->CreatePanel(panel, 8, 39, 433, 34);
    Container& row = *c_.destinationRow;
    c_.destinationButton = AddControl(row, {.className = WC_BUTTONW,
                                            .text = Caption(IDS_BROWSE),
                                            .style = kButton,
                                            .bounds = {350, 0, 80, 23},
                                            .id = idDestinationButton});
    c_.destinationLabel = AddLabel(row, Caption(IDS_SAVE_TO), 0, 5, idStatic + 3);
    c_.destinationEdit = AddControl(row, {.className = WC_EDITW,
                                          .style = kEdit,
                                          .exStyle = WS_EX_CLIENTEDGE,
                                          .bounds = {51, 2, 278, 20},
                                          .id = idDestinationEdit});
}

void MainWindow::CreateSourceFolderRow(Container& panel) {
    c_.sourceFolderRow = std::make_unique<Container>(this);
    c_.sourceFolderRow->CreatePanel(panel, 8, 88, 473, 34);
    Container& row = *c_.sourceFolderRow;
    c_.sourceFolderCheck = AddCheckBox(row, Caption(IDS_SOURCE_FOLDER_CHECK), 0, 3, 17, idSourceFolderCheck);
    c_.sourceFolderEdit = AddControl(row, {.className = WC_EDITW,
                                           .style = kEdit,
                                           .exStyle = WS_EX_CLIENTEDGE,
                                           .bounds = {106, 3, 222, 20},
                                           .id = idSourceFolderEdit});
    c_.sourceFolderButton = AddControl(row, {.className = WC_BUTTONW,
                                             .text = Caption(IDS_BROWSE),
                                             .style = kButton,
                                             .bounds = {350, 1, 80, 23},
                                             .id = idSourceFolderButton});
}

// Four items in four columns, laid out as the toolkit's radio group does (width - 10 shared out,
// items under the caption line).
void MainWindow::CreateFilterChoice(Container& panel) {
    c_.filterGroup = std::make_unique<GroupBox>(this);
    c_.filterGroup->CreateGroup(panel, LoadText(IDS_SELECT_FILTER), 8, 127, 430, 57);
    const int itemWidth = (430 - 10) / kFilterCount;
    for (int i = 0; i < kFilterCount; ++i) {
        const DWORD style = WS_VISIBLE | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0);
        c_.filterButtons[static_cast<std::size_t>(i)] =
            AddControl(*c_.filterGroup, {.className = WC_BUTTONW,
                                         .text = Caption(kFilterCaptions[i]),
                                         .style = style,
                                         .bounds = {8 + i * itemWidth, 14, itemWidth, 39},
                                         .id = idFilterButton0 + i});
    }
    SetChecked(FilterButton(Filter::AllDeleted), true);
}

void MainWindow::CreateButtonRow(Container& panel) {
    c_.startButton = AddControl(panel, {.className = WC_BUTTONW,
                                        .text = Caption(IDS_START),
                                        .style = kButton,
                                        .bounds = {158, 204, 80, 23},
                                        .id = idStartButton});
    c_.showFilesButton = AddControl(panel, {.className = WC_BUTTONW,
                                            .text = Caption(IDS_SHOW_FILES),
                                            .style = kButton,
                                            .bounds = {254, 204, 80, 23},
                                            .id = idShowFilesButton});
    c_.exitButton = AddControl(panel, {.className = WC_BUTTONW,
                                       .text = Caption(IDS_EXIT),
                                       .style = kButton,
                                       .bounds = {351, 204, 80, 23},
                                       .id = idExitButton});
}

// The groups of the filters' own fields are hidden until their filter is chosen, and they hold
// most of the window's controls: they are made, hidden, the first time a filter other than all
// deleted files is chosen or the choices are read, so that the window appears sooner. The panel's
// other windows are all made before them, so they come last in the keyboard order, after the
// button row, as when they were made with the rest. The order of making is the keyboard order.
void MainWindow::EnsureFilterGroups() {
    if (c_.fileNameGroup) {
        return;
    }
    Container& panel = *c_.mainPanel;
    CreateFileNameGroup(panel);
    CreateWildcardGroup(panel);
    CreateFileTypeGroup(panel);
    for (Container* group : {c_.fileNameGroup.get(), c_.wildcardGroup.get(), c_.fileTypeGroup.get()}) {
        ShowWindow(group->Handle(), SW_HIDE);
    }
    SetHint(c_.wildcardEdit, LoadText(IDS_HINT_WILDCARD));
    SetHint(c_.customTypesEdit, LoadText(IDS_HINT_CUSTOM_TYPES));
    NameAfter(c_.fileNameEdit, IDS_FILE_NAME_LABEL);
    NameAfter(c_.wildcardEdit, IDS_WILDCARD_LABEL);
    NameAfter(c_.customTypesEdit, IDS_CUSTOM_TYPES_CHECK);
    for (std::size_t i = 0; i < kCategoryCount; ++i) {
        SetHint(c_.categoryChecks[i], CategoryHint(static_cast<Category>(i)));
    }
    Subclass(c_.fileNameEdit, [this](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        if (msg != WM_LBUTTONUP) {
            return false;
        }
        result = CallOriginal(hwnd, msg, wParam, lParam);
        OnFileNameClicked();
        return true;
    });
}

void MainWindow::CreateFileNameGroup(Container& panel) {
    c_.fileNameGroup = std::make_unique<GroupBox>(this);
    GroupBox& group = *c_.fileNameGroup;
    group.CreateGroup(panel, LoadText(IDS_GROUP_SPECIFIC_FILE), 8, 200, 430, 89);
    c_.fileNameHelp = AddLabel(group, Caption(IDS_FILE_NAME_HELP), 16, 24, idStatic + 10);
    c_.fileNameLabel = AddLabel(group, Caption(IDS_FILE_NAME_LABEL), 16, 53, idStatic + 11);
    c_.fileNameEdit = AddControl(group, {.className = WC_EDITW,
                                         .text = L"myfile.docx",
                                         .style = kEdit,
                                         .exStyle = WS_EX_CLIENTEDGE,
                                         .bounds = {76, 52, 188, 19},
                                         .id = idFileNameEdit});
    SetTextColor(c_.fileNameEdit, kSilver);
}

void MainWindow::CreateWildcardGroup(Container& panel) {
    c_.wildcardGroup = std::make_unique<GroupBox>(this);
    GroupBox& group = *c_.wildcardGroup;
    group.CreateGroup(panel, LoadText(IDS_GROUP_WILDCARD), 8, 296, 430, 89);
    c_.wildcardHelp = AddLabel(group, Caption(IDS_WILDCARD_HELP), 16, 24, idStatic + 13);
    c_.wildcardLabel = AddLabel(group, Caption(IDS_WILDCARD_LABEL), 16, 53, idStatic + 14);
    c_.wildcardEdit = AddControl(group, {.className = WC_EDITW,
                                         .style = kEdit,
                                         .exStyle = WS_EX_CLIENTEDGE,
                                         .bounds = {69, 52, 188, 19},
                                         .id = idWildcardEdit});
}

// Designed to the right of the others; moved under the filter choice when shown.
void MainWindow::CreateFileTypeGroup(Container& panel) {
    c_.fileTypeGroup = std::make_unique<GroupBox>(this);
    GroupBox& group = *c_.fileTypeGroup;
    group.CreateGroup(panel, LoadText(IDS_GROUP_FILE_TYPE), 448, 200, 430, 244);
    for (std::size_t i = 0; i < kCategoryCount; ++i) {
        c_.categoryChecks[i] = AddCheckBox(group, Caption(kCategoryChecks[i].caption), 16, kCategoryChecks[i].top, 19,
                                           idCategoryCheck0 + static_cast<int>(i));
    }
    c_.customTypesCheck = AddCheckBox(group, Caption(IDS_CUSTOM_TYPES_CHECK), 16, 209, 19, idCustomTypesCheck);
    c_.customTypesEdit = AddControl(group, {.className = WC_EDITW,
                                            .text = L".dll, .ini, .sys",
                                            .style = kEdit | WS_DISABLED,
                                            .exStyle = WS_EX_CLIENTEDGE,
                                            .bounds = {123, 210, 185, 19},
                                            .id = idCustomTypesEdit});
    c_.fileTypesPicture = std::make_unique<Image>(group);
    c_.fileTypesPicture->SetBounds(360, 104, 32, 41);
    c_.fileTypesPicture->SetPicture(Picture::FromIconResource(IDI_FILE_TYPES, 32, 41));
}

void MainWindow::CreateMenuControls(Container& panel) {
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
    c_.menuLabel->SetCaption(LoadText(IDS_MENU_LABEL));
}

void MainWindow::SetHints() {
    SetHint(c_.destinationEdit, LoadText(IDS_HINT_DESTINATION));
    SetHint(c_.destinationButton, LoadText(IDS_HINT_BROWSE_DESTINATION));
    SetHint(c_.sourceFolderEdit, LoadText(IDS_HINT_SOURCE_FOLDER));
    SetHint(*c_.menuImage, LoadText(IDS_HINT_MENU));
    SetHint(*c_.menuLabel, LoadText(IDS_HINT_MENU));
}

// Labels and check boxes are as wide as their text (and the check mark), at every DPI.
HWND MainWindow::AddLabel(Container& parent, const std::wstring& text, int x, int y, int id) {
    HWND label = AddControl(parent, {.className = WC_STATICW,
                                     .text = text,
                                     .style = kLabel,
                                     .bounds = {x, y, TextWidth96(text) + 1, 13},
                                     .id = id});
    FitToText(label, 1, false);
    return label;
}

HWND MainWindow::AddCheckBox(Container& parent, const std::wstring& text, int x, int y, int height, int id) {
    HWND box = AddControl(parent, {.className = WC_BUTTONW,
                                   .text = text,
                                   .style = kCheck,
                                   .bounds = {x, y, TextWidth96(text) + 24, height},
                                   .id = id});
    FitToText(box, 24, false);
    return box;
}

void MainWindow::BindHandlers() {
    OnCommand(idSourceCombo, [this](int code) {
        if (code == CBN_DROPDOWN) {
            OnSourceDropDown();
        }
    });
    BindButtons();
    BindGraphics();
    AcceptFolderDrops(c_.destinationEdit);
    AcceptFolderDrops(c_.sourceFolderEdit);
}

void MainWindow::BindButtons() {
    const auto click = [this](void (MainWindow::*handler)()) {
        return [this, handler](int code) {
            if (code == BN_CLICKED) {
                (this->*handler)();
            }
        };
    };
    for (int i = 0; i < kFilterCount; ++i) {
        OnCommand(idFilterButton0 + i, click(&MainWindow::FilterClicked));
    }
    OnCommand(idCustomTypesCheck, click(&MainWindow::OnCustomTypesClicked));
    OnCommand(idDestinationButton, click(&MainWindow::OnDestinationButtonClicked));
    OnCommand(idSourceFolderButton, click(&MainWindow::OnSourceFolderButtonClicked));
    OnCommand(idShowFilesButton, click(&MainWindow::OnShowFilesClicked));
    OnCommand(idStartButton, click(&MainWindow::OnStartClicked));
    OnCommand(idExitButton, click(&MainWindow::OnExitClicked));
}

void MainWindow::BindGraphics() {
    const auto call = [this](void (MainWindow::*handler)()) {
        return [this, handler](GraphicControl&) { (this->*handler)(); };
    };
    c_.titleBanner->OnClick = call(&MainWindow::OpenMakerHomePage);
    c_.productIcon->OnClick = call(&MainWindow::OpenMakerHomePage);
    c_.subtitleLabel->OnClick = call(&MainWindow::OpenMakerHomePage);
    c_.titleLabel->OnClick = call(&MainWindow::OpenHelpPage);
    c_.updateLink->OnClick = call(&MainWindow::OpenUpdatePage);
    c_.menuImage->OnClick = call(&MainWindow::ShowMenu);
    c_.menuLabel->OnClick = call(&MainWindow::ShowMenu);
    // From the keyboard or a screen reader the menu opens below "Menu", as Shift+F10 opens it.
    c_.menuLabel->OnKeyClick = call(&MainWindow::ShowMenuFromKeyboard);
}

void MainWindow::AcceptFolderDrops(HWND edit) {
    // What DragAcceptFiles does, without loading the shell for it: most starts see no drop.
    SetWindowLongPtrW(edit, GWL_EXSTYLE, GetWindowLongPtrW(edit, GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
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

std::optional<Filter> MainWindow::ChosenFilter() const {
    for (std::size_t i = 0; i < c_.filterButtons.size(); ++i) {
        if (IsChecked(c_.filterButtons[i])) {
            return FilterOfIndex(static_cast<int>(i));
        }
    }
    return std::nullopt;
}

void MainWindow::SetFilter(Filter filter) {
    for (std::size_t i = 0; i < c_.filterButtons.size(); ++i) {
        SetChecked(c_.filterButtons[i], static_cast<int>(i) == IndexOfFilter(filter));
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

void MainWindow::OnFilterChanged() {
    ArrangeFilterPanels();
}

void MainWindow::ArrangeFilterPanels() {
    Arrange(true);
}

// After a DPI change the same arrangement is made at the new scale, in place.
void MainWindow::Relayout() {
    Arrange(false);
}

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
    if (filter == Filter::AllDeleted && !c_.fileNameGroup) {
        return *c_.filterGroup; // no group made yet, none to hide
    }
    EnsureFilterGroups();
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
    FitTitleBand();
}

// The title picture spans the window; the update link keeps to its right edge.
void MainWindow::FitTitleBand() {
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

} // namespace kestro
