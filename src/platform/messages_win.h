#pragma once
// Every window message of the program's own, in one place and from one range above WM_APP, so
// that no two can ever share a number.
#include <windows.h>

namespace kestro {

// Brings the main window to the front. It keeps its number from the earlier program: other
// programs send it, so it lies outside the range below (and the main window lets it through
// from less privileged senders).
constexpr UINT WM_SHOWMAIN = 0x3602;

constexpr UINT kFirstOwnMessage = WM_APP + 0x100;

// Sent to itself by a form that has become the program's focused form; the form's OnActivate
// runs on it, once the activation has settled.
constexpr UINT WM_KESTRO_ACTIVATE = kFirstOwnMessage;
// A polling thread's synchronous call onto the GUI thread (lParam: the CallRequest).
constexpr UINT WM_RUNNER_CALL = kFirstOwnMessage + 1;
// Progress events of a run wait for the window this is posted to (lParam: the ProgressTicket,
// which the window owns from then on).
constexpr UINT WM_PROGRESS_WAITING = kFirstOwnMessage + 2;
// A container is asked to activate one of its windowless controls, as a click would (lParam: the
// control, which the container looks for among its own before it touches it).
constexpr UINT WM_ACTIVATE_GRAPHIC = kFirstOwnMessage + 3;

} // namespace kestro
