#include "support/accessibility.h"

#include <atomic>
#include <thread>

#include "platform/handles_win.h"
#include "platform/optional_api_win.h"
#include "platform/winstr_win.h"
#include "support/wine_helpers.h"
#include "ui/window_win.h"

namespace kestro::testing_win {

namespace {

std::string TakeText(BSTR text) {
    std::string result = text != nullptr ? Narrow(std::wstring(text, SysStringLen(text))) : std::string();
    SysFreeString(text);
    return result;
}

// The window of an object that has one (a window object, through IOleWindow); null otherwise.
HWND WindowOf(IDispatch* object) {
    ComPtr<IOleWindow> window;
    HWND hwnd = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(window.Put())))) {
        window->GetWindow(&hwnd);
    }
    return hwnd;
}

// The children of an object as AccessibleChildren gives them: through IEnumVARIANT where the object
// has it, else by their ids. The caller clears them.
std::vector<VARIANT> ChildrenOf(IAccessible* object) {
    long count = 0;
    object->get_accChildCount(&count);
    std::vector<VARIANT> children;
    ComPtr<IEnumVARIANT> enumeration;
    if (count > 0 && SUCCEEDED(object->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(enumeration.Put())))) {
        children.resize(static_cast<std::size_t>(count));
        ULONG got = 0;
        enumeration->Reset();
        enumeration->Next(static_cast<ULONG>(count), children.data(), &got);
        children.resize(got);
        return children;
    }
    for (long id = 1; id <= count; ++id) {
        IDispatch* dispatch = nullptr;
        VARIANT child = Id(id);
        if (object->get_accChild(child, &dispatch) == S_OK && dispatch != nullptr) {
            child.vt = VT_DISPATCH;
            child.pdispVal = dispatch;
        }
        children.push_back(child);
    }
    return children;
}

std::string ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return Narrow(name);
}

// What a screen reader says of the object's child.
AccessiblePart Describe(IAccessible* object, long id, HWND window, HWND top) {
    AccessiblePart part;
    part.windowless = id != CHILDID_SELF;
    part.window = window;
    part.className = ClassOf(window);
    const VARIANT child = Id(id);
    part.name = NameOf(object, id);
    BSTR text = nullptr;
    object->get_accDefaultAction(child, &text);
    part.action = TakeText(text);
    part.value = ValueOf(object, id);
    part.role = RoleOf(object, id);
    part.state = StateOf(object, id);
    long x = 0, y = 0, width = 0, height = 0;
    object->accLocation(&x, &y, &width, &height, child);
    part.place = RECT{x, y, x + width, y + height};
    MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&part.place), 2);
    return part;
}

bool HoldsWindows(HWND window) {
    return GetWindow(window, GW_CHILD) != nullptr && ClassOf(window) != "ComboBox";
}

bool SaysWhatOthersSay(HWND window) {
    const std::string name = ClassOf(window);
    const auto style = GetWindowLongPtrW(window, GWL_STYLE);
    return name == "Static" || (name == "Button" && (style & BS_TYPEMASK) == BS_GROUPBOX);
}

void Walk(IAccessible* object, HWND holder, HWND top, std::vector<AccessiblePart>& parts) {
    for (VARIANT& child : ChildrenOf(object)) {
        if (child.vt == VT_I4) {
            parts.push_back(Describe(object, child.lVal, holder, top));
            continue;
        }
        HWND window = TakeWindow(child);
        if (window == nullptr || !IsWindowVisible(window) || SaysWhatOthersSay(window)) {
            continue;
        }
        ComPtr<IAccessible> client(ClientObject(window));
        if (!client) {
            continue;
        }
        if (HoldsWindows(window)) {
            Walk(client.Get(), window, top, parts);
        } else {
            parts.push_back(Describe(client.Get(), CHILDID_SELF, window, top));
        }
    }
}

// The focus as a client object tells it: a child id of its own, or the object of the child window
// that holds it, asked in turn.
std::string FocusedName(IAccessible* object, HWND window, int depth) {
    VARIANT focus;
    VariantInit(&focus);
    object->get_accFocus(&focus);
    if (focus.vt == VT_I4) {
        return NameOf(object, focus.lVal);
    }
    HWND holder = TakeWindow(focus);
    ComPtr<IAccessible> client(holder != nullptr && holder != window && depth < 8 ? ClientObject(holder) : nullptr);
    return client ? FocusedName(client.Get(), holder, depth + 1) : NameOf(object, CHILDID_SELF);
}

// Runs body on a thread of its own, in COM's multithreaded apartment, while this thread serves
// messages.
template <class Body> void FromAnotherThread(Body body) {
    std::atomic<bool> done{false};
    std::thread outside([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        body();
        CoUninitialize();
        done = true;
    });
    PumpUntil([&] { return done.load(); }, 60000);
    outside.join();
}

std::vector<WinEvents::Event>* recorded = nullptr;

void CALLBACK Record(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (recorded != nullptr) {
        recorded->push_back({event, window, object, child});
    }
}

} // namespace

VARIANT Id(long id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

HWND TakeWindow(VARIANT& v) {
    HWND window = v.vt == VT_DISPATCH ? WindowOf(v.pdispVal) : nullptr;
    VariantClear(&v);
    return window;
}

IAccessible* ClientObject(HWND window) {
    IAccessible* object = nullptr;
    if (Accessibility().objectFromWindow != nullptr) {
        Accessibility().objectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(&object));
    }
    return object;
}

std::string NameOf(IAccessible* object, long child) {
    BSTR text = nullptr;
    object->get_accName(Id(child), &text);
    return TakeText(text);
}

long StateOf(IAccessible* object, long child) {
    VARIANT state;
    VariantInit(&state);
    return object->get_accState(Id(child), &state) == S_OK && state.vt == VT_I4 ? state.lVal : 0;
}

std::string ValueOf(IAccessible* object, long child) {
    BSTR text = nullptr;
    object->get_accValue(Id(child), &text);
    return TakeText(text);
}

long RoleOf(IAccessible* object, long child) {
    VARIANT role;
    VariantInit(&role);
    return object->get_accRole(Id(child), &role) == S_OK && role.vt == VT_I4 ? role.lVal : 0;
}

long FocusedChild(IAccessible* object) {
    VARIANT focus;
    VariantInit(&focus);
    object->get_accFocus(&focus);
    const long id = focus.vt == VT_I4 && focus.lVal > 0 ? focus.lVal : -1;
    VariantClear(&focus);
    return id;
}

std::vector<AccessiblePart> WalkFromAnotherThread(HWND window) {
    std::vector<AccessiblePart> parts;
    FromAnotherThread([&] {
        ComPtr<IAccessible> client(ClientObject(window));
        if (client) {
            Walk(client.Get(), window, window, parts);
        }
    });
    return parts;
}

std::string FocusedName(HWND window) {
    ComPtr<IAccessible> client(ClientObject(window));
    return client ? FocusedName(client.Get(), window, 0) : std::string();
}

WinEvents::WinEvents(DWORD first, DWORD last) {
    static std::vector<Event> events;
    events.clear();
    recorded = &events;
    hook_ = SetWinEventHook(first, last, nullptr, Record, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
}

WinEvents::~WinEvents() {
    if (hook_ != nullptr) {
        UnhookWinEvent(hook_);
    }
    recorded = nullptr;
}

std::vector<WinEvents::Event> WinEvents::Of(DWORD event, HWND window, LONG object) const {
    std::vector<Event> found;
    for (const Event& e : *recorded) {
        if (e.event == event && e.window == window && e.object == object) {
            found.push_back(e);
        }
    }
    return found;
}

void WinEvents::Clear() {
    recorded->clear();
}

} // namespace kestro::testing_win
