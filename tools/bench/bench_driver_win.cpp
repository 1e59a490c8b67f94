// Drives Tarvask.exe from outside, as a user would, and measures it against floor programs run
// in the same session: the pipe baseline (the tool's output read and thrown away), a window with
// the main window's standard controls and nothing else, and an empty window, all linked the same
// way. Figures:
//  - start-up: process creation to WaitForInputIdle with the main window shown, against the
//    same-controls window (and the empty one, for information); the peak working set then;
//  - a flood of files-recovered lines: time from the Start click to the Scanning dialog closing,
//    against the pipe baseline's run of the same simulator, in alternating pairs; the CPU time of
//    both per thousand lines; meanwhile WM_NULL round trips to the dialog (SendMessageTimeout)
//    every 10 ms, their 99th percentile;
//  - growth: the working set over a long run of two million lines;
//  - idle cost: CPU time of the program over a stretch in which the tool prints nothing, next to
//    the empty window's over the same stretch; file sizes.
//
// Usage: bench-driver.exe --program TARVASK_EXE --tool WINFR_EXE --baseline PIPE_BASELINE_EXE
//          --window EMPTY_WINDOW_EXE --controls SAME_CONTROLS_WINDOW_EXE --work FOLDER --out FILE
//          [--runs 3] [--startups 5] [--idle-seconds 10] [--flood-lines 200000]
//          [--only startup,flood,growth,idle,size]
// FOLDER must be on another drive than C: (the program's first source drive). FILE receives one
// tab-separated row per figure: figure, value, baseline, ratio, target, holds, note.
//
// The measurements live in files of their own (bench_driver_win.h names them).
#include "bench_driver_win.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

namespace benchdriver {

void Driver::Run() {
    std::filesystem::create_directories(o_.work);
    RemoveSettings();
    if (o_.Takes(L"startup")) {
        StartUps();
    }
    if (o_.Takes(L"flood")) {
        Floods();
    }
    if (o_.Takes(L"growth")) {
        Growth();
    }
    if (o_.Takes(L"idle")) {
        Idle();
    }
    if (o_.Takes(L"size")) {
        Sizes();
    }
}

bool Driver::StartRun(Process& p, HWND& main, const std::wstring& destination, double& clickedAt, int& unixPid,
                      double& cpuBeforeMs) {
    double startupMs = 0;
    RemoveSettings();
    if (!OpenWindowProgram(p, o_.program, kMainClass, main, startupMs)) {
        return false;
    }
    HWND browse = FindChild(main, L"Button", L"Browser...");
    HWND start = FindChild(main, L"Button", L"Start...");
    HWND edit = browse != nullptr ? GetWindow(browse, GW_HWNDNEXT) : nullptr;
    if (edit == nullptr || start == nullptr) {
        return false;
    }
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(destination.c_str()));
    unixPid = FindUnixProcess(o_.program);
    cpuBeforeMs = CpuMs(unixPid, p.Handle());
    clickedAt = NowMs();
    PostMessageW(start, BM_CLICK, 0, 0);
    return true;
}

} // namespace benchdriver

namespace {

using benchdriver::Options;
using benchdriver::Row;

// One option: its name and where its value goes (text or a count of at least one).
struct OptionSlot {
    const wchar_t* name;
    std::wstring Options::*text;
    int Options::*count;
};

bool SetOption(Options& o, const std::wstring& name, const std::wstring& value) {
    static const OptionSlot slots[] = {
        {L"--program", &Options::program, nullptr},   {L"--tool", &Options::tool, nullptr},
        {L"--baseline", &Options::baseline, nullptr}, {L"--window", &Options::window, nullptr},
        {L"--controls", &Options::controls, nullptr}, {L"--work", &Options::work, nullptr},
        {L"--out", &Options::out, nullptr},           {L"--only", &Options::only, nullptr},
        {L"--runs", nullptr, &Options::runs},         {L"--startups", nullptr, &Options::startups},
        {L"--idle-seconds", nullptr, &Options::idleSeconds},
    };
    if (name == L"--flood-lines") {
        o.floodLines = std::max(1L, static_cast<long>(_wtoi(value.c_str())));
        return true;
    }
    for (const OptionSlot& slot : slots) {
        if (name != slot.name) {
            continue;
        }
        if (slot.text != nullptr) {
            o.*slot.text = value;
        } else {
            o.*slot.count = std::max(1, _wtoi(value.c_str()));
        }
        return true;
    }
    return false;
}

bool ParseOptions(Options& o) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) {
        return false;
    }
    bool known = true;
    for (int i = 1; known && i + 1 < argc; i += 2) {
        known = SetOption(o, argv[i], argv[i + 1]);
    }
    LocalFree(argv);
    return known && !o.program.empty() && !o.tool.empty() && !o.baseline.empty() && !o.window.empty() &&
           !o.controls.empty() && !o.work.empty() && !o.out.empty();
}

} // namespace

int wmain() {
    Options options;
    if (!ParseOptions(options)) {
        std::fprintf(stderr, "usage: bench-driver --program EXE --tool EXE --baseline EXE --window EXE --controls EXE "
                             "--work FOLDER --out FILE [--runs N] [--startups N] [--idle-seconds N] "
                             "[--flood-lines N] [--only startup,flood,growth,idle,size]\n");
        return 2;
    }
    benchdriver::Driver driver(options);
    driver.Run();
    FILE* out = _wfopen(options.out.c_str(), L"w");
    if (out == nullptr) {
        return 3;
    }
    for (const Row& row : driver.Rows()) {
        std::fprintf(out, "%s\t%s\t%s\t%s\t%s\t%s\t%s\n", row.figure.c_str(), row.value.c_str(), row.baseline.c_str(),
                     row.ratio.c_str(), row.target.c_str(), row.holds.c_str(), row.note.c_str());
    }
    std::fclose(out);
    return 0;
}
