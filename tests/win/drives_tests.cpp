// Drive and volume queries against the drives of the test prefix: C:, D: to H:
// (D: labelled "Data (old)", E: "Rescue" with serial 1A2B3C4D, H: a CD-ROM) and Z:.
// Also the real folder picker, answered from a timer.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/main_window_win.h"
#include "platform/drive_list.h"
#include "platform/drives_win.h"
#include "platform/files_win.h"
#include "platform/winstr_win.h"
#include "support/fakes.h"
#include "support/wine_helpers.h"
#include "ui/control_state_win.h"
#include "ui/folder_win.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

TEST(Drives, EveryRootIsListedEvenBeyondTheFirstBuffer) {
    std::vector<std::string> roots;
    ListLogicalDrives(roots);
    // More than four roots do not fit the first 20-character buffer.
    ASSERT_GT(roots.size(), 4u);
    for (const char* root : {"C:\\", "D:\\", "E:\\", "F:\\", "G:\\", "Z:\\"}) {
        EXPECT_NE(std::find(roots.begin(), roots.end(), root), roots.end()) << root;
    }
    EXPECT_TRUE(std::is_sorted(roots.begin(), roots.end())) << "in the system's order, by letter";
}

TEST(Drives, InfoOfALabelledDrive) {
    std::string label, serial, fileSystem, total, free, warnings = "kept";
    GetDriveInfo('E', label, serial, fileSystem, total, free, warnings);
    EXPECT_EQ(label, "Rescue");
    EXPECT_EQ(serial, "1A2B3C4D");
    EXPECT_FALSE(fileSystem.empty());
    EXPECT_FALSE(total.empty());
    EXPECT_EQ(warnings, "kept") << "left as passed when both queries work";
    EXPECT_EQ(GetFileSystemName('C'), "NTFS");
}

TEST(Drives, InfoOfAMissingDriveCarriesBothWarnings) {
    std::string label = "x", serial, fileSystem = "x", total, free, warnings = "earlier text";
    GetDriveInfo('Q', label, serial, fileSystem, total, free, warnings);
    EXPECT_EQ(label, "");
    EXPECT_EQ(fileSystem, "");
    EXPECT_EQ(serial, "00000000");
    EXPECT_EQ(total, "0");
    EXPECT_EQ(free, "0");
    EXPECT_EQ(warnings, "Volume information was not fully returned.\r\nFailed to obtain volume space size.");
    EXPECT_EQ(GetFileSystemName('Q'), "");
}

TEST(Drives, SourceListOfTheRealDrives) {
    RecordingBoxes boxes;
    TempDir dir(L"drives");
    MainWindowServices services;
    services.settingsFile = [&] { return dir.Utf8() + "\\settings.ini"; };
    MainWindow main(services); // the system's own drives
    main.Show();
    HWND combo = main.Ctl().sourceCombo;
    std::vector<std::string> entries;
    std::vector<char> letters;
    for (int i = 0; i < EntryCount(combo); ++i) {
        entries.push_back(EntryText(combo, i));
        letters.push_back(static_cast<char>(EntryData(combo, i)));
    }
    EXPECT_NE(std::find(entries.begin(), entries.end(), "Data (old) (D:)"), entries.end());
    EXPECT_NE(std::find(entries.begin(), entries.end(), "Rescue (E:)"), entries.end());
    // Each entry keeps its drive beside its caption, never to be read back from it.
    ASSERT_EQ(letters.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_TRUE(entries[i].ends_with(std::string{" ("} + letters[i] + ":)")) << entries[i];
    }
    // The destination defaults to the second entry's drive.
    EXPECT_EQ(GetText(main.Ctl().destinationEdit), (std::string{letters.at(1), ':'}));
    EXPECT_TRUE(DirectoryExists(GetText(main.Ctl().destinationEdit))) << "a drive counts as an existing directory";
}

TEST(Volumes, EveryPathOnADriveHasTheDrivesVolume) {
    const std::string c = VolumeIdentity("C:\\");
    ASSERT_FALSE(c.empty());
    EXPECT_EQ(VolumeIdentity("C:\\windows"), c);
    EXPECT_EQ(VolumeIdentity("c:\\windows\\system32\\..\\"), c);
    EXPECT_NE(VolumeIdentity("D:\\"), c);
    EXPECT_NE(VolumeIdentity("D:\\"), VolumeIdentity("E:\\"));
}

TEST(Volumes, RelativePathsResolveAgainstTheCurrentDirectory) {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    SetCurrentDirectoryW(L"C:\\windows");
    EXPECT_EQ(VolumeIdentity("Rescue-that-does-not-exist"), VolumeIdentity("C:\\"));
    EXPECT_EQ(VolumeIdentity("."), VolumeIdentity("C:\\"));
    SetCurrentDirectoryW(current);
    EXPECT_EQ(VolumeIdentity(""), "");
}

// The folder picker: centred, the program's other windows disabled while it is
// open, critical-error boxes off, and cancelled from a timer.
struct PickerSeen {
    bool found = false;
    RECT window{};
    RECT client{};
    bool otherDisabled = false;
    UINT errorMode = 0;
};
PickerSeen gSeen;
HWND gOther = nullptr;

BOOL CALLBACK FindBrowseDialog(HWND hwnd, LPARAM) {
    wchar_t name[16] = {};
    GetClassNameW(hwnd, name, 16);
    if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(hwnd)) {
        return TRUE;
    }
    gSeen.found = true;
    GetWindowRect(hwnd, &gSeen.window);
    GetClientRect(hwnd, &gSeen.client);
    gSeen.otherDisabled = !IsWindowEnabled(gOther);
    gSeen.errorMode = GetErrorMode();
    PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
    return FALSE;
}

void CALLBACK AnswerPicker(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), FindBrowseDialog, 0); }

TEST(FolderPicker, CentredModalAndCancelled) {
    TempDir existing(L"picker");
    gOther = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                             nullptr, nullptr, nullptr);
    const UINT_PTR timer = SetTimer(nullptr, 0, 300, AnswerPicker);
    std::string folder = existing.Utf8();
    gSeen = {};
    EXPECT_FALSE(SelectFolder("Please select the directory to add", L"", folder));
    ASSERT_TRUE(gSeen.found);
    EXPECT_EQ(folder, existing.Utf8()) << "an existing folder is kept when cancelled";
    EXPECT_TRUE(gSeen.otherDisabled);
    EXPECT_TRUE(gSeen.errorMode & SEM_FAILCRITICALERRORS);
    EXPECT_NEAR(gSeen.window.left, (GetSystemMetrics(SM_CXSCREEN) - gSeen.client.right) / 2, 1);
    EXPECT_NEAR(gSeen.window.top, (GetSystemMetrics(SM_CYSCREEN) - gSeen.client.bottom) / 2, 1);
    EXPECT_TRUE(IsWindowEnabled(gOther)) << "enabled again afterwards";

    folder = "Q:\\does not exist";
    gSeen = {};
    EXPECT_FALSE(SelectFolder("Please select the directory to add", L"", folder));
    EXPECT_TRUE(gSeen.found);
    EXPECT_EQ(folder, "") << "a folder that does not exist is cleared";
    KillTimer(nullptr, timer);
    DestroyWindow(gOther);
}

} // namespace
