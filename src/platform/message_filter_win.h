#pragma once
#include <windows.h>

namespace kestro {

// Lets a message from less privileged programs through to a window of this
// elevated one (the integrity filter), where the system supports it.
void AllowMessageFrom(HWND window, UINT message);

// The system call behind AllowMessageFrom (ChangeWindowMessageFilterEx). Tests put a recorder in
// its place; null restores the system's.
using MessageFilterFunction = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
void SetMessageFilterFunction(MessageFilterFunction function) noexcept;

} // namespace kestro
