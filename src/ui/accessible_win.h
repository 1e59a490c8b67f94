#pragma once
// What screen readers and other assistive technology see of the program's windows (Microsoft Active
// Accessibility, which Windows also offers to UI Automation clients): the COM plumbing that every
// IAccessible of the program shares, and the system's objects that they build on.
#include <windows.h>
#include <oleacc.h>

#include <atomic>
#include <string>

#include "platform/handles_win.h"

namespace kestro {

// A COM object is never deleted through an interface pointer, only by its own Release, so the
// interfaces' non-virtual destructors are no danger here.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
// Reference counting, IUnknown and IDispatch of an IAccessible. Clients only call the IAccessible
// methods, so IDispatch offers no type information. Objects start with one reference, which their
// maker owns. Whatever a method does, no exception leaves it.
class AccessibleObject : public IAccessible {
public:
    AccessibleObject(const AccessibleObject&) = delete;
    AccessibleObject& operator=(const AccessibleObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

    // Names and values are not set from outside (the methods are deprecated).
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

protected:
    AccessibleObject();
    virtual ~AccessibleObject();

private:
    std::atomic<ULONG> references_{1};
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// How many of the program's accessible objects are alive: a client that has released everything
// it was given leaves none but those that their windows keep.
long LiveAccessibleObjects() noexcept;

// An empty VARIANT, as VariantInit makes it (which oleaut32 would have to be loaded for).
void EmptyVariant(VARIANT* v) noexcept;
// The child id a VARIANT carries (VT_I4), or -1 for anything else.
long ChildIdOf(const VARIANT& child) noexcept;
VARIANT ChildIdVariant(long id) noexcept;
// A text for a client, who frees it: S_OK, or S_FALSE with null for an empty text.
HRESULT ReturnText(const std::wstring& text, BSTR* result) noexcept;

// The system's object of a window (CreateStdAccessibleObject), or null where oleacc is missing.
ComPtr<IAccessible> StandardObject(HWND window, LONG objectId);
// A window's object as clients get it (AccessibleObjectFromWindow), or null.
ComPtr<IAccessible> ObjectOfWindow(HWND window, LONG objectId);
// The answer to WM_GETOBJECT that hands object to the client; 0 where that cannot be done. Starts
// COM on the calling thread, the window's (the GUI thread), where it has not been started yet.
LRESULT AnswerGetObject(IAccessible* object, WPARAM wParam) noexcept;
// Whether a WM_GETOBJECT asks for the client area's object.
bool AsksForClient(LPARAM objectId) noexcept;

} // namespace kestro
