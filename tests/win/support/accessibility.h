#pragma once
// What a screen reader sees of the program's windows: their accessible trees walked as a screen
// reader walks them, from another thread, and the events that the windows raise.
#include <windows.h>
#include <oleacc.h>

#include <string>
#include <vector>

namespace kestro::testing_win {

// One part of a window as a screen reader finds it: a windowless control (a child id of its
// window's client object) or a standard control (a window's own client object).
struct AccessiblePart {
    bool windowless = false;
    HWND window = nullptr; // the standard control, or the window whose client object holds the part
    std::string className; // of the standard control
    long role = 0;
    std::string name;
    std::string action; // the default action
    std::string value;
    long state = 0;
    RECT place{}; // in the top-level window's client area, in pixels
};

// The parts of window (a top-level window of this thread) in the order a screen reader goes
// through them, read from another thread through AccessibleObjectFromWindow (COM in an apartment of
// its own, so every call is served on this thread, as a screen reader's are), while this thread
// serves the window's messages. The tree is walked into every visible child window that holds
// others, but for combo boxes, whose insides differ between Windows and Wine; statics and group
// boxes, which say what the controls around them say, are left out.
std::vector<AccessiblePart> WalkFromAnotherThread(HWND window);

// A child id as clients pass it (CHILDID_SELF: the object itself).
VARIANT Id(long id);
// The window of the object that a client was given in v (null for a child id), v cleared.
HWND TakeWindow(VARIANT& v);

// The client object of a window as a client in this thread gets it (through WM_GETOBJECT).
IAccessible* ClientObject(HWND window);
// A property of a child (CHILDID_SELF: the object itself).
std::string NameOf(IAccessible* object, long child);
long StateOf(IAccessible* object, long child);
std::string ValueOf(IAccessible* object, long child);
long RoleOf(IAccessible* object, long child);
// The child id of the focused windowless control of a client object; -1 for anything else.
long FocusedChild(IAccessible* object);

// The name of what has the keyboard focus in window (a windowless control or a window), found from
// the window's client object down as a screen reader finds it. From another thread, COM must be
// initialised there and the window's thread must serve messages meanwhile.
std::string FocusedName(HWND window);

// The WinEvents that this process raises in [first, last], from its creation on. They arrive while
// the thread that made it serves messages. One at a time.
class WinEvents {
public:
    struct Event {
        DWORD event;
        HWND window;
        LONG object;
        LONG child;
    };
    WinEvents(DWORD first, DWORD last);
    ~WinEvents();
    WinEvents(const WinEvents&) = delete;
    WinEvents& operator=(const WinEvents&) = delete;

    // The events of that kind raised for that window and object so far.
    std::vector<Event> Of(DWORD event, HWND window, LONG object = OBJID_CLIENT) const;
    void Clear();

private:
    HWINEVENTHOOK hook_;
};

} // namespace kestro::testing_win
