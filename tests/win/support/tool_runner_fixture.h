#pragma once
// The tool runner with the winfr simulator as its tool (the test prefix keeps it where Windows
// keeps winfr for the account), and a window that takes its events as the Scanning dialog does,
// for the test programs of the runner.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/text.h"
#include "runner/progress_event.h"
#include "runner/tool_runner_win.h"
#include "support/wine_helpers.h"

namespace kestro::testing_win {

inline constexpr DWORD kRunTimeoutMs = 20000;

// A message-only window that keeps a copy of every event delivered to it, taking them as the
// Scanning dialog does.
class EventWindow {
public:
    EventWindow();
    ~EventWindow();
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
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

void SetEnv(const wchar_t* name, const std::wstring& value);

class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override;

    std::string Arguments() const { return "D: " + QuoteIfSpaced(destination.Utf8()) + " /regular /o:b /a /e:*.mm1 "; }

    // Whether a line the runner read and decoded holds part. Events that only move the bar merge
    // while they wait for the window, so the lines are where every file name is seen.
    bool ReadLine(const std::string& part) const;

    // Starts a run of the scenario with events going to window.
    void StartRun(const wchar_t* scenario, EventWindow& window);

    // What Start says when told to start the tool of that name; empty when it starts one.
    std::string StartError(const std::string& toolName);

    bool RunToEnd(const wchar_t* scenario, EventWindow& window);

    TempDir destination{L"kestro-runner"};
    ToolRunner runner;
    std::vector<std::string> lines;
};

} // namespace kestro::testing_win
