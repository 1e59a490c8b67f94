#pragma once
// The Scanning dialog built for real with its message boxes recorded, for the test programs that
// hand it events one by one or let it run the winfr simulator (bin/winfr.exe) through the real
// runner.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "base/text.h"
#include "dialogs/scan_dialog_win.h"
#include "job/run_request.h"
#include "runner/progress_event.h"
#include "runner/tool_runner_win.h"
#include "support/fakes.h"
#include "support/wine_helpers.h"

namespace kestro::testing_win {

inline constexpr char kProduct[] = "Kestro Refindor";

std::wstring TextOf(HWND control);
int PositionOf(HWND bar);

// A progress event of a pass with the file counts, as the interpreter posts it for "Files recovered".
ProgressEvent PassEvent(RunPass pass, std::int32_t position, const std::string& file, std::int32_t total,
                        std::int32_t recovered = 0);

// What a modal run did: its result, and whether the test had to close it.
struct ModalRun {
    int result = mrNone;
    bool timedOut = false;
};

// Shows the dialog modally; every 20 ms tick() may act on it from inside the modal loop. A
// dialog still open after timeoutMs is closed through its close box.
ModalRun RunModal(ScanDialog& dialog, DWORD timeoutMs, std::function<void()> tick = {});

// Writes a script of the simulator's language into file.
void WriteScript(const std::filesystem::path& file, const std::string& script);

class ScanDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Hands an event to the dialog as the runner would, and lets it be handled.
    void Send(ProgressEvent event);

    std::wstring Label() const { return TextOf(dialog->StatusText()); }
    int Bar() const { return PositionOf(dialog->ProgressBar()); }

    std::string Arguments() const { return "D: " + QuoteIfSpaced(destination.Utf8()) + " /regular /o:b /a /e:*.mm1 "; }
    // A new dialog for the request as it is now: the dialog takes its run by value.
    void Remake(HWND owner = nullptr);

    RecordingBoxes boxes;
    RunRequest request; // the run the dialog is made for
    std::shared_ptr<ToolRunner> sharedRunner = std::make_shared<ToolRunner>();
    ToolRunner& runner = *sharedRunner;
    TempDir destination{L"kestro-scan"};
    std::unique_ptr<ScanDialog> dialog;
};

} // namespace kestro::testing_win
