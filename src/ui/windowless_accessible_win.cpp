#include "ui/windowless_accessible_win.h"

#include <algorithm>
#include <new>
#include <string>

#include "base/failures.h"
#include "platform/optional_api_win.h"
#include "platform/winstr_win.h"
#include "ui/container_win.h"
#include "ui/graphic_controls_win.h"

namespace kestro {

namespace {

// Clients may call from any state of the program: a failure becomes an error code, never an
// exception through COM.
template <class Body> HRESULT Guarded(const char* where, Body body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        SwallowedFailure(where);
        return E_FAIL;
    }
}

bool IsAccessibleChild(const GraphicControl& control) {
    return control.Visible() && control.PartOf() == nullptr;
}

// The child window of parent that is window or holds it; null when none does.
HWND ChildHolding(HWND parent, HWND window) {
    while (window != nullptr && GetParent(window) != parent) {
        window = GetParent(window);
    }
    return window;
}

HRESULT ReturnEmpty(VARIANT* result) {
    EmptyVariant(result);
    return S_FALSE;
}

} // namespace

std::vector<AccessibleChild> AccessibleChildrenOf(const Container& container) {
    std::vector<GraphicControl*> waiting;
    for (GraphicControl* control : container.Graphics()) {
        if (IsAccessibleChild(*control)) {
            waiting.push_back(control);
        }
    }
    std::vector<AccessibleChild> children;
    HWND parent = container.Handle();
    for (HWND window = GetWindow(parent, GW_CHILD); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
        const auto placedHere = [&](GraphicControl* c) { return ChildHolding(parent, c->PlaceBefore()) == window; };
        for (GraphicControl* control : waiting) {
            if (placedHere(control)) {
                children.push_back({nullptr, control});
            }
        }
        std::erase_if(waiting, placedHere);
        children.push_back({window, nullptr});
    }
    for (GraphicControl* control : waiting) {
        children.push_back({nullptr, control});
    }
    return children;
}

long AccessibleIdOf(const Container& container, const GraphicControl& control) {
    const std::vector<AccessibleChild> children = AccessibleChildrenOf(container);
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (children[i].graphic == &control) {
            return static_cast<long>(i + 1);
        }
    }
    return CHILDID_SELF;
}

RECT AccessibleBoundsOf(const Container& container, const GraphicControl& control) {
    RECT bounds = control.ClientRect();
    for (const GraphicControl* part : container.Graphics()) {
        if (part->PartOf() == &control && part->Visible()) {
            const RECT place = part->ClientRect();
            UnionRect(&bounds, &bounds, &place);
        }
    }
    return bounds;
}

WindowlessAccessible::WindowlessAccessible(Container& container)
    : container_(&container), standard_(StandardObject(container.Handle(), OBJID_CLIENT)) {}

void WindowlessAccessible::Disconnect() noexcept {
    container_ = nullptr;
    standard_.Reset();
    // Clients in other programs that still hold the object learn at once that it is gone, and
    // their references no longer keep it alive.
    if (ComApi().disconnectObject != nullptr) {
        ComApi().disconnectObject(static_cast<IAccessible*>(this), 0);
    }
}

WindowlessAccessible::Target WindowlessAccessible::Resolve(const VARIANT& child) const {
    Target target;
    const long id = ChildIdOf(child);
    if (container_ == nullptr || id < 0) {
        return target;
    }
    if (id == CHILDID_SELF) {
        target.valid = target.self = true;
        return target;
    }
    const std::vector<AccessibleChild> children = AccessibleChildrenOf(*container_);
    if (static_cast<std::size_t>(id) <= children.size()) {
        const AccessibleChild& found = children[static_cast<std::size_t>(id - 1)];
        target.valid = true;
        target.window = found.window;
        target.graphic = found.graphic;
    }
    return target;
}

ComPtr<IAccessible> WindowlessAccessible::Delegate(const Target& target) const {
    if (target.self) {
        ComPtr<IAccessible> self;
        if (standard_) {
            standard_->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(self.Put()));
        }
        return self;
    }
    return target.window != nullptr ? ObjectOfWindow(target.window, OBJID_WINDOW) : ComPtr<IAccessible>();
}

// A child window is an object of its own (its window object, as the system's client gives it); a
// windowless control is a child id of this object.
HRESULT WindowlessAccessible::ChildVariant(const AccessibleChild& child, long id, VARIANT* result) const {
    EmptyVariant(result);
    if (child.graphic != nullptr) {
        *result = ChildIdVariant(id);
        return S_OK;
    }
    ComPtr<IAccessible> object = ObjectOfWindow(child.window, OBJID_WINDOW);
    if (!object) {
        return E_FAIL;
    }
    IDispatch* dispatch = nullptr;
    const HRESULT hr = object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    if (SUCCEEDED(hr)) {
        result->vt = VT_DISPATCH;
        result->pdispVal = dispatch;
    }
    return hr;
}

HRESULT WindowlessAccessible::get_accParent(IDispatch** parent) {
    if (parent == nullptr) {
        return E_POINTER;
    }
    *parent = nullptr;
    return standard_ ? standard_->get_accParent(parent) : RPC_E_DISCONNECTED;
}

HRESULT WindowlessAccessible::get_accChildCount(long* count) {
    return Guarded("WindowlessAccessible::get_accChildCount", [&] {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        if (container_ == nullptr) {
            return RPC_E_DISCONNECTED;
        }
        *count = static_cast<long>(AccessibleChildrenOf(*container_).size());
        return S_OK;
    });
}

HRESULT WindowlessAccessible::get_accChild(VARIANT child, IDispatch** object) {
    return Guarded("WindowlessAccessible::get_accChild", [&] {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        const Target target = Resolve(child);
        if (!target.valid || target.self) {
            return E_INVALIDARG;
        }
        if (target.graphic != nullptr) {
            return S_FALSE; // a simple element: this object answers for it
        }
        ComPtr<IAccessible> window = ObjectOfWindow(target.window, OBJID_WINDOW);
        return window ? window->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object)) : E_FAIL;
    });
}

HRESULT WindowlessAccessible::get_accName(VARIANT child, BSTR* name) {
    return Guarded("WindowlessAccessible::get_accName", [&] {
        const Target target = Resolve(child);
        if (const auto answered =
                ForWindows(target, [&](IAccessible& d, VARIANT self) { return d.get_accName(self, name); })) {
            return *answered;
        }
        return ReturnText(Widen(target.graphic->AccessibleName()), name);
    });
}

HRESULT WindowlessAccessible::get_accValue(VARIANT child, BSTR* value) {
    return Guarded("WindowlessAccessible::get_accValue", [&] {
        const Target target = Resolve(child);
        if (const auto answered =
                ForWindows(target, [&](IAccessible& d, VARIANT self) { return d.get_accValue(self, value); })) {
            return *answered;
        }
        ReturnText(L"", value);
        return DISP_E_MEMBERNOTFOUND;
    });
}

HRESULT WindowlessAccessible::get_accDescription(VARIANT child, BSTR* text) {
    return Guarded("WindowlessAccessible::get_accDescription", [&] {
        const Target target = Resolve(child);
        if (const auto answered =
                ForWindows(target, [&](IAccessible& d, VARIANT self) { return d.get_accDescription(self, text); })) {
            return *answered;
        }
        ReturnText(L"", text);
        return DISP_E_MEMBERNOTFOUND;
    });
}

HRESULT WindowlessAccessible::get_accRole(VARIANT child, VARIANT* role) {
    return Guarded("WindowlessAccessible::get_accRole", [&] {
        if (role == nullptr) {
            return E_POINTER;
        }
        const Target target = Resolve(child);
        if (const auto answered =
                ForWindows(target, [&](IAccessible& d, VARIANT self) { return d.get_accRole(self, role); })) {
            return *answered;
        }
        *role = ChildIdVariant(target.graphic->AccessibleRole());
        return S_OK;
    });
}

HRESULT WindowlessAccessible::get_accState(VARIANT child, VARIANT* state) {
    return Guarded("WindowlessAccessible::get_accState", [&] {
        if (state == nullptr) {
            return E_POINTER;
        }
        const Target target = Resolve(child);
        if (const auto answered =
                ForWindows(target, [&](IAccessible& d, VARIANT self) { return d.get_accState(self, state); })) {
            return *answered;
        }
        *state = ChildIdVariant(StateOf(*target.graphic));
        return S_OK;
    });
}

long WindowlessAccessible::StateOf(const GraphicControl& control) const {
    long state = !control.Focusable() ? STATE_SYSTEM_READONLY : control.Enabled() ? STATE_SYSTEM_FOCUSABLE : 0;
    if (container_->FocusedGraphic() == &control) {
        state |= STATE_SYSTEM_FOCUSED;
    }
    if (!control.Enabled()) {
        state |= STATE_SYSTEM_UNAVAILABLE;
    }
    if (control.AccessibleRole() == ROLE_SYSTEM_LINK) {
        state |= STATE_SYSTEM_LINKED;
    }
    if (control.AccessibleRole() == ROLE_SYSTEM_BUTTONMENU) {
        state |= STATE_SYSTEM_HASPOPUP;
    }
    return state;
}

HRESULT WindowlessAccessible::get_accHelp(VARIANT child, BSTR* text) {
    return Guarded("WindowlessAccessible::get_accHelp", [&] {
        const Target target = Resolve(child);
        if (const auto answered =
                ForWindows(target, [&](IAccessible& d, VARIANT self) { return d.get_accHelp(self, text); })) {
            return *answered;
        }
        ReturnText(L"", text);
        return DISP_E_MEMBERNOTFOUND;
    });
}

HRESULT WindowlessAccessible::get_accHelpTopic(BSTR* file, VARIANT child, long* topic) {
    return Guarded("WindowlessAccessible::get_accHelpTopic", [&] {
        const Target target = Resolve(child);
        if (const auto answered = ForWindows(
                target, [&](IAccessible& d, VARIANT self) { return d.get_accHelpTopic(file, self, topic); })) {
            return *answered;
        }
        ReturnText(L"", file);
        return DISP_E_MEMBERNOTFOUND;
    });
}

HRESULT WindowlessAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* text) {
    return Guarded("WindowlessAccessible::get_accKeyboardShortcut", [&] {
        const Target target = Resolve(child);
        if (const auto answered = ForWindows(
                target, [&](IAccessible& d, VARIANT self) { return d.get_accKeyboardShortcut(self, text); })) {
            return *answered;
        }
        ReturnText(L"", text);
        return DISP_E_MEMBERNOTFOUND;
    });
}

HRESULT WindowlessAccessible::get_accDefaultAction(VARIANT child, BSTR* text) {
    return Guarded("WindowlessAccessible::get_accDefaultAction", [&] {
        const Target target = Resolve(child);
        if (const auto answered =
                ForWindows(target, [&](IAccessible& d, VARIANT self) { return d.get_accDefaultAction(self, text); })) {
            return *answered;
        }
        const std::string action = target.graphic->DefaultActionText();
        ReturnText(Widen(action), text);
        return action.empty() ? DISP_E_MEMBERNOTFOUND : S_OK;
    });
}

HRESULT WindowlessAccessible::get_accFocus(VARIANT* child) {
    return Guarded("WindowlessAccessible::get_accFocus", [&] {
        if (child == nullptr) {
            return E_POINTER;
        }
        EmptyVariant(child);
        return container_ == nullptr ? RPC_E_DISCONNECTED : Focused(child);
    });
}

// The focused windowless control, the window itself, or the child window that holds the focus.
HRESULT WindowlessAccessible::Focused(VARIANT* result) const {
    if (GraphicControl* control = container_->FocusedGraphic()) {
        *result = ChildIdVariant(AccessibleIdOf(*container_, *control));
        return S_OK;
    }
    HWND focus = GetFocus();
    if (focus == container_->Handle()) {
        *result = ChildIdVariant(CHILDID_SELF);
        return S_OK;
    }
    HWND holder = ChildHolding(container_->Handle(), focus);
    return holder != nullptr ? ChildVariant({holder, nullptr}, 0, result) : ReturnEmpty(result);
}

// Nothing of the window is selected; selection belongs to the controls that have it.
HRESULT WindowlessAccessible::get_accSelection(VARIANT* children) {
    if (children == nullptr) {
        return E_POINTER;
    }
    return container_ == nullptr ? RPC_E_DISCONNECTED : ReturnEmpty(children);
}

HRESULT WindowlessAccessible::accSelect(long flags, VARIANT child) {
    return Guarded("WindowlessAccessible::accSelect", [&] {
        const Target target = Resolve(child);
        if (const auto answered =
                ForWindows(target, [&](IAccessible& d, VARIANT self) { return d.accSelect(flags, self); })) {
            return *answered;
        }
        GraphicControl& control = *target.graphic;
        if (flags != SELFLAG_TAKEFOCUS || !control.Focusable() || !control.Enabled()) {
            return E_INVALIDARG;
        }
        container_->FocusGraphic(control);
        return S_OK;
    });
}

HRESULT WindowlessAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
    return Guarded("WindowlessAccessible::accLocation", [&] {
        if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) {
            return E_POINTER;
        }
        *left = *top = *width = *height = 0;
        const Target target = Resolve(child);
        if (const auto answered = ForWindows(
                target, [&](IAccessible& d, VARIANT self) { return d.accLocation(left, top, width, height, self); })) {
            return *answered;
        }
        RECT bounds = AccessibleBoundsOf(*container_, *target.graphic);
        MapWindowPoints(container_->Handle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&bounds), 2);
        *left = bounds.left;
        *top = bounds.top;
        *width = bounds.right - bounds.left;
        *height = bounds.bottom - bounds.top;
        return S_OK;
    });
}

HRESULT WindowlessAccessible::accNavigate(long direction, VARIANT start, VARIANT* end) {
    return Guarded("WindowlessAccessible::accNavigate", [&] {
        if (end == nullptr) {
            return E_POINTER;
        }
        EmptyVariant(end);
        const Target target = Resolve(start);
        if (!target.valid) {
            return E_INVALIDARG;
        }
        const bool intoChildren = direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD;
        if (target.self && !intoChildren) {
            // Among the window's own siblings: the system knows them.
            return standard_ ? standard_->accNavigate(direction, start, end) : E_FAIL;
        }
        return Neighbour(direction, target, end);
    });
}

// The first or last child of the window, or the next or previous sibling of a child; the
// directions on the screen are left to the objects that have them.
HRESULT WindowlessAccessible::Neighbour(long direction, const Target& from, VARIANT* result) const {
    const std::vector<AccessibleChild> children = AccessibleChildrenOf(*container_);
    const auto at = std::find_if(children.begin(), children.end(), [&](const AccessibleChild& c) {
        return c.window == from.window && c.graphic == from.graphic;
    });
    auto index = static_cast<std::ptrdiff_t>(at - children.begin());
    if (from.self) {
        index = direction == NAVDIR_FIRSTCHILD ? 0 : static_cast<std::ptrdiff_t>(children.size()) - 1;
    } else if (direction == NAVDIR_NEXT) {
        ++index;
    } else if (direction == NAVDIR_PREVIOUS) {
        --index;
    } else {
        return ReturnEmpty(result);
    }
    if (index < 0 || index >= static_cast<std::ptrdiff_t>(children.size())) {
        return ReturnEmpty(result);
    }
    return ChildVariant(children[static_cast<std::size_t>(index)], static_cast<long>(index + 1), result);
}

// Child windows lie over the windowless controls drawn on their parent.
HRESULT WindowlessAccessible::accHitTest(long x, long y, VARIANT* child) {
    return Guarded("WindowlessAccessible::accHitTest", [&] {
        if (child == nullptr) {
            return E_POINTER;
        }
        EmptyVariant(child);
        if (container_ == nullptr) {
            return RPC_E_DISCONNECTED;
        }
        HWND window = container_->Handle();
        POINT point{x, y};
        ScreenToClient(window, &point);
        RECT client{};
        GetClientRect(window, &client);
        if (!PtInRect(&client, point)) {
            return ReturnEmpty(child);
        }
        HWND hit = ChildWindowFromPointEx(window, point, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        if (hit != nullptr && hit != window) {
            return ChildVariant({hit, nullptr}, 0, child);
        }
        GraphicControl* control = container_->GraphicAt(point);
        if (control != nullptr && control->PartOf() != nullptr) {
            control = control->PartOf();
        }
        *child = ChildIdVariant(control != nullptr ? AccessibleIdOf(*container_, *control) : CHILDID_SELF);
        return S_OK;
    });
}

// As a click does, once this call has returned: a menu or a dialog that the control opens runs its
// own loop, and the client must not wait for it.
HRESULT WindowlessAccessible::accDoDefaultAction(VARIANT child) {
    return Guarded("WindowlessAccessible::accDoDefaultAction", [&] {
        const Target target = Resolve(child);
        if (const auto answered =
                ForWindows(target, [&](IAccessible& d, VARIANT self) { return d.accDoDefaultAction(self); })) {
            return *answered;
        }
        GraphicControl& control = *target.graphic;
        if (!control.Focusable()) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (!control.Enabled()) {
            return E_FAIL;
        }
        return container_->RequestActivation(control) ? S_OK : E_FAIL;
    });
}

} // namespace kestro
