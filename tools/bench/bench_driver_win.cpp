// Drives Tarvask.exe from outside, as a user would, and measures it against floor programs run
// in the same session: the pipe baseline (the tool's output read and thrown away) and a minimal
// window program linked the same way. Figures:
//  - a flood of files-recovered lines: time from the Start click to the Scanning dialog closing,
//    against the pipe baseline's run of the same simulator; meanwhile WM_NULL round trips to the
//    dialog (SendMessageTimeout) every 10 ms, their 99th percentile; the program's peak working
//    set and CPU time;
//  - idle cost: CPU time of the program over a stretch in which the tool prints nothing, next to
//    the minimal window's over the same stretch;
//  - start-up: process creation to WaitForInputIdle with the main window shown, against the
//    minimal window program; file sizes.
//
// Usage: bench-driver.exe --program TARVASK_EXE --tool WINFR_EXE --baseline PIPE_BASELINE_EXE
//          --window MINIMAL_WINDOW_EXE --work FOLDER --out FILE
//          [--runs 3] [--startups 5] [--idle-seconds 10] [--flood-lines 200000]
//          [--only startup,flood,idle,size]
// FOLDER must be on another drive than C: (the program's first source drive). FILE receives one
// tab-separated row per figure: figure, value, baseline, ratio, target, holds, note.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr wchar_t kMainClass[] = L"Kestro Refindor Made by Kestro Software";
constexpr wchar_t kDialogClass[] = L"KestroScanDialog";
constexpr wchar_t kMinimalClass[] = L"Kestro Bench Minimal Window";
constexpr wchar_t kTitle[] = L"Kestro Refindor";

// The targets.
constexpr double kStartUpRatio = 1.4;  // start-up to input idle, against the minimal window
constexpr double kFloodRatio = 1.15;   // a flood, Start to dialog closed, against the pipe baseline
constexpr double kLatencyP99Ms = 16;   // WM_NULL round trip to the dialog during the flood: one frame
constexpr double kBeyondMinimalMb = 5; // peak working set beyond the minimal window's

struct Options {
    std::wstring program, tool, baseline, window, work, out;
    int runs = 3;
    int startups = 5;
    int idleSeconds = 10;
    long floodLines = 200000;
    // The measurements to take (startup, flood, idle, size); empty: all of them.
    std::wstring only;
    bool Takes(const wchar_t* name) const {
        return only.empty() || (L"," + only + L",").find(L"," + std::wstring(name) + L",") != std::wstring::npos;
    }
};

double NowMs() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / frequency;
}

std::string Narrow(const std::wstring& s) {
    if (s.empty()) {
        return {};
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", decimals, value);
    return text;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The ratios of run i of a to run i of b, their median: runs made one after the other see the
// same load on a shared machine, so their ratio is steadier than the ratio of two medians.
double MedianRatio(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (b[i] > 0) {
            ratios.push_back(a[i] / b[i]);
        }
    }
    return Median(ratios);
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

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

struct TopLevelSearch {
    DWORD process;
    const wchar_t* className;
    const wchar_t* title;
    HWND found = nullptr;
};

BOOL CALLBACK FindTopLevelProc(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<TopLevelSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->process || !IsWindowVisible(hwnd)) {
        return TRUE;
    }
    wchar_t name[128] = {};
    GetClassNameW(hwnd, name, 128);
    if (lstrcmpW(name, search->className) != 0) {
        return TRUE;
    }
    if (search->title != nullptr) {
        wchar_t title[256] = {};
        GetWindowTextW(hwnd, title, 256);
        if (lstrcmpW(title, search->title) != 0) {
            return TRUE;
        }
    }
    search->found = hwnd;
    return FALSE;
}

HWND FindTopLevel(DWORD process, const wchar_t* className, const wchar_t* title = nullptr) {
    TopLevelSearch search{process, className, title};
    EnumWindows(FindTopLevelProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ChildSearch {
    const wchar_t* className;
    const wchar_t* text;
    HWND found = nullptr;
};

BOOL CALLBACK FindChildProc(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<ChildSearch*>(param);
    wchar_t name[128] = {};
    GetClassNameW(hwnd, name, 128);
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    if (lstrcmpiW(name, search->className) == 0 && lstrcmpW(text, search->text) == 0) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindChild(HWND parent, const wchar_t* className, const wchar_t* text) {
    ChildSearch search{className, text};
    EnumChildWindows(parent, FindChildProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string ReadSmallFile(const std::wstring& path) {
    std::string content;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (f == nullptr) {
        return content;
    }
    char buffer[4096];
    std::size_t n = 0;
    while (content.size() < 65536 && (n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) {
        content.append(buffer, n);
    }
    std::fclose(f);
    return content;
}

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// Fields of /proc/<pid>/stat after the command name: state is [0], utime [11], stime [12],
// starttime [19].
std::vector<std::string> StatFields(int unixPid) {
    const std::string stat = ReadSmallFile(L"Z:\\proc\\" + std::to_wstring(unixPid) + L"\\stat");
    std::vector<std::string> fields;
    const std::size_t end = stat.rfind(')');
    if (end == std::string::npos) {
        return fields;
    }
    std::string field;
    for (std::size_t i = end + 2; i <= stat.size(); ++i) {
        if (i == stat.size() || stat[i] == ' ') {
            fields.push_back(field);
            field.clear();
        } else {
            field.push_back(stat[i]);
        }
    }
    return fields;
}

// Wine answers GetProcessTimes for another process with the caller's own times, so CPU time
// is read where the host keeps it: /proc of the host process that runs the program, through
// drive Z:. That process is the newest whose command line names the program and whose
// environment carries this Wine prefix. 0 when there is none (not under Wine).
int FindUnixProcess(const std::wstring& exe) {
    const std::string name = Lower(Narrow(std::filesystem::path(exe).filename().wstring()));
    wchar_t prefix[1024] = {};
    if (GetEnvironmentVariableW(L"WINEPREFIX", prefix, 1024) == 0) {
        return 0;
    }
    const std::string prefixEntry = "WINEPREFIX=" + Narrow(prefix) + std::string(1, '\0');
    int best = 0;
    unsigned long long newest = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(L"Z:\\proc", ec)) {
        const std::wstring pidText = entry.path().filename().wstring();
        if (pidText.empty() || pidText.find_first_not_of(L"0123456789") != std::wstring::npos) {
            continue;
        }
        const std::wstring folder = entry.path().wstring();
        if (Lower(ReadSmallFile(folder + L"\\cmdline")).find(name) == std::string::npos ||
            ReadSmallFile(folder + L"\\environ").find(prefixEntry) == std::string::npos) {
            continue;
        }
        const int pid = _wtoi(pidText.c_str());
        const std::vector<std::string> fields = StatFields(pid);
        if (fields.size() > 19 && fields[0] != "Z") {
            const unsigned long long started = std::strtoull(fields[19].c_str(), nullptr, 10);
            if (best == 0 || started >= newest) {
                best = pid;
                newest = started;
            }
        }
    }
    return best;
}

// User + kernel time of a process in ms: from its host process under Wine (/proc counts in ticks
// of 1/100 s on Linux), from the system elsewhere (unixPid 0).
double CpuMs(int unixPid, HANDLE process) {
    static const bool underWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    if (unixPid == 0) {
        if (underWine) {
            return -1; // the system's answer would be this program's own time
        }
        FILETIME created, exited, kernel, user;
        if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
            return -1;
        }
        const auto ticks = [](const FILETIME& t) {
            return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
        };
        return (ticks(kernel) + ticks(user)) / 10000.0;
    }
    const std::vector<std::string> fields = StatFields(unixPid);
    if (fields.size() <= 12) {
        return -1;
    }
    return static_cast<double>(std::strtoull(fields[11].c_str(), nullptr, 10) +
                               std::strtoull(fields[12].c_str(), nullptr, 10)) *
           10.0;
}

double PeakWorkingSetMb(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, &counters, sizeof(counters))) {
        return -1;
    }
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

double FileKb(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return static_cast<double>((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) /
           1024.0;
}

// A started program; ended (politely, then by force) when the object goes.
class Process {
public:
    bool Start(const std::wstring& exe, const std::wstring& arguments) {
        std::wstring line = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
        const std::wstring folder = std::filesystem::path(exe).parent_path().wstring();
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startedAt = NowMs();
        return CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                              &info_) != FALSE;
    }
    ~Process() { End(); }
    void End(HWND main = nullptr) {
        if (info_.hProcess == nullptr) {
            return;
        }
        if (main != nullptr && IsWindow(main)) {
            PostMessageW(main, WM_CLOSE, 0, 0);
        }
        if (WaitForSingleObject(info_.hProcess, main != nullptr ? 20000 : 0) != WAIT_OBJECT_0) {
            TerminateProcess(info_.hProcess, 1);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
        info_ = {};
    }
    HANDLE Handle() const { return info_.hProcess; }
    DWORD Id() const { return info_.dwProcessId; }
    double startedAt = 0;

private:
    PROCESS_INFORMATION info_{};
};

// Start-up: from process creation until it waits for input with its main window shown.
bool OpenWindowProgram(Process& p, const std::wstring& exe, const wchar_t* className, HWND& main, double& startupMs) {
    if (!p.Start(exe, L"")) {
        return false;
    }
    WaitForInputIdle(p.Handle(), 30000);
    main = nullptr;
    WaitFor([&] { return (main = FindTopLevel(p.Id(), className)) != nullptr; }, 30000);
    startupMs = NowMs() - p.startedAt;
    return main != nullptr;
}

void RemoveSettings() {
    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        std::error_code ec;
        std::filesystem::remove(std::filesystem::path(folder) / L"Kestro" / L"Refindor" / L"settings.ini", ec);
    }
}

void SetScenario(const wchar_t* scenario, long floodLines) {
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", scenario);
    SetEnvironmentVariableW(L"WINFR_SIM_FLOOD_LINES", std::to_wstring(floodLines).c_str());
    SetEnvironmentVariableW(L"WINFR_SIM_DELAY_MS", L"0");
}

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

struct Row {
    std::string figure, value, baseline, ratio, target, holds, note;
};

class Driver {
public:
    explicit Driver(Options options) : o_(std::move(options)) {}

    void Run() {
        std::filesystem::create_directories(o_.work);
        RemoveSettings();
        if (o_.Takes(L"startup")) {
            StartUps();
        }
        if (o_.Takes(L"flood")) {
            Floods();
        }
        if (o_.Takes(L"idle")) {
            Idle();
        }
        if (o_.Takes(L"size")) {
            Sizes();
        }
    }

    const std::vector<Row>& Rows() const { return rows_; }

private:
    // Opens Tarvask.exe, types the destination and clicks Start; returns the click time, the host
    // process and its CPU time just before the click.
    bool StartRun(Process& p, HWND& main, const std::wstring& destination, double& clickedAt, int& unixPid,
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

    void StartUps() {
        std::vector<double> program, window, programPeak, windowPeak;
        // The first start of each reads everything from disk; it is not counted.
        for (int i = -1; i < o_.startups; ++i) {
            {
                Process p;
                HWND main = nullptr;
                double ms = 0;
                if (OpenWindowProgram(p, o_.window, kMinimalClass, main, ms) && i >= 0) {
                    window.push_back(ms);
                    windowPeak.push_back(PeakWorkingSetMb(p.Handle()));
                }
                p.End(main);
            }
            {
                RemoveSettings();
                Process p;
                HWND main = nullptr;
                double ms = 0;
                if (OpenWindowProgram(p, o_.program, kMainClass, main, ms) && i >= 0) {
                    program.push_back(ms);
                    programPeak.push_back(PeakWorkingSetMb(p.Handle()));
                }
                p.End(main);
            }
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

    void Floods() {
        std::vector<double> program, baseline, latencies, cpu, peak;
        std::string failure;
        for (int i = 0; i < o_.runs && failure.empty(); ++i) {
            double ms = 0;
            if (!BaselineFlood(i, ms, failure)) {
                break;
            }
            baseline.push_back(ms);
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
        const std::string cpuText = !cpu.empty() && Median(cpu) >= 0 ? Fixed(Median(cpu), 0) + " ms" : "not read";
        if (!failure.empty() || program.empty()) {
            rows_.push_back(
                {"Flood, Start to dialog closed", "failed", "-", "-", "<= " + Fixed(kFloodRatio, 2), "no", failure});
            return;
        }
        const double ratio = MedianRatio(program, baseline);
        std::string why;
        if (ratio > kFloodRatio) {
            const double bar = BarStepsMs();
            why = "; 1000 steps of a progress bar (one per per-mille, as the dialog moves it) take " + Fixed(bar, 0) +
                  " ms to draw here, measured in the driver; the simulator needs the same 2 cores meanwhile";
        }
        rows_.push_back(
            {"Flood of " + lines + ", Start to dialog closed", Fixed(Median(program), 0) + " ms",
             "pipe only " + Fixed(Median(baseline), 0) + " ms", Fixed(ratio, 2), "<= " + Fixed(kFloodRatio, 2),
             ratio <= kFloodRatio ? "yes" : "no",
             "medians of " + std::to_string(program.size()) +
                 " runs each, alternating; ratio: median of the pairs' ratios; CPU time of Tarvask.exe from "
                 "Start to the dialog closing " +
                 cpuText + why});
        const double p99 = Percentile(latencies, 0.99);
        const double worst = latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end());
        rows_.push_back({"Dialog WM_NULL round trip during the flood, p99", Fixed(p99, 1) + " ms", "-", "-",
                         "< " + Fixed(kLatencyP99Ms, 0) + " ms",
                         !latencies.empty() && p99 < kLatencyP99Ms ? "yes" : "no",
                         std::to_string(latencies.size()) + " samples every 10 ms, median " +
                             Fixed(Median(latencies), 1) + " ms, worst " + Fixed(worst, 1) + " ms"});
        const double peakMb = *std::max_element(peak.begin(), peak.end());
        const double minimalMb = MinimalPeakMb();
        const double beyondMb = peakMb - minimalMb;
        std::string note = "Tarvask.exe " + Fixed(peakMb, 1) + " MB at its peak" +
                           (idlePeakMb_ > 0 ? ", " + Fixed(idlePeakMb_, 1) + " MB after start-up" : std::string()) +
                           "; under Wine a working set counts Wine's own libraries, which the minimal window maps too";
        rows_.push_back({"Peak working set during the flood, beyond the minimal window", Fixed(beyondMb, 1) + " MB",
                         "minimal window " + Fixed(minimalMb, 1) + " MB", "-",
                         "<= " + Fixed(kBeyondMinimalMb, 0) + " MB",
                         minimalMb > 0 && beyondMb <= kBeyondMinimalMb ? "yes" : "no", note});
    }

    // The minimal window's peak working set once it waits for input: from the start-ups, or from
    // starts of its own when they were not measured.
    double MinimalPeakMb() {
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

    bool BaselineFlood(int run, double& ms, std::string& failure) {
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
        const bool read = in != nullptr && std::fscanf(in, "%lf %llu %lu", &ms, &bytes, &exitCode) == 3;
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

    struct FloodResult {
        double ms = 0;
        std::vector<double> latencies;
        double cpuMs = 0;
        double peakMb = 0;
    };

    bool ProgramFlood(int run, FloodResult& r, std::string& failure) {
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
        std::atomic<bool> stop{false};
        std::vector<double>& latencies = r.latencies;
        std::thread sampler([&] {
            while (!stop.load()) {
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
        });
        // Any box the run shows is answered at once; the completed one must report every file.
        std::string boxText;
        std::map<HWND, bool> answered;
        const bool closed = WaitFor(
            [&] {
                if (HWND box = FindTopLevel(p.Id(), L"#32770", kTitle); box != nullptr && !answered[box]) {
                    wchar_t text[1024] = {};
                    GetDlgItemTextW(box, 0xFFFF, text, 1024);
                    boxText += (boxText.empty() ? "" : " | ") + Narrow(text);
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
                    answered[box] = true;
                }
                return !IsWindow(dialog) || !IsWindowVisible(dialog);
            },
            180000, 10);
        r.ms = NowMs() - clickedAt;
        stop = true;
        sampler.join();
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
        std::printf("flood %d: Tarvask %.0f ms, %zu samples, cpu %.0f ms, peak %.1f MB\n", run, r.ms,
                    r.latencies.size(), r.cpuMs, r.peakMb);
        std::fflush(stdout);
        return true;
    }

    void Idle() {
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

    void Sizes() {
        const double program = FileKb(o_.program);
        const double window = FileKb(o_.window);
        rows_.push_back({"Size of Tarvask.exe", Fixed(program, 0) + " KB", "minimal window " + Fixed(window, 0) + " KB",
                         window > 0 ? Fixed(program / window, 1) : "-", "-", "-",
                         "information: one file, static runtime, artwork compiled in"});
    }

    Options o_;
    std::vector<Row> rows_;
    double minimalPeakMb_ = 0;
    double idlePeakMb_ = 0;
};

bool ParseOptions(Options& o) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) {
        return false;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring name = argv[i];
        const std::wstring value = argv[i + 1];
        if (name == L"--program") {
            o.program = value;
        } else if (name == L"--tool") {
            o.tool = value;
        } else if (name == L"--baseline") {
            o.baseline = value;
        } else if (name == L"--window") {
            o.window = value;
        } else if (name == L"--work") {
            o.work = value;
        } else if (name == L"--out") {
            o.out = value;
        } else if (name == L"--runs") {
            o.runs = std::max(1, _wtoi(value.c_str()));
        } else if (name == L"--startups") {
            o.startups = std::max(1, _wtoi(value.c_str()));
        } else if (name == L"--idle-seconds") {
            o.idleSeconds = std::max(1, _wtoi(value.c_str()));
        } else if (name == L"--only") {
            o.only = value;
        } else if (name == L"--flood-lines") {
            o.floodLines = std::max(1L, static_cast<long>(_wtoi(value.c_str())));
        } else {
            LocalFree(argv);
            return false;
        }
    }
    LocalFree(argv);
    return !o.program.empty() && !o.tool.empty() && !o.baseline.empty() && !o.window.empty() && !o.work.empty() &&
           !o.out.empty();
}

} // namespace

int wmain() {
    Options options;
    if (!ParseOptions(options)) {
        std::fprintf(stderr, "usage: bench-driver --program EXE --tool EXE --baseline EXE --window EXE --work FOLDER "
                             "--out FILE [--runs N] [--startups N] [--idle-seconds N] [--flood-lines N] "
                             "[--only startup,flood,idle,size]\n");
        return 2;
    }
    Driver driver(options);
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
