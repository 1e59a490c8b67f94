// Which winfr Tarvask.exe runs, driven from outside: only the account's (the simulator, where
// Windows keeps winfr for the account in the test prefix), never one beside the program or on
// PATH, without a console window; the Store offered when there is none, and the system's error
// number for one that is no program.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/winstr_win.h"
#include "support/outside_run.h"
#include "support/remote.h"
#include "support/wine_helpers.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

// A copy of the program in a folder of its own, with whatever stands there as winfr.exe.
class LoneProgram {
public:
    explicit LoneProgram(const char* winfrText) : folder_(L"e2e-lone") {
        std::filesystem::copy_file(ExeFolder() / L"Tarvask.exe", folder_.Path() / L"Tarvask.exe");
        if (winfrText != nullptr) {
            std::ofstream(folder_.Path() / L"winfr.exe", std::ios::binary) << winfrText;
        }
    }
    std::filesystem::path Exe() const { return folder_.Path() / L"Tarvask.exe"; }
    std::filesystem::path Folder() const { return folder_.Path(); }

private:
    TempDir folder_;
};

// The account's winfr.exe (the simulator in the test prefix) made to look different for as long as
// this lives: gone, or something else in its place.
class AccountsWinfr {
public:
    explicit AccountsWinfr(const char* replacement) {
        wchar_t* local = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local))) {
            file_ = std::filesystem::path(local) / L"Microsoft" / L"WindowsApps" / L"winfr.exe";
        }
        CoTaskMemFree(local);
        saved_ = file_;
        saved_ += L".kept";
        std::filesystem::rename(file_, saved_);
        if (replacement != nullptr) {
            std::ofstream(file_, std::ios::binary) << replacement;
        }
    }
    ~AccountsWinfr() {
        std::error_code ec;
        std::filesystem::remove(file_, ec);
        std::filesystem::rename(saved_, file_, ec);
    }
    AccountsWinfr(const AccountsWinfr&) = delete;
    AccountsWinfr& operator=(const AccountsWinfr&) = delete;

private:
    std::filesystem::path file_;
    std::filesystem::path saved_;
};

// Many who start the program have no Windows File Recovery yet. A winfr.exe beside the program is
// not theirs: it does not count.
TEST(EndToEnd, WithoutWinfrAnywhereStartOffersTheStoreAndNoReturnsToTheMainWindow) {
    const TempDir folder(L"D:\\", L"e2e-store");
    const std::filesystem::path& destination = folder.Path();
    const AccountsWinfr none(nullptr);
    const LoneProgram lone("This is not the account's winfr.\r\n");
    {
        Program program(L"quick", true, lone.Exe());
        ASSERT_TRUE(program.Started());
        HWND main = nullptr;
        HWND box = FirstBoxAfterStart(program, destination, main);
        ASSERT_NE(main, nullptr);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(BoxText(box), "Windows File Recovery (winfr) is not installed for this Windows account.\r\n"
                                "It is free in Microsoft Store. Open Microsoft Store now?");
        EXPECT_NE(Child(box, L"Button", L"&No"), nullptr);
        EXPECT_EQ(WaitForWindow(program.Id(), L"KestroScanDialog", L"", 300), nullptr) << "no Scanning dialog";
        Screenshot(box, L"e2e-store-offer.bmp");
        PostMessageW(box, WM_COMMAND, IDNO, 0);
        EXPECT_TRUE(PumpUntil([&] { return !IsWindow(box); }, 5000));
        EXPECT_TRUE(PumpUntil([&] { return IsWindowEnabled(main) != FALSE; }, 5000)) << "back to the main window";
        EXPECT_EQ(WaitForWindow(program.Id(), L"KestroScanDialog", L"", 300), nullptr);
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.WaitForExit(20000));
    }
}

// A winfr.exe that is there but cannot be started keeps the error and its number.
TEST(EndToEnd, AWinfrThatIsNotAProgramGivesTheSystemsErrorNumber) {
    const TempDir folder(L"D:\\", L"e2e-bad");
    const std::filesystem::path& destination = folder.Path();
    const AccountsWinfr bad("This is not a program.\r\n");
    {
        Program program(L"quick");
        ASSERT_TRUE(program.Started());
        HWND main = nullptr;
        // The Scanning dialog reports it as it opens: the tool was found, so no Store offer.
        HWND box = FirstBoxAfterStart(program, destination, main);
        ASSERT_NE(main, nullptr);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(BoxText(box), "Error while creating restore process!193.");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        HWND scanning = WaitForWindow(program.Id(), L"KestroScanDialog", L"Kestro Refindor", 5000);
        if (scanning != nullptr) {
            PostMessageW(Child(scanning, L"Button", L"Stop"), BM_CLICK, 0, 0);
        }
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.WaitForExit(20000));
    }
}

// The program runs elevated: a winfr.exe left beside it (a Downloads folder) or in a folder on PATH
// would run with administrator rights. Copies of the simulator there record every run, as does the
// account's own; only the account's runs, and without a console window (where Windows Terminal is
// the default terminal, a hidden one would show, and closing it would end the tool).
TEST(EndToEnd, OnlyTheAccountsWinfrRunsWithoutAConsoleWindowNeverOneBesideTheProgramOrOnThePath) {
    const TempDir folder(L"D:\\", L"e2e-only");
    const std::filesystem::path& destination = folder.Path();
    const LoneProgram lone(nullptr);
    std::filesystem::copy_file(ExeFolder() / L"winfr-sim.exe", lone.Folder() / L"winfr.exe");
    TempDir onPath(L"e2e-path");
    std::filesystem::copy_file(ExeFolder() / L"winfr-sim.exe", onPath.Path() / L"winfr.exe");
    TempDir records(L"e2e-runs");
    const std::filesystem::path runs = records.Path() / L"runs.txt";
    wchar_t path[32768] = {};
    GetEnvironmentVariableW(L"PATH", path, 32768);
    // What WINEPATH adds to a Windows program's PATH, inherited by the program.
    SetEnvironmentVariableW(L"PATH", (onPath.Path().wstring() + L";" + path).c_str());
    SetEnvironmentVariableW(L"WINFR_SIM_RUNS", runs.c_str());
    Program program(L"quick", true, lone.Exe());
    SetEnvironmentVariableW(L"PATH", path);
    SetEnvironmentVariableW(L"WINFR_SIM_RUNS", nullptr);
    ASSERT_TRUE(program.Started());
    const OutsideRun run = StartThroughTheWindow(program, destination, -1);
    ASSERT_NE(run.scanning, nullptr);
    HWND box = WaitForWindow(program.Id(), L"#32770", L"Kestro Refindor", 30000);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(BoxText(box).starts_with("Quick scan completed. 12 files were found.")) << BoxText(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(run.scanning) || !IsWindowVisible(run.scanning); }, 20000));
    PostMessageW(run.main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(20000));

    const std::vector<std::string> lines = LinesOf(runs);
    ASSERT_EQ(lines.size(), 1u) << "exactly one run of one winfr";
    const std::string tab = "\t";
    const std::string ran = lines[0].substr(0, lines[0].find(tab));
    EXPECT_TRUE(ran.ends_with("\\AppData\\Local\\Microsoft\\WindowsApps\\winfr.exe")) << lines[0];
    EXPECT_TRUE(lines[0].ends_with(tab + "no console window")) << lines[0];
}

} // namespace
