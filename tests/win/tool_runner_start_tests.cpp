// How the tool runner finds and starts the tool, under Wine: only where Windows keeps winfr (the
// account's app aliases, then the system folder), never the current folder, the program's folder
// or PATH; by its full path, without a console window, inheriting only the pipe's write end, in a
// job of its own.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/system_error.h"
#include "platform/files_win.h"
#include "platform/winstr_win.h"
#include "support/tool_runner_fixture.h"

namespace kestro {
namespace {

using namespace testing_win;

TEST_F(RunnerTest, MissingToolFailsWithTheCreateProcessErrorAndStartsNothing) {
    EventWindow window;
    runner.SetToolName("kestro-no-such-tool");
    try {
        runner.Start(window.Handle(), "");
        FAIL() << "Start succeeded";
    } catch (const SystemError& e) {
        // Carried as a value; the words are made where they are shown.
        EXPECT_EQ(e.Text(), IDS_CREATE_PROCESS_ERROR);
        EXPECT_EQ(e.Code(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(e.Words(), "Error while creating restore process!2");
    }
    EXPECT_EQ(runner.ProcessId(), 0u);
    EXPECT_EQ(ToolRunner::LivePollingThreads(), 0);
    EXPECT_TRUE(runner.IsRunning()) << "a failed start stays 'running' until stopped";
    runner.Stop();
    EXPECT_FALSE(runner.IsRunning());
}

TEST_F(RunnerTest, ToolInTheCurrentDirectoryIsNeverStarted) {
    TempDir folder(L"kestro-cwd");
    std::filesystem::copy_file(ExeFolder() / L"winfr.exe", folder.Path() / L"kestro-cwd-tool.exe");
    wchar_t previous[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH + 1, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.Path().c_str()));

    const std::string message = StartError("kestro-cwd-tool");
    // Not by a relative PATH entry either.
    wchar_t path[32768] = {};
    GetEnvironmentVariableW(L"PATH", path, 32768);
    SetEnv(L"PATH", std::wstring(L".;") + path);
    const std::wstring viaDot = FindToolProgram(L"kestro-cwd-tool");
    SetEnv(L"PATH", path);
    SetCurrentDirectoryW(previous);
    runner.Stop();

    EXPECT_EQ(message, "Error while creating restore process!2");
    EXPECT_EQ(viaDot, L"");
    wchar_t flag[8] = {};
    GetEnvironmentVariableW(L"NoDefaultCurrentDirectoryInExePath", flag, 8);
    EXPECT_STREQ(flag, L"1") << "the system's own searches skip the current directory too";
}

// The program runs elevated: a winfr.exe beside it (a Downloads folder) or in a folder of PATH would
// run with administrator rights. Only the account's app aliases and the system folder count.
TEST_F(RunnerTest, ToolIsNeverTakenFromTheProgramsFolderOrThePath) {
    TempDir folder(L"kestro-path");
    std::filesystem::copy_file(ExeFolder() / L"winfr.exe", folder.Path() / L"kestro-path-tool.exe");
    const std::filesystem::path beside = ExeFolder() / L"kestro-beside-tool.exe";
    std::filesystem::copy_file(ExeFolder() / L"winfr.exe", beside, std::filesystem::copy_options::overwrite_existing);
    wchar_t path[32768] = {};
    GetEnvironmentVariableW(L"PATH", path, 32768);
    SetEnv(L"PATH", folder.Path().wstring() + L";" + path);
    const std::wstring onPath = FindToolProgram(L"kestro-path-tool");
    const std::wstring besideFound = FindToolProgram(L"kestro-beside-tool");
    // winfr itself: the test prefix keeps the simulator where Windows keeps winfr for the account;
    // the copy beside this program is passed over.
    const std::wstring winfr = FindToolProgram(L"winfr");
    const std::string message = StartError("kestro-beside-tool");
    runner.Stop();
    SetEnv(L"PATH", path);
    std::filesystem::remove(beside);

    EXPECT_EQ(onPath, L"");
    EXPECT_EQ(besideFound, L"");
    EXPECT_EQ(message, "Error while creating restore process!2");
    EXPECT_TRUE(Narrow(winfr).ends_with("\\AppData\\Local\\Microsoft\\WindowsApps\\winfr.exe")) << Narrow(winfr);
}

// The folders come from ToolFolders (the account's aliases, then System32, or Sysnative for a
// 32-bit program on 64-bit Windows); these stand in for them.
TEST(ToolSearch, TakesTheProgramFromTheFirstFolderThatHoldsItAndNothingElse) {
    TempDir root(L"kestro-search");
    const std::filesystem::path aliases = root.Path() / L"WindowsApps";
    const std::filesystem::path sysnative = root.Path() / L"Sysnative";
    std::filesystem::create_directories(aliases);
    std::filesystem::create_directories(sysnative / L"sub");
    for (const wchar_t* name : {L"both.exe", L"system.exe", L"tool.com"}) {
        std::ofstream(sysnative / name) << "x";
    }
    std::ofstream(aliases / L"both.exe") << "x";
    std::filesystem::create_directories(aliases / L"folder.exe");
    const std::vector<std::string> folders = {Narrow(aliases.wstring()), "relative\\folder",
                                              Narrow(sysnative.wstring())};
    EXPECT_EQ(FindProgramIn(L"both", folders), (aliases / L"both.exe").wstring());
    EXPECT_EQ(FindProgramIn(L"system", folders), (sysnative / L"system.exe").wstring());
    EXPECT_EQ(FindProgramIn(L"tool.com", folders), (sysnative / L"tool.com").wstring());
    EXPECT_EQ(FindProgramIn(L"folder", folders), L"") << "a folder is no program";
    EXPECT_EQ(FindProgramIn(L"none", folders), L"");
    for (const wchar_t* withFolder : {L"sub\\..\\system", L"..\\Sysnative\\system", L"C:system", L"/system"}) {
        EXPECT_EQ(FindProgramIn(withFolder, folders), L"") << Narrow(withFolder);
    }
    EXPECT_EQ(FindProgramIn(L"both", {}), L"");
}

// Every inheritable pipe handle of this process at this moment.
std::vector<HANDLE> InheritablePipes() {
    std::vector<HANDLE> pipes;
    for (std::uintptr_t value = 4; value < 0x10000; value += 4) {
        const auto handle = reinterpret_cast<HANDLE>(value);
        DWORD information = 0;
        if (GetHandleInformation(handle, &information) && (information & HANDLE_FLAG_INHERIT) != 0 &&
            GetFileType(handle) == FILE_TYPE_PIPE) {
            pipes.push_back(handle);
        }
    }
    return pipes;
}

// What the runner asks of the system when it starts the tool, seen before the system does it.
class RecordingLauncher final : public ToolLauncher {
public:
    BOOL StartProcess(const std::wstring& file, std::wstring& commandLine, DWORD creationFlags, STARTUPINFOEXW& startup,
                      PROCESS_INFORMATION& info) override {
        program = file;
        flags = creationFlags;
        startupFlags = startup.StartupInfo.dwFlags;
        handleList = startup.lpAttributeList != nullptr;
        output = startup.StartupInfo.hStdOutput;
        inheritablePipes = InheritablePipes();
        return ToolLauncher::StartProcess(file, commandLine, creationFlags, startup, info);
    }
    BOOL AssignToJob(HANDLE job, HANDLE process) override {
        if (refuseJob) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        return ToolLauncher::AssignToJob(job, process);
    }
    std::wstring program;
    DWORD flags = 0;
    DWORD startupFlags = 0;
    bool handleList = false;
    HANDLE output = nullptr;
    std::vector<HANDLE> inheritablePipes;
    bool refuseJob = false;
};

// Where Windows Terminal is the default terminal, a console program started with a hidden window
// (STARTF_USESHOWWINDOW, SW_HIDE) gets a visible terminal all the same, and closing it ends the
// tool; Wine shows no terminal either way, so the flags themselves are checked. The tool holds
// only the pipe's write end: with the read end too, the pipe would never tell the program that the
// tool is gone.
TEST_F(RunnerTest, TheToolStartsByItsFullPathWithoutAConsoleWindowAndInheritsOnlyTheWriteEnd) {
    RecordingLauncher launcher;
    runner.SetLauncher(&launcher);
    const std::vector<HANDLE> before = InheritablePipes(); // this program's own output, say
    EventWindow window;
    const bool ended = RunToEnd(L"quick", window);
    runner.SetLauncher(nullptr);
    ASSERT_TRUE(ended);
    std::vector<HANDLE> added;
    std::set_difference(launcher.inheritablePipes.begin(), launcher.inheritablePipes.end(), before.begin(),
                        before.end(), std::back_inserter(added));
    EXPECT_EQ(launcher.program, runner.ToolPath());
    EXPECT_TRUE(std::filesystem::equivalent(launcher.program, FindToolProgram(L"winfr")));
    EXPECT_NE(launcher.flags & CREATE_NO_WINDOW, 0u);
    EXPECT_EQ(launcher.startupFlags & STARTF_USESHOWWINDOW, 0u);
    EXPECT_NE(launcher.startupFlags & STARTF_USESTDHANDLES, 0u);
    EXPECT_TRUE(launcher.handleList) << "only the handles named may be inherited";
    EXPECT_EQ(added, std::vector<HANDLE>{launcher.output});
    EXPECT_FALSE(runner.JobError().has_value());
}

TEST_F(RunnerTest, AToolThatCannotBePutIntoItsJobRunsAndTheReasonIsKept) {
    RecordingLauncher launcher;
    launcher.refuseJob = true;
    runner.SetLauncher(&launcher);
    EventWindow window;
    const bool ended = RunToEnd(L"quick", window);
    runner.SetLauncher(nullptr);
    ASSERT_TRUE(ended);
    EXPECT_EQ(window.Count(EventKind::Completed), 1);
    EXPECT_EQ(runner.JobError(), std::optional<DWORD>(ERROR_ACCESS_DENIED));
    // The next run is in its job again.
    EventWindow next;
    ASSERT_TRUE(RunToEnd(L"instant", next));
    EXPECT_FALSE(runner.JobError().has_value());
}

// Microsoft Store installs winfr.exe as an app alias in this account's WindowsApps folder, which
// an elevated program's PATH may lack: the search looks there last, and Start runs what it finds.
TEST_F(RunnerTest, AStoreAppAliasIsFoundWithoutPath) {
    wchar_t* localAppData = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &localAppData)));
    const std::filesystem::path aliases = std::filesystem::path(localAppData) / L"Microsoft" / L"WindowsApps";
    CoTaskMemFree(localAppData);
    std::filesystem::create_directories(aliases);
    const std::filesystem::path alias = aliases / L"kestro-alias-tool.exe";
    std::filesystem::copy_file(ExeFolder() / L"winfr.exe", alias, std::filesystem::copy_options::overwrite_existing);
    wchar_t path[32768] = {};
    GetEnvironmentVariableW(L"PATH", path, 32768);
    SetEnv(L"PATH", L"C:\\windows\\system32");

    runner.SetToolName("kestro-alias-tool");
    const bool found = runner.ToolFound();
    const std::wstring program = FindToolProgram(L"kestro-alias-tool");
    const bool thatAlias = !program.empty() && std::filesystem::equivalent(program, alias);
    EventWindow window;
    const bool ran = RunToEnd(L"quick", window);
    runner.Stop();
    runner.SetToolName("kestro-alias-gone");
    const bool gone = !runner.ToolFound();
    SetEnv(L"PATH", path);
    std::filesystem::remove(alias);

    EXPECT_TRUE(found);
    EXPECT_TRUE(thatAlias) << Narrow(program);
    EXPECT_TRUE(ran);
    EXPECT_EQ(window.FinishedCount(), 1);
    EXPECT_TRUE(gone);
}

} // namespace
} // namespace kestro
