#pragma once
// Seeing a control's messages before the control does.
#include <windows.h>

#include <functional>

namespace kestro {

// The handler returns true when it answered the message itself (result set); call CallOriginal
// for the control's own handling inside the handler when it must come first.
using SubclassHandler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT&)>;
// One handler per control: a later call replaces the earlier handler.
void Subclass(HWND control, SubclassHandler handler);
LRESULT CallOriginal(HWND control, UINT msg, WPARAM wParam, LPARAM lParam);

} // namespace kestro
