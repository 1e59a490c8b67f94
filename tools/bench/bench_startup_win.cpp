// Start-up, against the minimal window program: time from process creation to input idle with
// the main window shown, and the working set then; and the size of the program's file.
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
    std::vector<double> program, window, programPeak, windowPeak;
    // The first start of each reads everything from disk; it is not counted.
    for (int i = -1; i < o_.startups; ++i) {
        StartOnce(o_.window, kMinimalClass, i >= 0, window, windowPeak);
        RemoveSettings();
        StartOnce(o_.program, kMainClass, i >= 0, program, programPeak);
    }
    minimalPeakMb_ = Median(windowPeak);
    idlePeakMb_ = Median(programPeak);
    if (program.empty() || window.empty()) {
        rows_.push_back({"Start-up to input idle", "failed", "-", "-", "<= " + Fixed(kStartUpRatio, 1), "no",
                         "a program did not show its window within 30 s"});
        return;
    }
    const double ratio = MedianRatio(program, window);
    std::string note = "medians of " + std::to_string(program.size()) +
                       " starts each, alternating; ratio: median of the pairs' ratios; peak working set once "
                       "waiting for input " +
                       Fixed(idlePeakMb_, 1) + " MB, minimal window " + Fixed(minimalPeakMb_, 1) + " MB";
    if (ratio > kStartUpRatio) {
        note += "; before it waits for input "
                "Tarvask.exe also loads the common controls library, decodes its JPEG artwork, reads its "
                "settings, lists the drives and creates its controls, which the minimal window does not";
    }
    rows_.push_back({"Start-up to input idle", Fixed(Median(program), 0) + " ms",
                     "minimal window " + Fixed(Median(window), 0) + " ms", Fixed(ratio, 2),
                     "<= " + Fixed(kStartUpRatio, 1), ratio <= kStartUpRatio ? "yes" : "no", note});
}

double Driver::MinimalPeakMb() {
    if (minimalPeakMb_ > 0) {
        return minimalPeakMb_;
    }
    std::vector<double> peaks;
    for (int i = 0; i < 3; ++i) {
        Process p;
        HWND main = nullptr;
        double ms = 0;
        if (OpenWindowProgram(p, o_.window, kMinimalClass, main, ms)) {
            peaks.push_back(PeakWorkingSetMb(p.Handle()));
        }
        p.End(main);
    }
    minimalPeakMb_ = Median(peaks);
    return minimalPeakMb_;
}

void Driver::Sizes() {
    const double program = FileKb(o_.program);
    const double window = FileKb(o_.window);
    rows_.push_back({"Size of Tarvask.exe", Fixed(program, 0) + " KB", "minimal window " + Fixed(window, 0) + " KB",
                     window > 0 ? Fixed(program / window, 1) : "-", "-", "-",
                     "information: one file, static runtime, artwork compiled in"});
}

} // namespace benchdriver
