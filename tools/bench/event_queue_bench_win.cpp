// How many progress events ever wait for the Scanning dialog during a flood of output. Windows
// refuses posts once a thread's queue holds 10,000 messages, so the events wait in the runner's
// mailbox and only wake-ups are posted; this runs the real Scanning dialog and runner in this
// process, with the simulator where Windows keeps winfr, and reports the most events that waited
// at once and the most wake-ups that waited in the message queue.
//
// Usage: bench-event-queue.exe WORK_FOLDER OUT_FILE [FLOOD_LINES (default 200000)]
// FILE receives one tab-separated row: figure, value, baseline, ratio, target, holds, note.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <tuple>

#include "dialogs/scan_dialog_win.h"
#include "platform/winstr_win.h"
#include "runner/tool_runner_win.h"
#include "runner/window_sink_win.h"
#include "ui/application_win.h"

namespace {

using namespace kestro;

constexpr std::size_t kMostWaiting = 64;


// Boxes are answered at once; the completed one is kept.
class AnsweringBoxes final : public MessageBoxes {
public:
    int Show(HWND, const std::string& text, const std::string&, UINT) override {
        shown += (shown.empty() ? "" : " | ") + text;
        return IDOK;
    }
    std::string shown;
};

// The wake-ups posted and not yet taken from this thread's queue, seen through a WH_GETMESSAGE hook.
std::multiset<std::tuple<HWND, UINT, LPARAM>> queued;
std::size_t mostQueued = 0;

LRESULT CALLBACK Retrieved(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const MSG& msg = *reinterpret_cast<const MSG*>(lParam);
        if (const auto it = queued.find({msg.hwnd, msg.message, msg.lParam}); it != queued.end()) {
            queued.erase(it);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CountingPost(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!PostMessageW(window, message, wParam, lParam)) {
        return FALSE;
    }
    queued.emplace(window, message, lParam);
    mostQueued = std::max(mostQueued, queued.size());
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench-event-queue WORK_FOLDER OUT_FILE [FLOOD_LINES]\n");
        return 2;
    }
    const std::wstring work = argv[1];
    const std::wstring outFile = argv[2];
    const long floodLines = argc > 3 ? std::max(1L, static_cast<long>(_wtoi(argv[3]))) : 200000L;
    const std::wstring destination = work + L"\\event-queue";
    std::filesystem::create_directories(destination);
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", L"flood");
    SetEnvironmentVariableW(L"WINFR_SIM_DELAY_MS", L"0");
    SetEnvironmentVariableW(L"WINFR_SIM_FLOOD_LINES", std::to_wstring(floodLines).c_str());

    Application& app = Application::Get();
    app.Initialize(GetModuleHandleW(nullptr));
    AnsweringBoxes boxes;
    app.SetBoxes(&boxes);
    const HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, &Retrieved, nullptr, GetCurrentThreadId());
    auto runner = std::make_shared<ToolRunner>();
    runner->SetMessagePoster(&CountingPost);
    {
        RunRequest request;
        request.arguments = "C: \"" + Narrow(destination) + "\" /regular /o:b /a /e:*.mm1 ";
        request.destination = Narrow(destination);
        request.sourceDrive = 'C';
        ScanDialog dialog(nullptr, request, runner);
        dialog.ShowModal();
    }
    UnhookWindowsHookEx(hook);
    app.SetBoxes(nullptr);

    const std::size_t most = runner->MostEventsWaiting();
    const bool complete = boxes.shown.find(std::to_string(floodLines) + " files were found") != std::string::npos;
    std::printf("events waiting at most: %zu; wake-ups queued at most: %zu; boxes: %s\n", most, mostQueued,
                boxes.shown.c_str());
    FILE* out = _wfopen(outFile.c_str(), L"w");
    if (out == nullptr) {
        return 3;
    }
    for (char& c : boxes.shown) {
        c = c == '\r' || c == '\n' || c == '\t' ? ' ' : c; // one row of the table
    }
    const std::string note = "flood of " + std::to_string(floodLines) + " lines through the Scanning dialog; " +
                             "wake-up messages waiting in the queue at most: " + std::to_string(mostQueued) +
                             (complete ? "" : "; the run did not report every file: " + boxes.shown);
    std::fprintf(out, "Progress events waiting at most\t%zu\t-\t-\t<= %zu\t%s\t%s\n", most, kMostWaiting,
                 complete && most <= kMostWaiting ? "yes" : "no", note.c_str());
    std::fclose(out);
    return complete ? 0 : 1;
}
