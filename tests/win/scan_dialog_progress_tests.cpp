// What the Scanning dialog shows of a run's progress besides its bar, under Wine: the taskbar
// button's state and value, the elapsed time with the files recovered so far, and the time left
// in the current pass.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/taskbar_win.h"
#include "platform/winstr_win.h"
#include "support/event_delivery.h"
#include "support/scan_dialog_fixture.h"
#include "ui/application_win.h"

namespace kestro {
namespace {

using namespace testing_win;

std::string StateName(TBPFLAG state) {
    switch (state) {
    case TBPF_NOPROGRESS:
        return "none";
    case TBPF_NORMAL:
        return "normal";
    case TBPF_ERROR:
        return "error";
    default:
        return "other " + std::to_string(static_cast<int>(state));
    }
}

// Records the taskbar calls; each value is checked against the dialog's bar at that moment.
class RecordingTaskbar final : public TaskbarProgress {
public:
    void SetState(TBPFLAG s) override {
        state = s;
        states.push_back(StateName(s));
        ++calls;
    }
    void SetValue(ULONGLONG done, ULONGLONG total) override {
        values.push_back(static_cast<int>(done));
        if (total != 1000) {
            problems.push_back("total " + std::to_string(total));
        }
        // Full at the end of a completed run, which the dialog's bar need not show.
        if (bar != nullptr && PositionOf(bar) != static_cast<int>(done) && done != 1000) {
            problems.push_back("value " + std::to_string(done) + " with the bar at " + std::to_string(PositionOf(bar)));
        }
        if (values.size() > 1 && values[values.size() - 2] == values.back()) {
            problems.push_back("value " + std::to_string(done) + " again without the bar moving");
        }
        ++calls;
    }
    std::string States() const {
        std::string text;
        for (const auto& s : states) {
            text += (text.empty() ? "" : ",") + s;
        }
        return text;
    }
    HWND bar = nullptr;
    TBPFLAG state = TBPF_NOPROGRESS;
    std::vector<std::string> states;
    std::vector<int> values;
    std::vector<std::string> problems;
    int calls = 0;
};

// Boxes with the taskbar state and value they were shown under: a box may wait long for a user
// who is elsewhere, and the taskbar button is what tells that user how the run ended.
class StateBoxes final : public MessageBoxes {
public:
    explicit StateBoxes(const RecordingTaskbar& taskbar) : taskbar_(taskbar) {}
    int Show(HWND, const std::string& text, const std::string&, UINT) override {
        const std::string value = taskbar_.values.empty() ? "" : " " + std::to_string(taskbar_.values.back());
        boxes.push_back(text + " [" + StateName(taskbar_.state) + value + "]");
        return IDOK;
    }
    std::vector<std::string> boxes;

private:
    const RecordingTaskbar& taskbar_;
};

class FakeTicks final : public TickSource {
public:
    ULONGLONG Milliseconds() override { return now; }
    ULONGLONG now = 7'200'000; // any start will do; the line counts from the run's start
};

class ProgressDisplayTest : public ScanDialogTest {
protected:
    void SetUp() override {
        ScanDialogTest::SetUp();
        taskbar.bar = dialog->ProgressBar();
        Application::Get().SetTaskbar(&taskbar);
        Application::Get().SetBoxes(&stateBoxes);
        dialog->SetTickSource(&ticks);
    }
    void TearDown() override {
        ScanDialogTest::TearDown();
        Application::Get().SetTaskbar(nullptr);
    }

    void SendInfo(RunPass pass, std::int32_t recovered, std::int32_t total) {
        testing_win::SendEvents(dialog->Handle(), {PassEvent(pass, 400, {}, total, recovered)});
    }
    void Tick() { SendMessageW(dialog->Handle(), WM_TIMER, ScanDialog::kElapsedTimer, 0); }
    std::wstring Line() const { return TextOf(dialog->ElapsedText()); }

    // Runs a hanging tool until it has shown its progress (the bar at 300), then act(), then Stop.
    ModalRun RunHanging(const std::function<void()>& act) {
        SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", L"hang");
        bool acted = false;
        const ModalRun run = RunModal(*dialog, 15000, [&] {
            if (!acted && Bar() >= 300) {
                acted = true;
                act();
                PostMessageW(dialog->StopButton(), BM_CLICK, 0, 0);
            }
        });
        EXPECT_TRUE(acted);
        return run;
    }

    RecordingTaskbar taskbar;
    StateBoxes stateBoxes{taskbar};
    FakeTicks ticks;
};

struct TaskbarCase {
    const wchar_t* scenario;
    const char* states;
    int lastValue;
    int bar;              // the dialog's bar at the end
    const char* box;      // start of the one box shown; nullptr: none
    const char* boxState; // the taskbar state and value while it was open
};

void PrintTo(const TaskbarCase& c, std::ostream* os) {
    *os << Narrow(c.scenario);
}

class TaskbarRunTest : public ProgressDisplayTest, public ::testing::WithParamInterface<TaskbarCase> {};

TEST_P(TaskbarRunTest, TaskbarFollowsTheBarAndShowsProblemsInRed) {
    const TaskbarCase& c = GetParam();
    ModalRun run;
    if (std::wstring(c.scenario) == L"hang") {
        run = RunHanging([] {});
    } else {
        SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", c.scenario);
        run = RunModal(*dialog, 20000);
    }
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(taskbar.States(), c.states);
    ASSERT_FALSE(taskbar.values.empty());
    EXPECT_EQ(taskbar.values.front(), 0) << "the bar starts empty";
    EXPECT_EQ(taskbar.values.back(), c.lastValue);
    EXPECT_EQ(Bar(), c.bar);
    EXPECT_TRUE(taskbar.problems.empty()) << taskbar.problems.front();
    if (c.box == nullptr) {
        EXPECT_TRUE(stateBoxes.boxes.empty()) << stateBoxes.boxes.front();
    } else {
        ASSERT_EQ(stateBoxes.boxes.size(), 1u);
        const std::string& shown = stateBoxes.boxes[0];
        EXPECT_EQ(shown.rfind(c.box, 0), 0u) << shown;
        const std::string state = " [" + std::string(c.boxState) + "]";
        EXPECT_TRUE(shown.ends_with(state)) << shown;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, TaskbarRunTest,
    ::testing::Values(
        TaskbarCase{L"quick", "normal,none", 1000, 1000, "Quick scan completed. 12 files were found.", "normal 1000"},
        // The tool skipped files it could not save: the run is complete all the same, and the taskbar
        // says so while the bar shows where the tool's count stopped.
        TaskbarCase{L"skipped", "normal,none", 1000, 750, "Quick scan completed.", "normal 1000"},
        TaskbarCase{L"diskfull", "normal,error,none", 75, 75, "Destination disk is full, please free up space.",
                    "error 75"},
        TaskbarCase{L"hang", "normal,none", 300, 300, nullptr, nullptr},
        TaskbarCase{L"admin", "normal,error,none", 0, 0, "Please right click on the \"Tarvask.exe\"", "error 0"},
        TaskbarCase{L"instant", "normal,error,none", 0, 0, "If the scanning is finished quickly", "error 0"},
        TaskbarCase{L"crash", "normal,error,none", 400, 400, "The recovery tool stopped unexpectedly", "error 400"},
        TaskbarCase{L"nothing", "normal,none", 1000, 1000, "No recoverable files were found with this mode.",
                    "normal 1000"}),
    [](const ::testing::TestParamInfo<TaskbarCase>& param) { return Narrow(param.param.scenario); });

TEST_F(ProgressDisplayTest, FailedStartIsRedOnlyWhileItsBoxIsOpenAndStartsNoClock) {
    runner.SetToolName("kestro-no-such-tool");
    bool pressed = false;
    std::wstring lineWhileIdle = L"unread";
    int callsWhileIdle = -1;
    const ModalRun run = RunModal(*dialog, 5000, [&] {
        if (pressed || !IsWindowVisible(dialog->Handle())) {
            return;
        }
        ticks.now += 5000;
        Tick();
        lineWhileIdle = Line();
        callsWhileIdle = taskbar.calls;
        pressed = true;
        PostMessageW(dialog->StopButton(), BM_CLICK, 0, 0);
    });
    EXPECT_FALSE(run.timedOut);
    ASSERT_EQ(stateBoxes.boxes.size(), 1u);
    EXPECT_EQ(stateBoxes.boxes[0], "Error while creating restore process!2. [error]");
    EXPECT_EQ(taskbar.States(), "error,none");
    EXPECT_TRUE(taskbar.values.empty());
    EXPECT_EQ(lineWhileIdle, L"") << "nothing runs, so no time is counted";
    EXPECT_EQ(callsWhileIdle, 2);
    EXPECT_EQ(taskbar.calls, 2) << "closing the idle dialog has nothing left to clear";
}

TEST_F(ProgressDisplayTest, ElapsedLineCountsFromTheStartAndShowsTheFilesOnlyOnTheNextTick) {
    wchar_t separator[8] = {};
    ASSERT_GT(GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8), 0);
    const std::wstring sep = separator;
    const ULONGLONG start = ticks.now;
    struct Step {
        ULONGLONG at; // ms after the start
        enum { tick, recovering, scanning } what;
        std::int32_t recovered;
        std::int32_t total;
        std::wstring line; // afterwards
    };
    const Step steps[] = {
        {0, Step::tick, 0, 0, L"Elapsed 0:00:00"},
        {999, Step::tick, 0, 0, L"Elapsed 0:00:00"},
        {1000, Step::tick, 0, 0, L"Elapsed 0:00:01"},
        // Events do not touch the line: it changes once a second, whatever the tool writes.
        {1500, Step::recovering, 1204, 4000, L"Elapsed 0:00:01"},
        {83'000, Step::tick, 0, 0, L"Elapsed 0:01:23   1" + sep + L"204 of 4" + sep + L"000 files"},
        // Only recovering events with a total count, as for the completed message.
        {83'100, Step::scanning, 5, 9, L"Elapsed 0:01:23   1" + sep + L"204 of 4" + sep + L"000 files"},
        {83'200, Step::recovering, 7, 0, L"Elapsed 0:01:23   1" + sep + L"204 of 4" + sep + L"000 files"},
        {3'599'999, Step::tick, 0, 0, L"Elapsed 0:59:59   1" + sep + L"204 of 4" + sep + L"000 files"},
        {3'600'000, Step::recovering, 999, 1'234'567, L"Elapsed 0:59:59   1" + sep + L"204 of 4" + sep + L"000 files"},
        {3'600'000, Step::tick, 0, 0, L"Elapsed 1:00:00   999 of 1" + sep + L"234" + sep + L"567 files"},
        {360'000'000, Step::tick, 0, 0, L"Elapsed 100:00:00   999 of 1" + sep + L"234" + sep + L"567 files"},
    };
    std::vector<std::wstring> lines;
    const ModalRun run = RunHanging([&] {
        for (const Step& step : steps) {
            ticks.now = start + step.at;
            switch (step.what) {
            case Step::tick:
                Tick();
                break;
            case Step::recovering:
                SendInfo(RunPass::Recovering, step.recovered, step.total);
                break;
            case Step::scanning:
                SendInfo(RunPass::Scanning, step.recovered, step.total);
                break;
            }
            lines.push_back(Line());
        }
    });
    EXPECT_FALSE(run.timedOut);
    ASSERT_EQ(lines.size(), std::size(steps));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i], steps[i].line) << "step " << i;
    }
}

// The time left in a pass joins the line once the pass has run 10 s and moved the bar 2 %, counts
// down between moves, and goes with a stalled bar or a new pass.
TEST_F(ProgressDisplayTest, TimeLeftFollowsThePassAndGoesWithAStallOrANewPass) {
    const ULONGLONG start = ticks.now;
    std::vector<std::wstring> lines;
    const auto at = [&](ULONGLONG ms) {
        ticks.now = start + ms;
        Tick();
        lines.push_back(Line());
    };
    const ModalRun run = RunHanging([&] {
        Send(ProgressEvent::PassStarted(RunPass::Scanning));
        for (int second = 1; second <= 20; ++second) {
            ticks.now = start + static_cast<ULONGLONG>(second) * 1000;
            Send(ProgressEvent::Progress(second * 5)); // half a percent a second: 180 s left at 10 %
            if (second == 9) {
                at(9000);
            }
        }
        at(20'000);
        at(21'000);
        at(79'000);
        at(80'000); // a minute without a move
        ticks.now = start + 81'000;
        Send(ProgressEvent::Progress(105));
        at(81'000);
        ticks.now = start + 82'000;
        Send(ProgressEvent::Progress(0, RunPass::Recovering)); // the caption changes
        at(82'000);
    });
    EXPECT_FALSE(run.timedOut);
    const std::vector<std::wstring> expected = {
        L"Elapsed 0:00:09",
        L"Elapsed 0:00:20   about 3 min left",
        L"Elapsed 0:00:21   about 3 min left",
        L"Elapsed 0:01:19   about 2 min left",
        L"Elapsed 0:01:20",
        L"Elapsed 0:01:21   about 21 min left", // the slow minute counts in the rate
        L"Elapsed 0:01:22",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(ProgressDisplayTest, TheDialogsOwnTimerMovesTheClock) {
    const ULONGLONG start = ticks.now;
    bool moved = false;
    const ModalRun run = RunHanging([&] {
        ticks.now = start + 83'000;
        // The timer fires once a second; give it two.
        moved = PumpUntil([&] { return Line() == std::wstring_view(L"Elapsed 0:01:23"); }, 2500);
    });
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(moved) << Narrow(Line());
}

TEST_F(ProgressDisplayTest, OnceClosedTheDialogLeavesTaskbarAndClockAlone) {
    const ModalRun run = RunHanging([] {});
    EXPECT_FALSE(run.timedOut);
    ASSERT_EQ(taskbar.States(), "normal,none");
    const int calls = taskbar.calls;
    const std::wstring line = Line();

    // A late event and a tick queued before the timer died.
    Send(PassEvent(RunPass::Recovering, 800, {}, 10, 8));
    ticks.now += 60'000;
    Tick();
    EXPECT_EQ(Bar(), 800);
    EXPECT_EQ(taskbar.calls, calls) << "the taskbar would show progress again";
    EXPECT_EQ(Line(), line);
}

} // namespace
} // namespace kestro
