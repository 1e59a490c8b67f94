// The tool simulator, started through a pipe the way the runner starts the real tool, and its
// output read back through the output interpreter.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "common/recorded_event.h"
#include "platform/winstr_win.h"
#include "runner/decoder.h"
#include "runner/interpreter.h"
#include "support/wine_helpers.h"

using namespace kestro;
using namespace kestro::testing;
using kestro::testing_win::TempDir;
namespace fs = std::filesystem;

namespace {

using Event = RecordedEvent;

class CollectingSink : public ProgressEventSink {
public:
    std::vector<Event> events;
    void Post(std::unique_ptr<ProgressEvent> event) override { events.push_back(Record(*event)); }
};

struct SimRun {
    DWORD exitCode = 0;
    bool wasRunning = false; // still running when its output had gone quiet (then killed)
    std::vector<unsigned char> output;
    std::vector<Event> events;
    std::vector<Event> recovering; // the files-recovered events only
};

struct SimStart {
    std::wstring arguments;
    std::vector<std::pair<std::wstring, std::wstring>> environment;
    DWORD readSize = 65536;
    bool expectHang = false;
    std::function<std::string(std::string_view)> narrowDecoder;
};

SimStart Start(std::wstring arguments, std::vector<std::pair<std::wstring, std::wstring>> environment) {
    SimStart start;
    start.arguments = std::move(arguments);
    start.environment = std::move(environment);
    return start;
}

fs::path SimPath() {
    return kestro::testing_win::ExeFolder() / L"winfr-sim.exe";
}

std::wstring Quoted(const std::wstring& s) {
    return L"\"" + s + L"\"";
}

// The current environment with the simulator's variables replaced by the given ones.
std::wstring EnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& extra) {
    std::wstring block;
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* p = strings; *p != L'\0'; p += wcslen(p) + 1) {
            const std::wstring entry = p;
            if (_wcsnicmp(entry.c_str(), L"WINFR_SIM_", 10) != 0) {
                block += entry;
                block.push_back(L'\0');
            }
        }
        FreeEnvironmentStringsW(strings);
    }
    for (const auto& [name, value] : extra) {
        block += name + L"=" + value;
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

// The simulator started with its output into a pipe of which this program keeps the read end.
struct SimProcess {
    HANDLE readEnd = nullptr;
    PROCESS_INFORMATION info{};
};

bool StartSimProcess(const SimStart& start, SimProcess& sim) {
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&sim.readEnd, &writeEnd, &sa, 0)) {
        ADD_FAILURE() << "CreatePipe " << GetLastError();
        return false;
    }
    SetHandleInformation(sim.readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    std::wstring commandLine = Quoted(SimPath().wstring()) + L" " + start.arguments;
    std::wstring environment = EnvironmentBlock(start.environment);
    const BOOL created =
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(), nullptr, &si, &sim.info);
    const DWORD createError = GetLastError();
    CloseHandle(writeEnd);
    if (!created) {
        CloseHandle(sim.readEnd);
        ADD_FAILURE() << "cannot start " << SimPath() << ": " << createError;
        return false;
    }
    return true;
}

// Reads the simulator's output into the run and the interpreter until the simulator ends. One that
// is expected to hang is ended once its output has gone quiet; one still running after a minute
// fails the test.
void ReadUntilEnd(const SimStart& start, const SimProcess& sim, OutputInterpreter& interpreter, SimRun& run) {
    std::vector<unsigned char> buffer(start.readSize);
    const ULONGLONG deadline = GetTickCount64() + 60000;
    ULONGLONG lastData = GetTickCount64();
    for (;;) {
        DWORD available = 0;
        if (PeekNamedPipe(sim.readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            DWORD got = 0;
            if (ReadFile(sim.readEnd, buffer.data(), std::min<DWORD>(available, start.readSize), &got, nullptr) &&
                got > 0) {
                run.output.insert(run.output.end(), buffer.data(), buffer.data() + got);
                interpreter.Feed(buffer.data(), got);
                lastData = GetTickCount64();
            }
            continue;
        }
        if (WaitForSingleObject(sim.info.hProcess, 0) == WAIT_OBJECT_0) {
            // Drain what was written just before the end.
            if (PeekNamedPipe(sim.readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
                continue;
            }
            break;
        }
        const ULONGLONG now = GetTickCount64();
        if (start.expectHang && !run.output.empty() && now - lastData > 700) {
            run.wasRunning = true;
            TerminateProcess(sim.info.hProcess, 99);
            WaitForSingleObject(sim.info.hProcess, 5000);
            break;
        }
        if (now > deadline) {
            ADD_FAILURE() << "the simulator did not finish";
            TerminateProcess(sim.info.hProcess, 98);
            WaitForSingleObject(sim.info.hProcess, 5000);
            break;
        }
        Sleep(5);
    }
}

SimRun RunSim(const SimStart& start) {
    SimRun run;
    SimProcess sim;
    if (!StartSimProcess(start, sim)) {
        return run;
    }
    CollectingSink sink;
    OutputInterpreter interpreter(sink);
    if (start.narrowDecoder) {
        interpreter.SetNarrowDecoder(start.narrowDecoder);
    }
    ReadUntilEnd(start, sim, interpreter, run);
    interpreter.Flush();
    interpreter.PostFinished();
    GetExitCodeProcess(sim.info.hProcess, &run.exitCode);
    CloseHandle(sim.info.hProcess);
    CloseHandle(sim.info.hThread);
    CloseHandle(sim.readEnd);
    run.events = sink.events;
    for (const auto& e : run.events) {
        if (e.kind == EventKind::Progress && e.pass == RunPass::Recovering) {
            run.recovering.push_back(e);
        }
    }
    return run;
}

std::vector<std::pair<std::wstring, std::wstring>> Scenario(const wchar_t* name) {
    return {{L"WINFR_SIM_SCENARIO", name}, {L"WINFR_SIM_DELAY_MS", L"0"}};
}

std::vector<fs::path> RecoveryFolders(const fs::path& destination) {
    std::vector<fs::path> found;
    std::error_code ec;
    const std::wregex pattern(L"Recovery_[0-9]{8}_[0-9]{6}");
    for (const auto& entry : fs::directory_iterator(destination, ec)) {
        if (entry.is_directory() && std::regex_match(entry.path().filename().wstring(), pattern)) {
            found.push_back(entry.path());
        }
    }
    return found;
}

std::string Utf8(const fs::path& p) {
    return Narrow(p.wstring());
}

std::string OutputText(const SimRun& run) {
    std::wstring text(run.output.size() / 2, L'\0');
    memcpy(text.data(), run.output.data(), text.size() * 2);
    return Narrow(text);
}

int Count(const SimRun& run, EventKind kind) {
    return static_cast<int>(
        std::count_if(run.events.begin(), run.events.end(), [&](const Event& e) { return e.kind == kind; }));
}

// Every recovering event names a file that exists under the one Recovery folder, with the
// per-mille of its count among total files.
void ExpectRecoveredFiles(const SimRun& run, const fs::path& destination, std::int32_t count, std::int32_t total) {
    const auto folders = RecoveryFolders(destination);
    ASSERT_EQ(folders.size(), 1u);
    const std::string prefix = Utf8(folders[0]) + "\\";
    ASSERT_EQ(run.recovering.size(), static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < run.recovering.size(); ++i) {
        const Event& e = run.recovering[i];
        EXPECT_EQ(e.totalFiles, total);
        EXPECT_EQ(e.position, static_cast<std::int32_t>((i + 1) * 1000 / static_cast<std::size_t>(total)));
        EXPECT_EQ(e.currentFile.rfind(prefix, 0), 0u) << e.currentFile;
        EXPECT_TRUE(fs::is_regular_file(fs::path(Widen(e.currentFile)))) << e.currentFile;
    }
}

} // namespace

TEST(WinfrSim, QuickScanPlaysAWholeRecovery) {
    TempDir temp(L"winfr-sim");
    const fs::path destination = temp.Path() / L"Ziel Ordner";
    const SimRun run = RunSim(Start(L"D: " + Quoted(destination.wstring()) +
                                        L" /regular /extensive /o:b /a /e:*.mm1 /n *.docx /n \\Users\\Me\\Pictures\\",
                                    Scenario(L"quick")));
    EXPECT_EQ(run.exitCode, 0u);
    // UTF-16LE without a BOM, starting with an empty line as the real tool does.
    ASSERT_GE(run.output.size(), 4u);
    EXPECT_EQ(std::vector<unsigned char>(run.output.begin(), run.output.begin() + 4),
              (std::vector<unsigned char>{'\r', 0, '\n', 0}));
    const std::string text = OutputText(run);
    EXPECT_NE(text.find("Source drive:       D:\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Filter:             *.docx\r\n"), std::string::npos);
    EXPECT_NE(text.find("Mode:               Regular, Extensive\r\n"), std::string::npos);

    std::vector<Event> scanning;
    for (const auto& e : run.events) {
        if (e.pass == RunPass::Scanning) {
            scanning.push_back(e);
        }
    }
    ASSERT_EQ(scanning.size(), 21u);
    EXPECT_EQ(scanning.front().position, 0);
    EXPECT_EQ(scanning.back().position, 1000);
    EXPECT_EQ(Count(run, EventKind::Completed), 1);
    EXPECT_EQ(run.events.size(), 21u + 1u + 12u + 1u + 1u) << "nothing in the banner may act";
    EXPECT_EQ(run.events.back(), Finished(true));
    ExpectRecoveredFiles(run, destination, 12, 12);
    // The files follow the filters, one after the other.
    ASSERT_EQ(run.recovering.size(), 12u);
    EXPECT_TRUE(run.recovering[0].currentFile.ends_with(".docx")) << run.recovering[0].currentFile;
    EXPECT_NE(run.recovering[1].currentFile.find("\\Users\\Me\\Pictures\\"), std::string::npos)
        << run.recovering[1].currentFile;
}

std::string OemToUtf8(std::string_view bytes) {
    const int size = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), size, wide.data(), needed);
    return Narrow(wide);
}

TEST(WinfrSim, FileNamesSurviveTheWholeWay) {
    struct Case {
        const wchar_t* scenario;
        DWORD readSize; // small reads cut the output anywhere
        bool oem;
        std::vector<std::string> endings;
    };
    const Case cases[] = {
        {L"unicode",
         65536,
         false,
         {"\\Документы\\Отчёт о работе.docx", "\\文档\\报告 2024.pdf", "\\写真\\東京.jpg",
          "\\Photos\\\U0001F600 party \U0001F389.png", "\\Notes\\┌─ box ─┐.txt"}},
        {L"pieces",
         3,
         false,
         {"\\Photos\\\U0001F389 party.jpg", "\\Photos\\\U0001F600\U0001F600\U0001F600.png", ".docx", ".jpg", ".pdf",
          ".mp3", ".mp4", ".txt"}},
        {L"ansi", 65536, true, {"\\Café\\Résumé.docx", "\\Übersicht.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.scenario));
        TempDir temp(L"winfr-sim");
        SimStart start = Start(L"D: " + Quoted(temp.Path().wstring()) + L" /regular", Scenario(c.scenario));
        start.readSize = c.readSize;
        if (c.oem) {
            start.narrowDecoder = OemToUtf8;
        }
        const SimRun run = RunSim(start);
        EXPECT_EQ(run.exitCode, 0u);
        ASSERT_GE(run.output.size(), 4u);
        EXPECT_EQ(run.output[1] == 0, !c.oem) << "UTF-16LE unless 8-bit output was asked for";
        const auto count = static_cast<std::int32_t>(c.endings.size());
        ExpectRecoveredFiles(run, temp.Path(), count, count);
        for (std::size_t i = 0; i < run.recovering.size() && i < c.endings.size(); ++i) {
            EXPECT_TRUE(run.recovering[i].currentFile.ends_with(c.endings[i])) << run.recovering[i].currentFile;
        }
        EXPECT_EQ(Count(run, EventKind::Completed), 1) << "nothing cuts off what follows";
    }
}

TEST(WinfrSim, OutcomeScenarios) {
    struct Case {
        const wchar_t* scenario;
        DWORD exitCode;
        bool hangs;
        std::optional<EventKind> outcome; // the outcome event expected once
        bool progressSeen;                // told by the finished event
        bool recoveryFolder;
    };
    const Case cases[] = {
        {L"nothing", 0, false, EventKind::NothingFound, true, false},
        {L"admin", 5, false, EventKind::NeedsAdmin, false, false},
        {L"instant", 0, false, std::nullopt, false, false},
        {L"crash", 0xC0000005, false, std::nullopt, true, false},
        {L"midcrash", 0xC0000005, false, std::nullopt, true, true},
        {L"hang", 99, true, std::nullopt, true, false},
        {L"diskfull", 99, true, EventKind::DestinationFull, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.scenario));
        TempDir temp(L"winfr-sim");
        SimStart start =
            Start(L"D: " + Quoted(temp.Path().wstring()) + L" /regular /o:b /a /e:*.mm1", Scenario(c.scenario));
        start.expectHang = c.hangs;
        const SimRun run = RunSim(start);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.wasRunning, c.hangs);
        if (c.outcome) {
            EXPECT_EQ(Count(run, *c.outcome), 1);
        }
        EXPECT_EQ(Count(run, EventKind::AbortPrompt), 0);
        ASSERT_FALSE(run.events.empty());
        EXPECT_EQ(run.events.back(), Finished(c.progressSeen));
        EXPECT_EQ(RecoveryFolders(temp.Path()).size(), c.recoveryFolder ? 1u : 0u);
        if (std::wstring(c.scenario) == L"instant") {
            EXPECT_TRUE(run.output.empty());
        }
        if (std::wstring(c.scenario) == L"diskfull") {
            ExpectRecoveredFiles(run, temp.Path(), 3, 40);
        }
        if (std::wstring(c.scenario) == L"midcrash") {
            ExpectRecoveredFiles(run, temp.Path(), 5, 40);
        }
    }
}

TEST(WinfrSim, FloodsFilesRecoveredLines) {
    TempDir temp(L"winfr-sim");
    auto environment = Scenario(L"flood");
    environment.push_back({L"WINFR_SIM_FLOOD_LINES", L"20000"});
    const SimRun run = RunSim(Start(L"D: " + Quoted(temp.Path().wstring()) + L" /regular", environment));
    EXPECT_EQ(run.exitCode, 0u);

    struct Counter : LineReceiver {
        int files = 0;
        void Line(std::string_view line) override { files += line.starts_with("Files recovered: ") ? 1 : 0; }
    } counter;
    OutputDecoder decoder;
    decoder.Feed(run.output.data(), run.output.size(), counter);
    decoder.Flush(counter);
    EXPECT_EQ(counter.files, 20000);
    // One event per per-mille step, not per line.
    EXPECT_EQ(run.recovering.size(), 1000u);
    EXPECT_EQ(run.recovering.back().position, 1000);
    EXPECT_EQ(Count(run, EventKind::Completed), 1);
}

TEST(WinfrSim, RefusesBadCommandLines) {
    TempDir temp(L"winfr-sim");
    const std::wstring destination = Quoted(temp.Path().wstring());
    const std::wstring sameDrive = std::wstring(1, temp.Path().wstring()[0]);
    struct Case {
        std::wstring arguments;
        DWORD exitCode;
        const char* message;
    };
    const Case cases[] = {
        {L"", 1, "The source drive is missing."},
        {L"D:", 1, "The destination folder is missing."},
        {L"D: " + destination + L" /bogus", 1, "Unknown switch: /bogus"},
        {L"D: " + destination + L" /regular /n", 1, "The /n switch needs a filter."},
        {L"DD: " + destination, 1, "The source must be a drive letter"},
        {L"D: " + destination + L" extra", 1, "Unexpected argument: extra"},
        {sameDrive + L": " + destination + L" /regular", 2, "is on the source drive"},
        {sameDrive + L":\\ " + destination + L" /regular", 2, "is on the source drive"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.arguments));
        const SimRun run = RunSim(Start(c.arguments, Scenario(L"quick")));
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_NE(OutputText(run).find(c.message), std::string::npos) << OutputText(run);
        EXPECT_TRUE(RecoveryFolders(temp.Path()).empty());
        EXPECT_EQ(run.events.back(), Finished(false));
    }
    // A destination that is missing and refused is not created either.
    const fs::path missing = temp.Path() / L"never";
    RunSim(Start(sameDrive + L": " + Quoted(missing.wstring()), Scenario(L"quick")));
    EXPECT_FALSE(fs::exists(missing));
}

// The switches of the Advanced options, in either case, as the tool takes them.
TEST(WinfrSim, AcceptsTheSwitchesOfTheAdvancedOptions) {
    TempDir temp(L"winfr-sim");
    const std::wstring head = L"D: " + Quoted(temp.Path().wstring()) + L" /regular ";
    const struct {
        const wchar_t* switches;
        const char* overwrite;
    } cases[] = {
        {L"/o:n /a /e:*.mm1 /u /k /g /n *.jpg", "Never"},
        {L"/o:a /a /e:*.mm1 /g", "Always"},
        {L"/O:B /A /U /K /G", "Keep both"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.switches));
        const SimRun run = RunSim(Start(head + c.switches, Scenario(L"nothing")));
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_NE(OutputText(run).find(std::string("Overwrite:          ") + c.overwrite + "\r\n"), std::string::npos)
            << OutputText(run);
        EXPECT_EQ(Count(run, EventKind::NothingFound), 1);
    }
}

TEST(WinfrSim, RecordsTheCommandLineItReceived) {
    TempDir temp(L"winfr-sim");
    const fs::path record = temp.Path() / L"record.txt";
    const fs::path destination = temp.Path() / L"My Files";
    const std::wstring arguments = L"D: " + Quoted(destination.wstring()) +
                                   L" /extensive /o:b /a /e:*.mm1 /n \"\\Users\\Me\\My Docs\\*.txt\" /n *.jpg";
    auto environment = Scenario(L"instant");
    environment.push_back({L"WINFR_SIM_RECORD", record.wstring()});
    const SimRun run = RunSim(Start(arguments, environment));
    EXPECT_EQ(run.exitCode, 0u);

    std::ifstream file(record, std::ios::binary);
    ASSERT_TRUE(file) << Utf8(record);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    const std::vector<std::string> expected = {
        Narrow(Quoted(SimPath().wstring()) + L" " + arguments),
        Utf8(SimPath()),
        "D:",
        Utf8(destination),
        "/extensive",
        "/o:b",
        "/a",
        "/e:*.mm1",
        "/n",
        "\\Users\\Me\\My Docs\\*.txt",
        "/n",
        "*.jpg",
    };
    EXPECT_EQ(lines, expected);
}

TEST(WinfrSim, PlaysAScenarioFile) {
    TempDir temp(L"winfr-sim");
    const fs::path script = temp.Path() / L"script.txt";
    {
        std::ofstream out(script, std::ios::binary);
        out << "# a prompt cut into single bytes, after a BOM and an 8-bit line\n"
               "bytes FF FE\n"
               "line Scanning disk: 30%\n"
               "utf16 off 1252\n"
               "line caf\xC3\xA9\n"
               "utf16 on\n"
               "split 1\n"
               "raw Overwrite? (o)verwrite or (a)bort<NUL><U+D83D>\n"
               "exit 7\n";
    }
    const auto environment = std::vector<std::pair<std::wstring, std::wstring>>{
        {L"WINFR_SIM_SCENARIO_FILE", script.wstring()}, {L"WINFR_SIM_DELAY_MS", L"0"}};
    const SimRun run = RunSim(Start(L"D: " + Quoted(temp.Path().wstring()), environment));
    EXPECT_EQ(run.exitCode, 7u);

    std::vector<unsigned char> expected = {0xFF, 0xFE};
    const auto utf16 = [&](std::wstring_view text) {
        for (const wchar_t c : text) {
            expected.push_back(static_cast<unsigned char>(c & 0xFF));
            expected.push_back(static_cast<unsigned char>(c >> 8));
        }
    };
    utf16(L"Scanning disk: 30%\r\n");
    for (const char c : std::string_view("caf\xE9\r\n")) {
        expected.push_back(static_cast<unsigned char>(c));
    }
    utf16(std::wstring_view(L"Overwrite? (o)verwrite or (a)bort\0\xD83D", 35));
    EXPECT_EQ(run.output, expected);
    // The 8-bit line reads as UTF-16 garbage in a UTF-16 run, but nothing else is lost.
    EXPECT_EQ(run.events.front(), Scanning(300));
    EXPECT_EQ(Count(run, EventKind::AbortPrompt), 1);

    // A script with a mistake is refused with its line number.
    {
        std::ofstream out(script, std::ios::binary);
        out << "header\nscan 0 100 0\n";
    }
    const SimRun bad = RunSim(Start(L"D: " + Quoted(temp.Path().wstring()), environment));
    EXPECT_EQ(bad.exitCode, 1u);
    EXPECT_NE(OutputText(bad).find("line 2: the step must be above 0"), std::string::npos) << OutputText(bad);

    // A crash with another code.
    {
        std::ofstream out(script, std::ios::binary);
        out << "line Scanning disk: 10%\ncrash 0xC0000409\nline never written\n";
    }
    const SimRun crashed = RunSim(Start(L"D: " + Quoted(temp.Path().wstring()), environment));
    EXPECT_EQ(crashed.exitCode, 0xC0000409u);
    EXPECT_EQ(OutputText(crashed).find("never written"), std::string::npos);

    const SimRun unknown = RunSim(Start(L"D: " + Quoted(temp.Path().wstring()), Scenario(L"nosuch")));
    EXPECT_EQ(unknown.exitCode, 1u);
    EXPECT_NE(OutputText(unknown).find("unknown scenario nosuch"), std::string::npos);
}
