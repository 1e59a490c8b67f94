// The main window, built for real under Wine with fake drives, boxes and shell: its frame, its
// controls and their places, the keyboard order, and the panels each filter brings; and the
// string table it reads its texts from.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/main_window_win.h"
#include "base/fpu.h"
#include "base/texts.h"
#include "job/command.h"
#include "support/main_window_fixture.h"
#include "support/remote.h"
#include "ui/application_win.h"
#include "ui/graphic_controls_win.h"
#include "ui/hover_image_win.h"
#include "ui/link_label_win.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

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

// The controls that are windows: place (left, top, width, height) and, where given, text.
void ExpectControlPlaces(MainWindow::Controls& c) {
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
}

TEST_F(MainWindowTest, EveryControlInPlace) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    ExpectControlPlaces(c);
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
