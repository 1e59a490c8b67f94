#include "support/wine_helpers.h"

#include <fstream>
#include <iterator>

#include "platform/handles_win.h"
#include "platform/winstr_win.h"

namespace kestro::testing_win {

namespace {

std::filesystem::path SystemTempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, buffer);
    return buffer;
}

} // namespace

TempDir::TempDir(const std::wstring& name) : TempDir(SystemTempFolder(), name) {}

TempDir::TempDir(const std::filesystem::path& parent, const std::wstring& name) {
    path_ = parent / (name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64()));
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Utf8() const {
    return Narrow(path_.wstring());
}

std::filesystem::path ExeFolder() {
    wchar_t buffer[32768];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    return std::filesystem::path(std::wstring(buffer, n)).parent_path();
}

std::vector<std::filesystem::path> LogsIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> logs;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == L".log") {
            logs.push_back(entry.path());
        }
    }
    return logs;
}

std::string FileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

RECT PlaceOf(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return RECT{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

bool ProcessGone(DWORD processId, DWORD withinMs) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) {
        return true;
    }
    const bool gone = WaitForSingleObject(process, withinMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return gone;
}

void ClearClipboard() {
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

std::string ClipboardText() {
    std::string text;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
                text = Narrow(wide);
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
    }
    return text;
}

std::string WaitForClipboardText(DWORD timeoutMs) {
    std::string text;
    PumpUntil(
        [&] {
            text = ClipboardText();
            return !text.empty();
        },
        timeoutMs);
    return text;
}

DWORD HandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

DWORD GdiObjectCount() {
    return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
}

SystemColors::SystemColors(std::initializer_list<std::pair<int, COLORREF>> colors) {
    std::vector<COLORREF> values;
    for (const auto& [element, color] : colors) {
        elements_.push_back(element);
        saved_.push_back(GetSysColor(element));
        values.push_back(color);
    }
    SetSysColors(static_cast<int>(elements_.size()), elements_.data(), values.data());
}

SystemColors::~SystemColors() {
    SetSysColors(static_cast<int>(elements_.size()), elements_.data(), saved_.data());
}

namespace {

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK NoteVisibleMenu(HWND hwnd, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(hwnd, name, 16);
    if (lstrcmpW(name, L"#32768") == 0 && IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND ThisThreadsMenuWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), NoteVisibleMenu, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::vector<std::string> ClippedCaptions(HWND window, int dpi) {
    std::vector<HWND> children;
    EnumChildWindows(window, CollectWindow, reinterpret_cast<LPARAM>(&children));
    std::vector<std::string> clipped;
    for (HWND child : children) {
        wchar_t name[32] = {};
        GetClassNameW(child, name, 32);
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
        int mark = 0;
        if (lstrcmpiW(name, L"Static") == 0 && (style & SS_TYPEMASK) == SS_LEFT) {
            mark = 0;
        } else if (lstrcmpiW(name, L"Button") == 0 &&
                   ((style & BS_TYPEMASK) == BS_AUTOCHECKBOX || (style & BS_TYPEMASK) == BS_CHECKBOX)) {
            // The check mark, 13 pixels at 96 DPI, and the gap before the text.
            mark = MulDiv(16, dpi, 96);
        } else {
            continue;
        }
        const int length = GetWindowTextLengthW(child);
        if (length == 0) {
            continue;
        }
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        GetWindowTextW(child, text.data(), length + 1);
        text.resize(static_cast<std::size_t>(length));
        const ScopedDc dc(child);
        SIZE size{};
        {
            SelectGuard font(dc.Get(), reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
            GetTextExtentPoint32W(dc.Get(), text.c_str(), length, &size);
        }
        RECT client{};
        GetClientRect(child, &client);
        if (size.cx + mark > client.right) {
            clipped.push_back(Narrow(text) + " (" + std::to_string(size.cx + mark) + " in " +
                              std::to_string(client.right) + ")");
        }
    }
    return clipped;
}

namespace {

// A 32-bit top-down DIB of the window's client size, filled by paint(memory), read as colours.
template <class Paint> std::vector<COLORREF> ClientPixels(HWND window, Paint paint) {
    RECT r{};
    GetClientRect(window, &r);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = r.right;
    info.bmiHeader.biHeight = -r.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<COLORREF> pixels;
    if (bitmap != nullptr && bits != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        paint(memory, r);
        GdiFlush();
        const auto* data = static_cast<const DWORD*>(bits);
        for (LONG i = 0; i < r.right * r.bottom; ++i) {
            const DWORD p = data[i]; // 0x00RRGGBB
            pixels.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    return pixels;
}

} // namespace

std::vector<COLORREF> PrintClient(HWND window) {
    return ClientPixels(window, [&](HDC memory, const RECT&) {
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
    });
}

std::vector<COLORREF> ScreenClient(HWND window) {
    return ClientPixels(window, [&](HDC memory, const RECT& r) {
        HDC screen = GetDC(window);
        BitBlt(memory, 0, 0, r.right, r.bottom, screen, 0, 0, SRCCOPY);
        ReleaseDC(window, screen);
    });
}

} // namespace kestro::testing_win
