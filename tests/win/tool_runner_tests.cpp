// The tool runner under Wine, with the winfr simulator (bin/winfr.exe) as the tool.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <atomic>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/files_win.h"
#include "platform/winstr_win.h"
#include "runner/oem_text_win.h"
#include "runner/progress_event.h"
#include "runner/run_log_writer_win.h"
#include "runner/tool_runner_win.h"
#include "runner/window_sink_win.h"
#include "support/event_delivery.h"
#include "support/wine_helpers.h"

// Live allocations of the whole program, for the leak checks.
namespace {
std::atomic<long> liveAllocations{0};
}

void* operator new(std::size_t size) {
    void* p = HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    ++liveAllocations;
    return p;
}
void operator delete(void* p) noexcept {
    if (p != nullptr) {
        --liveAllocations;
        HeapFree(GetProcessHeap(), 0, p);
    }
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace kestro {
namespace {

using testing_win::ExeFolder;
using testing_win::HandleCount;
using testing_win::ProcessGone;
using testing_win::PumpUntil;
using testing_win::TempDir;

constexpr DWORD kRunTimeoutMs = 20000;

// A message-only window that keeps a copy of every event delivered to it, taking them as the
// Scanning dialog does.
class EventWindow {
public:
    EventWindow() {
        static const ATOM atom = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof(wc);
            wc.lpfnWndProc = &EventWindow::Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"KestroTestEvents";
            return RegisterClassExW(&wc);
        }();
        (void)atom;
        hwnd_ = CreateWindowExW(0, L"KestroTestEvents", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), this);
    }
    ~EventWindow() {
        DiscardProgressWakeups(hwnd_);
        DestroyWindow(hwnd_);
    }
    EventWindow(const EventWindow&) = delete;
    EventWindow& operator=(const EventWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    std::vector<ProgressEvent> events;
    // Posted after the others: once it arrives, everything posted before it has arrived too.
    static constexpr UINT kMarker = WM_APP + 7;
    bool markerSeen = false;

    int Count(EventKind kind) const {
        return static_cast<int>(
            std::count_if(events.begin(), events.end(), [&](const ProgressEvent& e) { return e.kind == kind; }));
    }
    int FinishedCount() const { return Count(EventKind::Finished); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_NCCREATE) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        }
        auto* self = reinterpret_cast<EventWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_PROGRESS_WAITING && self != nullptr) {
            TakeProgressEvents(lParam, [self](const ProgressEvent& event) { self->events.push_back(event); });
            return 0;
        }
        if (msg == kMarker && self != nullptr) {
            self->markerSeen = true;
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    HWND hwnd_ = nullptr;
};

void SetEnv(const wchar_t* name, const std::wstring& value) {
    SetEnvironmentVariableW(name, value.c_str());
}

std::string ReadUtf8OrUtf16(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::wstring wide((bytes.size() - 2) / 2, L'\0');
        std::memcpy(wide.data(), bytes.data() + 2, wide.size() * 2);
        return Narrow(wide);
    }
    return bytes;
}

class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(FindToolProgram(L"winfr").empty()) << "the test prefix keeps the simulator as the account's winfr";
        SetEnv(L"WINFR_SIM_DELAY_MS", L"0");
        SetEnvironmentVariableW(L"WINFR_SIM_RECORD", nullptr);
        SetEnvironmentVariableW(L"WINFR_SIM_FLOOD_LINES", nullptr);
        runner.SetLineObserver([this](std::string_view line) { lines.emplace_back(line); });
    }

    std::string Arguments() const { return "D: " + QuoteIfSpaced(destination.Utf8()) + " /regular /o:b /a /e:*.mm1 "; }

    // Whether a line the runner read and decoded holds part. Events that only move the bar merge
    // while they wait for the window, so the lines are where every file name is seen.
    bool ReadLine(const std::string& part) const {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& line) { return line.find(part) != std::string::npos; });
    }

    // Starts a run of the scenario with events going to window.
    void StartRun(const wchar_t* scenario, EventWindow& window) {
        SetEnv(L"WINFR_SIM_SCENARIO", scenario);
        runner.Start(window.Handle(), Arguments());
    }

    // What Start says when told to start the tool of that name; empty when it starts one.
    std::string StartError(const std::string& toolName) {
        runner.SetToolName(toolName);
        try {
            runner.Start(nullptr, "");
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return {};
    }

    bool RunToEnd(const wchar_t* scenario, EventWindow& window) {
        StartRun(scenario, window);
        return PumpUntil([&] { return window.FinishedCount() > 0; }, kRunTimeoutMs);
    }

    TempDir destination{L"kestro-runner"};
    ToolRunner runner;
    std::vector<std::string> lines;
};

// ---------------------------------------------------------------------------
// Whole runs, one per kind of tool behaviour.

struct ScenarioCase {
    const wchar_t* scenario;
    std::optional<EventKind> outcome; // an outcome the run must report
    bool progressSeen;                // told by the finished event
    const char* file;                 // part of a reported file name (nullptr: none)
    int totalFiles;                   // TotalFiles of the recovering events (0: not checked)
    std::uint32_t exitCode = 0;       // carried by the finished event
};

class ScenarioTest : public RunnerTest, public ::testing::WithParamInterface<ScenarioCase> {};

TEST_P(ScenarioTest, RunEndsWithOneFinishedEventAfterAllOutput) {
    const ScenarioCase& c = GetParam();
    EventWindow window;
    ASSERT_TRUE(RunToEnd(c.scenario, window));
    PumpUntil([] { return false; }, 100); // nothing may follow the finished event

    ASSERT_EQ(window.FinishedCount(), 1);
    EXPECT_EQ(window.events.back().kind, EventKind::Finished);
    EXPECT_EQ(window.events.back().progressSeen, c.progressSeen);
    EXPECT_EQ(window.events.back().exitCode, c.exitCode);
    if (c.outcome) {
        EXPECT_GE(window.Count(*c.outcome), 1) << "outcome " << static_cast<int>(*c.outcome);
    }
    if (c.file != nullptr) {
        EXPECT_TRUE(ReadLine(c.file)) << c.file;
    }
    if (c.totalFiles > 0) {
        const auto last = std::find_if(window.events.rbegin(), window.events.rend(),
                                       [](const ProgressEvent& e) { return e.totalFiles > 0; });
        ASSERT_NE(last, window.events.rend());
        EXPECT_EQ(last->totalFiles, c.totalFiles);
    }
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_EQ(runner.ProcessId(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, ScenarioTest,
    ::testing::Values(ScenarioCase{L"quick", EventKind::Completed, true, nullptr, 12},
                      ScenarioCase{L"deep", EventKind::Completed, true, nullptr, 2500},
                      ScenarioCase{L"nothing", EventKind::NothingFound, true, nullptr, 0},
                      ScenarioCase{L"admin", EventKind::NeedsAdmin, false, nullptr, 0, 5},
                      ScenarioCase{L"instant", std::nullopt, false, nullptr, 0},
                      ScenarioCase{L"crash", std::nullopt, true, nullptr, 0, 0xC0000005},
                      ScenarioCase{L"midcrash", std::nullopt, true, nullptr, 40, 0xC0000005},
                      ScenarioCase{L"unicode", EventKind::Completed, true,
                                   "\xD0\x94\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82\xD1\x8B\\"
                                   "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xD0\xBE \xD1\x80\xD0\xB0\xD0\xB1"
                                   "\xD0\xBE\xD1\x82\xD0\xB5.docx",
                                   5},
                      ScenarioCase{L"pieces", EventKind::Completed, true,
                                   "Photos\\\xF0\x9F\x98\x80\xF0\x9F\x98\x80"
                                   "\xF0\x9F\x98\x80.png",
                                   0},
                      ScenarioCase{L"ansi", EventKind::Completed, true, "Caf\xC3\xA9\\R\xC3\xA9sum\xC3\xA9.docx", 2}),
    [](const ::testing::TestParamInfo<ScenarioCase>& param) { return Narrow(param.param.scenario); });

// Through the real pipe: a run whose first line is not ASCII, with a line of 8-bit text among
// the UTF-16 ones; every line is read in its own encoding.
TEST_F(RunnerTest, OutputThatMixesEncodingsIsReadLineByLine) {
    const std::filesystem::path script = destination.Path() / L"mixed.txt";
    {
        std::ofstream out(script, std::ios::binary);
        out << "line \xD0\x92\xD0\xBE\xD1\x81\xD1\x81\xD1\x82\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xBB\xD0\xB5\xD0\xBD"
               "\xD0\xB8\xD0\xB5 \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB\xD0\xBE\xD0\xB2\n"
               "line \xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\n"
               "line Pass 1: Scanning and processing disk\n"
               "scan 0 50 50\n"
               "utf16 off\n"
               "line Scanning disk: 75%\n"
               "utf16 on\n"
               "scan 100 100\n"
               "line Pass 2: Recovering files\n"
               "total 1\n"
               "file \xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE\\\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82.docx\n"
               "utf16 off\n"
               "line Warning: one file skipped\n"
               "utf16 on\n"
               "line Progress: 100%\n";
    }
    SetEnv(L"WINFR_SIM_SCENARIO_FILE", script.wstring());
    EventWindow window;
    const bool finished = RunToEnd(L"quick", window);
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", nullptr);
    ASSERT_TRUE(finished);
    for (const char* line : {"Scanning disk: 50%", "Scanning disk: 75%", "Scanning disk: 100%"}) {
        EXPECT_TRUE(ReadLine(line)) << line << ": the 8-bit line among them";
    }
    EXPECT_TRUE(ReadLine("\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE\\\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82.docx"));
    EXPECT_TRUE(ReadLine("Warning: one file skipped"));
    EXPECT_EQ(runner.LastPermille(), 1000);
    EXPECT_EQ(window.Count(EventKind::Completed), 1) << "UTF-16 again after the 8-bit line";
}

TEST_F(RunnerTest, OutputFloodIsReadCompletelyBeforeTheFinishedEvent) {
    SetEnv(L"WINFR_SIM_FLOOD_LINES", L"20000");
    EventWindow window;
    ASSERT_TRUE(RunToEnd(L"flood", window));
    ASSERT_GE(window.events.size(), 2u);
    // "Progress: 100%" is the tool's last line: it arrives, and before the end.
    EXPECT_EQ(window.events[window.events.size() - 2].kind, EventKind::Completed);
    EXPECT_EQ(window.events.back().kind, EventKind::Finished);
    EXPECT_EQ(runner.LastPermille(), 1000);
}

TEST_F(RunnerTest, PromptWithoutLineEndActsWhileTheToolWaits) {
    // The tool asks "... or (a)bort: " and waits for an answer that never comes.
    EventWindow window;
    StartRun(L"diskfull", window);
    EXPECT_TRUE(PumpUntil([&] { return window.Count(EventKind::DestinationFull) > 0; }, 5000));
    EXPECT_EQ(window.Count(EventKind::AbortPrompt), 0) << "the full-disk prompt is one outcome, not two";
    EXPECT_TRUE(runner.IsRunning()) << "the tool is still waiting";
    runner.Stop();
}

// ---------------------------------------------------------------------------
// Stopping.

TEST_F(RunnerTest, StopEndsAHangingToolAtOnceAndPostsNoFinishedEvent) {
    EventWindow window;
    StartRun(L"hang", window);
    ASSERT_TRUE(PumpUntil([&] { return runner.ProgressSeen(); }, 5000));
    const DWORD processId = runner.ProcessId();
    ASSERT_NE(processId, 0u);

    runner.Stop();
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_EQ(runner.ProcessId(), 0u);
    EXPECT_TRUE(ProcessGone(processId, 1000));
    PumpUntil([] { return false; }, 600);
    EXPECT_EQ(window.FinishedCount(), 0);

    runner.Stop(); // a second Stop has nothing to do
    EXPECT_FALSE(runner.IsRunning());
}

TEST_F(RunnerTest, TheToolRunsInAJobOfItsOwn) {
    BOOL selfInJob = TRUE;
    ASSERT_TRUE(IsProcessInJob(GetCurrentProcess(), nullptr, &selfInJob));
    if (selfInJob) {
        GTEST_SKIP() << "this test program already runs in a job, which its children share";
    }
    EventWindow window;
    StartRun(L"hang", window);
    ASSERT_TRUE(PumpUntil([&] { return runner.ProgressSeen(); }, 5000));
    const DWORD processId = runner.ProcessId();
    HANDLE tool = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    ASSERT_NE(tool, nullptr);
    BOOL inJob = FALSE;
    EXPECT_TRUE(IsProcessInJob(tool, nullptr, &inJob));
    EXPECT_TRUE(inJob) << "a crash or a forced end of the program would leave the tool running";
    CloseHandle(tool);
    runner.Stop();
    EXPECT_TRUE(ProcessGone(processId, 1000));
}

TEST_F(RunnerTest, TheObserverHearsWhenAToolRunsAndWhenItIsLetGo) {
    std::vector<bool> heard;
    runner.SetToolObserver([&](bool running) { heard.push_back(running); });
    EventWindow window;
    StartRun(L"hang", window);
    EXPECT_EQ(heard, std::vector<bool>{true});
    runner.Stop();
    EXPECT_EQ(heard, (std::vector<bool>{true, false}));
    runner.Stop();
    EXPECT_EQ(heard.size(), 2u) << "a second Stop has nothing to tell";

    // A tool that ends by itself is let go when its run finishes.
    heard.clear();
    EventWindow second;
    ASSERT_TRUE(RunToEnd(L"instant", second));
    EXPECT_EQ(heard, (std::vector<bool>{true, false}));

    // A tool that cannot be started never ran.
    heard.clear();
    runner.SetToolName("kestro-no-such-tool");
    EXPECT_THROW(runner.Start(nullptr, Arguments()), std::runtime_error);
    runner.Stop();
    EXPECT_TRUE(heard.empty());
    runner.SetToolObserver(nullptr);
}

TEST_F(RunnerTest, FreeingTheRunnerWhileRunningStopsTheTool) {
    EventWindow window;
    auto own = std::make_unique<ToolRunner>();
    SetEnv(L"WINFR_SIM_SCENARIO", L"hang");
    own->Start(window.Handle(), Arguments());
    ASSERT_TRUE(PumpUntil([&] { return own->ProgressSeen(); }, 5000));
    const DWORD processId = own->ProcessId();
    own.reset();
    EXPECT_TRUE(ProcessGone(processId, 1000));
    // Its polling thread notices on its own and ends.
    EXPECT_TRUE(PumpUntil([] { return ToolRunner::LivePollingThreads() == 0; }, 3000));
    EXPECT_EQ(window.FinishedCount(), 0);
}

TEST_F(RunnerTest, ThreadOfAStoppedRunNeverServesTheNextRun) {
    // The first run floods its pipe, so its thread always has something to ask for when it is
    // stopped; the next run starts at once on another window.
    SetEnv(L"WINFR_SIM_FLOOD_LINES", L"200000");
    EventWindow first;
    StartRun(L"flood", first);
    ASSERT_TRUE(PumpUntil([&] { return first.events.size() > 50; }, 5000));
    runner.Stop();
    // Events posted before the stop are still on their way: take them in. Meanwhile the stopped
    // run's thread may still ask for reads, which must be refused.
    PostMessageW(first.Handle(), EventWindow::kMarker, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return first.markerSeen; }, 5000));
    const std::size_t seenByFirst = first.events.size();

    EventWindow second;
    ASSERT_TRUE(RunToEnd(L"quick", second));
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(first.events.size(), seenByFirst);
    EXPECT_EQ(second.FinishedCount(), 1);
    EXPECT_EQ(second.Count(EventKind::Completed), 1) << "the second run was cut short";
    EXPECT_EQ(runner.LastPermille(), 1000);
    // Every recovering event of the second run counts the second run's twelve files.
    for (const ProgressEvent& e : second.events) {
        if (e.totalFiles != 0) {
            EXPECT_EQ(e.totalFiles, 12);
        }
    }
}

// ---------------------------------------------------------------------------
// Finding and starting the tool.

TEST_F(RunnerTest, MissingToolFailsWithTheCreateProcessErrorAndStartsNothing) {
    EventWindow window;
    runner.SetToolName("kestro-no-such-tool");
    try {
        runner.Start(window.Handle(), "");
        FAIL() << "Start succeeded";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Error while creating restore process!2");
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
    BOOL StartProcess(const std::wstring& file, std::wstring& commandLine, DWORD creationFlags,
                      STARTUPINFOEXW& startup, PROCESS_INFORMATION& info) override {
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

// A flood interprets thousands of lines between two turns of the message loop. Windows would
// refuse posts beyond its queue limit (Wine never does), and a refused end of the run would leave
// the dialog open for good: the events wait in the runner's mailbox, and a handful of wake-ups
// reach the window.
TEST_F(RunnerTest, AFloodEndsRightWhereWindowsLimitsTheQueue) {
    SetEnv(L"WINFR_SIM_FLOOD_LINES", L"200000");
    testing_win::PostQuota quota(50);
    runner.SetMessagePoster(quota.Poster());
    EventWindow window;
    const bool ended = RunToEnd(L"flood", window);
    runner.SetMessagePoster(nullptr);
    ASSERT_TRUE(ended);
    EXPECT_EQ(quota.Refused(), 0u);
    EXPECT_LE(quota.MostWaiting(), 2u);
    EXPECT_LE(runner.MostEventsWaiting(), 64u);
    EXPECT_EQ(window.events.back().kind, EventKind::Finished);
    EXPECT_EQ(window.Count(EventKind::Completed), 1);
    const auto last = std::find_if(window.events.rbegin(), window.events.rend(),
                                   [](const ProgressEvent& e) { return e.totalFiles > 0; });
    ASSERT_NE(last, window.events.rend());
    EXPECT_EQ(last->filesRecovered, 200000);
    EXPECT_EQ(last->totalFiles, 200000);
}

// A queue that is full when the run ends: the wake-up is tried again until it gets through.
TEST_F(RunnerTest, ARefusedWakeUpIsTriedAgainUntilTheEndOfTheRunArrives) {
    int refusals = 0;
    runner.SetMessagePoster([&](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> BOOL {
        if (refusals < 5) {
            ++refusals;
            SetLastError(ERROR_NOT_ENOUGH_QUOTA);
            return FALSE;
        }
        return PostMessageW(hwnd, message, wParam, lParam);
    });
    EventWindow window;
    const bool ended = RunToEnd(L"quick", window);
    runner.SetMessagePoster(nullptr);
    ASSERT_TRUE(ended);
    EXPECT_EQ(refusals, 5);
    EXPECT_EQ(window.Count(EventKind::Completed), 1);
    EXPECT_EQ(window.FinishedCount(), 1);
    EXPECT_EQ(window.events.back().kind, EventKind::Finished);
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

struct CommandLineCase {
    const char* arguments;
    const char* commandLine;
};

class CommandLineTest : public RunnerTest, public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(CommandLineTest, ToolGetsWinfrAndTheArgumentsWithoutTrailingBlanks) {
    TempDir record(L"kestro-record");
    const std::filesystem::path file = record.Path() / L"command.txt";
    SetEnv(L"WINFR_SIM_RECORD", file.wstring());
    SetEnv(L"WINFR_SIM_SCENARIO", L"instant");
    EventWindow window;
    runner.Start(window.Handle(), GetParam().arguments);
    ASSERT_TRUE(PumpUntil([&] { return window.FinishedCount() > 0; }, kRunTimeoutMs));
    // The first line of the record is the command line as the tool received it.
    std::string recorded = ReadUtf8OrUtf16(file);
    recorded = recorded.substr(0, recorded.find('\n'));
    EXPECT_EQ(recorded, GetParam().commandLine);
}

INSTANTIATE_TEST_SUITE_P(Arguments, CommandLineTest,
                         ::testing::Values(CommandLineCase{"", "winfr"}, CommandLineCase{"   ", "winfr"},
                                           CommandLineCase{"C: E:\\out /regular ", "winfr C: E:\\out /regular"},
                                           CommandLineCase{"C: E:\\out \t\r\n ", "winfr C: E:\\out"},
                                           CommandLineCase{"C: \"E:\\\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 1\" ",
                                                           "winfr C: \"E:\\\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 "
                                                           "1\""}));

// ---------------------------------------------------------------------------
// Resources.

TEST_F(RunnerTest, HundredRunsLeaveNoHandlesOrMemoryBehind) {
    runner.SetLineObserver(nullptr); // the lines kept would count as memory left behind
    const auto settle = [] {
        PumpUntil([] { return ToolRunner::LivePollingThreads() == 0; }, 5000);
        PumpUntil([] { return false; }, 100); // the threads' own handles are released as they exit
    };
    {
        EventWindow warmUp;
        ASSERT_TRUE(RunToEnd(L"quick", warmUp));
    }
    settle();
    const DWORD handlesBefore = HandleCount();
    const long allocationsBefore = liveAllocations.load();

    for (int i = 0; i < 100; ++i) {
        EventWindow window;
        ASSERT_TRUE(RunToEnd(i % 2 == 0 ? L"quick" : L"instant", window)) << "run " << i;
    }
    settle();
    EXPECT_LE(HandleCount(), handlesBefore + 5);
    EXPECT_LE(liveAllocations.load(), allocationsBefore + 20);
}

TEST(WindowPostSink, EventsForNoWindowAreFreed) {
    HWND window = nullptr;
    WindowPostSink sink(window);
    const long before = liveAllocations.load();
    sink.Post(std::make_unique<ProgressEvent>()); // no window: not to this thread's queue either

    window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    DestroyWindow(window);
    sink.Post(std::make_unique<ProgressEvent>()); // the window is gone
    EXPECT_EQ(liveAllocations.load(), before);

    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), WM_PROGRESS_WAITING, WM_PROGRESS_WAITING, PM_NOREMOVE));
}

// A run of days on a big disk must not fill the destination with its log: the file stops at its
// limit (64 MB; a small one here), in whole lines, with a note and the closing lines.
TEST(RunLogWriter, TheFileStopsGrowingAtItsLimitWithANoteAndTheClosingLines) {
    TempDir folder(L"kestro-log-limit");
    constexpr std::uint64_t kLimit = 64 * 1024;
    std::wstring path;
    {
        RunLogWriter writer(folder.Path().wstring(), L"limit.log", "opening\r\n", kLimit);
        const std::string line = "[     1.0 s] Files recovered: 1, total files: 9, current filename: D:\\x.txt\r\n";
        for (int i = 0; i < 5000; ++i) {
            writer.Append(line);
        }
        writer.Finish("\r\nEnded: the tool finished (exit code 0)\r\n");
        ASSERT_TRUE(writer.WaitFinished(10000));
        path = writer.Path();
    }
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_LE(text.size(), kLimit);
    EXPECT_GT(text.size(), kLimit - RunLogWriter::kClosingRoom - 200);
    EXPECT_TRUE(text.ends_with("current filename: D:\\x.txt\r\n"
                               "[The lines that followed were not written: the log reached its limit of 64 KB]\r\n"
                               "\r\nEnded: the tool finished (exit code 0)\r\n"))
        << text.substr(text.size() - 300);
}

TEST(ToolNarrowText, KeepsUtf8AndReadsOtherBytesInTheOemCodePage) {
    EXPECT_EQ(DecodeToolNarrowText("Caf\xC3\xA9"), "Caf\xC3\xA9");
    EXPECT_EQ(DecodeToolNarrowText("plain"), "plain");
    // 0x82 is "é" in the OEM code pages of Western Windows (437, 850).
    const char oem[] = {'C', 'a', 'f', static_cast<char>(0x82)};
    wchar_t expected[2] = {};
    MultiByteToWideChar(CP_OEMCP, 0, oem + 3, 1, expected, 1);
    EXPECT_EQ(DecodeToolNarrowText(std::string_view(oem, 4)), "Caf" + Narrow(std::wstring_view(expected, 1)));
}

} // namespace
} // namespace kestro
