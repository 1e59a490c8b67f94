#pragma once
// What bench-driver.exe measures (bench_driver_win.cpp describes the figures and the command line),
// one file per measurement: start-up and size (bench_startup_win.cpp), the flood
// (bench_flood_win.cpp), idle cost (bench_idle_win.cpp); and the process, window and statistics
// helpers they share (bench_process_win.cpp).
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace benchdriver {

constexpr wchar_t kMainClass[] = L"Kestro Refindor Made by Kestro Software";
constexpr wchar_t kDialogClass[] = L"KestroScanDialog";
constexpr wchar_t kMinimalClass[] = L"Kestro Bench Minimal Window";
constexpr wchar_t kSameControlsClass[] = L"Kestro Bench Same Controls Window";
constexpr wchar_t kTitle[] = L"Kestro Refindor";

// The targets.
constexpr double kStartUpRatio = 1.2;        // start-up to input idle, against the same-controls window
constexpr double kFloodRatio = 1.15;         // a flood, Start to dialog closed, against the pipe baseline
constexpr double kLatencyP99Ms = 16;         // WM_NULL round trip to the dialog during the flood: one frame
constexpr double kBeyondSameControlsMb = 2;  // peak working set beyond the same-controls window's
constexpr double kGrowthMb = 1;              // working set growth over a long run
constexpr long kGrowthLines = 2000000;       // the long run: a deep scan of a big disk in miniature
constexpr long kGrowthCheckpointLines = 10000; // ... measured from this many lines on

struct Options {
    std::wstring program, tool, baseline, window, controls, work, out;
    int runs = 3;
    int startups = 5;
    int idleSeconds = 10;
    long floodLines = 200000;
    // The measurements to take (startup, flood, growth, idle, size); empty: all of them.
    std::wstring only;
    bool Takes(const wchar_t* name) const {
        return only.empty() || (L"," + only + L",").find(L"," + std::wstring(name) + L",") != std::wstring::npos;
    }
};

struct Row {
    std::string figure, value, baseline, ratio, target, holds, note;
};

// Milliseconds of the performance counter.
double NowMs();
std::string Narrow(const std::wstring& s);
std::string Fixed(double value, int decimals);
double Median(std::vector<double> values);
// The ratios of run i of a to run i of b, their median: runs made one after the other see the
// same load on a shared machine, so their ratio is steadier than the ratio of two medians.
double MedianRatio(const std::vector<double>& a, const std::vector<double>& b);
double Percentile(std::vector<double> values, double p);

// Waits for pred() up to timeoutMs, looking every everyMs. Each look enumerates windows, which
// under Wine costs the server and the measured program some CPU: the looks during a run are few.
template <class Pred> bool WaitFor(Pred pred, double timeoutMs, DWORD everyMs = 2) {
    const double end = NowMs() + timeoutMs;
    while (!pred()) {
        if (NowMs() > end) {
            return false;
        }
        Sleep(everyMs);
    }
    return true;
}

// A visible top-level window of the process with that class (and title, when given), or null.
HWND FindTopLevel(DWORD process, const wchar_t* className, const wchar_t* title = nullptr);
// A child window of parent with that class and text (any text when null), or null.
HWND FindChild(HWND parent, const wchar_t* className, const wchar_t* text);

// Wine answers GetProcessTimes for another process with the caller's own times, so CPU time
// is read where the host keeps it: /proc of the host process that runs the program, through
// drive Z:. That process is the newest whose command line names the program and whose
// environment carries this Wine prefix. 0 when there is none (not under Wine).
int FindUnixProcess(const std::wstring& exe);
// User + kernel time of a process in ms: from its host process under Wine (/proc counts in ticks
// of 1/100 s on Linux), from the system elsewhere (unixPid 0).
double CpuMs(int unixPid, HANDLE process);
double PeakWorkingSetMb(HANDLE process);
double WorkingSetMb(HANDLE process);
double FileKb(const std::wstring& path);

// A started program; ended (politely, then by force) when the object goes.
class Process {
public:
    bool Start(const std::wstring& exe, const std::wstring& arguments);
    ~Process() { End(); }
    void End(HWND main = nullptr);
    HANDLE Handle() const { return info_.hProcess; }
    DWORD Id() const { return info_.dwProcessId; }
    double startedAt = 0;

private:
    PROCESS_INFORMATION info_{};
};

// Start-up: from process creation until it waits for input with its main window shown.
bool OpenWindowProgram(Process& p, const std::wstring& exe, const wchar_t* className, HWND& main, double& startupMs);
// Removes the program's settings file, so that it starts as on its first run.
void RemoveSettings();
// The simulator's scenario for the programs started from now on.
void SetScenario(const wchar_t* scenario, long floodLines);

class Driver {
public:
    explicit Driver(Options options) : o_(std::move(options)) {}

    void Run();
    const std::vector<Row>& Rows() const { return rows_; }

private:
    // Opens Tarvask.exe, types the destination and clicks Start; returns the click time, the host
    // process and its CPU time just before the click.
    bool StartRun(Process& p, HWND& main, const std::wstring& destination, double& clickedAt, int& unixPid,
                  double& cpuBeforeMs);

    void StartUps();
    void StartUpRows(const std::vector<double>& program, const std::vector<double>& controls,
                     const std::vector<double>& minimal);
    void Sizes();
    void Growth();

    struct FloodResult {
        double ms = 0;
        std::vector<double> latencies;
        double cpuMs = 0;
        double peakMb = 0;
    };
    void Floods();
    void FloodCpuRow(const std::vector<double>& program, const std::vector<double>& baseline);
    bool BaselineFlood(int run, double& ms, double& cpuMs, std::string& failure);
    bool ProgramFlood(int run, FloodResult& r, std::string& failure);

    void Idle();

    Options o_;
    std::vector<Row> rows_;
    double controlsPeakMb_ = 0;
    double idlePeakMb_ = 0;
};

} // namespace benchdriver
