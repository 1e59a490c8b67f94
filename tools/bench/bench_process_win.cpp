#include "bench_driver_win.h"

#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace benchdriver {

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

namespace {

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
    if (lstrcmpiW(name, search->className) == 0 && (search->text == nullptr || lstrcmpW(text, search->text) == 0)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
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

} // namespace

HWND FindTopLevel(DWORD process, const wchar_t* className, const wchar_t* title) {
    TopLevelSearch search{process, className, title};
    EnumWindows(FindTopLevelProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindChild(HWND parent, const wchar_t* className, const wchar_t* text) {
    ChildSearch search{className, text};
    EnumChildWindows(parent, FindChildProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

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

namespace {

double WorkingSetOf(HANDLE process, bool peak) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, &counters, sizeof(counters))) {
        return -1;
    }
    return static_cast<double>(peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize) / (1024.0 * 1024.0);
}

} // namespace

double PeakWorkingSetMb(HANDLE process) {
    return WorkingSetOf(process, true);
}

double WorkingSetMb(HANDLE process) {
    return WorkingSetOf(process, false);
}

double FileKb(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return static_cast<double>((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) /
           1024.0;
}

bool Process::Start(const std::wstring& exe, const std::wstring& arguments) {
    std::wstring line = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    const std::wstring folder = std::filesystem::path(exe).parent_path().wstring();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startedAt = NowMs();
    return CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                          &info_) != FALSE;
}

void Process::End(HWND main) {
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

} // namespace benchdriver
