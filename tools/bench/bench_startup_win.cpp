// Start-up, against the window with the same standard controls (and, for information, an empty
// window): time from process creation to input idle with the main window shown, and the peak
// working set then; and the size of the program's file.
#include "bench_driver_win.h"

#include <string>
#include <vector>

namespace benchdriver {

namespace {

// Starts a window program once and ends it again; when counted, adds its start-up time and its
// peak working set once it waits for input.
void StartOnce(const std::wstring& exe, const wchar_t* className, bool counted, std::vector<double>& times,
               std::vector<double>& peaks) {
    Process p;
    HWND main = nullptr;
    double ms = 0;
    if (OpenWindowProgram(p, exe, className, main, ms) && counted) {
        times.push_back(ms);
        peaks.push_back(PeakWorkingSetMb(p.Handle()));
    }
    p.End(main);
}

} // namespace

void Driver::StartUps() {
    std::vector<double> program, controls, window, programPeak, controlsPeak, windowPeak;
    // The first start of each reads everything from disk; it is not counted. The three take turns,
    // so that each sees the same load on a shared machine.
    for (int i = -1; i < o_.startups; ++i) {
        StartOnce(o_.window, kMinimalClass, i >= 0, window, windowPeak);
        StartOnce(o_.controls, kSameControlsClass, i >= 0, controls, controlsPeak);
        RemoveSettings();
        StartOnce(o_.program, kMainClass, i >= 0, program, programPeak);
    }
    controlsPeakMb_ = Median(controlsPeak);
    idlePeakMb_ = Median(programPeak);
    if (program.empty() || controls.empty() || window.empty()) {
        rows_.push_back({"Start-up to input idle", "failed", "-", "-", "<= " + Fixed(kStartUpRatio, 1), "no",
                         "a program did not show its window within 30 s"});
        return;
    }
    StartUpRows(program, controls, window);
}

void Driver::StartUpRows(const std::vector<double>& program, const std::vector<double>& controls,
                         const std::vector<double>& minimal) {
    const double ratio = MedianRatio(program, controls);
    const std::string count = std::to_string(program.size());
    rows_.push_back({"Start-up to input idle", Fixed(Median(program), 0) + " ms",
                     "same-controls window " + Fixed(Median(controls), 0) + " ms", Fixed(ratio, 2),
                     "<= " + Fixed(kStartUpRatio, 1), ratio <= kStartUpRatio ? "yes" : "no",
                     "medians of " + count + " starts each, the three programs taking turns; ratio: median of the "
                     "pairs' ratios; the same-controls window makes the main window's standard controls and "
                     "nothing else"});
    const double emptyRatio = MedianRatio(program, minimal);
    rows_.push_back({"Start-up to input idle, against an empty window", Fixed(Median(program), 0) + " ms",
                     "empty window " + Fixed(Median(minimal), 0) + " ms", Fixed(emptyRatio, 2), "information", "-",
                     "what any window with two dozen standard controls costs under Wine is the greater part of "
                     "the difference"});
    const double beyondMb = idlePeakMb_ - controlsPeakMb_;
    rows_.push_back({"Peak working set beyond the same-controls window", Fixed(beyondMb, 1) + " MB",
                     "same-controls window " + Fixed(controlsPeakMb_, 1) + " MB", "-",
                     "<= " + Fixed(kBeyondSameControlsMb, 0) + " MB",
                     controlsPeakMb_ > 0 && beyondMb <= kBeyondSameControlsMb ? "yes" : "no",
                     "peak working sets once each waits for input, medians of " + count +
                         " starts; Tarvask.exe " + Fixed(idlePeakMb_, 1) +
                         " MB; under Wine a working set counts Wine's own libraries, which both map"});
}

void Driver::Sizes() {
    const double program = FileKb(o_.program);
    const double window = FileKb(o_.window);
    rows_.push_back({"Size of Tarvask.exe", Fixed(program, 0) + " KB", "minimal window " + Fixed(window, 0) + " KB",
                     window > 0 ? Fixed(program / window, 1) : "-", "-", "-",
                     "information: one file, static runtime, artwork compiled in"});
}

} // namespace benchdriver
