// The windows on screens of 144 DPI (this test program runs in a prefix set to
// 144): every 96-DPI place and size scaled by 1.5, and back again when the DPI changes.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "app/main_window_win.h"
#include "dialogs/about_dialog_win.h"
#include "dialogs/scan_dialog_win.h"
#include "platform/winstr_win.h"
#include "runner/tool_runner_win.h"
#include "support/accessible_tables.h"
#include "support/fakes.h"
#include "support/remote.h"
#include "support/wine_helpers.h"
#include "ui/application_win.h"
#include "ui/form_win.h"
#include "ui/hover_image_win.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

int Scaled(int value96, int dpi) { return MulDiv(value96, dpi, 96); }

class Dpi144Test : public ::testing::Test {
protected:
    void SetUp() override { drives.drives = {{"C:\\", "System", "NTFS"}, {"D:\\", "Data", "NTFS"}}; }

    MainWindow& Open() {
        MainWindowServices services;
        services.drives = &drives;
        services.settingsFile = [this] { return dir.Utf8() + "\\settings.ini"; };
        services.workArea = [] { return RECT{0, 0, 1920, 1560}; };
        window = std::make_unique<MainWindow>(services);
        window->Show();
        return *window;
    }

    TempDir dir{L"dpi144"};
    FakeDrives drives;
    RecordingBoxes boxes;
    std::unique_ptr<MainWindow> window;
};

struct Layout {
    Filter filter;
    int rowTop;
    int clientHeight;
};
constexpr Layout kLayouts[] = {
    {Filter::AllDeleted, 204, 299}, {Filter::SpecificFile, 303, 398}, {Filter::Wildcard, 303, 398}, {Filter::FileType, 458, 553}};

void ExpectLayout(MainWindow& w, int dpi) {
    auto& c = w.Ctl();
    for (const Layout& k : kLayouts) {
        w.SetFilter(k.filter);
        EXPECT_NEAR(ClientOf(w.Handle()).cx, Scaled(460, dpi), 1) << IndexOfFilter(k.filter) << " at " << dpi;
        EXPECT_NEAR(ClientOf(w.Handle()).cy, Scaled(k.clientHeight, dpi), 1) << IndexOfFilter(k.filter) << " at " << dpi;
        EXPECT_NEAR(PlaceOf(c.startButton).top, Scaled(k.rowTop, dpi), 1);
        EXPECT_NEAR(PlaceOf(c.startButton).left, Scaled(158, dpi), 1);
        EXPECT_NEAR(PlaceOf(c.startButton).right, Scaled(80, dpi), 1);
        EXPECT_NEAR(PlaceOf(c.exitButton).left, Scaled(351, dpi), 1);
        EXPECT_NEAR(c.menuImage->ClientRect().top, Scaled(k.rowTop - 9, dpi), 1);
        EXPECT_NEAR(c.menuImage->ClientRect().right - c.menuImage->ClientRect().left, Scaled(32, dpi), 1);
        EXPECT_NEAR(c.menuLabel->ClientRect().top, Scaled(k.rowTop + 8, dpi), 1);
    }
    w.SetFilter(Filter::AllDeleted);
    EXPECT_NEAR(PlaceOf(c.mainPanel->Handle()).left, Scaled(8, dpi), 1);
    EXPECT_NEAR(PlaceOf(c.mainPanel->Handle()).top, Scaled(56, dpi), 1);
    EXPECT_NEAR(PlaceOf(c.sourceCombo).left, Scaled(79, dpi), 1);
    EXPECT_NEAR(PlaceOf(c.sourceCombo).right, Scaled(130, dpi), 1);
    // The closed combo box is as tall as the place asks, or as its font needs where that is more
    // (Wine keeps the selection field at least as tall as its font).
    EXPECT_GE(PlaceOf(c.sourceCombo).bottom, Scaled(21, dpi) - 1);
    EXPECT_LE(PlaceOf(c.sourceCombo).bottom, Scaled(21, dpi) + 3);
    EXPECT_NEAR(PlaceOf(c.destinationEdit).right, Scaled(278, dpi), 1);
    EXPECT_NEAR(c.titleBanner->ClientRect().bottom, Scaled(50, dpi), 1);
    EXPECT_NEAR(c.titleBanner->ClientRect().right, Scaled(460, dpi), 1);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(c.startButton, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, MulDiv(-11, dpi, 96)) << "fonts are made for the DPI";
    // Also those of the windowless labels on a panel that a tooltip watches.
    GetObjectW(c.menuLabel->ActiveFont(), sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, MulDiv(-11, dpi, 96)) << "the menu label's font at " << dpi;
}

TEST_F(Dpi144Test, TheSystemReports144) { EXPECT_EQ(WindowDpi(nullptr), 144); }

// Screen readers find every part where it is drawn at this DPI too.
TEST(AccessibleTreesAt144Dpi, MatchTheTablesInEnglishAndGerman) {
    ExpectAccessibleTrees(Language::English, 144);
    ExpectAccessibleTrees(Language::German, 144);
}

TEST_F(Dpi144Test, MainWindowLayoutsScale) {
    MainWindow& w = Open();
    EXPECT_EQ(w.Dpi(), 144);
    EXPECT_EQ(ClientOf(w.Handle()).cx, 690);
    EXPECT_EQ(ClientOf(w.Handle()).cy, 449);
    ExpectLayout(w, 144);
    const std::filesystem::path shots = std::filesystem::path(KESTRO_BUILD_DIR) / "screenshots";
    std::filesystem::create_directories(shots);
    w.SetFilter(Filter::FileType);
    RedrawWindow(w.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpUntil([] { return false; }, 100);
    SaveWindowBitmap(w.Handle(), (shots / L"main-144dpi.bmp").wstring());
    w.SetFilter(Filter::AllDeleted);
}

TEST_F(Dpi144Test, DeletedFileTypeCentresForAScaled510PixelWindow) {
    MainWindow& w = Open();
    w.SetFilter(Filter::FileType);
    RECT frame{};
    GetWindowRect(w.Handle(), &frame);
    EXPECT_EQ(frame.top, (1560 - 765) / 2);
}

TEST_F(Dpi144Test, ADpiChangeLaysTheWindowOutAgain) {
    MainWindow& w = Open();
    // Moved to a screen of 96 DPI: the system suggests a place and the window takes it.
    RECT suggested{100, 80, 100 + 466, 80 + 324};
    SendMessageW(w.Handle(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(w.Dpi(), 96);
    EXPECT_EQ(ClientOf(w.Handle()).cx, 460);
    EXPECT_EQ(ClientOf(w.Handle()).cy, 299);
    RECT frame{};
    GetWindowRect(w.Handle(), &frame);
    EXPECT_EQ(frame.left, 100);
    EXPECT_EQ(frame.top, 80);
    ExpectLayout(w, 96);
    // And back.
    SendMessageW(w.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    ExpectLayout(w, 144);
}

// Made at 144 DPI, moved to a screen of 96 and back: text does not scale in proportion, so every
// caption is measured again and still fits its control.
TEST_F(Dpi144Test, CaptionsFitAfterMovingToAnotherDpiAndBack) {
    MainWindow& w = Open();
    w.SetFilter(Filter::FileType);
    EXPECT_EQ(ClippedCaptions(w.Handle(), 144), std::vector<std::string>{});
    RECT suggested{100, 80, 700, 600};
    for (const int dpi : {96, 144, 96, 144}) {
        SendMessageW(w.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(ClippedCaptions(w.Handle(), dpi), std::vector<std::string>{}) << "at " << dpi;
    }
    AboutDialog about(w.Handle());
    for (const int dpi : {144, 96, 144}) {
        SendMessageW(about.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(ClippedCaptions(about.Handle(), dpi), std::vector<std::string>{}) << "About at " << dpi;
    }
    w.SetFilter(Filter::AllDeleted);
}

TEST_F(Dpi144Test, AboutDialogScales) {
    MainWindow& w = Open();
    AboutDialog about(w.Handle());
    EXPECT_EQ(ClientOf(about.Handle()).cx, 540);
    EXPECT_EQ(ClientOf(about.Handle()).cy, 356);
    HWND ok = GetDlgItem(about.Handle(), IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_NEAR(PlaceOf(ok).left, 390, 1);
    EXPECT_NEAR(PlaceOf(ok).top, Scaled(201, 144), 1);
    EXPECT_NEAR(PlaceOf(ok).right, Scaled(79, 144), 1);
}

TEST_F(Dpi144Test, ScanningDialogScales) {
    MainWindow& w = Open();
    auto runner = std::make_shared<ToolRunner>();
    ScanDialog dialog(w.Handle(), RunRequest{.destination = "D:\\"}, runner);
    EXPECT_EQ(ClientOf(dialog.Handle()).cx, 554);
    EXPECT_EQ(ClientOf(dialog.Handle()).cy, 195);
    HWND bar = FindWindowExW(GetWindow(dialog.Handle(), GW_CHILD), nullptr, PROGRESS_CLASSW, nullptr);
    ASSERT_NE(bar, nullptr);
    EXPECT_NEAR(PlaceOf(bar).right, Scaled(337, 144), 1);
    EXPECT_NEAR(PlaceOf(bar).top, Scaled(37, 144), 1);
}

// The program itself, from outside: its scaled sizes, and the command copied
// through the menu.
TEST(Dpi144Program, ScaledWindowAndTheCommandCopiedThroughTheMenu) {
    ClearClipboard();
    Program program(L"quick");
    ASSERT_TRUE(program.Started());
    HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ClientOf(main).cx, 690);
    EXPECT_EQ(ClientOf(main).cy, 449);
    SendMessageW(Child(main, L"Button", L"Wildcard"), BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return ClientOf(main).cy == 597; }, 3000)) << ClientOf(main).cy;
    SendMessageW(Child(main, L"Button", L"All deleted files"), BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return ClientOf(main).cy == 449; }, 3000));

    HWND menu = OpenMainMenu(program.Id(), main, 144);
    ASSERT_NE(menu, nullptr);
    // From the bottom: "&About...", "Advanced &options...", then "Copy winfr command".
    PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
    PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
    PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    const std::string copied = WaitForClipboardText(5000);
    EXPECT_FALSE(copied.empty());
    // Source: the first drive; destination: the second drive, suggested at the first start.
    EXPECT_EQ(copied, "winfr C: D: /regular /o:b /a /e:*.mm1");
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(20000));
}

} // namespace
