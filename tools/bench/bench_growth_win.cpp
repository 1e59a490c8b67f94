// A deep scan of a big disk in miniature: two million lines at full speed, files recovered under
// ever-new names, progress redrawn in place and the passes changing again and again. Nothing may
// grow with the lines (event records, log buffers, the time-left estimate, fonts, GDI objects):
// the working set at the end must not exceed the one after the first ten thousand lines by more
// than a megabyte.
#include "bench_driver_win.h"

#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace benchdriver {

namespace {

// The passes after the first: each scans (a hundred redraws of one line) and recovers this many.
constexpr int kLaterPasses = 10;

// The simulator's script: a first pass of kGrowthCheckpointLines files, a pause in which the
// driver takes its first reading, then the later passes, then the end of the run.
std::string GrowthScript() {
    const long perPass = (kGrowthLines - kGrowthCheckpointLines) / kLaterPasses;
    const std::string pass = "line Pass 1: Scanning and processing disk\nscan 0 100 1 cr\nline\n"
                             "line Pass 2: Recovering files\n";
    std::string script = "header\n" + pass + "flood " + std::to_string(kGrowthCheckpointLines) + "\nsleep 5000\n";
    for (int i = 0; i < kLaterPasses; ++i) {
        script += pass + "flood " + std::to_string(perPass) + "\n";
    }
    return script + "line Progress: 100%\nhang\n";
}

struct Reading {
    double workingSetMb = -1;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
};

Reading Read(HANDLE process) {
    return {WorkingSetMb(process), GetGuiResources(process, GR_GDIOBJECTS), GetGuiResources(process, GR_USEROBJECTS)};
}

std::string Objects(const Reading& r) {
    return std::to_string(r.gdiObjects) + " GDI and " + std::to_string(r.userObjects) + " USER objects";
}

// The first pass is read whole and the tool pauses: the status names the recovering pass and the
// bar is full.
bool FirstPassRead(HWND dialog) {
    HWND bar = FindChild(dialog, L"msctls_progress32", nullptr);
    return bar != nullptr && FindChild(dialog, L"Static", L"Recovering files") != nullptr &&
           SendMessageW(bar, PBM_GETPOS, 0, 0) >= 1000;
}

} // namespace

void Driver::Growth() {
    const std::wstring script = o_.work + L"\\growth-script.txt";
    std::ofstream(std::filesystem::path(script), std::ios::binary) << GrowthScript();
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", script.c_str());
    const std::wstring destination = o_.work + L"\\growth";
    std::filesystem::create_directories(destination);
    Process p;
    HWND main = nullptr;
    double clickedAt = 0;
    int unixPid = 0;
    double cpu = 0;
    HWND dialog = nullptr;
    Reading first;
    Reading last;
    HWND box = nullptr;
    const bool ran = StartRun(p, main, destination, clickedAt, unixPid, cpu) &&
                     WaitFor([&] { return (dialog = FindTopLevel(p.Id(), kDialogClass, kTitle)) != nullptr; }, 30000) &&
                     WaitFor([&] { return FirstPassRead(dialog); }, 60000, 20);
    if (ran) {
        Sleep(1000); // the events of the first pass are shown; the tool still pauses
        first = Read(p.Handle());
        WaitFor([&] { return (box = FindTopLevel(p.Id(), L"#32770", kTitle)) != nullptr; }, 600000, 50);
        if (box != nullptr) {
            last = Read(p.Handle());
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    }
    const double seconds = (NowMs() - clickedAt) / 1000;
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", nullptr);
    p.End(main);
    if (box == nullptr || first.workingSetMb < 0 || last.workingSetMb < 0) {
        rows_.push_back({"Working set growth over 2000000 lines", "failed", "-", "-",
                         "<= " + Fixed(kGrowthMb, 0) + " MB", "no", "the long run did not reach its end within 10 min"});
        return;
    }
    const double growth = last.workingSetMb - first.workingSetMb;
    std::string note = "after " + std::to_string(kGrowthCheckpointLines) + " lines " + Fixed(first.workingSetMb, 1) +
                       " MB with " + Objects(first) + "; at the end " + Fixed(last.workingSetMb, 1) + " MB with " +
                       Objects(last) + "; " + std::to_string(kLaterPasses + 1) + " passes, the run took " +
                       Fixed(seconds, 0) + " s";
    if (first.gdiObjects == 0 && last.gdiObjects == 0) {
        note += " (Wine does not count GDI and USER objects of a process)";
    }
    rows_.push_back({"Working set growth over 2000000 lines", Fixed(growth, 2) + " MB",
                     "itself after " + std::to_string(kGrowthCheckpointLines) + " lines", "-",
                     "<= " + Fixed(kGrowthMb, 0) + " MB", growth <= kGrowthMb ? "yes" : "no", note});
}

} // namespace benchdriver
