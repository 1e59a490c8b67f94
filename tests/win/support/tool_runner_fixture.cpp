#include "support/tool_runner_fixture.h"

#include <stdexcept>
#include <string_view>

#include "base/system_error.h"
#include "platform/files_win.h"
#include "runner/window_sink_win.h"

namespace kestro::testing_win {

EventWindow::EventWindow() {
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

EventWindow::~EventWindow() {
    DiscardProgressWakeups(hwnd_);
    DestroyWindow(hwnd_);
}

LRESULT CALLBACK EventWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
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

void SetEnv(const wchar_t* name, const std::wstring& value) {
    SetEnvironmentVariableW(name, value.c_str());
}

void RunnerTest::SetUp() {
    ASSERT_FALSE(FindToolProgram(L"winfr").empty()) << "the test prefix keeps the simulator as the account's winfr";
    SetEnv(L"WINFR_SIM_DELAY_MS", L"0");
    SetEnvironmentVariableW(L"WINFR_SIM_RECORD", nullptr);
    SetEnvironmentVariableW(L"WINFR_SIM_FLOOD_LINES", nullptr);
    runner.SetLineObserver([this](std::string_view line) { lines.emplace_back(line); });
}

bool RunnerTest::ReadLine(const std::string& part) const {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

void RunnerTest::StartRun(const wchar_t* scenario, EventWindow& window) {
    SetEnv(L"WINFR_SIM_SCENARIO", scenario);
    runner.Start(window.Handle(), Arguments());
}

std::string RunnerTest::StartError(const std::string& toolName) {
    runner.SetToolName(toolName);
    try {
        runner.Start(nullptr, "");
    } catch (const SystemError& e) {
        return e.Words();
    }
    return {};
}

bool RunnerTest::RunToEnd(const wchar_t* scenario, EventWindow& window) {
    StartRun(scenario, window);
    return PumpUntil([&] { return window.FinishedCount() > 0; }, kRunTimeoutMs);
}

} // namespace kestro::testing_win
