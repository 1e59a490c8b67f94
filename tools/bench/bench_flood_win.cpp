// A flood of files-recovered lines: Tarvask.exe from the Start click to the Scanning dialog
// closing, against the pipe baseline's run of the same simulator; the dialog's WM_NULL round trips
// meanwhile; the CPU time of both per thousand lines.
#include "bench_driver_win.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace benchdriver {

namespace {

// What 1000 steps of a progress bar cost here, drawn in this program (common controls 5): the
// Scanning dialog moves its bar once per per-mille of a flood, so this is the share of the
// program's CPU time that drawing alone takes on this display.
double BarStepsMs() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 369, 130, nullptr, nullptr, nullptr, nullptr);
    HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 8, 37, 337, 12, window,
                               nullptr, nullptr, nullptr);
    if (window == nullptr || bar == nullptr) {
        return -1;
    }
    SendMessageW(bar, PBM_SETRANGE32, 0, 1000);
    const auto pump = [] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
    };
    pump();
    const double start = NowMs();
    for (int i = 1; i <= 1000; ++i) {
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(i), 0);
        pump();
    }
    const double ms = NowMs() - start;
    DestroyWindow(window);
    pump();
    return ms;
}

// WM_NULL round trips to the dialog every 10 ms, on a thread of their own from construction until
// Stop: how long the dialog keeps a caller waiting while the flood runs.
class LatencySampler {
public:
    LatencySampler(HWND dialog, std::vector<double>& latencies)
        : thread_([this, dialog, &latencies] { Sample(dialog, latencies); }) {}
    ~LatencySampler() { Stop(); }
    LatencySampler(const LatencySampler&) = delete;
    LatencySampler& operator=(const LatencySampler&) = delete;

    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }

private:
    void Sample(HWND dialog, std::vector<double>& latencies) {
        while (!stop_.load()) {
            const double before = NowMs();
            DWORD_PTR answer = 0;
            if (!SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &answer)) {
                if (!IsWindow(dialog)) {
                    break;
                }
                latencies.push_back(1000); // no answer within the time-out
            } else {
                latencies.push_back(NowMs() - before);
            }
            Sleep(10);
        }
    }

    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Answers every message box of the process until the dialog closes, collecting their texts;
// false when it is still open after 180 s.
bool AnswerBoxesUntilClosed(DWORD process, HWND dialog, std::string& boxText) {
    std::map<HWND, bool> answered;
    return WaitFor(
        [&] {
            if (HWND box = FindTopLevel(process, L"#32770", kTitle); box != nullptr && !answered[box]) {
                wchar_t text[1024] = {};
                GetDlgItemTextW(box, 0xFFFF, text, 1024);
                boxText += (boxText.empty() ? "" : " | ") + Narrow(text);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                answered[box] = true;
            }
            return !IsWindow(dialog) || !IsWindowVisible(dialog);
        },
        180000, 10);
}

} // namespace

void Driver::Floods() {
    std::vector<double> program, baseline, latencies, cpu, baselineCpu, peak;
    std::string failure;
    for (int i = 0; i < o_.runs && failure.empty(); ++i) {
        double ms = 0;
        double baseCpu = 0;
        if (!BaselineFlood(i, ms, baseCpu, failure)) {
            break;
        }
        baseline.push_back(ms);
        baselineCpu.push_back(baseCpu);
        FloodResult r;
        if (!ProgramFlood(i, r, failure)) {
            break;
        }
        program.push_back(r.ms);
        latencies.insert(latencies.end(), r.latencies.begin(), r.latencies.end());
        cpu.push_back(r.cpuMs);
        peak.push_back(r.peakMb);
    }
    const std::string lines = std::to_string(o_.floodLines) + " lines";
    if (!failure.empty() || program.empty()) {
        rows_.push_back({"Flood of " + lines + ", Start to dialog closed", "failed", "-", "-",
                         "<= " + Fixed(kFloodRatio, 2), "no", failure});
        return;
    }
    const double ratio = MedianRatio(program, baseline);
    std::string why;
    if (ratio > kFloodRatio) {
        const double bar = BarStepsMs();
        why = "; 1000 steps of a progress bar (one per per-mille, as the dialog moves it) take " + Fixed(bar, 0) +
              " ms to draw here, measured in the driver; the simulator needs the same 2 cores meanwhile";
    }
    const double peakMb = *std::max_element(peak.begin(), peak.end());
    rows_.push_back({"Flood of " + lines + ", Start to dialog closed", Fixed(Median(program), 0) + " ms",
                     "pipe only " + Fixed(Median(baseline), 0) + " ms", Fixed(ratio, 2), "<= " + Fixed(kFloodRatio, 2),
                     ratio <= kFloodRatio ? "yes" : "no",
                     "medians of " + std::to_string(program.size()) +
                         " alternating pairs; ratio: median of the pairs' ratios; peak working set of Tarvask.exe "
                         "during the floods " +
                         Fixed(peakMb, 1) + " MB" + why});
    FloodCpuRow(cpu, baselineCpu);
    const double p99 = Percentile(latencies, 0.99);
    const double worst = latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end());
    rows_.push_back({"Dialog WM_NULL round trip during the flood, p99", Fixed(p99, 1) + " ms", "-", "-",
                     "< " + Fixed(kLatencyP99Ms, 0) + " ms", !latencies.empty() && p99 < kLatencyP99Ms ? "yes" : "no",
                     std::to_string(latencies.size()) + " samples every 10 ms, median " + Fixed(Median(latencies), 1) +
                         " ms, worst " + Fixed(worst, 1) + " ms"});
}

// What each thousand lines cost in CPU time, the program's (reading, interpreting, showing) against
// the pipe baseline's (reading alone).
void Driver::FloodCpuRow(const std::vector<double>& program, const std::vector<double>& baseline) {
    const double thousands = static_cast<double>(o_.floodLines) / 1000.0;
    const bool read = !program.empty() && Median(program) >= 0 && !baseline.empty() && Median(baseline) > 0;
    if (!read) {
        rows_.push_back({"CPU time per 1000 lines, flood", "not read", "-", "-", "information", "-",
                         "no CPU time could be read for one of the programs"});
        return;
    }
    const double per = Median(program) / thousands;
    const double basePer = Median(baseline) / thousands;
    rows_.push_back({"CPU time per 1000 lines, flood", Fixed(per, 2) + " ms", "pipe only " + Fixed(basePer, 2) + " ms",
                     Fixed(MedianRatio(program, baseline), 2), "information", "-",
                     "user and kernel time from Start to the dialog closing, against the baseline's own; under "
                     "Wine in steps of 10 ms, wineserver's share not counted"});
}

bool Driver::BaselineFlood(int run, double& ms, double& cpuMs, std::string& failure) {
    SetScenario(L"flood", o_.floodLines);
    const std::wstring destination = o_.work + L"\\baseline-" + std::to_wstring(run);
    std::filesystem::create_directories(destination);
    const std::wstring result = o_.work + L"\\baseline-" + std::to_wstring(run) + L".txt";
    DeleteFileW(result.c_str());
    Process p;
    const std::wstring args =
        L"\"" + result + L"\" \"" + o_.tool + L"\" C: \"" + destination + L"\" /regular /o:b /a /e:*.mm1";
    if (!p.Start(o_.baseline, args) || WaitForSingleObject(p.Handle(), 180000) != WAIT_OBJECT_0) {
        failure = "the pipe baseline did not finish within 180 s";
        return false;
    }
    FILE* in = _wfopen(result.c_str(), L"r");
    unsigned long long bytes = 0;
    unsigned long exitCode = 0;
    const bool read = in != nullptr && std::fscanf(in, "%lf %llu %lu %lf", &ms, &bytes, &exitCode, &cpuMs) == 4;
    if (in != nullptr) {
        std::fclose(in);
    }
    if (!read || exitCode != 0 || bytes < static_cast<unsigned long long>(o_.floodLines) * 100) {
        failure = "the pipe baseline's run was incomplete (" + std::to_string(bytes) + " bytes, exit code " +
                  std::to_string(exitCode) + ")";
        return false;
    }
    std::printf("flood %d: pipe baseline %.0f ms, %llu bytes\n", run, ms, bytes);
    std::fflush(stdout);
    return true;
}

bool Driver::ProgramFlood(int run, FloodResult& r, std::string& failure) {
    SetScenario(L"flood", o_.floodLines);
    const std::wstring destination = o_.work + L"\\program-" + std::to_wstring(run);
    std::filesystem::create_directories(destination);
    Process p;
    HWND main = nullptr;
    double clickedAt = 0;
    int unixPid = 0;
    double cpuBefore = 0;
    if (!StartRun(p, main, destination, clickedAt, unixPid, cpuBefore)) {
        failure = "Tarvask.exe did not show its main window and controls";
        return false;
    }
    HWND dialog = nullptr;
    if (!WaitFor([&] { return (dialog = FindTopLevel(p.Id(), kDialogClass, kTitle)) != nullptr; }, 30000)) {
        failure = "the Scanning dialog did not appear";
        return false;
    }
    LatencySampler sampler(dialog, r.latencies);
    // Any box the run shows is answered at once; the completed one must report every file.
    std::string boxText;
    const bool closed = AnswerBoxesUntilClosed(p.Id(), dialog, boxText);
    r.ms = NowMs() - clickedAt;
    sampler.Stop();
    r.cpuMs = cpuBefore >= 0 ? CpuMs(unixPid, p.Handle()) - cpuBefore : -1;
    r.peakMb = PeakWorkingSetMb(p.Handle());
    p.End(main);
    const std::string expected = std::to_string(o_.floodLines) + " files were found";
    if (!closed) {
        failure = "the Scanning dialog was still open after 180 s";
        return false;
    }
    if (boxText.find(expected) == std::string::npos) {
        failure = "the run did not report every file: \"" + boxText + "\"";
        return false;
    }
    std::printf("flood %d: Tarvask %.0f ms, %zu samples, cpu %.0f ms, peak %.1f MB\n", run, r.ms, r.latencies.size(),
                r.cpuMs, r.peakMb);
    std::fflush(stdout);
    return true;
}

} // namespace benchdriver
