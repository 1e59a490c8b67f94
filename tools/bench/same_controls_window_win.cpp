// The honest floor for the program's start-up and footprint: a window with the same standard
// controls as Tarvask.exe's main window when it first appears, the same classes, styles, texts,
// places and font, in panels of the same kind, and the same manifest (common controls 6,
// PerMonitorV2). It reads no settings, lists no drives, decodes no pictures and loads no string
// tables: what Tarvask.exe needs beyond this window is what the program itself costs.
#include <windows.h>
#include <commctrl.h>

namespace {

constexpr wchar_t kClassName[] = L"Kestro Bench Same Controls Window";
constexpr wchar_t kPanelClass[] = L"Kestro Bench Panel";

constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kEdit = WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCheck = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kCombo = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
constexpr DWORD kPanel = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;

struct Control {
    int parent; // index into the panels made before it: 0 the form, 1 the main panel, ...
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    DWORD exStyle;
    int x, y, width, height;
};

// The panels, in the order the program makes them: the main panel on the form, the two rows and
// the filter group on the main panel.
struct Panel {
    int parent;
    int x, y, width, height;
};
constexpr Panel kPanels[] = {{0, 8, 56, 460, 299}, {1, 8, 39, 433, 34}, {1, 8, 88, 473, 34}, {1, 8, 127, 430, 57}};

// The standard controls of the main window as it first appears (All deleted files chosen), in the
// program's order of making.
constexpr Control kControls[] = {
    {1, WC_STATICW, L"Source drive:", kLabel, 0, 8, 11, 66, 13},
    {1, WC_COMBOBOXW, L"", kCombo, 0, 79, 8, 130, 21},
    {1, WC_STATICW, L"Recovery mode:", kLabel, 0, 260, 7, 79, 13},
    {1, WC_COMBOBOXW, L"", kCombo, 0, 344, 4, 92, 21},
    {2, WC_BUTTONW, L"Browser...", kButton, 0, 350, 0, 80, 23},
    {2, WC_EDITW, L"", kEdit, WS_EX_CLIENTEDGE, 51, 2, 278, 20},
    {2, WC_STATICW, L"Save to:", kLabel, 0, 0, 5, 44, 13},
    {1, WC_STATICW, L"", WS_VISIBLE | SS_ETCHEDHORZ, 0, 0, 74, 439, 2},
    {3, WC_BUTTONW, L"Source file path:", kCheck, 0, 0, 3, 100, 17},
    {3, WC_EDITW, L"", kEdit, WS_EX_CLIENTEDGE, 106, 3, 222, 20},
    {3, WC_BUTTONW, L"Browser...", kButton, 0, 350, 1, 80, 23},
    {4, WC_BUTTONW, L"All deleted files", WS_VISIBLE | BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 0, 8, 14, 105, 39},
    {4, WC_BUTTONW, L"Specific file", WS_VISIBLE | BS_AUTORADIOBUTTON, 0, 113, 14, 105, 39},
    {4, WC_BUTTONW, L"Wildcard", WS_VISIBLE | BS_AUTORADIOBUTTON, 0, 218, 14, 105, 39},
    {4, WC_BUTTONW, L"Deleted file type", WS_VISIBLE | BS_AUTORADIOBUTTON, 0, 323, 14, 105, 39},
    {1, WC_BUTTONW, L"Start...", kButton, 0, 158, 204, 80, 23},
    {1, WC_BUTTONW, L"Show Files...", kButton, 0, 254, 204, 80, 23},
    {1, WC_BUTTONW, L"Exit", kButton, 0, 351, 204, 80, 23},
};

int dpi = 96;

int S(int value) {
    return MulDiv(value, dpi, 96);
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // The panels pass their controls' notifications on, as the program's do.
    if (msg == WM_COMMAND || msg == WM_NOTIFY || msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
        return SendMessageW(GetAncestor(hwnd, GA_ROOT), msg, wParam, lParam);
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool Register(HINSTANCE instance, const wchar_t* name, WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

void CreateControls(HWND form, HINSTANCE instance, HFONT font) {
    HWND parents[1 + sizeof(kPanels) / sizeof(kPanels[0])] = {form};
    int made = 1;
    for (const Panel& p : kPanels) {
        parents[made++] = CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, L"", kPanel, S(p.x), S(p.y), S(p.width),
                                          S(p.height), parents[p.parent], nullptr, instance, nullptr);
    }
    int id = 1001;
    for (const Control& c : kControls) {
        HWND control = CreateWindowExW(c.exStyle, c.className, c.text, c.style | WS_CHILD, S(c.x), S(c.y),
                                       S(c.width), S(c.height), parents[c.parent],
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (c.style == kCombo && c.x == 344) {
            SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Quick Scan"));
            SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Deep Scan"));
            SendMessageW(control, CB_SETCURSEL, 0, 0);
        }
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    if (!Register(instance, kClassName, WindowProc) || !Register(instance, kPanelClass, PanelProc)) {
        return 1;
    }
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    HWND hwnd = CreateWindowExW(0, kClassName, L"Kestro Refindor 2.0", style, CW_USEDEFAULT, CW_USEDEFAULT, 460, 299,
                                nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr) {
        return 1;
    }
    dpi = static_cast<int>(GetDpiForWindow(hwnd));
    RECT frame{0, 0, S(460), S(299)};
    AdjustWindowRectExForDpi(&frame, style, FALSE, 0, static_cast<UINT>(dpi));
    SetWindowPos(hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
    HFONT font = CreateFontW(S(-11), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
    CreateControls(hwnd, instance, font);
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(hwnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    DeleteObject(font);
    return static_cast<int>(msg.wParam);
}
