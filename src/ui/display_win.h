#pragma once
// What the screen is like where a window is shown: its DPI, whether a high-contrast theme is in
// force, and how large a text comes out in a font.
#include <windows.h>

#include <string_view>

namespace kestro {

// Colours given in the Windows layout 0x00BBGGRR.
using Color = COLORREF;

// The DPI a window is shown at (the system's when it cannot tell; 96 on old systems).
int WindowDpi(HWND hwnd);

// The system's fonts of captions, menus, status lines and messages at a DPI (the system's DPI where
// the system cannot tell them per DPI); false when it does not answer.
bool NonClientMetricsAt(int dpi, NONCLIENTMETRICSW& metrics);

// A high-contrast theme is in force (asked at every call: the user may switch at any time).
bool HighContrastOn();
// Tests decide what HighContrastOn answers: 1 on, 0 off, -1 the system's answer again.
void OverrideHighContrast(int on) noexcept;

// The size of text drawn in font on dc, in the dc's pixels. An empty text is one line high.
SIZE TextExtent(HDC dc, HFONT font, std::wstring_view text);
// The same on a window's device context (a null window: the screen).
SIZE TextExtent(HWND window, HFONT font, std::wstring_view text);

} // namespace kestro
