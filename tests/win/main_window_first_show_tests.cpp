// The main window as it first shows, under Wine: the choices it takes from the settings file, the
// default destination, and the list of source drives.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window_win.h"
#include "platform/winstr_win.h"
#include "support/main_window_fixture.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

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

} // namespace
