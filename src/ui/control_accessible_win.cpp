#include "ui/control_accessible_win.h"

#include <commctrl.h>

#include <memory>
#include <new>
#include <utility>

#include "base/failures.h"
#include "platform/winstr_win.h"
#include "ui/accessible_win.h"

namespace kestro {

namespace {

constexpr UINT_PTR kAccessibleSubclass = 0x4B41;
// The adjustments in force are also kept in a window property, so that a later call can free them:
// x86_64 MinGW's import library has no GetWindowSubclass to ask for them.
constexpr wchar_t kAdjustmentsProp[] = L"Kestro.AccessibleAdjustments";

// The system's object of a control, asked for everything but what the adjustments answer.
class AdjustedAccessible final : public AccessibleObject {
public:
    AdjustedAccessible(ComPtr<IAccessible> standard, AccessibleAdjustments adjustments)
        : standard_(std::move(standard)), adjustments_(std::move(adjustments)) {}

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return Answer(child, adjustments_.name, name, [&] { return standard_->get_accName(child, name); });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return Answer(child, adjustments_.value, value, [&] { return standard_->get_accValue(child, value); });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (ChildIdOf(child) != CHILDID_SELF || adjustments_.role == 0) {
            return standard_->get_accRole(child, role);
        }
        if (role == nullptr) {
            return E_POINTER;
        }
        *role = ChildIdVariant(adjustments_.role);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return standard_->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return standard_->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return standard_->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return standard_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override {
        return standard_->get_accHelp(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override {
        return standard_->get_accKeyboardShortcut(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return standard_->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return standard_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* text) override {
        return standard_->get_accDefaultAction(child, text);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return standard_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        return standard_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        return standard_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return standard_->accDoDefaultAction(child);
    }

private:
    // The adjustment's text for the control itself, the system's answer otherwise.
    template <class Standard>
    HRESULT Answer(const VARIANT& child, const std::function<std::wstring()>& adjusted, BSTR* text, Standard standard) {
        if (ChildIdOf(child) != CHILDID_SELF || !adjusted) {
            return standard();
        }
        try {
            return ReturnText(adjusted(), text);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            SwallowedFailure("AdjustedAccessible::Answer");
            return E_FAIL;
        }
    }

    ComPtr<IAccessible> standard_;
    AccessibleAdjustments adjustments_;
};

LRESULT AnswerWithAdjusted(HWND control, WPARAM wParam, const AccessibleAdjustments& adjustments) {
    ComPtr<IAccessible> standard = StandardObject(control, OBJID_CLIENT);
    if (!standard) {
        return 0;
    }
    auto* adjusted = new AdjustedAccessible(std::move(standard), adjustments);
    const LRESULT result = AnswerGetObject(adjusted, wParam);
    adjusted->Release();
    return result;
}

LRESULT CALLBACK AdjustedProc(HWND control, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                              DWORD_PTR data) noexcept {
    auto* adjustments = reinterpret_cast<AccessibleAdjustments*>(data);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(control, &AdjustedProc, id);
        RemovePropW(control, kAdjustmentsProp);
        delete adjustments;
    } else if (msg == WM_GETOBJECT && AsksForClient(lParam)) {
        try {
            if (const LRESULT result = AnswerWithAdjusted(control, wParam, *adjustments)) {
                return result;
            }
        } catch (...) {
            // The system's own object answers instead.
            SwallowedFailure("AdjustedProc: WM_GETOBJECT");
        }
    }
    return DefSubclassProc(control, msg, wParam, lParam);
}

} // namespace

void AdjustAccessible(HWND control, AccessibleAdjustments adjustments) {
    auto owned = std::make_unique<AccessibleAdjustments>(std::move(adjustments));
    auto* previous = static_cast<AccessibleAdjustments*>(GetPropW(control, kAdjustmentsProp));
    // The same subclass again only replaces its data.
    if (!SetWindowSubclass(control, &AdjustedProc, kAccessibleSubclass, reinterpret_cast<DWORD_PTR>(owned.get()))) {
        return;
    }
    SetPropW(control, kAdjustmentsProp, owned.release());
    delete previous;
}

void SetAccessibleName(HWND control, const std::string& name) {
    const std::wstring text = Widen(name);
    const auto adjust = [&text](HWND window) {
        AccessibleAdjustments adjustments;
        adjustments.name = [text] { return std::wstring(text); }; // a copy for each asking
        AdjustAccessible(window, std::move(adjustments));
    };
    adjust(control);
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof(combo);
    if (GetComboBoxInfo(control, &combo) && combo.hwndItem != nullptr && combo.hwndItem != control) {
        adjust(combo.hwndItem);
    }
}

} // namespace kestro
