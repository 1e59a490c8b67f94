// The Scanning dialog under Wine: its events one by one, and whole runs of the winfr simulator
// (bin/winfr.exe) through the real runner, with the message boxes recorded instead of shown.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/text.h"
#include "dialogs/scan_dialog_win.h"
#include "platform/taskbar_win.h"
#include "platform/winstr_win.h"
#include "runner/progress_event.h"
#include "runner/tool_runner_win.h"
#include "support/event_delivery.h"
#include "support/fakes.h"
#include "support/wine_helpers.h"
#include "ui/application_win.h"

// Allocations of one unusual size are counted: the records of the queue tests carry a file name
// of exactly that length, so their strings are the only blocks of that size.
namespace {
constexpr std::size_t kMarkerLength = 7777;
constexpr std::size_t kHeader = 16;
std::atomic<long> liveMarkers{0};
} // namespace

void* operator new(std::size_t size) {
    auto* block = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, size + kHeader));
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *reinterpret_cast<std::size_t*>(block) = size;
    if (size == kMarkerLength + 1) {
        ++liveMarkers;
    }
    return block + kHeader;
}
void operator delete(void* p) noexcept {
    if (p == nullptr) {
        return;
    }
    auto* block = static_cast<unsigned char*>(p) - kHeader;
    if (*reinterpret_cast<std::size_t*>(block) == kMarkerLength + 1) {
        --liveMarkers;
    }
    HeapFree(GetProcessHeap(), 0, block);
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace kestro {
namespace {

using testing_win::ExeFolder;
using testing_win::ProcessGone;
using testing_win::PumpUntil;
using testing_win::RecordingBoxes;
using testing_win::TempDir;

constexpr char kProduct[] = "Kestro Refindor";

class FakeContext final : public ScanContext {
public:
    std::string DestinationText() const override { return destination; }
    RecoveryMode Mode() const override { return mode; }
    std::string destination = "E:\\out";
    RecoveryMode mode = RecoveryMode::Quick;
};

std::wstring TextOf(HWND control) {
    wchar_t buffer[512] = {};
    GetWindowTextW(control, buffer, 512);
    return buffer;
}

int PositionOf(HWND bar) {
    return static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
}

// A progress event of a pass with the file counts, as the interpreter posts it for "Files recovered".
ProgressEvent PassEvent(RunPass pass, std::int32_t position, const std::string& file, std::int32_t total,
                        std::int32_t recovered = 0) {
    ProgressEvent event = ProgressEvent::Progress(position, pass);
    event.currentFile = file;
    event.totalFiles = total;
    event.filesRecovered = recovered;
    return event;
}

// What a modal run did: its result, and whether the test had to close it.
struct ModalRun {
    int result = mrNone;
    bool timedOut = false;
};

std::function<void()>* currentTick = nullptr;

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
    if (currentTick != nullptr) {
        (*currentTick)();
    }
}

// Shows the dialog modally; every 20 ms tick() may act on it from inside the modal loop. A
// dialog still open after timeoutMs is closed through its close box.
ModalRun RunModal(ScanDialog& dialog, DWORD timeoutMs, std::function<void()> tick = {}) {
    ModalRun run;
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    std::function<void()> step = [&] {
        if (tick) {
            tick();
        }
        if (!run.timedOut && GetTickCount64() > end) {
            run.timedOut = true;
            PostMessageW(dialog.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
        }
    };
    currentTick = &step;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &OnTick);
    run.result = dialog.ShowModal();
    KillTimer(nullptr, timer);
    currentTick = nullptr;
    return run;
}

class ScanDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Application::Get().Initialize(GetModuleHandleW(nullptr));
        Application::Get().SetTitle(kProduct);
    }

    void SetUp() override {
        Application::Get().SetBoxes(&boxes);
        SetEnvironmentVariableW(L"WINFR_SIM_DELAY_MS", L"0");
        SetEnvironmentVariableW(L"WINFR_SIM_FILES", nullptr);
        context.destination = destination.Utf8();
        dialog = std::make_unique<ScanDialog>(nullptr, context, sharedRunner, Arguments());
    }

    void TearDown() override {
        dialog.reset();
        runner.Stop();
        Application::Get().SetBoxes(nullptr);
    }

    // Hands an event to the dialog as the runner would, and lets it be handled.
    void Send(ProgressEvent event) { testing_win::SendEvents(dialog->Handle(), {std::move(event)}); }

    std::wstring Label() const { return TextOf(dialog->StatusText()); }
    int Bar() const { return PositionOf(dialog->ProgressBar()); }

    std::string Arguments() const { return "D: " + QuoteIfSpaced(destination.Utf8()) + " /regular /o:b /a /e:*.mm1 "; }

    RecordingBoxes boxes;
    FakeContext context;
    std::shared_ptr<ToolRunner> sharedRunner = std::make_shared<ToolRunner>();
    ToolRunner& runner = *sharedRunner;
    TempDir destination{L"kestro-scan"};
    std::unique_ptr<ScanDialog> dialog;
};

// ---------------------------------------------------------------------------
// The form.

TEST_F(ScanDialogTest, FormShowsTheProductNameAndItsControlsInTheirPlaces) {
    HWND hwnd = dialog->Handle();
    EXPECT_EQ(TextOf(hwnd), L"Kestro Refindor");
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    EXPECT_TRUE(style & WS_SYSMENU) << "close box";
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX));
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, dialog->S(369));
    EXPECT_EQ(client.bottom, dialog->S(130));

    // Places on the form's client area (the panel starts at 8, 8).
    const auto placeOf = [&](HWND control) {
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(HWND_DESKTOP, hwnd, reinterpret_cast<POINT*>(&r), 2);
        return RECT{r.left, r.top, r.right - r.left, r.bottom - r.top};
    };
    const auto expectPlace = [&](HWND control, int x, int y, int w, int h) {
        const RECT r = placeOf(control);
        EXPECT_EQ(r.left, dialog->S(8 + x));
        EXPECT_EQ(r.top, dialog->S(8 + y));
        EXPECT_EQ(r.right, dialog->S(w));
        EXPECT_EQ(r.bottom, dialog->S(h));
    };
    expectPlace(dialog->StatusText(), 8, 8, 337, 13);
    expectPlace(dialog->ProgressBar(), 8, 37, 337, 12);
    expectPlace(dialog->StopButton(), 144, 75, 80, 27);
    EXPECT_EQ(TextOf(dialog->StopButton()), L"Stop");
    EXPECT_EQ(SendMessageW(dialog->ProgressBar(), PBM_GETRANGE, FALSE, 0), 1000);
    EXPECT_EQ(SendMessageW(dialog->ProgressBar(), PBM_GETRANGE, TRUE, 0), 0);
}

TEST_F(ScanDialogTest, BarCarriesItsWholePercentInTheMiddle) {
    HWND bar = dialog->ProgressBar();
    RECT r;
    GetClientRect(bar, &r);
    HDC memory = nullptr;
    HBITMAP bitmap = nullptr;
    {
        const ScopedDc screen(nullptr);
        memory = CreateCompatibleDC(screen.Get());
        bitmap = CreateCompatibleBitmap(screen.Get(), r.right, r.bottom);
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    // At 0 the bar is empty: any black in its middle is the text.
    const auto blackInMiddle = [&] {
        SendMessageW(bar, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
        int black = 0;
        for (int x = r.right / 2 - 15; x < r.right / 2 + 15; ++x) {
            for (int y = 1; y < r.bottom - 1; ++y) {
                black += GetPixel(memory, x, y) == RGB(0, 0, 0) ? 1 : 0;
            }
        }
        return black;
    };
    EXPECT_GT(blackInMiddle(), 0);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

// The percentage is drawn in the dialog's font as it is at painting: a DPI change replaces the
// font and deletes the old one.
TEST_F(ScanDialogTest, BarPercentAfterADpiChangeIsDrawnInTheLiveFont) {
    SendMessageW(dialog->ProgressBar(), PBM_SETPOS, 420, 0);
    const std::vector<COLORREF> fresh = testing_win::PrintClient(dialog->ProgressBar());
    RECT suggested{50, 50, 700, 400};
    SendMessageW(dialog->Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    SendMessageW(dialog->Handle(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
    ASSERT_EQ(dialog->Dpi(), 96);
    EXPECT_EQ(GetObjectType(dialog->Font()), static_cast<DWORD>(OBJ_FONT));
    EXPECT_TRUE(testing_win::PrintClient(dialog->ProgressBar()) == fresh)
        << "the percentage looks as it did before the round trip";
}

// In high contrast the bar takes the system's colours, dark ones perhaps: the percentage is
// written in the matching text colours, not in black.
TEST_F(ScanDialogTest, BarPercentTakesTheTextColoursInHighContrast) {
    constexpr COLORREF kText = RGB(1, 254, 3);
    constexpr COLORREF kOnBar = RGB(3, 1, 254);
    const testing_win::SystemColors dark({{COLOR_BTNFACE, RGB(0, 0, 0)},
                                          {COLOR_BTNTEXT, kText},
                                          {COLOR_HIGHLIGHT, RGB(128, 0, 128)},
                                          {COLOR_HIGHLIGHTTEXT, kOnBar}});
    OverrideHighContrast(1);
    const auto count = [&](COLORREF color) {
        const auto pixels = testing_win::PrintClient(dialog->ProgressBar());
        return std::count(pixels.begin(), pixels.end(), color);
    };
    SendMessageW(dialog->ProgressBar(), PBM_SETPOS, 0, 0);
    EXPECT_GT(count(kText), 0) << "0% on the empty bar";
    EXPECT_EQ(count(kOnBar), 0);
    SendMessageW(dialog->ProgressBar(), PBM_SETPOS, 1000, 0);
    EXPECT_GT(count(kOnBar), 0) << "100% on the full bar";
    EXPECT_EQ(count(kText), 0);
    OverrideHighContrast(-1);
    EXPECT_EQ(count(kOnBar), 0) << "black again without high contrast";
}

// A flood of moves is painted at most once a frame, but the bar always comes to show where it
// stands last, also when that move came within a frame of the one painted before it.
TEST_F(ScanDialogTest, BarShowsItsLastPositionAfterAFloodOfMoves) {
    HWND bar = dialog->ProgressBar();
    ShowWindow(dialog->Handle(), SW_SHOWNOACTIVATE);
    UpdateWindow(dialog->Handle());
    for (int round = 0; round < 2; ++round) {
        const int last = round == 0 ? 737 : 212;
        for (int p = 1; p <= 200; ++p) {
            Send(ProgressEvent::Progress(p * last / 200));
        }
        ASSERT_EQ(Bar(), last);
        const std::vector<COLORREF> expected = testing_win::PrintClient(bar);
        EXPECT_TRUE(PumpUntil([&] { return testing_win::ScreenClient(bar) == expected; }, 2000))
            << "the screen does not show the bar at " << last;
    }
    ShowWindow(dialog->Handle(), SW_HIDE);
}

// ---------------------------------------------------------------------------
// Events one by one.

TEST_F(ScanDialogTest, ProgressEventsMoveTheBarAndSetTheLabel) {
    Send(ProgressEvent::Progress(450, RunPass::Scanning));
    EXPECT_EQ(Bar(), 450);
    EXPECT_EQ(Label(), L"Scanning and processing disk");

    Send(ProgressEvent::Progress(300)); // no pass: the label stays
    EXPECT_EQ(Bar(), 300);
    EXPECT_EQ(Label(), L"Scanning and processing disk");

    Send(ProgressEvent::Progress(std::nullopt, RunPass::Recovering)); // no position: the bar stays
    EXPECT_EQ(Bar(), 300);
    EXPECT_EQ(Label(), L"Recovering files");

    Send(ProgressEvent::Of(static_cast<EventKind>(42))); // kinds the dialog does not know do nothing
    Send(ProgressEvent::Of(static_cast<EventKind>(-1)));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(Bar(), 300);
}

struct SavedFolderCase {
    const char* destination;
    const char* currentFile;
    const char* savedFolder;
};

class SavedFolderTest : public ScanDialogTest, public ::testing::WithParamInterface<SavedFolderCase> {};

TEST_P(SavedFolderTest, FirstRecoveringEventNamesTheFolderUnderTheDestination) {
    context.destination = GetParam().destination;
    Send(PassEvent(RunPass::Recovering, 10, GetParam().currentFile, 42));
    EXPECT_EQ(dialog->SavedFolder(), GetParam().savedFolder);
    EXPECT_EQ(dialog->FilesFound(), 42);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, SavedFolderTest,
    ::testing::Values(SavedFolderCase{"E:\\out", "E:\\out\\Recovery_1\\docs\\a.txt", "E:\\out\\Recovery_1"},
                      SavedFolderCase{"E:\\out\\", "E:\\out\\Recovery_1\\a.txt", "E:\\out\\Recovery_1"},
                      SavedFolderCase{"E:\\", "E:\\Recovery_2\\a.txt", "E:\\Recovery_2"},
                      // Compared letter for letter: another case is not the destination.
                      SavedFolderCase{"E:\\out", "e:\\OUT\\Recovery_1\\a.txt", "E:\\out\\"},
                      SavedFolderCase{"E:\\\xD0\x9E\xD1\x82", "E:\\\xD0\x9E\xD1\x82\\Recovery_\xE6\x96\x87\\a.txt",
                                      "E:\\\xD0\x9E\xD1\x82\\Recovery_\xE6\x96\x87"}));

TEST_F(ScanDialogTest, LaterRecoveringEventsCountFilesButKeepTheFolder) {
    context.destination = "E:\\out";
    Send(PassEvent(RunPass::Recovering, 10, "E:\\out\\Recovery_1\\a.txt", 40));
    Send(PassEvent(RunPass::Recovering, 20, "E:\\out\\Recovery_9\\b.txt", 50));
    Send(PassEvent(RunPass::Recovering, 30, "E:\\out\\Recovery_9\\c.txt", 0)); // no total: not counted
    Send(PassEvent(RunPass::Scanning, 40, "E:\\out\\x\\c.txt", 70));           // not the recovering pass
    EXPECT_EQ(dialog->FilesFound(), 50);
    EXPECT_EQ(dialog->SavedFolder(), "E:\\out\\Recovery_1");
}

struct CompletedCase {
    int mode;           // index in the main window's mode list
    std::int32_t total; // 0: no recovering event
    const char* file;   // current file of the recovering event
    const char* message;
};

class CompletedTest : public ScanDialogTest, public ::testing::WithParamInterface<CompletedCase> {};

TEST_P(CompletedTest, CompletedMessageTellsModeFilesAndFolder) {
    const CompletedCase& c = GetParam();
    context.mode = RecoveryModeOfIndex(c.mode);
    context.destination = "E:\\out";
    if (c.total > 0) {
        Send(PassEvent(RunPass::Recovering, 500, c.file, c.total));
    }
    Send(ProgressEvent::Of(EventKind::Completed));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, c.message);
    EXPECT_EQ(boxes.boxes[0].caption, kProduct);
    EXPECT_EQ(boxes.boxes[0].Icon(), static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(Bar(), c.total > 0 ? 500 : 0) << "the completed event does not move the bar";
}

INSTANTIATE_TEST_SUITE_P(
    Messages, CompletedTest,
    ::testing::Values(CompletedCase{1, 42, "E:\\out\\Recovery_1\\docs\\a.txt",
                                    "Deep scan completed. 42 files were found.\r\nThe recovered files have been saved "
                                    "in E:\\out\\Recovery_1"},
                      CompletedCase{0, 0, "", "Quick scan completed. "},
                      CompletedCase{0, 5, "", "Quick scan completed. 5 files were found.\r\n"},
                      CompletedCase{2, 0, "", "Deep scan completed. "}));

struct OutcomeCase {
    EventKind kind;
    int mode;
    const char* text; // nullptr: no box
    UINT icon;
    bool stops;
};

class OutcomeTest : public ScanDialogTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(OutcomeTest, OutcomeShowsItsBoxAndEndsTheRunOrNot) {
    const OutcomeCase& c = GetParam();
    context.mode = RecoveryModeOfIndex(c.mode);
    // A run whose start failed: Stop only ends its "running".
    runner.SetToolName("kestro-no-such-tool");
    EXPECT_THROW(runner.Start(dialog->Handle(), Arguments()), std::runtime_error);
    Send(ProgressEvent::Of(c.kind));
    if (c.text == nullptr) {
        EXPECT_TRUE(boxes.boxes.empty());
    } else {
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, c.text);
        EXPECT_EQ(boxes.boxes[0].caption, kProduct);
        EXPECT_EQ(boxes.boxes[0].Icon(), c.icon);
    }
    EXPECT_EQ(runner.IsRunning(), !c.stops);
    EXPECT_EQ(dialog->ModalResult(), c.stops ? mrAbort : mrNone);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, OutcomeTest,
    ::testing::Values(OutcomeCase{EventKind::DestinationFull, 0, "Destination disk is full, please free up space.",
                                  MB_ICONERROR, true},
                      OutcomeCase{EventKind::AbortPrompt, 0, nullptr, 0, true},
                      OutcomeCase{EventKind::NothingFound, 0,
                                  "No recoverable files were found with this mode. Please change the Deep Scan to try.",
                                  MB_ICONINFORMATION, false},
                      OutcomeCase{EventKind::NothingFound, 1, "No recoverable files were found with this mode.",
                                  MB_ICONINFORMATION, false},
                      OutcomeCase{EventKind::NeedsAdmin, 0,
                                  "Please right click on the \"Tarvask.exe\" and select \"Run as administrator\".",
                                  MB_ICONERROR, true}));

// ---------------------------------------------------------------------------
// Whole runs with the simulator.

struct RunCase {
    const wchar_t* scenario;
    int mode;
    const char* box; // start of the one box shown (nullptr: none)
    UINT icon;
    int result;           // modal result
    int bar;              // bar position at the end
    const wchar_t* label; // label at the end
    bool folderNamed;     // the completed box names the Recovery folder, which exists
};

class RunTest : public ScanDialogTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RunTest, RunEndsAsTheToolSays) {
    const RunCase& c = GetParam();
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", c.scenario);
    if (std::wstring(c.scenario) == L"deep") {
        SetEnvironmentVariableW(L"WINFR_SIM_FILES", L"300"); // the whole 2500 are the runner tests' job
    }
    context.mode = RecoveryModeOfIndex(c.mode);
    const ModalRun run = RunModal(*dialog, 20000);

    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.result, c.result);
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_EQ(runner.ProcessId(), 0u);
    if (c.box == nullptr) {
        EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes[0].text;
    } else {
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text.rfind(c.box, 0), 0u) << boxes.boxes[0].text;
        EXPECT_EQ(boxes.boxes[0].caption, kProduct);
        EXPECT_EQ(boxes.boxes[0].Icon(), c.icon);
    }
    EXPECT_EQ(Bar(), c.bar);
    EXPECT_EQ(Label(), c.label);
    if (c.folderNamed) {
        const std::string marker = "saved in ";
        const std::string& text = boxes.boxes.at(0).text;
        const std::string folder = text.substr(text.find(marker) + marker.size());
        EXPECT_EQ(folder.rfind(destination.Utf8() + "\\Recovery_", 0), 0u) << folder;
        EXPECT_TRUE(std::filesystem::is_directory(Widen(folder))) << folder;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, RunTest,
    ::testing::Values(RunCase{L"quick", 0, "Quick scan completed. 12 files were found.\r\n", MB_ICONINFORMATION,
                              mrCancel, 1000, L"Recovering files", true},
                      RunCase{L"deep", 1, "Deep scan completed. 300 files were found.\r\n", MB_ICONINFORMATION,
                              mrCancel, 1000, L"Recovering files", true},
                      RunCase{L"nothing", 0,
                              "No recoverable files were found with this mode. Please change the Deep Scan to try.",
                              MB_ICONINFORMATION, mrCancel, 1000, L"Scanning and processing disk", false},
                      RunCase{L"diskfull", 0, "Destination disk is full, please free up space.", MB_ICONERROR, mrAbort,
                              75, L"Recovering files", false},
                      RunCase{L"admin", 0,
                              "Please right click on the \"Tarvask.exe\" and select \"Run as administrator\".",
                              MB_ICONERROR, mrAbort, 0, L"", false},
                      RunCase{L"instant", 0, "If the scanning is finished quickly, it is recommended to start again.",
                              MB_ICONERROR, mrCancel, 0, L"", false},
                      // A crash is told, not shown as a finished run, whatever progress came before.
                      RunCase{L"crash", 0, "The recovery tool stopped unexpectedly (exit code 0xC0000005).",
                              MB_ICONERROR, mrCancel, 400, L"Scanning and processing disk", false},
                      RunCase{L"midcrash", 0, "The recovery tool stopped unexpectedly (exit code 0xC0000005).",
                              MB_ICONERROR, mrCancel, 125, L"Recovering files", false},
                      // Ended from outside after some progress, before it told any outcome.
                      RunCase{L"killed", 0, "The recovery tool stopped unexpectedly (exit code 0x00000001).",
                              MB_ICONERROR, mrCancel, 300, L"Scanning and processing disk", false},
                      RunCase{L"unicode", 1, "Deep scan completed. 5 files were found.\r\n", MB_ICONINFORMATION,
                              mrCancel, 1000, L"Recovering files", true},
                      RunCase{L"pieces", 0, "Quick scan completed. 8 files were found.\r\n", MB_ICONINFORMATION,
                              mrCancel, 1000, L"Recovering files", true},
                      RunCase{L"ansi", 0, "Quick scan completed. 2 files were found.\r\n", MB_ICONINFORMATION, mrCancel,
                              1000, L"Recovering files", true}),
    [](const ::testing::TestParamInfo<RunCase>& param) { return Narrow(param.param.scenario); });

// A hanging tool: the dialog stays open with the progress so far until the user ends it.
class HangTest : public ScanDialogTest, public ::testing::WithParamInterface<int> {};

TEST_P(HangTest, DialogStaysOpenUntilStoppedAndTheToolEndsWithIt) {
    enum { byStopButton, byCloseBox };
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", L"hang");
    DWORD processId = 0;
    ULONGLONG sinceProgress = 0;
    bool acted = false;
    const ModalRun run = RunModal(*dialog, 10000, [&] {
        if (acted || Bar() < 300) {
            return;
        }
        if (sinceProgress == 0) {
            processId = runner.ProcessId();
            sinceProgress = GetTickCount64();
            // Esc must not end a scan by accident.
            PostMessageW(dialog->StopButton(), WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageW(dialog->StopButton(), WM_KEYUP, VK_ESCAPE, 0);
        } else if (GetTickCount64() - sinceProgress > 400) {
            acted = true;
            if (GetParam() == byStopButton) {
                PostMessageW(dialog->StopButton(), BM_CLICK, 0, 0);
            } else {
                PostMessageW(dialog->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
            }
        }
    });
    EXPECT_TRUE(acted) << "the dialog closed before it was told to";
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.result, GetParam() == byStopButton ? mrAbort : mrCancel);
    EXPECT_EQ(Bar(), 300);
    EXPECT_FALSE(runner.IsRunning());
    ASSERT_NE(processId, 0u);
    EXPECT_TRUE(ProcessGone(processId, 1000));
    EXPECT_TRUE(boxes.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, HangTest, ::testing::Values(0, 1), [](const ::testing::TestParamInfo<int>& param) {
    return std::string(param.param == 0 ? "StopButton" : "CloseBox");
});

// A message box that, like the real one, keeps messages flowing while it is open; it records how
// many boxes were open at once.
class PumpingBoxes final : public MessageBoxes {
public:
    int Show(HWND, const std::string& text, const std::string&, UINT) override {
        boxes.push_back(text);
        ++open;
        deepest = std::max(deepest, open);
        PumpUntil([] { return false; }, 800);
        --open;
        return IDOK;
    }
    std::vector<std::string> boxes;
    int open = 0;
    int deepest = 0;
};

struct EndingPromptCase {
    const char* name;
    const char* script; // the tool's output; it ends by itself soon after its prompt
    const char* box;
};

void PrintTo(const EndingPromptCase& c, std::ostream* os) {
    *os << c.name;
}

class EndingPromptTest : public ScanDialogTest, public ::testing::WithParamInterface<EndingPromptCase> {};

// The prompts for a full destination and for missing rights end the run. The tool is stopped
// before their box opens, so its own end can no longer add the advice to start again on top.
TEST_P(EndingPromptTest, TheToolIsStoppedBeforeTheBoxAndNothingStacksOnIt) {
    const std::filesystem::path script = destination.Path() / L"script.txt";
    {
        std::ofstream out(script, std::ios::binary);
        out << GetParam().script;
    }
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", script.c_str());
    PumpingBoxes pumping;
    Application::Get().SetBoxes(&pumping);
    // The tool may be gone before the first look at the runner: its id is taken when it starts.
    DWORD processId = 0;
    runner.SetToolObserver([&](bool running) {
        if (running) {
            processId = runner.ProcessId();
        }
    });
    const ModalRun run = RunModal(*dialog, 15000);
    runner.SetToolObserver(nullptr);
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", nullptr);
    Application::Get().SetBoxes(&boxes);

    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.result, mrAbort);
    ASSERT_EQ(pumping.boxes.size(), 1u) << pumping.boxes.back();
    EXPECT_EQ(pumping.boxes[0], GetParam().box);
    EXPECT_EQ(pumping.deepest, 1);
    EXPECT_FALSE(runner.IsRunning());
    ASSERT_NE(processId, 0u);
    EXPECT_TRUE(ProcessGone(processId, 1000));
}

INSTANTIATE_TEST_SUITE_P(
    Prompts, EndingPromptTest,
    ::testing::Values(
        // The tool asks without a line end and gives up a little later, while the box is open.
        EndingPromptCase{"DiskFullThenExit",
                         "line Pass 2: Recovering files\n"
                         "raw Destination disk is full. Free up space, then press (r)etry, (s)kip, or (a)bort:\n"
                         "sleep 400\n"
                         "exit 0\n",
                         "Destination disk is full, please free up space."},
        // The prompt and the tool's end arrive together: both events are queued before the box.
        EndingPromptCase{"DiskFullAndExitAtOnce",
                         "line Destination disk is full.\n"
                         "exit 0\n",
                         "Destination disk is full, please free up space."},
        EndingPromptCase{"AdminThenExit",
                         "line Windows File Recovery requires admin privileges to run.\n"
                         "sleep 300\n"
                         "exit 5\n",
                         "Please right click on the \"Tarvask.exe\" and select \"Run as administrator\"."},
        EndingPromptCase{"AdminAndExitAtOnce",
                         "line Windows File Recovery requires admin privileges to run.\n"
                         "exit 5\n",
                         "Please right click on the \"Tarvask.exe\" and select \"Run as administrator\"."}),
    [](const ::testing::TestParamInfo<EndingPromptCase>& param) { return std::string(param.param.name); });

TEST_F(ScanDialogTest, FailedStartIsReportedAndLeavesTheDialogIdleUntilStopped) {
    // An owner to centre over.
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 100, 100, 600, 400, nullptr, nullptr,
                                 nullptr, nullptr);
    dialog = std::make_unique<ScanDialog>(owner, context, sharedRunner, Arguments());
    runner.SetToolName("kestro-no-such-tool");
    bool idle = false;
    bool centred = false;
    bool pressed = false;
    const ModalRun run = RunModal(*dialog, 5000, [&] {
        if (pressed || !IsWindowVisible(dialog->Handle())) {
            return;
        }
        idle = runner.IsRunning() && Bar() == 0 && Label().empty();
        RECT d;
        GetWindowRect(dialog->Handle(), &d);
        centred = std::abs((d.left + d.right) / 2 - 400) <= 1 && std::abs((d.top + d.bottom) / 2 - 300) <= 1;
        pressed = true;
        PostMessageW(dialog->StopButton(), BM_CLICK, 0, 0);
    });
    DestroyWindow(owner);

    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Error while creating restore process!2.");
    EXPECT_EQ(boxes.boxes[0].caption, kProduct);
    EXPECT_EQ(boxes.boxes[0].Icon(), static_cast<UINT>(MB_ICONERROR));
    EXPECT_TRUE(idle);
    EXPECT_TRUE(centred);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.result, mrAbort);
    EXPECT_FALSE(runner.IsRunning());
}

// ---------------------------------------------------------------------------
// The taskbar button and the elapsed-time line.

std::string StateName(TBPFLAG state) {
    switch (state) {
    case TBPF_NOPROGRESS:
        return "none";
    case TBPF_NORMAL:
        return "normal";
    case TBPF_ERROR:
        return "error";
    default:
        return "other " + std::to_string(static_cast<int>(state));
    }
}

// Records the taskbar calls; each value is checked against the dialog's bar at that moment.
class RecordingTaskbar final : public TaskbarProgress {
public:
    void SetState(TBPFLAG s) override {
        state = s;
        states.push_back(StateName(s));
        ++calls;
    }
    void SetValue(ULONGLONG done, ULONGLONG total) override {
        values.push_back(static_cast<int>(done));
        if (total != 1000) {
            problems.push_back("total " + std::to_string(total));
        }
        if (bar != nullptr && PositionOf(bar) != static_cast<int>(done)) {
            problems.push_back("value " + std::to_string(done) + " with the bar at " + std::to_string(PositionOf(bar)));
        }
        if (values.size() > 1 && values[values.size() - 2] == values.back()) {
            problems.push_back("value " + std::to_string(done) + " again without the bar moving");
        }
        ++calls;
    }
    std::string States() const {
        std::string text;
        for (const auto& s : states) {
            text += (text.empty() ? "" : ",") + s;
        }
        return text;
    }
    HWND bar = nullptr;
    TBPFLAG state = TBPF_NOPROGRESS;
    std::vector<std::string> states;
    std::vector<int> values;
    std::vector<std::string> problems;
    int calls = 0;
};

// Boxes with the taskbar state they were shown under.
class StateBoxes final : public MessageBoxes {
public:
    explicit StateBoxes(const RecordingTaskbar& taskbar) : taskbar_(taskbar) {}
    int Show(HWND, const std::string& text, const std::string&, UINT) override {
        boxes.push_back(text + " [" + StateName(taskbar_.state) + "]");
        return IDOK;
    }
    std::vector<std::string> boxes;

private:
    const RecordingTaskbar& taskbar_;
};

class FakeTicks final : public TickSource {
public:
    ULONGLONG Milliseconds() override { return now; }
    ULONGLONG now = 7'200'000; // any start will do; the line counts from the run's start
};

class ProgressDisplayTest : public ScanDialogTest {
protected:
    void SetUp() override {
        ScanDialogTest::SetUp();
        taskbar.bar = dialog->ProgressBar();
        Application::Get().SetTaskbar(&taskbar);
        Application::Get().SetBoxes(&stateBoxes);
        dialog->SetTickSource(&ticks);
    }
    void TearDown() override {
        ScanDialogTest::TearDown();
        Application::Get().SetTaskbar(nullptr);
    }

    void SendInfo(RunPass pass, std::int32_t recovered, std::int32_t total) {
        testing_win::SendEvents(dialog->Handle(), {PassEvent(pass, 400, {}, total, recovered)});
    }
    void Tick() { SendMessageW(dialog->Handle(), WM_TIMER, ScanDialog::kElapsedTimer, 0); }
    std::wstring Line() const { return TextOf(dialog->ElapsedText()); }

    // Runs a hanging tool until it has shown its progress (the bar at 300), then act(), then Stop.
    ModalRun RunHanging(const std::function<void()>& act) {
        SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", L"hang");
        bool acted = false;
        const ModalRun run = RunModal(*dialog, 15000, [&] {
            if (!acted && Bar() >= 300) {
                acted = true;
                act();
                PostMessageW(dialog->StopButton(), BM_CLICK, 0, 0);
            }
        });
        EXPECT_TRUE(acted);
        return run;
    }

    RecordingTaskbar taskbar;
    StateBoxes stateBoxes{taskbar};
    FakeTicks ticks;
};

struct TaskbarCase {
    const wchar_t* scenario;
    const char* states;
    int lastValue;
    const char* box;      // start of the one box shown; nullptr: none
    const char* boxState; // the taskbar state while it was open
};

void PrintTo(const TaskbarCase& c, std::ostream* os) {
    *os << Narrow(c.scenario);
}

class TaskbarRunTest : public ProgressDisplayTest, public ::testing::WithParamInterface<TaskbarCase> {};

TEST_P(TaskbarRunTest, TaskbarFollowsTheBarAndShowsProblemsInRed) {
    const TaskbarCase& c = GetParam();
    ModalRun run;
    if (std::wstring(c.scenario) == L"hang") {
        run = RunHanging([] {});
    } else {
        SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", c.scenario);
        run = RunModal(*dialog, 20000);
    }
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(taskbar.States(), c.states);
    ASSERT_FALSE(taskbar.values.empty());
    EXPECT_EQ(taskbar.values.front(), 0) << "the bar starts empty";
    EXPECT_EQ(taskbar.values.back(), c.lastValue);
    EXPECT_EQ(taskbar.values.back(), Bar());
    EXPECT_TRUE(taskbar.problems.empty()) << taskbar.problems.front();
    if (c.box == nullptr) {
        EXPECT_TRUE(stateBoxes.boxes.empty()) << stateBoxes.boxes.front();
    } else {
        ASSERT_EQ(stateBoxes.boxes.size(), 1u);
        const std::string& shown = stateBoxes.boxes[0];
        EXPECT_EQ(shown.rfind(c.box, 0), 0u) << shown;
        const std::string state = " [" + std::string(c.boxState) + "]";
        EXPECT_TRUE(shown.ends_with(state)) << shown;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, TaskbarRunTest,
    ::testing::Values(
        TaskbarCase{L"quick", "normal,none", 1000, "Quick scan completed. 12 files were found.", "normal"},
        TaskbarCase{L"diskfull", "normal,error,none", 75, "Destination disk is full, please free up space.", "error"},
        TaskbarCase{L"hang", "normal,none", 300, nullptr, nullptr},
        TaskbarCase{L"admin", "normal,error,none", 0, "Please right click on the \"Tarvask.exe\"", "error"},
        TaskbarCase{L"instant", "normal,error,none", 0, "If the scanning is finished quickly", "error"},
        TaskbarCase{L"crash", "normal,error,none", 400, "The recovery tool stopped unexpectedly", "error"},
        TaskbarCase{L"nothing", "normal,none", 1000, "No recoverable files were found with this mode.", "normal"}),
    [](const ::testing::TestParamInfo<TaskbarCase>& param) { return Narrow(param.param.scenario); });

TEST_F(ProgressDisplayTest, FailedStartIsRedOnlyWhileItsBoxIsOpenAndStartsNoClock) {
    runner.SetToolName("kestro-no-such-tool");
    bool pressed = false;
    std::wstring lineWhileIdle = L"unread";
    int callsWhileIdle = -1;
    const ModalRun run = RunModal(*dialog, 5000, [&] {
        if (pressed || !IsWindowVisible(dialog->Handle())) {
            return;
        }
        ticks.now += 5000;
        Tick();
        lineWhileIdle = Line();
        callsWhileIdle = taskbar.calls;
        pressed = true;
        PostMessageW(dialog->StopButton(), BM_CLICK, 0, 0);
    });
    EXPECT_FALSE(run.timedOut);
    ASSERT_EQ(stateBoxes.boxes.size(), 1u);
    EXPECT_EQ(stateBoxes.boxes[0], "Error while creating restore process!2. [error]");
    EXPECT_EQ(taskbar.States(), "error,none");
    EXPECT_TRUE(taskbar.values.empty());
    EXPECT_EQ(lineWhileIdle, L"") << "nothing runs, so no time is counted";
    EXPECT_EQ(callsWhileIdle, 2);
    EXPECT_EQ(taskbar.calls, 2) << "closing the idle dialog has nothing left to clear";
}

TEST_F(ProgressDisplayTest, ElapsedLineCountsFromTheStartAndShowsTheFilesOnlyOnTheNextTick) {
    wchar_t separator[8] = {};
    ASSERT_GT(GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8), 0);
    const std::wstring sep = separator;
    const ULONGLONG start = ticks.now;
    struct Step {
        ULONGLONG at; // ms after the start
        enum { tick, recovering, scanning } what;
        std::int32_t recovered;
        std::int32_t total;
        std::wstring line; // afterwards
    };
    const Step steps[] = {
        {0, Step::tick, 0, 0, L"Elapsed 0:00:00"},
        {999, Step::tick, 0, 0, L"Elapsed 0:00:00"},
        {1000, Step::tick, 0, 0, L"Elapsed 0:00:01"},
        // Events do not touch the line: it changes once a second, whatever the tool writes.
        {1500, Step::recovering, 1204, 4000, L"Elapsed 0:00:01"},
        {83'000, Step::tick, 0, 0, L"Elapsed 0:01:23   1" + sep + L"204 of 4" + sep + L"000 files"},
        // Only recovering events with a total count, as for the completed message.
        {83'100, Step::scanning, 5, 9, L"Elapsed 0:01:23   1" + sep + L"204 of 4" + sep + L"000 files"},
        {83'200, Step::recovering, 7, 0, L"Elapsed 0:01:23   1" + sep + L"204 of 4" + sep + L"000 files"},
        {3'599'999, Step::tick, 0, 0, L"Elapsed 0:59:59   1" + sep + L"204 of 4" + sep + L"000 files"},
        {3'600'000, Step::recovering, 999, 1'234'567, L"Elapsed 0:59:59   1" + sep + L"204 of 4" + sep + L"000 files"},
        {3'600'000, Step::tick, 0, 0, L"Elapsed 1:00:00   999 of 1" + sep + L"234" + sep + L"567 files"},
        {360'000'000, Step::tick, 0, 0, L"Elapsed 100:00:00   999 of 1" + sep + L"234" + sep + L"567 files"},
    };
    std::vector<std::wstring> lines;
    const ModalRun run = RunHanging([&] {
        for (const Step& step : steps) {
            ticks.now = start + step.at;
            switch (step.what) {
            case Step::tick:
                Tick();
                break;
            case Step::recovering:
                SendInfo(RunPass::Recovering, step.recovered, step.total);
                break;
            case Step::scanning:
                SendInfo(RunPass::Scanning, step.recovered, step.total);
                break;
            }
            lines.push_back(Line());
        }
    });
    EXPECT_FALSE(run.timedOut);
    ASSERT_EQ(lines.size(), std::size(steps));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i], steps[i].line) << "step " << i;
    }
}

// The time left in a pass joins the line once the pass has run 10 s and moved the bar 2 %, counts
// down between moves, and goes with a stalled bar or a new pass.
TEST_F(ProgressDisplayTest, TimeLeftFollowsThePassAndGoesWithAStallOrANewPass) {
    const ULONGLONG start = ticks.now;
    std::vector<std::wstring> lines;
    const auto at = [&](ULONGLONG ms) {
        ticks.now = start + ms;
        Tick();
        lines.push_back(Line());
    };
    const ModalRun run = RunHanging([&] {
        Send(ProgressEvent::PassStarted(RunPass::Scanning));
        for (int second = 1; second <= 20; ++second) {
            ticks.now = start + static_cast<ULONGLONG>(second) * 1000;
            Send(ProgressEvent::Progress(second * 5)); // half a percent a second: 180 s left at 10 %
            if (second == 9) {
                at(9000);
            }
        }
        at(20'000);
        at(21'000);
        at(79'000);
        at(80'000); // a minute without a move
        ticks.now = start + 81'000;
        Send(ProgressEvent::Progress(105));
        at(81'000);
        ticks.now = start + 82'000;
        Send(ProgressEvent::Progress(0, RunPass::Recovering)); // the caption changes
        at(82'000);
    });
    EXPECT_FALSE(run.timedOut);
    const std::vector<std::wstring> expected = {
        L"Elapsed 0:00:09",
        L"Elapsed 0:00:20   about 3 min left",
        L"Elapsed 0:00:21   about 3 min left",
        L"Elapsed 0:01:19   about 2 min left",
        L"Elapsed 0:01:20",
        L"Elapsed 0:01:21   about 21 min left", // the slow minute counts in the rate
        L"Elapsed 0:01:22",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(ProgressDisplayTest, TheDialogsOwnTimerMovesTheClock) {
    const ULONGLONG start = ticks.now;
    bool moved = false;
    const ModalRun run = RunHanging([&] {
        ticks.now = start + 83'000;
        // The timer fires once a second; give it two.
        moved = PumpUntil([&] { return Line() == L"Elapsed 0:01:23"; }, 2500);
    });
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(moved) << Narrow(Line());
}

TEST_F(ProgressDisplayTest, OnceClosedTheDialogLeavesTaskbarAndClockAlone) {
    const ModalRun run = RunHanging([] {});
    EXPECT_FALSE(run.timedOut);
    ASSERT_EQ(taskbar.States(), "normal,none");
    const int calls = taskbar.calls;
    const std::wstring line = Line();

    // A late event and a tick queued before the timer died.
    Send(PassEvent(RunPass::Recovering, 800, {}, 10, 8));
    ticks.now += 60'000;
    Tick();
    EXPECT_EQ(Bar(), 800);
    EXPECT_EQ(taskbar.calls, calls) << "the taskbar would show progress again";
    EXPECT_EQ(Line(), line);
}

// ---------------------------------------------------------------------------
// Records that the dialog never gets to handle.

void PostMarkedEvents(HWND window, int count) {
    for (int i = 0; i < count; ++i) {
        ProgressEvent marked;
        marked.currentFile.assign(kMarkerLength, 'x');
        testing_win::PostEvents(window, {std::move(marked)});
    }
}

// ---------------------------------------------------------------------------
// The run's log beside the recovered files.

std::vector<std::filesystem::path> LogsIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> logs;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == L".log") {
            logs.push_back(entry.path());
        }
    }
    return logs;
}

std::string FileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class RunLogTest : public ScanDialogTest {
protected:
    ModalRun RunScript(const std::string& script) {
        const std::filesystem::path file = scripts.Path() / L"script.txt";
        {
            std::ofstream out(file, std::ios::binary);
            out << script;
        }
        SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", file.c_str());
        const ModalRun run = RunModal(*dialog, 15000);
        SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", nullptr);
        return run;
    }
    TempDir scripts{L"kestro-log-script"};
};

TEST_F(RunLogTest, EveryRunLeavesOneLogWithTheCommandLineAndEveryLineTheToolPrinted) {
    const ModalRun run = RunScript("line Windows File Recovery\n"
                                   "line Pass 1: Scanning and processing disk\n"
                                   "line Scanning disk: 50%\n"
                                   "line \xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE \xE5\x86\x99\xE7\x9C\x9F.jpg\n"
                                   "raw Scanning disk: 100%\n"
                                   "exit 0\n");
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(boxes.boxes.empty());
    const auto logs = LogsIn(destination.Path());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0], std::filesystem::path(dialog->LogPath()));
    const std::string name = Narrow(logs[0].filename().wstring());
    EXPECT_TRUE(name.starts_with("Kestro Refindor ") &&
                name.size() == std::string("Kestro Refindor 20261208_114156.log").size())
        << name;
    const std::string text = FileText(logs[0]);
    EXPECT_TRUE(text.starts_with("Kestro Refindor 2.0 - recovery log\r\n")) << text;
    EXPECT_NE(text.find("Destination: " + destination.Utf8() + "\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Command line: " + runner.CommandLine(Arguments()) + "\r\n"), std::string::npos) << text;
    // The tool that ran, by its full path: the simulator where Windows keeps winfr for the account.
    EXPECT_TRUE(Narrow(runner.ToolPath()).ends_with("\\Microsoft\\WindowsApps\\winfr.exe")) << Narrow(runner.ToolPath());
    EXPECT_NE(text.find("Tool: " + Narrow(runner.ToolPath()) + "\r\n"), std::string::npos) << text;
    std::size_t from = 0;
    for (const char* line :
         {"] Windows File Recovery\r\n", "] Pass 1: Scanning and processing disk\r\n", "] Scanning disk: 50%\r\n",
          "] \xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE \xE5\x86\x99\xE7\x9C\x9F.jpg\r\n", "] Scanning disk: 100%\r\n",
          "Ended: the tool finished (exit code 0)\r\n"}) {
        const std::size_t at = text.find(line, from);
        ASSERT_NE(at, std::string::npos) << line << " in order, in\n" << text;
        from = at;
    }
    EXPECT_NE(text.find("Ended at: "), std::string::npos);
}

TEST_F(RunLogTest, TheLogSaysHowTheRunEnded) {
    struct Case {
        const char* script;
        const char* ending;
    };
    const Case cases[] = {
        {"line Scanning disk: 10%\ncrash\n", "Ended: the tool crashed (exit code 0xC0000005)"},
        {"line Destination disk is full.\nhang\n", "Ended: the destination disk is full"},
        {"line Windows File Recovery requires admin privileges to run.\nexit 5\n",
         "Ended: the tool needs administrator rights"},
        {"line Scanning disk: 30%\nexit 1\n", "Ended: the tool stopped unexpectedly (exit code 0x00000001)"},
        {"line Scanning disk: 30%\nline Progress: 100%\nexit 1\n", "Ended: the tool finished (exit code 1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        for (const auto& old : LogsIn(destination.Path())) {
            std::filesystem::remove(old);
        }
        dialog = std::make_unique<ScanDialog>(nullptr, context, sharedRunner, Arguments());
        RunScript(c.script);
        const auto logs = LogsIn(destination.Path());
        ASSERT_EQ(logs.size(), 1u);
        EXPECT_NE(FileText(logs[0]).find(c.ending), std::string::npos) << FileText(logs[0]);
    }
    // Stopped from the dialog.
    for (const auto& old : LogsIn(destination.Path())) {
        std::filesystem::remove(old);
    }
    dialog = std::make_unique<ScanDialog>(nullptr, context, sharedRunner, Arguments());
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", L"hang");
    bool pressed = false;
    RunModal(*dialog, 15000, [&] {
        if (!pressed && Bar() >= 300) {
            pressed = true;
            PostMessageW(dialog->StopButton(), BM_CLICK, 0, 0);
        }
    });
    const auto logs = LogsIn(destination.Path());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(FileText(logs[0]).find("Ended: stopped before the tool finished"), std::string::npos);
}

// Progress redraws repeat a line thousands of times: it is written once, with its count.
TEST_F(RunLogTest, ARepeatedLineIsWrittenOnceWithItsCount) {
    std::string script = "line Pass 1: Scanning and processing disk\n";
    for (int i = 0; i < 5000; ++i) {
        script += "line Scanning disk: 10%\n";
    }
    script += "line Scanning disk: 11%\nexit 0\n";
    RunScript(script);
    const auto logs = LogsIn(destination.Path());
    ASSERT_EQ(logs.size(), 1u);
    const std::string text = FileText(logs[0]);
    std::size_t copies = 0;
    for (std::size_t at = text.find("Scanning disk: 10%"); at != std::string::npos;
         at = text.find("Scanning disk: 10%", at + 1)) {
        ++copies;
    }
    EXPECT_EQ(copies, 1u) << text;
    const std::size_t line = text.find("] Scanning disk: 10%\r\n");
    const std::size_t count = text.find("] (repeated 4999 times)\r\n");
    const std::size_t next = text.find("] Scanning disk: 11%\r\n");
    EXPECT_TRUE(line < count && count < next && next != std::string::npos) << text;
}

// The log goes into the destination or nowhere: a destination that cannot take it changes
// nothing about the run.
TEST_F(RunLogTest, ADestinationThatCannotTakeTheLogLeavesTheRunAsItWas) {
    const std::filesystem::path gone = destination.Path() / L"not-there";
    context.destination = Narrow(gone.wstring());
    dialog = std::make_unique<ScanDialog>(nullptr, context, sharedRunner, Arguments());
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", L"quick");
    const ModalRun run = RunModal(*dialog, 20000);
    EXPECT_FALSE(run.timedOut);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.starts_with("Quick scan completed.")) << boxes.boxes[0].text;
    EXPECT_TRUE(dialog->LogPath().empty());
    EXPECT_FALSE(std::filesystem::exists(gone));
}

TEST_F(ScanDialogTest, EventsStillQueuedWhenTheDialogIsFreedAreFreedWithIt) {
    const long before = liveMarkers.load();
    PostMarkedEvents(dialog->Handle(), 20);
    EXPECT_EQ(liveMarkers.load(), before + 20);
    dialog.reset();
    EXPECT_EQ(liveMarkers.load(), before);
}

TEST_F(ScanDialogTest, EventsStillQueuedWhenTheWindowIsDestroyedAreFreed) {
    // Destroying the owner destroys the dialog's window under the dialog object.
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    dialog = std::make_unique<ScanDialog>(owner, context, sharedRunner, Arguments());
    const long before = liveMarkers.load();
    PostMarkedEvents(dialog->Handle(), 20);
    DestroyWindow(owner);
    EXPECT_EQ(dialog->Handle(), nullptr);
    EXPECT_EQ(liveMarkers.load(), before);
}

TEST_F(ScanDialogTest, DialogFreedWhileItsRunGoesOnStopsTheTool) {
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", L"hang");
    runner.Start(dialog->Handle(), Arguments());
    ASSERT_TRUE(PumpUntil([&] { return Bar() >= 300; }, 5000));
    const DWORD processId = runner.ProcessId();
    dialog.reset();
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_TRUE(ProcessGone(processId, 1000));
}

} // namespace
} // namespace kestro
