#pragma once
// A progress bar that carries its whole percent in the middle.
#include <windows.h>

namespace kestro {

class Form;

// The bar (range 0 to 1000) draws its percentage over its own painting from now on, in the form's
// font as it is at each painting (a DPI change replaces the font). The form must outlive the bar.
// Screen readers know it as a progress bar named by the label directly before it, with the percent
// shown ("60%") as its value, and hear of each new whole percent (EVENT_OBJECT_VALUECHANGE). Windows'
// own control raises that event on every move as well; the value read then is still the percent.
void ShowPercentOn(HWND bar, const Form& form);

} // namespace kestro
