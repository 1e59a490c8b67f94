// The main window asked to close, or the session asked to end, while a recovery runs in the
// Scanning dialog: the real window, the real dialog and runner, the simulator as the tool. Also what
// every way a run ends does for a user who is not watching: the computer kept awake while the tool
// runs, the taskbar button flashing when it ends behind another program.
//
// Freed memory is overwritten in this program, so that an object read after it was freed shows
// garbage (and the run crashes) instead of the old values that let such a fault pass unseen.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/main_window_win.h"
#include "job/command.h"
#include "platform/files_win.h"
#include "platform/optional_api_win.h"
#include "platform/session_win.h"
#include "platform/taskbar_win.h"
#include "platform/winstr_win.h"
#include "runner/tool_runner_win.h"
#include "support/fakes.h"
#include "support/remote.h"
#include "support/wine_helpers.h"
#include "ui/application_win.h"

namespace {
constexpr std::size_t kHeader = 16;
constexpr unsigned char kFreed = 0xDD;
} // namespace

void* operator new(std::size_t size) {
    auto* block = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, size + kHeader));
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *reinterpret_cast<std::size_t*>(block) = size;
    return block + kHeader;
}
void operator delete(void* p) noexcept {
    if (p == nullptr) {
        return;
    }
    auto* block = static_cast<unsigned char*>(p) - kHeader;
    std::memset(p, kFreed, *reinterpret_cast<std::size_t*>(block));
    HeapFree(GetProcessHeap(), 0, block);
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}

using namespace kestro;
using namespace kestro::testing_win;

namespace {

struct ReasonCall {
    HWND window;
    std::string reason; // empty: cleared
};

class RecordingReasons final : public ShutdownReasons {
public:
    void Set(HWND window, const std::string& reason) override { calls.push_back({window, reason}); }
    void Clear(HWND window) override { calls.push_back({window, {}}); }
    std::vector<ReasonCall> calls;
};

// SetThreadExecutionState and FlashWindowEx as the program calls them, through the optional-API
// seam: Wine neither sleeps nor has a taskbar to flash, so the calls are all there is to see.
// Windows keeps the execution state per thread, and only the thread that asked can let go of it.
struct SystemCall {
    std::string what; // "awake", "sleep", "flash", "stop", or the flags of anything else
    DWORD thread;
    HWND window;
};
std::vector<SystemCall>* systemCalls = nullptr;

EXECUTION_STATE WINAPI RecordExecutionState(EXECUTION_STATE flags) {
    const std::string what = flags == (ES_CONTINUOUS | ES_SYSTEM_REQUIRED) ? "awake"
                             : flags == ES_CONTINUOUS                      ? "sleep"
                                                                           : "state " + std::to_string(flags);
    systemCalls->push_back({what, GetCurrentThreadId(), nullptr});
    return ES_CONTINUOUS;
}

BOOL WINAPI RecordFlash(PFLASHWINFO info) {
    const std::string what = info->dwFlags == (FLASHW_TRAY | FLASHW_TIMERNOFG) ? "flash"
                             : info->dwFlags == FLASHW_STOP                    ? "stop"
                                                            : "flash " + std::to_string(info->dwFlags);
    systemCalls->push_back({what, GetCurrentThreadId(), info->hwnd});
    return TRUE;
}

class RecordingSystemCalls {
public:
    RecordingSystemCalls() {
        systemCalls = &calls;
        ReplaceSetThreadExecutionState(&RecordExecutionState);
        ReplaceFlashWindowEx(&RecordFlash);
    }
    ~RecordingSystemCalls() {
        ReplaceSetThreadExecutionState(nullptr);
        ReplaceFlashWindowEx(nullptr);
        systemCalls = nullptr;
    }
    RecordingSystemCalls(const RecordingSystemCalls&) = delete;
    RecordingSystemCalls& operator=(const RecordingSystemCalls&) = delete;

    std::string Sequence() const {
        std::string text;
        for (const SystemCall& call : calls) {
            text += (text.empty() ? "" : ",") + call.what;
        }
        return text;
    }
    std::vector<SystemCall> calls;
};

const auto kLogoff = static_cast<LPARAM>(ENDSESSION_LOGOFF);

std::function<void()>* currentTick = nullptr;

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
    if (currentTick != nullptr) {
        (*currentTick)();
    }
}

class ClosingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(FindToolProgram(L"winfr").empty()) << "the test prefix keeps the simulator as the account's winfr";
        SetEnvironmentVariableW(L"WINFR_SIM_DELAY_MS", L"0");
        SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", L"hang");
        drives.drives = {{"C:\\", "System", "NTFS"}, {"D:\\", "Data", "NTFS"}};
        system.directories = {destination.Utf8()};
        system.defaultFileSystem = "NTFS";
        settingsPath = (settingsDir.Path() / L"settings.ini").wstring();
        MainWindowServices services;
        services.drives = &drives;
        services.jobSystem = &system;
        services.settingsFile = [this] {
            // What had already happened when the settings were read or written.
            atSettings.push_back(
                {toolId != 0 && ProcessGone(toolId, 0), FindWindowW(L"KestroScanDialog", nullptr) == nullptr});
            return Narrow(settingsPath);
        };
        services.workArea = [] { return RECT{0, 0, 1280, 1040}; };
        services.shutdownReasons = &reasons;
        window = std::make_unique<MainWindow>(std::move(services));
        window->Show();
        // A run of the hanging tool from D: into a folder on C:.
        SendMessageW(window->Ctl().sourceCombo, CB_SETCURSEL, 1, 0);
        SetText(window->Ctl().destinationEdit, destination.Utf8());
        Application::Get().SetMainForm(window.get());
    }

    void TearDown() override {
        Application::Get().SetMainForm(nullptr);
        if (window && IsWindow(window->Handle())) {
            window->Close();
        }
        window.reset();
        // Whatever WM_QUIT the closing posted is taken off the queue.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    // Presses Start; once the tool has reported its progress, act() runs inside the Scanning
    // dialog's modal loop, as a message from outside would. Returns when Start's handler has.
    void RunAndThen(const std::function<void()>& act) {
        bool acted = false;
        const ULONGLONG end = GetTickCount64() + 15000;
        std::function<void()> tick = [&] {
            if (!acted && window->Runner() != nullptr && window->Runner()->ProgressSeen()) {
                acted = true;
                toolId = window->Runner()->ProcessId();
                act();
            } else if (GetTickCount64() > end) {
                acted = true;
                ADD_FAILURE() << "the run showed no progress";
                if (window->Runner() != nullptr) {
                    window->Runner()->Stop();
                }
                PostMessageW(FindWindowW(L"KestroScanDialog", nullptr), WM_CLOSE, 0, 0);
            }
        };
        currentTick = &tick;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, &OnTick);
        window->OnStartClicked();
        KillTimer(nullptr, timer);
        currentTick = nullptr;
        EXPECT_TRUE(acted);
    }

    std::wstring Saved(const wchar_t* key) const {
        wchar_t value[512] = {};
        GetPrivateProfileStringW(L"Options", key, L"", value, 512, settingsPath.c_str());
        return value;
    }

    // The WM_QUIT that closing the program's main window posts, taken off the queue.
    bool QuitPosted(WPARAM& code) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
            return false;
        }
        code = msg.wParam;
        return true;
    }

    TempDir destination{L"closing-out"};
    TempDir settingsDir{L"closing-settings"};
    std::wstring settingsPath;
    FakeDrives drives;
    FakeJobSystem system;
    RecordingBoxes boxes;
    RecordingShell shell;
    RecordingReasons reasons;
    std::unique_ptr<MainWindow> window;
    DWORD toolId = 0;
    struct Moment {
        bool toolGone;
        bool dialogGone;
    };
    std::vector<Moment> atSettings;
};

class CloseRequestTest : public ClosingTest, public ::testing::WithParamInterface<bool> {};

// Task Manager's "End task" and taskkill ask the taskbar window; another program may find the
// main window by its class name and ask it directly.
TEST_P(CloseRequestTest, ACloseRequestDuringARunStopsTheToolEndsTheDialogAndClosesTheProgram) {
    HWND main = window->Handle();
    HWND target = GetParam() ? Application::Get().Handle() : main;
    RunAndThen([&] { PostMessageW(target, WM_CLOSE, 0, 0); });

    EXPECT_FALSE(IsWindow(main)) << "the program did not close";
    EXPECT_EQ(FindWindowW(L"KestroScanDialog", nullptr), nullptr);
    ASSERT_NE(toolId, 0u);
    EXPECT_TRUE(ProcessGone(toolId, 1000));
    EXPECT_EQ(window->Runner(), nullptr);
    EXPECT_TRUE(boxes.boxes.empty()) << "no question may hold up End task: " << boxes.boxes[0].text;
    EXPECT_EQ(Saved(L"OutputDirectory"), Widen(destination.Utf8()));
    EXPECT_EQ(Saved(L"SourceDrive"), L"1");
    // In this order: the tool stopped, the dialog ended, then the settings written.
    ASSERT_FALSE(atSettings.empty());
    EXPECT_TRUE(atSettings.back().toolGone);
    EXPECT_TRUE(atSettings.back().dialogGone);
    WPARAM code = 99;
    EXPECT_TRUE(QuitPosted(code));
    EXPECT_EQ(code, 0u) << "the program's exit code";
}

INSTANTIATE_TEST_SUITE_P(To, CloseRequestTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return std::string(param.param ? "TheTaskbarWindow" : "TheMainWindow");
                         });

TEST_F(ClosingTest, TheSessionWaitsForARunningRecoveryWithAReason) {
    HWND main = window->Handle();
    EXPECT_EQ(SendMessageW(main, WM_QUERYENDSESSION, 0, kLogoff), TRUE) << "nothing runs yet";
    EXPECT_TRUE(reasons.calls.empty());

    LRESULT whileRunning = -1;
    std::vector<ReasonCall> reasonsWhileRunning;
    RunAndThen([&] {
        whileRunning = SendMessageW(main, WM_QUERYENDSESSION, 0, kLogoff);
        reasonsWhileRunning = reasons.calls;
        PostMessageW(Child(FindWindowW(L"KestroScanDialog", nullptr), L"Button", L"Stop"), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(whileRunning, FALSE);
    ASSERT_EQ(reasonsWhileRunning.size(), 1u);
    EXPECT_EQ(reasonsWhileRunning[0].window, main);
    EXPECT_EQ(reasonsWhileRunning[0].reason, "A file recovery is running.");

    // The run has ended: the reason is gone and the session may end.
    ASSERT_EQ(reasons.calls.size(), 2u);
    EXPECT_EQ(reasons.calls[1].window, main);
    EXPECT_TRUE(reasons.calls[1].reason.empty());
    EXPECT_EQ(SendMessageW(main, WM_QUERYENDSESSION, 0, kLogoff), TRUE);
    EXPECT_TRUE(IsWindow(main)) << "stopping a run does not close the program";
}

TEST_F(ClosingTest, TheEndOfTheSessionStopsTheToolAndSavesBeforeItReturns) {
    HWND main = window->Handle();
    bool goneOnReturn = false;
    std::wstring savedOnReturn;
    bool runningAfterCancel = false;
    std::string logOnReturn;
    RunAndThen([&] {
        // Another program answered FALSE: the session goes on, and so does the run.
        SendMessageW(main, WM_ENDSESSION, FALSE, kLogoff);
        runningAfterCancel = window->Runner() != nullptr && window->Runner()->ProcessId() == toolId;
        SendMessageW(main, WM_ENDSESSION, TRUE, kLogoff);
        goneOnReturn = ProcessGone(toolId, 1000);
        savedOnReturn = Saved(L"OutputDirectory");
        for (const auto& entry : std::filesystem::directory_iterator(destination.Path())) {
            if (entry.path().extension() == L".log") {
                std::ifstream in(entry.path(), std::ios::binary);
                logOnReturn.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            }
        }
    });
    EXPECT_TRUE(runningAfterCancel);
    EXPECT_TRUE(goneOnReturn);
    EXPECT_EQ(savedOnReturn, Widen(destination.Utf8()));
    // Windows may end the program as soon as WM_ENDSESSION returns: the log is closed by then.
    EXPECT_NE(logOnReturn.find("\r\nEnded: stopped because Windows was shutting down or the user was logging off\r\n"
                               "Ended at: "),
              std::string::npos)
        << logOnReturn;
    EXPECT_EQ(FindWindowW(L"KestroScanDialog", nullptr), nullptr) << "the dialog ends with the tool";
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ClosingTest, ClosingWithoutARunClosesAtOnce) {
    HWND main = window->Handle();
    SendMessageW(Application::Get().Handle(), WM_CLOSE, 0, 0);
    PumpUntil([&] { return !IsWindow(main); }, 2000); // ends early on the WM_QUIT it posts
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(Saved(L"OutputDirectory"), Widen(destination.Utf8()));
}

// Another program's window, in front while a run ends.
class OtherProgram {
public:
    OtherProgram() {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::wstring line = L"\"" + (ExeFolder() / L"bench-minimal-window.exe").wstring() + L"\"";
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_)) {
            window_ = WaitForWindow(info_.dwProcessId, L"Kestro Bench Minimal Window", L"", 10000);
        }
    }
    ~OtherProgram() {
        if (info_.hProcess != nullptr) {
            TerminateProcess(info_.hProcess, 0);
            WaitForSingleObject(info_.hProcess, 5000);
            CloseHandle(info_.hProcess);
            CloseHandle(info_.hThread);
        }
    }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    bool ToFront() const {
        SetForegroundWindow(window_);
        return PumpUntil([this] { return GetForegroundWindow() == window_; }, 3000);
    }

private:
    PROCESS_INFORMATION info_{};
    HWND window_ = nullptr;
};

enum class RunEnd { ByItself, Stop, CloseRequest, SessionEnd };

struct EndingCase {
    const char* name;
    const char* script; // the tool's scenario file; nullptr: the hanging tool
    RunEnd end;
    bool behind;       // another program is in front when the run ends
    const char* calls; // the calls of the run, before the program is in front again
};

constexpr char kEndsByItself[] = "line Pass 1: Scanning and processing disk\nscan 0 30 10\nsleep 1500\nscan 40 100 30\n"
                                 "line Pass 2: Recovering files\nfiles 3\nline Progress: 100%\nexit 0\n";
constexpr char kCrashes[] = "line Pass 1: Scanning and processing disk\nscan 0 30 10\nsleep 1500\ncrash\n";

class RunEndingTest : public ClosingTest, public ::testing::WithParamInterface<EndingCase> {};

// Brings one of this program's windows to the front and waits until it is there.
bool ProgramToFront(HWND window) {
    SetForegroundWindow(window);
    return PumpUntil([] { return ProgramInForeground(); }, 3000);
}

// Each way a run ends lets go of the request to keep the computer awake, on the thread that made it.
// A run that ends while another program is in front flashes the taskbar button until the program is
// in front again; one that ends because the program closes or the session ends calls nobody back.
TEST_P(RunEndingTest, KeepsTheComputerAwakeUntilTheRunEndsAndCallsAnAbsentUserBack) {
    const EndingCase& c = GetParam();
    std::optional<OtherProgram> other;
    if (c.behind) {
        other.emplace();
    }
    TempDir scripts(L"closing-script");
    if (c.script != nullptr) {
        std::ofstream(scripts.Path() / L"run.txt", std::ios::binary) << c.script;
        SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", (scripts.Path() / L"run.txt").c_str());
    }
    RecordingSystemCalls recorded;
    HWND main = window->Handle();
    RunAndThen([&] {
        EXPECT_EQ(recorded.Sequence(), "awake") << "while the tool runs";
        HWND scanning = FindWindowW(L"KestroScanDialog", nullptr);
        EXPECT_TRUE(c.behind ? other->ToFront() : ProgramToFront(scanning));
        if (c.end == RunEnd::Stop) {
            PostMessageW(Child(scanning, L"Button", L"Stop"), BM_CLICK, 0, 0);
        } else if (c.end == RunEnd::CloseRequest) {
            PostMessageW(main, WM_CLOSE, 0, 0);
        } else if (c.end == RunEnd::SessionEnd) {
            SendMessageW(main, WM_ENDSESSION, TRUE, kLogoff);
        }
    });
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", nullptr);
    EXPECT_TRUE(ProcessGone(toolId, 1000));
    EXPECT_EQ(recorded.Sequence(), c.calls);
    for (const SystemCall& call : recorded.calls) {
        EXPECT_EQ(call.thread, GetCurrentThreadId()) << call.what << ": not the thread of the request";
        if (call.what == "flash") {
            EXPECT_EQ(call.window, Application::Get().Handle()) << "the window of the taskbar button";
        }
    }
    if (std::string(c.calls).ends_with("flash")) {
        // The button flashes on while the other program stays in front...
        PumpUntil([] { return false; }, 700);
        EXPECT_EQ(recorded.Sequence(), c.calls);
        // ...and stops once the user is back, here by the main window, which the flashed window never sees.
        EXPECT_TRUE(ProgramToFront(main));
        EXPECT_TRUE(PumpUntil([&] { return recorded.Sequence() == std::string(c.calls) + ",stop"; }, 3000))
            << recorded.Sequence();
    }
    EXPECT_FALSE(Application::Get().CallingUserBack());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, RunEndingTest,
    ::testing::Values(EndingCase{"FinishedBehindAnotherProgram", kEndsByItself, RunEnd::ByItself, true,
                                 "awake,sleep,flash"},
                      EndingCase{"FinishedInFront", kEndsByItself, RunEnd::ByItself, false, "awake,sleep"},
                      EndingCase{"CrashedBehindAnotherProgram", kCrashes, RunEnd::ByItself, true, "awake,sleep,flash"},
                      // As the tool's own question whether to abort stops a run nobody watches.
                      EndingCase{"StoppedBehindAnotherProgram", nullptr, RunEnd::Stop, true, "awake,sleep,flash"},
                      EndingCase{"StoppedInFront", nullptr, RunEnd::Stop, false, "awake,sleep"},
                      EndingCase{"CloseRequest", nullptr, RunEnd::CloseRequest, true, "awake,sleep"},
                      EndingCase{"SessionEnd", nullptr, RunEnd::SessionEnd, true, "awake,sleep"}),
    [](const ::testing::TestParamInfo<EndingCase>& param) { return std::string(param.param.name); });

} // namespace
