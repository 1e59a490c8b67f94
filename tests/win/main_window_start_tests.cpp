// Start and "Copy winfr command" in the main window, under Wine: the argument string handed to the
// Scanning dialog, the checks that come first, and the offer of the Store without the tool.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/main_window_win.h"
#include "runner/tool_runner_win.h"
#include "support/main_window_fixture.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

TEST_F(MainWindowTest, StartHandsTheArgumentStringToTheScanningDialog) {
    system.directories = {"D:\\Rescue"};
    system.fileSystems = {{'C', "NTFS"}, {'E', "FAT32"}};
    MainWindow& w = Open();
    auto& c = w.Ctl();
    SetText(c.destinationEdit, "D:\\Rescue");
    SendMessageW(c.startButton, BM_CLICK, 0, 0);
    ASSERT_EQ(scans.size(), 1u);
    EXPECT_EQ(scans[0].arguments, "C: D:\\Rescue /regular /o:b /a /e:*.mm1 ");
    // The run is described once, by value: the Scanning dialog and the log read nothing back.
    EXPECT_EQ(scans[0].destination, "D:\\Rescue");
    EXPECT_EQ(scans[0].mode, RecoveryMode::Quick);
    EXPECT_EQ(scans[0].sourceDrive, 'C');
    EXPECT_EQ(scans[0].sourceFileSystem, "NTFS");
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
    EXPECT_EQ(scans[1].arguments, "E: D:\\Rescue /regular /extensive /o:b /a /e:*.mm1 /n \"\\Old Work\\my plan.docx\" ");
    EXPECT_EQ(GetText(c.modeCombo), "Deep Scan");
    EXPECT_EQ(scans[1].mode, RecoveryMode::Deep) << "the run is the deep scan the list now shows";
    EXPECT_EQ(scans[1].sourceDrive, 'E');
    EXPECT_EQ(scans[1].sourceFileSystem, "FAT32");
    SendMessageW(c.startButton, BM_CLICK, 0, 0);
    ASSERT_EQ(scans.size(), 3u);
    EXPECT_EQ(scans[2].arguments, "E: D:\\Rescue /extensive /o:b /a /e:*.mm1 /n \"\\Old Work\\my plan.docx\" ");
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
