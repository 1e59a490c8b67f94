#pragma once
// Owners for every kind of Win32 handle the program holds. INVALID_HANDLE_VALUE
// counts as empty, like null, so a failed CreateFile is simply an empty handle.
#include <windows.h>
#include <unknwn.h>

#include <memory>
#include <type_traits>
#include <utility>

namespace kestro {

struct HandleCloser {
    void operator()(HANDLE h) const noexcept {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
    }
};

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) noexcept : handle_(Valid(h) ? h : nullptr) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.handle_, nullptr));
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    HANDLE Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    HANDLE Release() noexcept { return std::exchange(handle_, nullptr); }
    void Reset(HANDLE h = nullptr) noexcept {
        HANDLE old = std::exchange(handle_, Valid(h) ? h : nullptr);
        HandleCloser{}(old);
    }
    // For out-parameters of API calls: the current handle is closed first.
    HANDLE* Put() noexcept {
        Reset();
        return &handle_;
    }

private:
    static bool Valid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    HANDLE handle_ = nullptr;
};

struct GdiDeleter {
    void operator()(HGDIOBJ h) const noexcept {
        if (h != nullptr) {
            DeleteObject(h);
        }
    }
};
template <class T> using UniqueGdi = std::unique_ptr<std::remove_pointer_t<T>, GdiDeleter>;
using UniqueFont = UniqueGdi<HFONT>;
using UniqueBitmap = UniqueGdi<HBITMAP>;
using UniqueBrush = UniqueGdi<HBRUSH>;
using UniquePen = UniqueGdi<HPEN>;

struct IconDeleter {
    void operator()(HICON h) const noexcept {
        if (h != nullptr) {
            DestroyIcon(h);
        }
    }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

struct MenuDeleter {
    void operator()(HMENU h) const noexcept {
        if (h != nullptr) {
            DestroyMenu(h);
        }
    }
};
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;

// The device context of a window's client area (or, with wholeWindow, of the whole window, frame
// included), released when the guard ends. A null window stands for the screen.
class ScopedDc {
public:
    explicit ScopedDc(HWND window, bool wholeWindow = false) noexcept
        : window_(window), dc_(wholeWindow ? GetWindowDC(window) : GetDC(window)) {}
    ~ScopedDc() {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    ScopedDc(const ScopedDc&) = delete;
    ScopedDc& operator=(const ScopedDc&) = delete;

    HDC Get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// A memory DC that deletes itself.
struct DcDeleter {
    void operator()(HDC dc) const noexcept {
        if (dc != nullptr) {
            DeleteDC(dc);
        }
    }
};
using UniqueDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

// Selects an object into a DC for the lifetime of the guard.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectGuard() { SelectObject(dc_, old_); }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Minimal owner of a COM interface pointer.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    // Takes over a reference that the caller owns.
    explicit ComPtr(T* owned) noexcept : ptr_(owned) {}
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            ptr_ = std::exchange(other.ptr_, nullptr);
        }
        return *this;
    }
    T* Get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    T** Put() noexcept {
        Reset();
        return &ptr_;
    }
    void Reset() noexcept {
        if (ptr_ != nullptr) {
            std::exchange(ptr_, nullptr)->Release();
        }
    }

private:
    T* ptr_ = nullptr;
};

} // namespace kestro
