// The floor for a run of the tool: the tool started with its output redirected into one
// anonymous pipe (64 KB, as the program's runner makes it), a polling thread that peeks, reads
// what is waiting into a fresh buffer and throws it away, and waits on the process handle when
// the pipe is quiet (1 ms at first, doubled up to 200 ms, as the program's runner waits). No
// window, no interpretation, no synchronous call onto another thread: whatever the program takes
// beyond this is its own cost.
//
// Usage: bench-pipe-baseline.exe RESULT_FILE TOOL_EXE [TOOL ARGUMENTS...]
// Writes "<milliseconds> <bytes read> <tool exit code> <own CPU ms>" to RESULT_FILE, the time
// counted from the creation of the pipe to the moment the tool has exited and its output is
// drained.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Run {
    HANDLE pipe = nullptr;
    HANDLE process = nullptr;
    unsigned long long bytes = 0;
};

std::wstring Quoted(const std::wstring& s) {
    if (!s.empty() && s.find_first_of(L" \t\"") == std::wstring::npos) {
        return s;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : s) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

bool Poll(Run& run) {
    DWORD available = 0;
    if (!PeekNamedPipe(run.pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) {
        return false;
    }
    std::vector<unsigned char> buffer(available);
    DWORD read = 0;
    if (ReadFile(run.pipe, buffer.data(), available, &read, nullptr)) {
        run.bytes += read;
    }
    return true;
}

DWORD WINAPI PollingThread(void* param) {
    Run& run = *static_cast<Run*>(param);
    DWORD waitMs = 1;
    for (;;) {
        if (Poll(run)) {
            waitMs = 1;
            continue;
        }
        if (WaitForSingleObject(run.process, waitMs) == WAIT_OBJECT_0) {
            while (Poll(run)) {
            }
            return 0;
        }
        waitMs = std::min<DWORD>(waitMs * 2, 200);
    }
}

// The tool's command line as the program's runner makes it: winfr and the arguments after
// RESULT_FILE and TOOL_EXE, each quoted where it needs to be.
std::wstring ToolCommandLine(LPWSTR* argv, int argc) {
    std::wstring commandLine = L"winfr";
    for (int i = 3; i < argc; ++i) {
        commandLine += L" " + Quoted(argv[i]);
    }
    return commandLine;
}

// Starts the tool hidden, with its output and errors into the pipe's write end.
bool StartTool(const std::wstring& tool, std::wstring& commandLine, HANDLE writeEnd, PROCESS_INFORMATION& info) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    if (!CreateProcessW(tool.c_str(), commandLine.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                        nullptr, &startup, &info)) {
        std::fprintf(stderr, "cannot start the tool (error %lu)\n", GetLastError());
        return false;
    }
    return true;
}

// This process's own user and kernel time in ms (the driver cannot ask for it from outside under
// Wine, and the process is gone by the time it reads the result).
double OwnCpuMs() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return -1;
    }
    const auto ticks = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 10000.0;
}

bool WriteResult(const std::wstring& resultFile, double ms, unsigned long long bytes, DWORD exitCode) {
    FILE* out = _wfopen(resultFile.c_str(), L"w");
    if (out == nullptr) {
        return false;
    }
    std::fprintf(out, "%.3f %llu %lu %.1f\n", ms, bytes, exitCode, OwnCpuMs());
    std::fclose(out);
    return true;
}

} // namespace

int wmain() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 3) {
        std::fprintf(stderr, "usage: bench-pipe-baseline RESULT_FILE TOOL_EXE [ARGUMENTS...]\n");
        return 2;
    }
    const std::wstring resultFile = argv[1];
    const std::wstring tool = argv[2];
    std::wstring commandLine = ToolCommandLine(argv, argc);
    LocalFree(argv);

    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);

    SECURITY_ATTRIBUTES attributes{sizeof(attributes), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    // The same size as the program's runner gives its pipe.
    if (!CreatePipe(&readEnd, &writeEnd, &attributes, 64 * 1024)) {
        return 3;
    }
    // The read end stays in this program only.
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    PROCESS_INFORMATION info{};
    if (!StartTool(tool, commandLine, writeEnd, info)) {
        return 4;
    }
    CloseHandle(info.hThread);

    Run run{readEnd, info.hProcess, 0};
    HANDLE thread = CreateThread(nullptr, 0, PollingThread, &run, 0, nullptr);
    if (thread == nullptr) {
        TerminateProcess(info.hProcess, 1);
        return 5;
    }
    WaitForSingleObject(thread, INFINITE);
    QueryPerformanceCounter(&end);
    CloseHandle(thread);

    DWORD exitCode = 0;
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hProcess);
    CloseHandle(readEnd);
    CloseHandle(writeEnd);

    const double ms =
        static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    return WriteResult(resultFile, ms, run.bytes, exitCode) ? 0 : 6;
}
