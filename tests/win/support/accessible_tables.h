#pragma once
// The accessible trees that the program's windows should show a screen reader, as tables, and the
// check of the real windows against them.
#include <windows.h>

#include <string>
#include <vector>

#include "base/texts.h"
#include "job/recovery_options.h"
#include "support/accessibility.h"

namespace kestro::testing_win {

enum class Action { None, Click, Open };

struct ExpectedPart {
    bool windowless = false;
    long role = 0; // 0: a standard control, whose role is left alone (Wine's objects say CLIENT)
    const char* english = "";
    const char* german = "";
    Action action = Action::None; // compared for windowless parts
    long state = 0;               // compared for windowless parts
    const char* value = nullptr;  // nullptr: not compared
    // In the top-level window's client area, in 96-DPI pixels: left, top, right, bottom; -1 where
    // it depends on a text's width in its font.
    RECT place{};
};

// The main window with each filter, the About dialog, the Advanced options dialog and the Scanning
// dialog (its bar at 600 of 1000 in the recovering pass).
std::vector<ExpectedPart> MainWindowParts(Filter filter);
std::vector<ExpectedPart> AboutParts();
std::vector<ExpectedPart> AdvancedOptionsParts();
std::vector<ExpectedPart> ScanningParts();

// Each part as seen against its row: names in the language, places at the DPI (within 2 pixels).
void ExpectParts(const std::vector<AccessiblePart>& seen, const std::vector<ExpectedPart>& expected, Language language,
                 int dpi, const std::string& where);

// Makes the four windows in the language (then English again), walks their trees from another
// thread and checks them against the tables; the windows are made at the screen's DPI, dpi.
void ExpectAccessibleTrees(Language language, int dpi);

} // namespace kestro::testing_win
