#pragma once
// Standard controls as screen readers see them: the system's own object of the control, with what
// the system cannot know put right (a name where no label stands directly before the control, the
// role and value of a control that draws its value itself).
#include <windows.h>

#include <functional>
#include <string>

namespace kestro {

struct AccessibleAdjustments {
    // Each empty: the system's own answer.
    std::function<std::wstring()> name;
    std::function<std::wstring()> value;
    long role = 0; // a ROLE_SYSTEM_ value; 0: the system's
};

// From now on the control answers WM_GETOBJECT for its client area with the system's object so
// adjusted. A later call for the same control replaces the adjustments. The functions are called
// on the control's thread, also after the control is gone, for as long as a client holds the object.
void AdjustAccessible(HWND control, AccessibleAdjustments adjustments);

// The name a screen reader says for an edit or combo box (and the edit inside a combo box), in
// place of the text of the label that the system looks for directly before it.
void SetAccessibleName(HWND control, const std::string& name);

} // namespace kestro
