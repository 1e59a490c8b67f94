#pragma once
// A recovery run of Tarvask.exe driven from outside through its main window, for the end-to-end
// test programs: typing the destination, pressing Start, finding the Scanning dialog and the tool.
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/remote.h"

namespace kestro::testing_win {

// The destination edit: the edit on the row of the first "Browser..." button.
HWND DestinationEdit(HWND main);
void SetDestination(HWND main, const std::filesystem::path& destination);
void PressStart(HWND main);

// Waits for the main window, types the destination and presses Start; returns the first message
// box the program shows within 10 s, or null. main: the main window, null when it did not show.
HWND FirstBoxAfterStart(const Program& program, const std::filesystem::path& destination, HWND& main);

// A recovery started through the window; the Scanning dialog and the tool are found from outside.
struct OutsideRun {
    HWND main = nullptr;
    HWND scanning = nullptr;
    DWORD tool = 0;
};

// Types the destination, presses Start and waits until the dialog shows the bar at least at
// barAtLeast (the hanging scenario stops at 300); a negative one: the tool is not looked for.
OutsideRun StartThroughTheWindow(const Program& program, const std::filesystem::path& destination, int barAtLeast);

// The destination in the program's settings file.
std::wstring SavedDestination();

// The first line of a text file, without its line end; empty when there is none.
std::string FirstLineOf(const std::filesystem::path& file);
// The lines of a text file, without their line ends.
std::vector<std::string> LinesOf(const std::filesystem::path& file);

} // namespace kestro::testing_win
