// The main window, built for real under Wine with fake drives, boxes and shell.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "app/main_window_win.h"
#include "base/fpu.h"
#include "base/texts.h"
#include "job/command.h"
#include "platform/message_filter_win.h"
#include "platform/winstr_win.h"
#include "runner/tool_runner_win.h"
#include "support/fakes.h"
#include "support/remote.h"
#include "support/wine_helpers.h"
#include "ui/application_win.h"
#include "ui/graphic_controls_win.h"
#include "ui/hover_image_win.h"
#include "ui/link_label_win.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        drives.drives = {{"C:\\", "System", "NTFS"}, {"D:\\", "Data", "NTFS"}, {"E:\\", "Stick", "FAT32"}};
        settingsPath = (settingsDir.Path() / L"settings.ini").wstring();
        // The program keeps its settings file in UTF-16, so non-ASCII paths survive.
        if (FILE* f = _wfopen(settingsPath.c_str(), L"wb")) {
            fwrite("\xFF\xFE", 1, 2, f);
            fclose(f);
        }
    }

    void WriteSetting(const wchar_t* key, const wchar_t* value) {
        WritePrivateProfileStringW(L"Options", key, value, settingsPath.c_str());
    }

    MainWindow& Open() {
        MainWindowServices services;
        services.drives = &drives;
        services.jobSystem = &system;
        services.runScan = [this](HWND, const std::string& arguments) { scans.push_back(arguments); };
        services.selectFolder = [this](const std::string& title, std::string& folder) {
            pickerTitles.push_back(title);
            if (pickerAnswer.empty()) {
                return false;
            }
            folder = pickerAnswer;
            return true;
        };
        if (realPicker) {
            services.selectFolder = nullptr; // the shell's own dialog
        }
        services.settingsFile = [this] { return Narrow(settingsPath); };
        services.workArea = [] { return RECT{0, 0, 1280, 1040}; };
        window = std::make_unique<MainWindow>(std::move(services));
        window->Show();
        PumpUntil([] { return false; }, 50);
        return *window;
    }

    std::string EditText(HWND edit) { return GetText(edit); }

    TempDir settingsDir{L"main-window"};
    std::wstring settingsPath;
    FakeDrives drives;
    FakeJobSystem system;
    RecordingBoxes boxes;
    RecordingShell shell;
    std::vector<std::string> scans;
    std::vector<std::string> pickerTitles;
    std::string pickerAnswer;
    bool realPicker = false;
    std::unique_ptr<MainWindow> window;
};

// ---------------------------------------------------------------------------

TEST_F(MainWindowTest, WindowIdentityAndFrame) {
    MainWindow& w = Open();
    EXPECT_EQ(GetText(w.Handle()), "Kestro Refindor 2.0");
    wchar_t name[128] = {};
    GetClassNameW(w.Handle(), name, 128);
    EXPECT_STREQ(name, L"Kestro Refindor Made by Kestro Software");
    const LONG_PTR style = GetWindowLongPtrW(w.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    // The taskbar button belongs to the application window, titled with the product name.
    EXPECT_EQ(GetWindow(w.Handle(), GW_OWNER), Application::Get().Handle());
    EXPECT_EQ(GetText(Application::Get().Handle()), "Kestro Refindor");
    EXPECT_EQ(MainWindow::Current(), &w);
    EXPECT_EQ(GetFpuControlWord() & 0x1F3F, 0x133F & 0x1F3F);
}

TEST_F(MainWindowTest, EveryControlInPlace) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    struct Expect {
        HWND control;
        const char* text;
        RECT place; // left, top, width, height
    };
    const Expect expected[] = {
        {c.sourceCombo, nullptr, {79, 8, 130, 21}},
        {c.modeCombo, "Quick Scan", {344, 4, 92, 21}},
        {c.destinationEdit, nullptr, {51, 2, 278, 20}},
        {c.destinationButton, "Browser...", {350, 0, 80, 23}},
        {c.separatorLine, "", {0, 74, 439, 2}},
        {c.sourceFolderEdit, "", {106, 3, 222, 20}},
        {c.sourceFolderButton, "Browser...", {350, 1, 80, 23}},
        {c.filterGroup->Handle(), nullptr, {8, 127, 430, 57}},
        {c.destinationRow->Handle(), nullptr, {8, 39, 433, 34}},
        {c.sourceFolderRow->Handle(), nullptr, {8, 88, 473, 34}},
        {c.startButton, "Start...", {158, 204, 80, 23}},
        {c.showFilesButton, "Show Files...", {254, 204, 80, 23}},
        {c.exitButton, "Exit", {351, 204, 80, 23}},
        {c.fileNameEdit, "myfile.docx", {76, 52, 188, 19}},
        {c.wildcardEdit, "", {69, 52, 188, 19}},
        {c.customTypesEdit, ".dll, .ini, .sys", {123, 210, 185, 19}},
    };
    for (const auto& e : expected) {
        const RECT r = PlaceOf(e.control);
        EXPECT_EQ(r.left, e.place.left) << (e.text ? e.text : "");
        EXPECT_EQ(r.top, e.place.top) << (e.text ? e.text : "");
        EXPECT_EQ(r.right, e.place.right) << (e.text ? e.text : "");
        EXPECT_EQ(r.bottom, e.place.bottom) << (e.text ? e.text : "");
        if (e.text != nullptr) {
            EXPECT_EQ(GetText(e.control), e.text);
        }
    }
    EXPECT_EQ(PlaceOf(c.mainPanel->Handle()).left, 8);
    EXPECT_EQ(PlaceOf(c.mainPanel->Handle()).top, 56);
    EXPECT_EQ(GetText(c.sourceLabel), "Source drive:");
    EXPECT_EQ(PlaceOf(c.sourceLabel).left, 8);
    EXPECT_EQ(PlaceOf(c.sourceLabel).top, 11);
    EXPECT_EQ(GetText(c.destinationLabel), "Save to:");
    EXPECT_EQ(GetText(c.sourceFolderCheck), "Source file path:");
    EXPECT_EQ(GetText(c.filterGroup->Handle()), "Select the filter");
    EXPECT_EQ(GetText(c.fileTypeGroup->Handle()), "Deleted file type");
    EXPECT_EQ(GetText(w.FilterButton(Filter::FileType)), "Deleted file type");
    EXPECT_FALSE(IsWindowEnabled(c.customTypesEdit));
    const int tops[7] = {24, 54, 85, 116, 147, 178, 209};
    std::vector<HWND> checks(c.categoryChecks.begin(), c.categoryChecks.end());
    checks.push_back(c.customTypesCheck);
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(PlaceOf(checks[i]).left, 16);
        EXPECT_EQ(PlaceOf(checks[i]).top, tops[i]);
        EXPECT_EQ(SendMessageW(checks[i], BM_GETCHECK, 0, 0), BST_UNCHECKED);
    }
    EXPECT_EQ(GetText(c.customTypesCheck), "Custom file types");
    EXPECT_EQ(c.titleLabel->Caption(), "Windows File Recovery Gui");
    EXPECT_EQ(c.subtitleLabel->Caption(), "Recover lost files from your local storage device");
    EXPECT_EQ(c.updateLink->Caption(), "Check for updates...");
    EXPECT_EQ(c.updateLink->FontColor(), RGB(255, 255, 255)) << "made white when the window is created";
    EXPECT_EQ(c.menuLabel->Caption(), "Menu");
    EXPECT_EQ(c.titleBanner->Width(), 460);
    EXPECT_EQ(c.titleBanner->Height(), 50);
    EXPECT_EQ(c.updateLink->Left(), 460 - c.updateLink->Width() - 10);
    EXPECT_EQ(c.updateIcon->Left(), c.updateLink->Left() - 20);
    EXPECT_EQ(c.productIcon->Width(), 32);
    EXPECT_FALSE(c.titleBanner->GetPicture().Empty()) << "the JPEG title picture decodes";
}

TEST_F(MainWindowTest, KeyboardOrderFollowsTheRows) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    SetFocus(c.sourceCombo);
    std::vector<HWND> order;
    HWND at = GetFocus();
    for (int i = 0; i < 10; ++i) {
        order.push_back(at);
        at = GetNextDlgTabItem(w.Handle(), at, FALSE);
    }
    // The edit part of a drop-down combo box holds the focus.
    auto is = [](HWND focus, HWND control) { return focus == control || GetParent(focus) == control; };
    EXPECT_TRUE(is(order[0], c.sourceCombo));
    EXPECT_TRUE(is(order[1], c.modeCombo));
    EXPECT_EQ(order[2], c.destinationButton);
    EXPECT_EQ(order[3], c.destinationEdit);
    EXPECT_EQ(order[4], c.sourceFolderCheck);
    EXPECT_EQ(order[5], c.sourceFolderEdit);
    EXPECT_EQ(order[6], c.sourceFolderButton);
    EXPECT_EQ(order[7], w.FilterButton(Filter::AllDeleted));
    EXPECT_EQ(order[8], c.startButton);
    EXPECT_EQ(order[9], c.showFilesButton);
}

BOOL CALLBACK CountSpecificFileGroups(HWND child, LPARAM count) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    const bool group = GetText(child) == "Specific file" && lstrcmpiW(name, L"Button") != 0;
    *reinterpret_cast<int*>(count) += group ? 1 : 0;
    return TRUE;
}

// The filter groups are made when first needed, and then take the place in the keyboard order
// that they always had: after the button row.
TEST_F(MainWindowTest, FilterGroupsAreMadeWhenFirstNeededInTheirKeyboardPlace) {
    MainWindow& w = Open();
    const auto groupsMade = [&] {
        int found = 0;
        EnumChildWindows(w.Handle(), CountSpecificFileGroups, reinterpret_cast<LPARAM>(&found));
        return found;
    };
    EXPECT_EQ(groupsMade(), 0) << "not needed for all deleted files";
    w.SetFilter(Filter::SpecificFile);
    EXPECT_EQ(groupsMade(), 1);
    auto& c = w.Ctl();
    EXPECT_TRUE(IsWindowVisible(c.fileNameGroup->Handle()));
    EXPECT_EQ(GetWindow(c.exitButton, GW_HWNDNEXT), c.fileNameGroup->Handle());
    EXPECT_EQ(GetNextDlgTabItem(w.Handle(), c.exitButton, FALSE), c.fileNameEdit);
    w.SetFilter(Filter::AllDeleted);
    EXPECT_FALSE(IsWindowVisible(c.fileNameGroup->Handle()));
    EXPECT_EQ(groupsMade(), 1) << "made once";
}

struct LayoutCase {
    Filter filter;
    int rowTop;
    int clientHeight;
};

TEST_F(MainWindowTest, FilterPanelsResizeTheWindow) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    const LayoutCase cases[] = {{Filter::AllDeleted, 204, 299},   {Filter::SpecificFile, 303, 398},
                                {Filter::Wildcard, 303, 398},     {Filter::FileType, 458, 553},
                                {Filter::SpecificFile, 303, 398}, {Filter::AllDeleted, 204, 299},
                                {Filter::FileType, 458, 553},     {Filter::Wildcard, 303, 398}};
    for (const auto& k : cases) {
        const int index = IndexOfFilter(k.filter);
        // A real click on the radio item, as the user makes it.
        SendMessageW(w.FilterButton(k.filter), BM_CLICK, 0, 0);
        ASSERT_EQ(w.ChosenFilter(), k.filter);
        EXPECT_EQ(ClientOf(w.Handle()).cx, 460) << index;
        EXPECT_EQ(ClientOf(w.Handle()).cy, k.clientHeight) << index;
        EXPECT_EQ(PlaceOf(c.startButton).top, k.rowTop) << index;
        EXPECT_EQ(PlaceOf(c.showFilesButton).top, k.rowTop);
        EXPECT_EQ(PlaceOf(c.exitButton).top, k.rowTop);
        EXPECT_EQ(c.menuImage->Top(), k.rowTop - 9);
        EXPECT_EQ(c.menuLabel->Top(), k.rowTop + 8);
        EXPECT_EQ(IsWindowVisible(c.fileNameGroup->Handle()) != FALSE, k.filter == Filter::SpecificFile);
        EXPECT_EQ(IsWindowVisible(c.wildcardGroup->Handle()) != FALSE, k.filter == Filter::Wildcard);
        EXPECT_EQ(IsWindowVisible(c.fileTypeGroup->Handle()) != FALSE, k.filter == Filter::FileType);
        if (k.filter != Filter::AllDeleted) {
            HWND group = k.filter == Filter::SpecificFile
                             ? c.fileNameGroup->Handle()
                             : (k.filter == Filter::Wildcard ? c.wildcardGroup->Handle() : c.fileTypeGroup->Handle());
            EXPECT_EQ(PlaceOf(group).top, 194);
            EXPECT_EQ(PlaceOf(group).left, 8);
        }
        EXPECT_EQ(c.titleBanner->Width(), 460);
    }
}

TEST_F(MainWindowTest, DeletedFileTypeCentresForA510PixelWindowAndTheTopStays) {
    MainWindow& w = Open();
    RECT before{};
    GetWindowRect(w.Handle(), &before);
    w.SetFilter(Filter::FileType);
    RECT after{};
    GetWindowRect(w.Handle(), &after);
    EXPECT_EQ(after.top, (1040 - 510) / 2) << "a work area 1040 high gives 265";
    EXPECT_EQ(after.left, before.left) << "the left is not changed";
    w.SetFilter(Filter::AllDeleted);
    RECT back{};
    GetWindowRect(w.Handle(), &back);
    EXPECT_EQ(back.top, 265);
    EXPECT_EQ(ClientOf(w.Handle()).cy, 299);
    // Choosing the item already chosen raises nothing.
    SendMessageW(w.FilterButton(Filter::AllDeleted), BM_CLICK, 0, 0);
    EXPECT_EQ(ClientOf(w.Handle()).cy, 299);
}

TEST_F(MainWindowTest, ScreenshotsOfEachFilter) {
    MainWindow& w = Open();
    const std::filesystem::path folder = std::filesystem::path(KESTRO_BUILD_DIR) / "screenshots";
    std::filesystem::create_directories(folder);
    for (const Filter filter : {Filter::AllDeleted, Filter::SpecificFile, Filter::Wildcard, Filter::FileType}) {
        w.SetFilter(filter);
        RedrawWindow(w.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        PumpUntil([] { return false; }, 50);
        const auto path = folder / (L"main-filter-" + std::to_wstring(IndexOfFilter(filter)) + L".bmp");
        EXPECT_TRUE(SaveWindowBitmap(w.Handle(), path.wstring()));
    }
}

// ---------------------------------------------------------------------------
// First showing

TEST_F(MainWindowTest, DefaultDestinationIsAnotherDrive) {
    // Entry 0 selected: entry 1's drive.
    MainWindow& w = Open();
    EXPECT_EQ(SendMessageW(w.Ctl().sourceCombo, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(EditText(w.Ctl().destinationEdit), "D:");
    EXPECT_EQ(w.Remembered().destination, "") << "the remembered value stays empty";
}

TEST_F(MainWindowTest, DefaultDestinationWhenAnotherEntryIsTheSource) {
    WriteSetting(L"SourceDrive", L"2");
    MainWindow& w = Open();
    EXPECT_EQ(SendMessageW(w.Ctl().sourceCombo, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(EditText(w.Ctl().destinationEdit), "C:");
}

TEST_F(MainWindowTest, NoDefaultDestinationWithOneDrive) {
    drives.drives = {{"C:\\", "System", "NTFS"}};
    MainWindow& w = Open();
    EXPECT_EQ(EditText(w.Ctl().destinationEdit), "");
}

TEST_F(MainWindowTest, SavedDestinationIsShownAsSaved) {
    WriteSetting(L"OutputDirectory", L"Q:\\Gone \u0424\u043e\u0442\u043e");
    MainWindow& w = Open();
    EXPECT_EQ(EditText(w.Ctl().destinationEdit), "Q:\\Gone \xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE");
}

TEST_F(MainWindowTest, SourceDriveOutOfRangeKeepsEntryZero) {
    for (const wchar_t* value : {L"-1", L"3", L"99"}) {
        WriteSetting(L"SourceDrive", value);
        MainWindow& w = Open();
        EXPECT_EQ(SendMessageW(w.Ctl().sourceCombo, CB_GETCURSEL, 0, 0), 0) << Narrow(value);
        window.reset();
    }
}

TEST_F(MainWindowTest, EmptySourceListLeavesNoSelection) {
    drives.drives.clear();
    MainWindow& w = Open();
    EXPECT_EQ(SendMessageW(w.Ctl().sourceCombo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(EditText(w.Ctl().destinationEdit), "");
}

TEST_F(MainWindowTest, RecoveryModeOutOfRangeLeavesNoSelection) {
    WriteSetting(L"RecoveryMode", L"7");
    MainWindow& w = Open();
    EXPECT_EQ(SendMessageW(w.Ctl().modeCombo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(GetText(w.Ctl().modeCombo), "");
    window.reset();
    WriteSetting(L"RecoveryMode", L"1");
    MainWindow& again = Open();
    EXPECT_EQ(GetText(again.Ctl().modeCombo), "Deep Scan");
}

TEST_F(MainWindowTest, SavedChoicesAreApplied) {
    WriteSetting(L"SourcePath", L"C:\\Users\\Public");
    WriteSetting(L"IsUseSourcePath", L"2");
    MainWindow& w = Open();
    EXPECT_EQ(EditText(w.Ctl().sourceFolderEdit), "C:\\Users\\Public");
    EXPECT_EQ(SendMessageW(w.Ctl().sourceFolderCheck, BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(MainWindowTest, SourceListSkipsDrivesWithoutFileSystemOrTooLarge) {
    drives.drives = {{"C:\\", "System", "NTFS"},
                     {"D:\\", "", ""},
                     {"E:\\", "Data (old)", "exFAT"},
                     {"F:\\", "Huge", "NTFS", 1000002ull << 30}};
    MainWindow& w = Open();
    EXPECT_EQ(SendMessageW(w.Ctl().sourceCombo, CB_GETCOUNT, 0, 0), 2);
    SendMessageW(w.Ctl().sourceCombo, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(GetText(w.Ctl().sourceCombo), "Data (old) (E:)");
}

TEST_F(MainWindowTest, DropDownRefillsAndKeepsThePosition) {
    MainWindow& w = Open();
    HWND combo = w.Ctl().sourceCombo;
    SendMessageW(combo, CB_SETCURSEL, 2, 0);
    drives.drives = {{"C:\\", "System", "NTFS"}, {"E:\\", "Stick", "FAT32"}};
    w.OnSourceDropDown();
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR) << "index 2 is outside the new list";
    drives.drives = {{"A:\\", "Disk", "FAT"}, {"C:\\", "System", "NTFS"}, {"E:\\", "Stick", "FAT32"}};
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    w.OnSourceDropDown();
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    // Dropping the list down for real refills it too.
    drives.drives.push_back({"G:\\", "New", "NTFS"});
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 4);
}

// ---------------------------------------------------------------------------
// Inputs

void Click(HWND control) {
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

// The colour an edit's text is painted in: what its parent answers to WM_CTLCOLOREDIT.
COLORREF PaintedTextColor(HWND edit) {
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageW(GetParent(edit), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit));
    const COLORREF color = GetTextColor(dc);
    DeleteDC(dc);
    return color;
}

TEST_F(MainWindowTest, FileNamePlaceholderClearsOnTheFirstMouseClickOnly) {
    MainWindow& w = Open();
    HWND edit = w.Ctl().fileNameEdit;
    w.SetFilter(Filter::SpecificFile);
    EXPECT_TRUE(w.FileNamePlaceholderShown());
    EXPECT_EQ(PaintedTextColor(edit), RGB(192, 192, 192));
    Click(edit);
    EXPECT_EQ(EditText(edit), "");
    EXPECT_FALSE(w.FileNamePlaceholderShown());
    EXPECT_EQ(PaintedTextColor(edit), GetSysColor(COLOR_WINDOWTEXT));
    SetText(edit, "report.docx");
    Click(edit);
    EXPECT_EQ(EditText(edit), "report.docx");
}

// A switch to or from a high-contrast theme changes the system colours under a running program.
TEST_F(MainWindowTest, TextColoursFollowASwitchOfTheSystemColours) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    w.SetFilter(Filter::SpecificFile);
    std::vector<HWND> told;
    Subclass(c.sourceLabel, [&](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT&) {
        if (msg == WM_SYSCOLORCHANGE) {
            told.push_back(hwnd);
        }
        return false;
    });
    {
        const SystemColors dark({{COLOR_WINDOW, RGB(0, 0, 0)}, {COLOR_WINDOWTEXT, RGB(255, 255, 0)}});
        EXPECT_EQ(PaintedTextColor(c.fileNameEdit), RGB(192, 192, 192)) << "the placeholder stays grey";
        Click(c.fileNameEdit);
        EXPECT_EQ(PaintedTextColor(c.fileNameEdit), RGB(255, 255, 0));
        EXPECT_EQ(PaintedTextColor(c.wildcardEdit), RGB(255, 255, 0));
        EXPECT_EQ(told, std::vector<HWND>{c.sourceLabel}) << "the controls are told of the new colours";
    }
    EXPECT_EQ(PaintedTextColor(c.fileNameEdit), GetSysColor(COLOR_WINDOWTEXT)) << "and back";
    // "Menu" lies on the system's background: in high contrast it takes the link colour.
    OverrideHighContrast(1);
    EXPECT_EQ(c.menuLabel->PaintColor(), GetSysColor(COLOR_HOTLIGHT));
    EXPECT_EQ(c.titleLabel->PaintColor(), RGB(255, 255, 255)) << "on the title picture it stays white";
    OverrideHighContrast(-1);
    EXPECT_EQ(c.menuLabel->PaintColor(), RGB(0, 0, 255));
}

// Text does not scale in proportion with the DPI: captions are measured again at the new DPI.
TEST_F(MainWindowTest, CaptionsFitAfterMovingToAnotherDpiAndBack) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    RECT suggested{40, 30, 800, 700};
    const auto moveTo = [&](int dpi) {
        SendMessageW(w.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        ASSERT_EQ(w.Dpi(), dpi);
        EXPECT_EQ(ClippedCaptions(w.Handle(), dpi), std::vector<std::string>{}) << "at " << dpi;
        // The windowless labels sized to their text, each measured in the font it is drawn with.
        struct Drawn {
            Label* label;
            int height;
            int weight;
            bool underline;
        };
        const Drawn labels[] = {{c.titleLabel.get(), -15, FW_BOLD, false},
                                {c.updateLink.get(), -12, FW_NORMAL, true},
                                {c.menuLabel.get(), -11, FW_BOLD, true}};
        for (const Drawn& d : labels) {
            const auto font = w.MakeFont(d.height, d.weight, d.underline);
            const ScopedDc dc(w.Handle());
            const std::wstring text = Widen(d.label->Caption());
            SIZE size{};
            {
                SelectGuard selected(dc.Get(), font.get());
                GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
            }
            const RECT r = d.label->ClientRect();
            EXPECT_GE(r.right - r.left, size.cx) << d.label->Caption() << " at " << dpi;
            EXPECT_GE(r.bottom - r.top, size.cy) << d.label->Caption() << " at " << dpi;
        }
        // Every font a control holds is alive.
        EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(SendMessageW(c.sourceLabel, WM_GETFONT, 0, 0))),
                  static_cast<DWORD>(OBJ_FONT));
        EXPECT_EQ(GetObjectType(w.Font()), static_cast<DWORD>(OBJ_FONT));
    };
    w.SetFilter(Filter::FileType);
    EXPECT_EQ(ClippedCaptions(w.Handle(), 96), std::vector<std::string>{});
    moveTo(144);
    moveTo(96);
    const DWORD gdi = GdiObjectCount();
    for (int round = 0; round < 2; ++round) {
        moveTo(144);
        moveTo(96);
    }
    // Wine does not count GDI objects; Windows does.
    EXPECT_LE(GdiObjectCount(), gdi);
    w.SetFilter(Filter::AllDeleted);
}

TEST_F(MainWindowTest, TextTypedWhileSilverIsErasedByTheFirstClick) {
    MainWindow& w = Open();
    HWND edit = w.Ctl().fileNameEdit;
    w.SetFilter(Filter::SpecificFile);
    SetFocus(edit);
    SendMessageW(edit, WM_CHAR, 'x', 0);
    EXPECT_NE(EditText(edit), "");
    Click(edit);
    EXPECT_EQ(EditText(edit), "");
}

TEST_F(MainWindowTest, CustomFileTypesCheckBox) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    w.SetFilter(Filter::FileType);
    SendMessageW(c.customTypesCheck, BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(c.customTypesEdit));
    EXPECT_EQ(EditText(c.customTypesEdit), "") << "the first tick clears the example";
    EXPECT_EQ(GetFocus(), c.customTypesEdit);
    SetText(c.customTypesEdit, ".log");
    SendMessageW(c.customTypesCheck, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(c.customTypesCheck, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(IsWindowEnabled(c.customTypesEdit)) << "unticking never disables it again";
    EXPECT_EQ(EditText(c.customTypesEdit), ".log");
    SetFocus(c.startButton);
    SendMessageW(c.customTypesCheck, BM_CLICK, 0, 0);
    EXPECT_EQ(EditText(c.customTypesEdit), ".log");
    EXPECT_EQ(GetFocus(), c.customTypesEdit);
}

TEST_F(MainWindowTest, ShowFilesWithoutAnExistingFolder) {
    MainWindow& w = Open();
    SetText(w.Ctl().destinationEdit, "");
    w.OnShowFilesClicked();
    SetText(w.Ctl().destinationEdit, "Q:\\Out");
    w.OnShowFilesClicked();
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text, ", the output directory does not exist.");
    EXPECT_EQ(boxes.boxes[1].text, "Q:\\Out, the output directory does not exist.");
    for (const auto& box : boxes.boxes) {
        EXPECT_EQ(box.caption, "Kestro Refindor");
        EXPECT_EQ(box.Icon(), static_cast<UINT>(MB_ICONERROR));
    }
    EXPECT_EQ(w.Remembered().destination, "Q:\\Out") << "remembered even when it does not exist";
    EXPECT_TRUE(shell.calls.empty());
}

TEST_F(MainWindowTest, ShowFilesOpensAnExistingFolder) {
    TempDir out(L"\u0424\u043e\u0442\u043e out");
    MainWindow& w = Open();
    SetText(w.Ctl().destinationEdit, out.Utf8());
    SendMessageW(w.Ctl().showFilesButton, BM_CLICK, 0, 0);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].verb, "Open");
    EXPECT_EQ(shell.calls[0].file, out.Utf8());
    EXPECT_EQ(shell.calls[0].owner, w.Handle());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainWindowTest, FolderPickersFillTheirEdits) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    pickerAnswer = "E:\\Rettung\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE 2024";
    SendMessageW(c.destinationButton, BM_CLICK, 0, 0);
    EXPECT_EQ(EditText(c.destinationEdit), pickerAnswer);
    EXPECT_EQ(w.Remembered().destination, pickerAnswer);
    pickerAnswer = "C:\\Users";
    SendMessageW(c.sourceFolderButton, BM_CLICK, 0, 0);
    EXPECT_EQ(EditText(c.sourceFolderEdit), "C:\\Users");
    EXPECT_EQ(w.Remembered().sourceFolder, "C:\\Users");
    EXPECT_EQ(SendMessageW(c.sourceFolderCheck, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "the box is not ticked";
    pickerAnswer.clear(); // cancelled
    SendMessageW(c.destinationButton, BM_CLICK, 0, 0);
    EXPECT_EQ(EditText(c.destinationEdit), "E:\\Rettung\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE 2024");
    ASSERT_EQ(pickerTitles.size(), 3u);
    EXPECT_EQ(pickerTitles[0], "Please select the directory to add");
}

// ---------------------------------------------------------------------------
// Start

TEST_F(MainWindowTest, StartHandsTheArgumentStringToTheScanningDialog) {
    system.directories = {"D:\\Rescue"};
    system.fileSystems = {{'C', "NTFS"}, {'E', "FAT32"}};
    MainWindow& w = Open();
    auto& c = w.Ctl();
    SetText(c.destinationEdit, "D:\\Rescue");
    SendMessageW(c.startButton, BM_CLICK, 0, 0);
    ASSERT_EQ(scans.size(), 1u);
    EXPECT_EQ(scans[0], "C: D:\\Rescue /regular /o:b /a /e:*.mm1 ");
    EXPECT_TRUE(boxes.boxes.empty());

    // Quick Scan on FAT32 switches the mode list to Deep Scan.
    SendMessageW(c.sourceCombo, CB_SETCURSEL, 2, 0);
    SendMessageW(w.FilterButton(Filter::SpecificFile), BM_CLICK, 0, 0);
    Click(c.fileNameEdit);
    SetText(c.fileNameEdit, "my plan.docx");
    SendMessageW(c.sourceFolderCheck, BM_SETCHECK, BST_CHECKED, 0);
    SetText(c.sourceFolderEdit, "E:\\Old Work");
    SendMessageW(c.startButton, BM_CLICK, 0, 0);
    ASSERT_EQ(scans.size(), 2u);
    EXPECT_EQ(scans[1], "E: D:\\Rescue /regular /extensive /o:b /a /e:*.mm1 /n \"\\Old Work\\my plan.docx\" ");
    EXPECT_EQ(GetText(c.modeCombo), "Deep Scan");
    SendMessageW(c.startButton, BM_CLICK, 0, 0);
    ASSERT_EQ(scans.size(), 3u);
    EXPECT_EQ(scans[2], "E: D:\\Rescue /extensive /o:b /a /e:*.mm1 /n \"\\Old Work\\my plan.docx\" ");
}

// Without winfr anywhere the runner would look, Start offers the Store instead of a Scanning
// dialog that could only fail; the checks come first, and copying the command is not affected.
TEST_F(MainWindowTest, StartWithoutTheToolOffersTheStoreAndNoScanningDialog) {
    system.directories = {"D:\\Rescue"};
    system.fileSystems = {{'C', "NTFS"}};
    MainWindow& w = Open();
    auto& c = w.Ctl();
    ASSERT_NE(w.Runner(), nullptr);
    w.Runner()->SetToolName("kestro-winfr-not-installed");
    SetText(c.destinationEdit, "D:\\Nope");
    SendMessageW(c.startButton, BM_CLICK, 0, 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "D:\\Nope, the output directory does not exist.") << "the checks come first";

    SetText(c.destinationEdit, "D:\\Rescue");
    const std::string offer = "Windows File Recovery (winfr) is not installed for this Windows account.\r\n"
                              "It is free in Microsoft Store. Open Microsoft Store now?";
    boxes.answer = IDNO;
    SendMessageW(c.startButton, BM_CLICK, 0, 0);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].text, offer);
    EXPECT_EQ(boxes.boxes[1].caption, "Kestro Refindor");
    EXPECT_EQ(boxes.boxes[1].flags, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
    EXPECT_TRUE(shell.calls.empty());

    boxes.answer = IDYES;
    SendMessageW(c.startButton, BM_CLICK, 0, 0);
    ASSERT_EQ(boxes.boxes.size(), 3u);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].file, "ms-windows-store://pdp/?ProductId=9N26S50LN705");
    EXPECT_EQ(shell.calls[0].owner, w.Handle());
    EXPECT_TRUE(scans.empty()) << "no Scanning dialog without the tool";

    boxes.answer = IDOK;
    w.CopyCommand();
    EXPECT_EQ(ClipboardText(), "winfr C: D:\\Rescue /regular /o:b /a /e:*.mm1");
    EXPECT_EQ(boxes.boxes.size(), 3u);

    w.Runner()->SetToolName("winfr"); // beside this test program
    SendMessageW(c.startButton, BM_CLICK, 0, 0);
    EXPECT_EQ(scans.size(), 1u);
}

TEST_F(MainWindowTest, StartShowsTheFirstFailingCheck) {
    system.directories = {"D:\\Rescue", "C:\\Temp"};
    MainWindow& w = Open();
    auto& c = w.Ctl();
    SetText(c.destinationEdit, "D:\\Nope");
    SendMessageW(c.sourceCombo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetText(c.sourceCombo, "");
    w.OnStartClicked();
    SendMessageW(c.sourceCombo, CB_SETCURSEL, 0, 0);
    w.OnStartClicked();
    SetText(c.destinationEdit, "C:\\Temp");
    w.OnStartClicked();
    SetText(c.destinationEdit, "D:\\Rescue");
    SendMessageW(c.sourceFolderCheck, BM_SETCHECK, BST_CHECKED, 0);
    SetText(c.sourceFolderEdit, "E:\\Elsewhere");
    w.OnStartClicked();
    ASSERT_EQ(boxes.boxes.size(), 4u);
    EXPECT_EQ(boxes.boxes[0].text, "Please select the source drive.");
    EXPECT_EQ(boxes.boxes[1].text, "D:\\Nope, the output directory does not exist.");
    EXPECT_EQ(boxes.boxes[2].text, "Source and Destination cannot refer to the same physical partition.");
    EXPECT_EQ(boxes.boxes[3].text, "Please check if the drive is correct: E:\\Elsewhere");
    for (const auto& box : boxes.boxes) {
        EXPECT_EQ(box.caption, "Kestro Refindor");
        EXPECT_EQ(box.Icon(), static_cast<UINT>(MB_ICONERROR));
    }
    EXPECT_TRUE(scans.empty());
    EXPECT_EQ(GetText(c.modeCombo), "Quick Scan") << "a failed check changes nothing";
}

TEST_F(MainWindowTest, TypedSourceTextIsRefused) {
    system.directories = {"D:\\Rescue"};
    MainWindow& w = Open();
    auto& c = w.Ctl();
    SetText(c.destinationEdit, "D:\\Rescue");
    SendMessageW(c.sourceCombo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetText(c.sourceCombo, "C:");
    w.OnStartClicked();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Please select the source drive.");
    EXPECT_TRUE(scans.empty());
}

// The real folder picker, with another program's window on the screen: when the picker closes,
// the main window is active and in front again, not the other program.
HWND gPickerSeen = nullptr;
HWND gPickerOwner = nullptr;

BOOL CALLBACK CancelPicker(HWND hwnd, LPARAM) {
    wchar_t name[16] = {};
    GetClassNameW(hwnd, name, 16);
    if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(hwnd)) {
        return TRUE;
    }
    gPickerSeen = hwnd;
    gPickerOwner = GetWindow(hwnd, GW_OWNER);
    PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
    return FALSE;
}

void CALLBACK AnswerPicker(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), CancelPicker, 0);
}

TEST_F(MainWindowTest, TheMainWindowIsInFrontAgainAfterTheFolderPicker) {
    realPicker = true;
    MainWindow& w = Open();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION other{};
    std::wstring line = L"\"" + (ExeFolder() / L"bench-minimal-window.exe").wstring() + L"\"";
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &other));
    HWND otherWindow = WaitForWindow(other.dwProcessId, L"Kestro Bench Minimal Window", L"", 10000);
    EXPECT_NE(otherWindow, nullptr);
    for (HWND button : {w.Ctl().destinationButton, w.Ctl().sourceFolderButton}) {
        SetForegroundWindow(w.Handle());
        ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == w.Handle(); }, 3000));
        SetFocus(button);
        gPickerSeen = nullptr;
        const UINT_PTR timer = SetTimer(nullptr, 0, 200, AnswerPicker);
        SendMessageW(button, BM_CLICK, 0, 0);
        KillTimer(nullptr, timer);
        ASSERT_NE(gPickerSeen, nullptr);
        EXPECT_EQ(gPickerOwner, Application::Get().Handle());
        PumpUntil([] { return false; }, 300);
        EXPECT_TRUE(IsWindowEnabled(w.Handle()));
        EXPECT_EQ(GetForegroundWindow(), w.Handle());
        EXPECT_EQ(GetActiveWindow(), w.Handle());
        EXPECT_EQ(GetFocus(), button) << "the focus is back where it was";
    }
    TerminateProcess(other.hProcess, 0);
    WaitForSingleObject(other.hProcess, 5000);
    CloseHandle(other.hProcess);
    CloseHandle(other.hThread);
}

// ---------------------------------------------------------------------------
// Activation, WM_SHOWMAIN, closing

TEST_F(MainWindowTest, NoVersionWarningOnWindows10) {
    Open();
    PumpUntil([] { return false; }, 100);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainWindowTest, ShowMainRestoresAMinimisedProgram) {
    MainWindow& w = Open();
    ShowWindow(Application::Get().Handle(), SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(Application::Get().Handle()));
    SendMessageW(w.Handle(), WM_SHOWMAIN, 0, 0);
    EXPECT_FALSE(IsIconic(Application::Get().Handle()));
    EXPECT_TRUE(IsWindowVisible(w.Handle()));
}

// The program runs elevated; the integrity filter would drop WM_SHOWMAIN from an ordinary program.
struct FilterCall {
    HWND window;
    UINT message;
    DWORD action;
};
std::vector<FilterCall> filterCalls;

BOOL WINAPI RecordFilter(HWND window, UINT message, DWORD action, PCHANGEFILTERSTRUCT) {
    filterCalls.push_back({window, message, action});
    return TRUE;
}

TEST_F(MainWindowTest, ShowMainIsLetThroughFromLessPrivilegedPrograms) {
    filterCalls.clear();
    SetMessageFilterFunction(&RecordFilter);
    MainWindow& w = Open();
    SetMessageFilterFunction(nullptr);
    const bool allowed = std::any_of(filterCalls.begin(), filterCalls.end(), [&](const FilterCall& call) {
        return call.window == w.Handle() && call.message == WM_SHOWMAIN && call.action == MSGFLT_ALLOW;
    });
    EXPECT_TRUE(allowed);
}

TEST_F(MainWindowTest, MinimiseBoxMinimisesTheProgram) {
    MainWindow& w = Open();
    SendMessageW(w.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(Application::Get().Handle()));
    SendMessageW(w.Handle(), WM_SHOWMAIN, 0, 0);
    EXPECT_FALSE(IsIconic(Application::Get().Handle()));
}

TEST_F(MainWindowTest, ClosingWritesTheSettingsAndFreesTheRunner) {
    TempDir out(L"close-out");
    MainWindow& w = Open();
    ASSERT_NE(w.Runner(), nullptr);
    SetText(w.Ctl().destinationEdit, out.Utf8());
    SendMessageW(w.Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(w.Handle()));
    EXPECT_EQ(w.Runner(), nullptr);
    wchar_t value[512] = {};
    GetPrivateProfileStringW(L"Options", L"OutputDirectory", L"", value, 512, settingsPath.c_str());
    EXPECT_EQ(Narrow(value), out.Utf8());
    GetPrivateProfileStringW(L"Options", L"SourceDrive", L"", value, 512, settingsPath.c_str());
    EXPECT_STREQ(value, L"0");
}

TEST_F(MainWindowTest, AFailedSettingsWriteStillFreesTheRunner) {
    // A settings file inside a folder that does not exist cannot be written.
    settingsPath = (settingsDir.Path() / L"missing" / L"deeper" / L"settings.ini").wstring();
    MainWindow& w = Open();
    SendMessageW(w.Ctl().exitButton, BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindow(w.Handle()));
    EXPECT_EQ(w.Runner(), nullptr);
    EXPECT_TRUE(boxes.boxes.empty()) << "the failure is swallowed";
}

TEST_F(MainWindowTest, MenuItemsOpenTheirPages) {
    MainWindow& w = Open();
    w.OpenProductPage();
    w.OpenDonatePage();
    w.OpenMakerHomePage();
    w.OpenHelpPage();
    w.OpenUpdatePage();
    ASSERT_EQ(shell.calls.size(), 5u);
    EXPECT_EQ(shell.calls[0].file, LoadText(IDS_URL_PRODUCT));
    EXPECT_EQ(shell.calls[1].file, LoadText(IDS_URL_DONATE));
    EXPECT_EQ(shell.calls[2].file, LoadText(IDS_URL_HOME));
    EXPECT_NE(shell.calls[3].file.find("support.microsoft.com"), std::string::npos);
    EXPECT_EQ(shell.calls[4].file, LoadText(IDS_URL_UPDATE));
    for (const auto& call : shell.calls) {
        EXPECT_EQ(call.verb, "Open");
        EXPECT_EQ(call.owner, w.Handle());
    }
}

TEST_F(MainWindowTest, TitleBandClicksGoThroughTheWindow) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    auto clickAt = [&](GraphicControl& control) {
        const RECT r = control.ClientRect();
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(control.Parent().Handle(), WM_MOUSEMOVE, 0, at);
        SendMessageW(control.Parent().Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(control.Parent().Handle(), WM_LBUTTONUP, 0, at);
    };
    clickAt(*c.productIcon);
    clickAt(*c.titleLabel);
    clickAt(*c.subtitleLabel);
    clickAt(*c.updateLink);
    ASSERT_EQ(shell.calls.size(), 4u);
    EXPECT_EQ(shell.calls[0].file, LoadText(IDS_URL_HOME));
    EXPECT_NE(shell.calls[1].file.find("support.microsoft.com"), std::string::npos);
    EXPECT_EQ(shell.calls[2].file, LoadText(IDS_URL_HOME));
    EXPECT_EQ(shell.calls[3].file, LoadText(IDS_URL_UPDATE)) << "one click, one page: no link target of its own";
}

// A drop of one path, as Explorer hands it over.
HDROP MakeDrop(const std::wstring& path) {
    const std::size_t chars = path.size() + 2; // the path's zero and the list's
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(MainWindowTest, DroppedFoldersFillTheFolderEdits) {
    TempDir folder(L"drop \u0424\u043e\u0442\u043e");
    const std::filesystem::path file = folder.Path() / L"report.docx";
    { std::ofstream(file) << "x"; }
    MainWindow& w = Open();
    auto& c = w.Ctl();
    EXPECT_TRUE(GetWindowLongPtrW(c.destinationEdit, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    SendMessageW(c.destinationEdit, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(folder.Path().wstring())), 0);
    EXPECT_EQ(GetText(c.destinationEdit), folder.Utf8());
    EXPECT_EQ(w.Remembered().destination, folder.Utf8());
    SetText(c.sourceFolderEdit, "");
    SendMessageW(c.sourceFolderEdit, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(file.wstring())), 0);
    EXPECT_EQ(GetText(c.sourceFolderEdit), folder.Utf8()) << "a file stands for its folder";
    EXPECT_EQ(w.Remembered().sourceFolder, folder.Utf8());
    SendMessageW(c.sourceFolderEdit, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(L"Q:\\gone\\nothing")), 0);
    EXPECT_EQ(GetText(c.sourceFolderEdit), folder.Utf8()) << "anything else is ignored";
    EXPECT_EQ(SendMessageW(c.sourceFolderCheck, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(MainWindowTest, CopyCommandPutsTheCommandLineOnTheClipboard) {
    system.directories = {"D:\\My Files"};
    system.fileSystems = {{'C', "NTFS"}, {'E', "FAT32"}};
    MainWindow& w = Open();
    auto& c = w.Ctl();
    SetText(c.destinationEdit, "D:\\My Files");
    w.CopyCommand();
    EXPECT_EQ(ClipboardText(), "winfr C: \"D:\\My Files\" /regular /o:b /a /e:*.mm1");

    SendMessageW(c.sourceCombo, CB_SETCURSEL, 2, 0);
    w.SetFilter(Filter::Wildcard);
    SetText(c.wildcardEdit, "*invoice*");
    w.CopyCommand();
    EXPECT_EQ(ClipboardText(), "winfr E: \"D:\\My Files\" /regular /extensive /o:b /a /e:*.mm1 /n *invoice*");
    EXPECT_EQ(GetText(c.modeCombo), "Quick Scan") << "nothing is started and nothing changes";
    EXPECT_TRUE(scans.empty());
    EXPECT_TRUE(boxes.boxes.empty());

    // The checks of Start, with the same first failing message; the clipboard is left alone.
    SetText(c.destinationEdit, "D:\\Gone");
    w.CopyCommand();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "D:\\Gone, the output directory does not exist.");
    EXPECT_EQ(boxes.boxes[0].Icon(), static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(ClipboardText(), "winfr E: \"D:\\My Files\" /regular /extensive /o:b /a /e:*.mm1 /n *invoice*");
}

} // namespace

// Each language's string table in the resources holds what the portable copy holds, and
// LoadText reads the chosen one.
TEST(StringTable, MatchesThePortableCopyInEveryLanguage) {
    for (const LanguageInfo& info : Languages()) {
        for (const TextEntry& e : AllTexts(info.language)) {
            EXPECT_EQ(LoadTextIn(info.language, e.id), e.text) << info.code << " " << e.id;
        }
        SetTextLanguage(info.language);
        EXPECT_EQ(LoadText(IDS_STOP), TextIn(info.language, IDS_STOP)) << info.code;
    }
    SetTextLanguage(Language::English);
    for (const TextEntry& e : AllTexts()) {
        EXPECT_EQ(LoadText(e.id), e.text) << e.id;
    }
}
