#pragma once
// The client area of a window that draws windowless controls, as screen readers see it: its child
// windows (left to the system's objects) and each visible windowless control as a child of its own.
#include <windows.h>

#include <optional>
#include <vector>

#include "ui/accessible_win.h"

namespace kestro {

class Container;
class GraphicControl;

// One child of a container's client object: a child window or a windowless control.
struct AccessibleChild {
    HWND window = nullptr;
    GraphicControl* graphic = nullptr;
};

// The children in the order that screen readers go through them: the child windows in their own
// order (the keyboard's), each visible windowless control just before the child window that holds
// the window it is placed before, those placed nowhere after them. A picture that is part of
// another control is not a child: it is found as that control. Child ids count from 1 in this order.
std::vector<AccessibleChild> AccessibleChildrenOf(const Container& container);
// The child id of a windowless control; CHILDID_SELF (0) when it is no child.
long AccessibleIdOf(const Container& container, const GraphicControl& control);
// Where a control and its visible parts are, in the container's client pixels.
RECT AccessibleBoundsOf(const Container& container, const GraphicControl& control);

// The object a container hands out for its client area. The container disconnects it when its
// window goes; from then on every call fails, as for a window that no longer exists.
class WindowlessAccessible final : public AccessibleObject {
public:
    explicit WindowlessAccessible(Container& container);
    void Disconnect() noexcept;

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;

private:
    // What a child id stands for.
    struct Target {
        bool valid = false;
        bool self = false;
        HWND window = nullptr;
        GraphicControl* graphic = nullptr;
    };
    Target Resolve(const VARIANT& child) const;
    // The standard object that answers for the window itself or for a child window.
    ComPtr<IAccessible> Delegate(const Target& target) const;
    // The standard object's answer for the window itself and its child windows (call gets the
    // object and the child id to ask it with); nothing for a windowless control.
    template <class Call> std::optional<HRESULT> ForWindows(const Target& target, Call call) const {
        if (!target.valid) {
            return E_INVALIDARG;
        }
        if (target.graphic != nullptr) {
            return std::nullopt;
        }
        ComPtr<IAccessible> delegate = Delegate(target);
        return delegate ? call(*delegate.Get(), ChildIdVariant(CHILDID_SELF)) : E_FAIL;
    }
    // A child as a client gets it: a windowless control by its id, a child window as its object.
    HRESULT ChildVariant(const AccessibleChild& child, long id, VARIANT* result) const;
    HRESULT Focused(VARIANT* result) const;
    HRESULT Neighbour(long direction, const Target& from, VARIANT* result) const;
    long StateOf(const GraphicControl& control) const;

    Container* container_;
    ComPtr<IAccessible> standard_;
};

} // namespace kestro
