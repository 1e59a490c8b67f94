// winfr-sim: a stand-in for Microsoft's Windows File Recovery (winfr) that the tests and the demo
// put beside Tarvask.exe as winfr.exe. It accepts the tool's command line, plays a scenario
// (scenario.cpp describes the script language) writing UTF-16LE to standard output like the real
// tool, and creates the files it reports under destination\Recovery_YYYYMMDD_HHMMSS.
//
// Environment:
//   WINFR_SIM_SCENARIO       name of a built-in scenario (default quick)
//   WINFR_SIM_SCENARIO_FILE  a script file; wins over WINFR_SIM_SCENARIO
//   WINFR_SIM_DELAY_MS       pause after each line in ms, for every line (0 for tests)
//   WINFR_SIM_FILES          count for every "files" directive
//   WINFR_SIM_FLOOD_LINES    count for "flood" without a count (default 200000)
//   WINFR_SIM_RECORD         file that receives the command line and the parsed arguments
//   WINFR_SIM_RUNS           file to which every run adds one line: its own program file, a tab,
//                            and "console window" or "no console window"
//
// Exit codes: the scenario's (0 by default); 1 for a bad command line or scenario; 2 when the
// destination is on the source drive; 0xC0000005 (or what the script says) for a crash.
#include <windows.h>
#include <shellapi.h>

#include <cwctype>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "scenario.h"
#include "sim_io_win.h"

namespace {

using winfrsim::Directive;
using winfrsim::Env;
using winfrsim::EnvNumber;
using winfrsim::FromUtf8;
using winfrsim::kExitUsage;
using winfrsim::Op;
using winfrsim::Output;
using winfrsim::ReadWholeFile;
using winfrsim::ToUtf8;
using winfrsim::WriteWholeFile;

constexpr int kExitSameVolume = 2;
constexpr std::int64_t kDefaultFloodLines = 200000;
constexpr std::int64_t kFloodFilesWritten = 10;

const wchar_t kUsage[] = L"Usage: winfr source-drive: destination-folder [/regular] [/extensive] [/n filter]... "
                         L"[/o:a|n|b] [/a] [/e[:extensions]] [/k] [/u] [/g]";

struct Options {
    std::wstring source;      // "D:"
    std::wstring destination; // as given
    bool regular = false;
    bool extensive = false;
    std::vector<std::wstring> filters;
    wchar_t overwrite = L'p';
    std::wstring extensions;
};

bool SameTextIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i])) {
            return false;
        }
    }
    return true;
}

// The switches without a value that change nothing the simulator plays: /a (accept), /u (undeleted
// files too), /k (system files), /g (files without their primary data stream).
bool IsPlainSwitch(std::wstring_view sw) {
    for (const wchar_t* plain : {L"/a", L"/u", L"/k", L"/g"}) {
        if (SameTextIgnoringCase(sw, plain)) {
            return true;
        }
    }
    return false;
}

// One switch, args[i], into options (/n takes the next argument too); false with problem set for
// a switch the tool does not know or one without its value.
bool ParseSwitch(const std::vector<std::wstring>& args, std::size_t& i, Options& options, std::wstring& problem) {
    const std::wstring_view sw = args[i];
    if (SameTextIgnoringCase(sw, L"/regular")) {
        options.regular = true;
    } else if (SameTextIgnoringCase(sw, L"/extensive")) {
        options.extensive = true;
    } else if (SameTextIgnoringCase(sw, L"/n")) {
        if (i + 1 >= args.size()) {
            problem = L"The /n switch needs a filter.";
            return false;
        }
        options.filters.push_back(args[++i]);
    } else if (sw.size() == 4 && SameTextIgnoringCase(sw.substr(0, 3), L"/o:") &&
               std::wstring_view(L"anbANB").find(sw[3]) != std::wstring_view::npos) {
        options.overwrite = static_cast<wchar_t>(std::towlower(sw[3]));
    } else if (IsPlainSwitch(sw)) {
    } else if (SameTextIgnoringCase(sw, L"/e") || (sw.size() > 3 && SameTextIgnoringCase(sw.substr(0, 3), L"/e:"))) {
        options.extensions = sw.size() > 3 ? std::wstring(sw.substr(3)) : std::wstring();
    } else {
        problem = L"Unknown switch: " + args[i];
        return false;
    }
    return true;
}

// A drive letter and a colon, as the tool takes its source, with a backslash or without.
bool IsDriveArgument(const std::wstring& source) {
    const bool letter = !source.empty() && std::iswalpha(source[0]) && source[0] < 128;
    return letter && source.size() >= 2 && source[1] == L':' && source.size() <= 3 &&
           (source.size() != 3 || source[2] == L'\\');
}

bool ParseArguments(const std::vector<std::wstring>& args, Options& options, std::wstring& problem) {
    std::vector<std::wstring> positional;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i].empty() || args[i][0] != L'/') {
            positional.push_back(args[i]);
        } else if (!ParseSwitch(args, i, options, problem)) {
            return false;
        }
    }
    if (positional.size() < 2) {
        problem = positional.empty() ? L"The source drive is missing." : L"The destination folder is missing.";
        return false;
    }
    if (positional.size() > 2) {
        problem = L"Unexpected argument: " + positional[2];
        return false;
    }
    const std::wstring& source = positional[0];
    if (!IsDriveArgument(source)) {
        problem = L"The source must be a drive letter followed by a colon, such as C:, not " + source;
        return false;
    }
    options.source = source.substr(0, 2);
    options.destination = positional[1];
    return true;
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return path;
    }
    std::wstring full(needed, L'\0');
    const DWORD got = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    full.resize(got < needed ? got : 0);
    // A root keeps its backslash; any other folder loses a trailing one.
    while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) {
        full.pop_back();
    }
    return full;
}

// The source drive and the destination are compared as volumes where the system can name them
// (a folder can be a mount point of another volume), and by drive letter otherwise.
bool OnSameVolume(const std::wstring& sourceDrive, const std::wstring& destinationFull) {
    const std::wstring sourceRoot = sourceDrive + L"\\";
    std::wstring destinationRoot(MAX_PATH + 1, L'\0');
    if (GetVolumePathNameW(destinationFull.c_str(), destinationRoot.data(), MAX_PATH + 1)) {
        destinationRoot.resize(wcslen(destinationRoot.c_str()));
    } else {
        destinationRoot = destinationFull.substr(0, 3);
    }
    wchar_t sourceVolume[64] = {};
    wchar_t destinationVolume[64] = {};
    if (GetVolumeNameForVolumeMountPointW(sourceRoot.c_str(), sourceVolume, 64) &&
        GetVolumeNameForVolumeMountPointW(destinationRoot.c_str(), destinationVolume, 64)) {
        return SameTextIgnoringCase(sourceVolume, destinationVolume);
    }
    return destinationRoot.size() >= 2 && destinationRoot[1] == L':' &&
           std::towupper(destinationRoot[0]) == std::towupper(sourceRoot[0]);
}

std::wstring RecoveryFolderName() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t name[40];
    swprintf(name, 40, L"Recovery_%04u%02u%02u_%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    return name;
}

void Record(const wchar_t* commandLine, const std::vector<std::wstring>& args) {
    const auto path = Env(L"WINFR_SIM_RECORD");
    if (!path || path->empty()) {
        return;
    }
    std::string text = ToUtf8(commandLine) + "\n";
    for (const auto& arg : args) {
        text += ToUtf8(arg) + "\n";
    }
    WriteWholeFile(*path, text);
}

// Which copy ran, and whether it was given a console window (a hidden one is still a window).
void RecordRun() {
    const auto path = Env(L"WINFR_SIM_RUNS");
    if (!path || path->empty()) {
        return;
    }
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    const std::string line =
        ToUtf8(self) + (GetConsoleWindow() != nullptr ? "\tconsole window\n" : "\tno console window\n");
    const HANDLE file = CreateFileW(path->c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

class Player {
public:
    Player(Output& out, const Options& options, std::wstring destinationFull)
        : out_(out), options_(options), destination_(std::move(destinationFull)) {
        const bool root = destination_.size() == 3 && destination_[1] == L':';
        recovery_ = destination_ + (root ? L"" : L"\\") + RecoveryFolderName();
    }

    int Play(const winfrsim::Script& script) {
        filesOverride_ = EnvNumber(L"WINFR_SIM_FILES");
        total_ = 0;
        for (const Directive& d : script.directives) {
            total_ += d.op == Op::File ? 1 : d.op == Op::Files ? filesOverride_.value_or(d.a) : 0;
        }
        for (const Directive& d : script.directives) {
            if (const std::optional<int> exitCode = Step(d)) {
                return *exitCode;
            }
        }
        return 0;
    }

private:
    // Plays one directive; the exit code when it ends the run.
    std::optional<int> Step(const Directive& d) {
        switch (d.op) {
        case Op::Exit:
            return static_cast<int>(static_cast<DWORD>(d.a));
        case Op::Hang:
            for (;;) {
                Sleep(INFINITE);
            }
        case Op::Crash:
            TerminateProcess(GetCurrentProcess(), static_cast<DWORD>(d.a));
            return static_cast<int>(static_cast<DWORD>(d.a));
        default:
            if (!Shape(d)) {
                Report(d);
            }
            return std::nullopt;
        }
    }

    // The directives that write text or shape how it is written (encoding, pieces, pace); false for
    // the others.
    bool Shape(const Directive& d) {
        switch (d.op) {
        case Op::Header:
            Header();
            return true;
        case Op::Line:
            out_.Line(Expand(d.text));
            return true;
        case Op::Raw:
            out_.Text(Expand(d.text));
            out_.Pause();
            return true;
        case Op::Bytes:
            out_.Bytes(d.bytes);
            return true;
        case Op::Utf16:
            out_.SetUtf16(d.a != 0, static_cast<UINT>(d.b));
            return true;
        case Op::Split:
            out_.SetSplit(static_cast<std::size_t>(d.a));
            return true;
        case Op::Delay:
            out_.SetDelay(static_cast<DWORD>(d.a), static_cast<DWORD>(d.b));
            return true;
        case Op::Sleep:
            Sleep(static_cast<DWORD>(d.a));
            return true;
        default:
            return false;
        }
    }

    // The directives that report the scan's progress and the files recovered.
    void Report(const Directive& d) {
        switch (d.op) {
        case Op::Scan:
            Scan(d.a, d.b, d.c, d.flag);
            break;
        case Op::Total:
            total_ = d.a;
            break;
        case Op::File:
            Recover(Expand(d.text));
            break;
        case Op::Files:
            for (std::int64_t i = 0, n = filesOverride_.value_or(d.a); i < n; ++i) {
                Recover(winfrsim::GeneratedName(options_.filters, generated_++));
            }
            break;
        case Op::Flood:
            Flood(d.flag ? d.a : EnvNumber(L"WINFR_SIM_FLOOD_LINES").value_or(kDefaultFloodLines));
            break;
        default:
            break;
        }
    }

    std::wstring Expand(std::wstring text) const {
        winfrsim::ReplaceAll(text, L"{source}", options_.source);
        winfrsim::ReplaceAll(text, L"{destination}", destination_);
        winfrsim::ReplaceAll(text, L"{recovery}", recovery_);
        return text;
    }

    void Header() {
        // The banner comes out at once, as one block; the pause follows it.
        const auto line = [&](std::wstring_view text) { out_.Text(std::wstring(text) + L"\r\n"); };
        line(L"");
        line(L"Windows File Recovery");
        line(L"Copyright (c) Microsoft Corporation. All rights reserved");
        line(L"Version:            0.1.20151.0 (winfr-sim, a stand-in for tests and demonstrations)");
        line(L"");
        line(L"");
        line(L"Source drive:       " + options_.source);
        line(L"Destination folder: " + recovery_);
        for (const auto& filter : options_.filters) {
            line(L"Filter:             " + filter);
        }
        if (!options_.extensions.empty()) {
            line(L"Excluded types:     " + options_.extensions);
        }
        line(L"");
        line(L"Sector count:       0x00000000076e0000");
        line(L"Cluster size:       0x00001000");
        line(L"Sector size:        0x00000200");
        const wchar_t* overwrite = options_.overwrite == L'a'   ? L"Always"
                                   : options_.overwrite == L'n' ? L"Never"
                                   : options_.overwrite == L'b' ? L"Keep both"
                                                                : L"Prompt";
        line(std::wstring(L"Overwrite:          ") + overwrite);
        const wchar_t* mode = options_.regular && options_.extensive ? L"Regular, Extensive"
                              : options_.extensive                   ? L"Extensive"
                                                                     : L"Regular";
        line(std::wstring(L"Mode:               ") + mode);
        line(L"");
        line(L"");
        out_.Pause();
    }

    void Scan(std::int64_t from, std::int64_t to, std::int64_t step, bool crOnly) {
        const wchar_t* end = crOnly ? L"\r" : L"\r\n";
        std::int64_t last = from - 1;
        for (std::int64_t v = from; v <= to; v += step) {
            out_.Line(L"Scanning disk: " + std::to_wstring(v) + L"%", end);
            last = v;
        }
        if (last != to && from <= to) {
            out_.Line(L"Scanning disk: " + std::to_wstring(to) + L"%", end);
        }
    }

    std::wstring FilesLine(std::int64_t recovered, std::int64_t total, const std::wstring& path) const {
        return L"Files recovered: " + std::to_wstring(recovered) + L", total files: " + std::to_wstring(total) +
               L", current filename: " + path;
    }

    std::wstring WriteRecoveredFile(const std::wstring& relative) {
        const std::wstring safe = winfrsim::SafeRelativePath(relative);
        const std::wstring path = recovery_ + L"\\" + (safe.empty() ? std::wstring(L"file") : safe);
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
        WriteWholeFile(path, "Recovered by winfr-sim: " + ToUtf8(safe) + "\r\n");
        return path;
    }

    void Recover(const std::wstring& relative) {
        const std::wstring path = WriteRecoveredFile(relative);
        ++recovered_;
        out_.Line(FilesLine(recovered_, total_ > recovered_ ? total_ : recovered_, path));
    }

    void Flood(std::int64_t count) {
        std::wstring chunk;
        for (std::int64_t i = 0; i < count; ++i) {
            const std::wstring name = winfrsim::GeneratedName(options_.filters, i);
            const std::wstring path = i < kFloodFilesWritten ? WriteRecoveredFile(name)
                                                             : recovery_ + L"\\" + winfrsim::SafeRelativePath(name);
            chunk += FilesLine(i + 1, count, path);
            chunk += L"\r\n";
            if (chunk.size() >= 32 * 1024) {
                out_.Text(chunk);
                chunk.clear();
            }
        }
        out_.Text(chunk);
    }

    Output& out_;
    const Options& options_;
    std::wstring destination_;
    std::wstring recovery_;
    std::int64_t total_ = 0;
    std::int64_t recovered_ = 0;
    std::int64_t generated_ = 0;
    std::optional<std::int64_t> filesOverride_;
};

int Fail(Output& out, const std::wstring& message, int code, bool usage) {
    out.Text(message + L"\r\n");
    if (usage) {
        out.Text(std::wstring(kUsage) + L"\r\n");
    }
    return code;
}

} // namespace

int wmain() {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    const wchar_t* commandLine = GetCommandLineW();
    std::vector<std::wstring> args;
    int argc = 0;
    if (LPWSTR* argv = CommandLineToArgvW(commandLine, &argc)) {
        args.assign(argv, argv + argc);
        LocalFree(argv);
    }
    Record(commandLine, args);
    RecordRun();

    Output out;
    Options options;
    std::wstring problem;
    if (!ParseArguments(args, options, problem)) {
        return Fail(out, problem, kExitUsage, true);
    }

    std::string scriptText;
    if (const auto file = Env(L"WINFR_SIM_SCENARIO_FILE"); file && !file->empty()) {
        if (!ReadWholeFile(*file, scriptText)) {
            return Fail(out, L"winfr-sim: cannot read the scenario file " + *file, kExitUsage, false);
        }
    } else {
        std::wstring name = Env(L"WINFR_SIM_SCENARIO").value_or(L"");
        if (name.empty()) {
            name = L"quick";
        }
        const char* builtIn = winfrsim::BuiltInScenario(ToUtf8(name));
        if (builtIn == nullptr) {
            return Fail(out,
                        L"winfr-sim: unknown scenario " + name + L" (known: " +
                            FromUtf8(winfrsim::BuiltInScenarioNames()) + L")",
                        kExitUsage, false);
        }
        scriptText = builtIn;
    }
    std::string error;
    const auto script = winfrsim::ParseScript(scriptText, error);
    if (!script) {
        return Fail(out, L"winfr-sim: scenario " + FromUtf8(error), kExitUsage, false);
    }

    const std::wstring destination = FullPath(options.destination);
    if (OnSameVolume(options.source, destination)) {
        return Fail(out,
                    L"The destination folder " + destination + L" is on the source drive " + options.source +
                        L". Please choose a destination on another drive.",
                    kExitSameVolume, false);
    }

    Player player(out, options, destination);
    return player.Play(*script);
}
