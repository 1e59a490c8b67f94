#pragma once
// Whether the texts of a window fit their controls: measured in each control's own font at the
// window's DPI, for translations that must not move or grow a control.
#include <windows.h>

#include <string>
#include <vector>

namespace kestro::testing_win {

// Every visible control of window (and of its child panels) whose text does not fit, one line
// each with the text and the numbers: a static or group caption wider than its control, a button
// caption wider than the button less its border, a check box or radio caption wider than the room
// beside its mark, a list item of a combo box wider than its field, a text-sized control reaching
// into a sibling or out of its parent, and a character its font has no glyph for.
// Panels that paint their own caption (group boxes) have no font of their own: panelFont is theirs.
std::vector<std::string> TextMisfits(HWND window, int dpi, HFONT panelFont);

// The width of text in a font, in pixels of the screen; "&" marks of a button caption left out
// when prefixed is set.
int TextWidth(HFONT font, const std::wstring& text, bool prefixed = false);

// The characters of text that font has no glyph for (none where the font cannot tell).
std::wstring MissingGlyphs(HFONT font, const std::wstring& text);

} // namespace kestro::testing_win
