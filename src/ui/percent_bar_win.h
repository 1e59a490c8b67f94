#pragma once
// A progress bar that carries its whole percent in the middle.
#include <windows.h>

namespace kestro {

class Form;

// The bar (range 0 to 1000) draws its percentage over its own painting from now on, in the form's
// font as it is at each painting (a DPI change replaces the font). The form must outlive the bar.
void ShowPercentOn(HWND bar, const Form& form);

} // namespace kestro
