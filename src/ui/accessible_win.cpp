#include "ui/accessible_win.h"

#include "platform/optional_api_win.h"

namespace kestro {

namespace {

std::atomic<long> liveObjects{0};

} // namespace

AccessibleObject::AccessibleObject() {
    ++liveObjects;
}

AccessibleObject::~AccessibleObject() {
    --liveObjects;
}

long LiveAccessibleObjects() noexcept {
    return liveObjects.load();
}

HRESULT AccessibleObject::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IAccessible)) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG AccessibleObject::AddRef() {
    return ++references_;
}

ULONG AccessibleObject::Release() {
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT AccessibleObject::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

HRESULT AccessibleObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) {
        *info = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT AccessibleObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT AccessibleObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

HRESULT AccessibleObject::put_accName(VARIANT, BSTR) {
    return E_NOTIMPL;
}

HRESULT AccessibleObject::put_accValue(VARIANT, BSTR) {
    return E_NOTIMPL;
}

long ChildIdOf(const VARIANT& child) noexcept {
    return child.vt == VT_I4 ? child.lVal : -1;
}

void EmptyVariant(VARIANT* v) noexcept {
    *v = VARIANT{};
    v->vt = VT_EMPTY;
}

VARIANT ChildIdVariant(long id) noexcept {
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

HRESULT ReturnText(const std::wstring& text, BSTR* result) noexcept {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    if (text.empty()) {
        return S_FALSE;
    }
    const AutomationFunctions& oleaut = AutomationApi();
    if (oleaut.allocString == nullptr) {
        return E_OUTOFMEMORY;
    }
    *result = oleaut.allocString(text.data(), static_cast<UINT>(text.size()));
    return *result != nullptr ? S_OK : E_OUTOFMEMORY;
}

ComPtr<IAccessible> StandardObject(HWND window, LONG objectId) {
    ComPtr<IAccessible> object;
    const AccessibilityFunctions& oleacc = Accessibility();
    if (oleacc.createStandardObject != nullptr) {
        oleacc.createStandardObject(window, objectId, IID_IAccessible, reinterpret_cast<void**>(object.Put()));
    }
    return object;
}

ComPtr<IAccessible> ObjectOfWindow(HWND window, LONG objectId) {
    ComPtr<IAccessible> object;
    const AccessibilityFunctions& oleacc = Accessibility();
    if (oleacc.objectFromWindow != nullptr) {
        oleacc.objectFromWindow(window, static_cast<DWORD>(objectId), IID_IAccessible,
                                reinterpret_cast<void**>(object.Put()));
    }
    return object;
}

LRESULT AnswerGetObject(IAccessible* object, WPARAM wParam) noexcept {
    const AccessibilityFunctions& oleacc = Accessibility();
    if (object == nullptr || oleacc.resultFromObject == nullptr || !UseCom()) {
        return 0;
    }
    const LRESULT result = oleacc.resultFromObject(IID_IAccessible, wParam, object);
    return result > 0 ? result : 0;
}

// The object id arrives as a DWORD in the low half of lParam, also where lParam is wider.
bool AsksForClient(LPARAM objectId) noexcept {
    return static_cast<LONG>(static_cast<DWORD>(objectId)) == OBJID_CLIENT;
}

} // namespace kestro
