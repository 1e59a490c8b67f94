#pragma once
// The program's windows in one language, measured: every text against its control.
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/texts.h"

namespace kestro::testing_win {

struct LanguageCheck {
    int dpi = 0;                       // the DPI the main window was made at
    std::vector<std::string> misfits;  // what does not fit, where
    std::vector<std::string> captions; // a few captions as shown, to see the language in use
};

// Makes the main window (with each filter), its popup menu, the About dialog, the Advanced options
// dialog and the Scanning dialog in the language, and measures their texts: the controls' own
// (TextMisfits), the windowless title band and menu label against their neighbours, the menu items
// against the menu, the About dialog's lines against its separator line, and the dialogs' captions
// against their title bars. With shots given, screenshots of the main window and the Scanning dialog are saved there
// as lang-<code>-main.bmp and lang-<code>-scanning.bmp. The language is English again afterwards.
LanguageCheck CheckLanguage(Language language, const std::filesystem::path* shots);

// The check of one language as a test: nothing misfits, the main window was made at dpi and in
// the language, and English is back afterwards.
void ExpectEveryTextFits(const LanguageInfo& info, int dpi, const std::filesystem::path* shots);

// A test name for the language: its code without "-".
std::string TestNameOf(const LanguageInfo& info);

} // namespace kestro::testing_win
