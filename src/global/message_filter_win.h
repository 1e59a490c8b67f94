#pragma once
#include <windows.h>

namespace kestro {

// Lets a message from less privileged programs through to a window of this
// elevated one (the integrity filter), where the system supports it.
void AllowMessageFrom(HWND window, UINT message);

} // namespace kestro
