#pragma once
// Text put on the clipboard.
#include <windows.h>

#include <string>

namespace kestro {

// Puts text on the clipboard as Unicode text; false when the clipboard could not be had.
bool PutTextOnClipboard(HWND owner, const std::wstring& text);

} // namespace kestro
