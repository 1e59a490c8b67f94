// Stopping the tool runner and what its runs leave behind, under Wine with the winfr simulator
// (bin/winfr.exe) as the tool: Stop, a freed runner, the job that ends the tool with the program,
// the thread of a stopped run, and handles and memory after a hundred runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/system_error.h"
#include "runner/window_sink_win.h"
#include "support/tool_runner_fixture.h"

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

using namespace testing_win;

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
    EXPECT_THROW(runner.Start(nullptr, Arguments()), SystemError);
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

} // namespace
} // namespace kestro
