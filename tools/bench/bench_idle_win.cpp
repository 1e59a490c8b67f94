// Idle cost: the program's CPU time over a stretch in which the tool prints nothing, next to the
// minimal window's over the same stretch.
#include "bench_driver_win.h"

#include <filesystem>
#include <string>

namespace benchdriver {

void Driver::Idle() {
    SetScenario(L"hang", o_.floodLines);
    const std::wstring destination = o_.work + L"\\idle";
    std::filesystem::create_directories(destination);
    Process minimal;
    HWND minimalMain = nullptr;
    double ms = 0;
    Process p;
    HWND main = nullptr;
    double clickedAt = 0;
    int unixPid = 0;
    double cpu = 0;
    HWND dialog = nullptr;
    if (!OpenWindowProgram(minimal, o_.window, kMinimalClass, minimalMain, ms) ||
        !StartRun(p, main, destination, clickedAt, unixPid, cpu) ||
        !WaitFor([&] { return (dialog = FindTopLevel(p.Id(), kDialogClass, kTitle)) != nullptr; }, 30000)) {
        rows_.push_back({"Idle CPU, tool silent", "failed", "-", "-", "< 1 %", "no", "the run did not start"});
        return;
    }
    // The scenario prints its header and a little progress at once, then nothing.
    Sleep(2000);
    const int minimalPid = FindUnixProcess(o_.window);
    const double programBefore = CpuMs(unixPid, p.Handle());
    const double minimalBefore = CpuMs(minimalPid, minimal.Handle());
    const double wallBefore = NowMs();
    Sleep(static_cast<DWORD>(o_.idleSeconds) * 1000);
    const double programAfter = CpuMs(unixPid, p.Handle());
    const double minimalAfter = CpuMs(minimalPid, minimal.Handle());
    const double wall = NowMs() - wallBefore;
    const bool stillRunning = IsWindow(dialog) && IsWindowVisible(dialog);
    if (HWND stopButton = FindChild(dialog, L"Button", L"Stop")) {
        PostMessageW(stopButton, BM_CLICK, 0, 0);
    }
    WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 20000);
    p.End(main);
    minimal.End(minimalMain);
    const double percent = (programAfter - programBefore) / wall * 100;
    const double minimalPercent = (minimalAfter - minimalBefore) / wall * 100;
    std::string note = std::to_string(o_.idleSeconds) + " s of a run that prints nothing; CPU time " +
                       Fixed(programAfter - programBefore, 0) + " ms";
    if (!stillRunning) {
        note += "; the run ended early, the figure is not valid";
    }
    const bool measured = programBefore >= 0 && programAfter >= 0 && minimalBefore >= 0 && minimalAfter >= 0;
    if (!measured) {
        note += "; no CPU time could be read for the program";
    }
    if (unixPid != 0) {
        note += "; host CPU time in steps of 10 ms, wineserver's share not counted";
    }
    rows_.push_back({"Idle CPU, tool silent", measured ? Fixed(percent, 2) + " %" : "failed",
                     "minimal window " + Fixed(minimalPercent, 2) + " %", "-", "< 1 %",
                     stillRunning && measured && percent < 1 ? "yes" : "no", note});
}

} // namespace benchdriver
