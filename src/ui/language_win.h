#pragma once
// The language of the program's texts on this system, and the font its texts need.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/texts.h"

namespace kestro {

// The user's Windows display languages as names such as "de-DE", most preferred first: the
// default UI language, then the preferred UI languages.
std::vector<std::string> UserDisplayLanguages();

// The language for the Language value of the settings file (empty: not set) on this system.
Language ProgramLanguage(std::string_view setting);

// The face and character set of the program's own texts in the chosen language: the toolkit's
// "MS Sans Serif" for the Western languages, Tahoma for Russian, a face of the script for Chinese
// and Japanese.
struct TextFace {
    std::wstring face;
    BYTE charset = DEFAULT_CHARSET;
    bool ownScript = false; // a face of the language's script, also for the system's fonts
};
const TextFace& ProgramTextFace();

// A system font (the menu's) with the program's face where the language needs one of its script.
void UseProgramFace(LOGFONTW& font);

} // namespace kestro
