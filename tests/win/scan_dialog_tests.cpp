// The Scanning dialog under Wine: its form and bar, the events it is handed one by one, and what
// its end does to events still on their way and to a run still going.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/system_error.h"
#include "dialogs/scan_dialog_win.h"
#include "platform/handles_win.h"
#include "runner/progress_event.h"
#include "support/accessibility.h"
#include "support/event_delivery.h"
#include "support/scan_dialog_fixture.h"
#include "ui/display_win.h"

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

using namespace testing_win;

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

// A screen reader announces the label each time the pass changes, and no more often.
TEST_F(ScanDialogTest, ProgressEventsMoveTheBarAndSetTheLabel) {
    const WinEvents events(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE);
    const auto announced = [&] {
        PumpUntil([] { return false; }, 20);
        return events.Of(EVENT_OBJECT_NAMECHANGE, dialog->StatusText()).size();
    };
    Send(ProgressEvent::Progress(450, RunPass::Scanning));
    EXPECT_EQ(Bar(), 450);
    EXPECT_EQ(Label(), L"Scanning and processing disk");
    EXPECT_EQ(announced(), 1u);

    Send(ProgressEvent::Progress(300)); // no pass: the label stays
    Send(ProgressEvent::Progress(310, RunPass::Scanning));
    EXPECT_EQ(Bar(), 310);
    EXPECT_EQ(Label(), L"Scanning and processing disk");
    EXPECT_EQ(announced(), 1u);

    Send(ProgressEvent::Progress(std::nullopt, RunPass::Recovering)); // no position: the bar stays
    EXPECT_EQ(Bar(), 310);
    EXPECT_EQ(Label(), L"Recovering files");
    EXPECT_EQ(announced(), 2u);

    Send(ProgressEvent::Of(static_cast<EventKind>(42))); // kinds the dialog does not know do nothing
    Send(ProgressEvent::Of(static_cast<EventKind>(-1)));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(Bar(), 310);
}

// Screen readers read the bar as the percent it shows, named by the label above it, and hear of
// each new whole percent from us: a flood of moves within one percent tells them nothing new.
// Wine's progress bar raises no value events of its own, so every one counted here is ours; Windows'
// raises one on each move, whose value read through our object is still the whole percent.
TEST_F(ScanDialogTest, BarTellsScreenReadersThePercentItShows) {
    HWND bar = dialog->ProgressBar();
    ComPtr<IAccessible> object(ClientObject(bar));
    ASSERT_TRUE(object);
    EXPECT_EQ(RoleOf(object.Get(), CHILDID_SELF), ROLE_SYSTEM_PROGRESSBAR);
    const struct {
        int position;
        const char* shown;
    } cases[] = {{0, "0%"}, {9, "0%"}, {600, "60%"}, {609, "60%"}, {999, "99%"}, {1000, "100%"}, {10, "1%"}};
    for (const auto& c : cases) {
        Send(ProgressEvent::Progress(c.position, RunPass::Recovering));
        EXPECT_EQ(ValueOf(object.Get(), CHILDID_SELF), c.shown) << c.position;
    }
    EXPECT_EQ(NameOf(object.Get(), CHILDID_SELF), "Recovering files");

    SendMessageW(bar, PBM_SETPOS, 0, 0);
    const WinEvents events(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE);
    for (int position = 1; position <= 1000; ++position) {
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    }
    SendMessageW(bar, PBM_SETPOS, 1000, 0);
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(events.Of(EVENT_OBJECT_VALUECHANGE, bar).size(), 100u);
}

struct SavedFolderCase {
    const char* destination;
    const char* currentFile;
    const char* savedFolder;
};

class SavedFolderTest : public ScanDialogTest, public ::testing::WithParamInterface<SavedFolderCase> {};

TEST_P(SavedFolderTest, FirstRecoveringEventNamesTheFolderUnderTheDestination) {
    request.destination = GetParam().destination;
    Remake();
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
    request.destination = "E:\\out";
    Remake();
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
    request.mode = RecoveryModeOfIndex(c.mode);
    request.destination = "E:\\out";
    Remake();
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
    request.mode = RecoveryModeOfIndex(c.mode);
    Remake();
    // A run whose start failed: Stop only ends its "running".
    runner.SetToolName("kestro-no-such-tool");
    EXPECT_THROW(runner.Start(dialog->Handle(), Arguments()), SystemError);
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
// Events and runs that the dialog never gets to handle.

void PostMarkedEvents(HWND window, int count) {
    for (int i = 0; i < count; ++i) {
        ProgressEvent marked;
        marked.currentFile.assign(kMarkerLength, 'x');
        testing_win::PostEvents(window, {std::move(marked)});
    }
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
    Remake(owner);
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
