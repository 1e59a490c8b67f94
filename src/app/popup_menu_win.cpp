#include "app/popup_menu_win.h"

#include <commctrl.h>

#include "platform/handles_win.h"
#include "platform/winstr_win.h"
#include "ui/display_win.h"
#include "ui/language_win.h"
#include "ui/window_win.h"

namespace kestro {

namespace {

// The "DeepBlue" look, in 96-DPI pixels and 0x00BBGGRR colours.
constexpr int kItemHeight = 21;
constexpr int kSeparatorHeight = 5;
constexpr int kSideBarWidth = 26;
constexpr int kTextIndent = 8;  // from the side bar to the caption
constexpr int kTextMargin = 16; // right of the caption
constexpr COLORREF kSeparatorColor = RGB(132, 130, 132);
constexpr COLORREF kSideBarColor = RGB(214, 211, 206);
constexpr COLORREF kBackgroundColor = RGB(255, 255, 255);
constexpr COLORREF kTextColor = RGB(0, 0, 0);
constexpr COLORREF kSelectedColor = RGB(68, 74, 160);
constexpr COLORREF kSelectedTextColor = RGB(255, 255, 255);
constexpr COLORREF kBorderColor = RGB(0, 0, 0);

constexpr UINT_PTR kMenuWindowSubclass = 1;

void Fill(HDC dc, const RECT& r, COLORREF color) {
    UniqueBrush brush(CreateSolidBrush(color));
    FillRect(dc, &r, brush.get());
}

void Frame(HDC dc, const RECT& r, COLORREF color) {
    UniqueBrush brush(CreateSolidBrush(color));
    FrameRect(dc, &r, brush.get());
}

// The letter after a single "&", upper-cased; 0 when the caption has none.
wchar_t Mnemonic(const std::wstring& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&') {
            continue;
        }
        if (caption[i + 1] == L'&') {
            ++i; // "&&" is an ampersand
            continue;
        }
        wchar_t letter[2] = {caption[i + 1], 0};
        CharUpperBuffW(letter, 1);
        return letter[0];
    }
    return 0;
}

bool IsMenuWindow(HWND hwnd) {
    return HasClass(hwnd, L"#32768");
}

// The caption as the menu shows it: a single "&" marks the mnemonic and is not drawn, "&&" is an
// ampersand.
std::wstring WithoutMnemonicMarks(const std::wstring& caption) {
    std::wstring shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size()) {
            ++i;
        }
        shown.push_back(caption[i]);
    }
    return shown;
}

} // namespace

struct SkinnedPopupMenu::Impl {
    struct Entry {
        int id;
        std::wstring caption;
        bool separator;
    };

    // Receives what a menu sends its owner while it runs: measuring, drawing
    // and unmatched keys. Owner-drawn items reach nothing else, and a window of
    // our own keeps the caller's window procedure out of it.
    class OwnerWindow : public Window {
    public:
        explicit OwnerWindow(Impl& impl) : impl_(impl) {}
        void Create(HWND owner) {
            CreateWindowFor(L"KestroPopupMenuOwner", WS_EX_TOOLWINDOW, L"", WS_POPUP, 0, 0, 0, 0, owner, nullptr);
        }

    protected:
        LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    private:
        Impl& impl_;
    };

    std::vector<Entry> entries; // the visible items, in menu order
    UniqueMenu menu;
    // Only while the menu runs:
    UniqueFont font;
    int dpi = 96;
    HHOOK hook = nullptr;

    static thread_local Impl* tracking;

    int S(int value) const { return MulDiv(value, dpi, 96); }

    void PrepareFont(HWND owner);
    void MeasureItem(MEASUREITEMSTRUCT& measure) const;
    void DrawItem(const DRAWITEMSTRUCT& draw) const;
    void DrawCaption(HDC dc, const Entry& entry, const RECT& area, bool selected, UINT state) const;
    LRESULT MenuChar(wchar_t key) const;
    int HighlightedItem() const;
    void DrawBorder(HWND hwnd, HDC given) const;
    void PaintBorder(HDC dc, const RECT& whole, const RECT& items) const;
    static LRESULT CALLBACK MenuWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data);
    static LRESULT CALLBACK CallWndProc(int code, WPARAM wParam, LPARAM lParam);
};

LRESULT SkinnedPopupMenu::Impl::OwnerWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (measure->CtlType == ODT_MENU) {
            impl_.MeasureItem(*measure);
            return TRUE;
        }
        break;
    }
    case WM_DRAWITEM: {
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (draw->CtlType == ODT_MENU) {
            impl_.DrawItem(*draw);
            return TRUE;
        }
        break;
    }
    case WM_MENUCHAR:
        if (reinterpret_cast<HMENU>(lParam) == impl_.menu.get()) {
            return impl_.MenuChar(LOWORD(wParam));
        }
        break;
    default:
        break;
    }
    return Default(msg, wParam, lParam);
}

// Drawn at the owner's DPI, with the menu font of that DPI.
void SkinnedPopupMenu::Impl::PrepareFont(HWND owner) {
    dpi = WindowDpi(owner);
    NONCLIENTMETRICSW metrics;
    if (NonClientMetricsAt(dpi, metrics)) {
        UseProgramFace(metrics.lfMenuFont);
        font.reset(CreateFontIndirectW(&metrics.lfMenuFont));
    } else {
        font.reset();
    }
}

void SkinnedPopupMenu::Impl::MeasureItem(MEASUREITEMSTRUCT& measure) const {
    const Entry& entry = entries.at(measure.itemData);
    if (entry.separator) {
        measure.itemHeight = static_cast<UINT>(S(kSeparatorHeight));
        measure.itemWidth = 0;
        return;
    }
    const SIZE text = TextExtent(static_cast<HWND>(nullptr), font.get(), WithoutMnemonicMarks(entry.caption));
    measure.itemHeight = static_cast<UINT>(S(kItemHeight));
    measure.itemWidth = static_cast<UINT>(S(kSideBarWidth + kTextIndent + kTextMargin) + text.cx);
}

void SkinnedPopupMenu::Impl::DrawItem(const DRAWITEMSTRUCT& draw) const {
    const Entry& entry = entries.at(draw.itemData);
    HDC dc = draw.hDC;
    const RECT& r = draw.rcItem;
    const RECT bar{r.left, r.top, r.left + S(kSideBarWidth), r.bottom};
    const bool selected = !entry.separator && (draw.itemState & ODS_SELECTED) != 0;
    if (selected) {
        Fill(dc, r, kSelectedColor);
        Frame(dc, r, kSelectedColor);
    } else {
        Fill(dc, r, kBackgroundColor);
        Fill(dc, bar, kSideBarColor);
    }
    if (entry.separator) {
        const int y = r.top + (r.bottom - r.top) / 2;
        Fill(dc, RECT{bar.right + S(2), y, r.right - S(2), y + 1}, kSeparatorColor);
        return;
    }
    DrawCaption(dc, entry, RECT{bar.right + S(kTextIndent), r.top, r.right, r.bottom}, selected, draw.itemState);
}

void SkinnedPopupMenu::Impl::DrawCaption(HDC dc, const Entry& entry, const RECT& area, bool selected,
                                         UINT state) const {
    SelectGuard selectedFont(dc, font.get());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF color = selected ? kSelectedTextColor : kTextColor;
    if ((state & (ODS_GRAYED | ODS_DISABLED)) != 0) {
        color = GetSysColor(COLOR_GRAYTEXT);
    }
    const COLORREF oldColor = SetTextColor(dc, color);
    RECT text = area;
    // The underline under the mnemonic follows the system's keyboard cues.
    const UINT prefix = (state & ODS_NOACCEL) != 0 ? DT_HIDEPREFIX : 0;
    DrawTextW(dc, entry.caption.c_str(), static_cast<int>(entry.caption.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT | prefix);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
}

// Owner-drawn items have no text for the menu to match a key against, so the owner is asked;
// without this answer "&Home Page" would not open with H.
LRESULT SkinnedPopupMenu::Impl::MenuChar(wchar_t key) const {
    wchar_t upper[2] = {key, 0};
    CharUpperBuffW(upper, 1);
    std::vector<int> matches;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].separator && Mnemonic(entries[i].caption) == upper[0]) {
            matches.push_back(static_cast<int>(i));
        }
    }
    if (matches.empty()) {
        return MAKELRESULT(0, MNC_IGNORE);
    }
    if (matches.size() == 1) {
        return MAKELRESULT(matches.front(), MNC_EXECUTE);
    }
    // Several items share the letter: each press moves to the next of them.
    const int current = HighlightedItem();
    for (const int match : matches) {
        if (match > current) {
            return MAKELRESULT(match, MNC_SELECT);
        }
    }
    return MAKELRESULT(matches.front(), MNC_SELECT);
}

// The position of the last highlighted item; -1 for none.
int SkinnedPopupMenu::Impl::HighlightedItem() const {
    int current = -1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if ((GetMenuState(menu.get(), static_cast<UINT>(i), MF_BYPOSITION) & MF_HILITE) != 0) {
            current = static_cast<int>(i);
        }
    }
    return current;
}

// The black outer border. The system draws its own edge around the items, in the non-client area
// on Windows and inside the client area on Wine; the frame is drawn over whatever lies outside
// the items, after the system.
void SkinnedPopupMenu::Impl::DrawBorder(HWND hwnd, HDC given) const {
    RECT window;
    GetWindowRect(hwnd, &window);
    RECT items{};
    const int count = GetMenuItemCount(menu.get());
    for (int i = 0; i < count; ++i) {
        RECT item;
        if (GetMenuItemRect(nullptr, menu.get(), static_cast<UINT>(i), &item)) {
            UnionRect(&items, &items, &item);
        }
    }
    if (IsRectEmpty(&items)) {
        return;
    }
    OffsetRect(&items, -window.left, -window.top);
    const RECT whole{0, 0, window.right - window.left, window.bottom - window.top};
    if (given != nullptr) {
        PaintBorder(given, whole, items);
        return;
    }
    const ScopedDc dc(hwnd, true);
    if (dc) {
        PaintBorder(dc.Get(), whole, items);
    }
}

void SkinnedPopupMenu::Impl::PaintBorder(HDC dc, const RECT& whole, const RECT& items) const {
    const int saved = SaveDC(dc);
    UniqueGdi<HRGN> outside(CreateRectRgnIndirect(&whole));
    UniqueGdi<HRGN> inside(CreateRectRgnIndirect(&items));
    CombineRgn(outside.get(), outside.get(), inside.get(), RGN_DIFF);
    ExtSelectClipRgn(dc, outside.get(), RGN_AND);
    Fill(dc, whole, kBackgroundColor);
    // The side bar runs on through the margins above and below the items.
    Fill(dc, RECT{whole.left, whole.top, items.left + S(kSideBarWidth), whole.bottom}, kSideBarColor);
    Frame(dc, whole, kBorderColor);
    RestoreDC(dc, saved);
}

LRESULT CALLBACK SkinnedPopupMenu::Impl::MenuWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                        DWORD_PTR data) {
    const auto* self = reinterpret_cast<const Impl*>(data);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &MenuWindowProc, kMenuWindowSubclass);
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    if (self != tracking) {
        // A menu window that outlives its run is left to the system.
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    switch (msg) {
    case WM_NCPAINT:
    case WM_PAINT: {
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        self->DrawBorder(hwnd, nullptr);
        return result;
    }
    case WM_PRINT: {
        // Menu animations take a picture of the window first.
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        if ((lParam & PRF_NONCLIENT) != 0) {
            self->DrawBorder(hwnd, reinterpret_cast<HDC>(wParam));
        }
        return result;
    }
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// The menu window is the system's own; it is caught as it is created.
LRESULT CALLBACK SkinnedPopupMenu::Impl::CallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && tracking != nullptr) {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (call->message == WM_CREATE && IsMenuWindow(call->hwnd)) {
            SetWindowSubclass(call->hwnd, &MenuWindowProc, kMenuWindowSubclass, reinterpret_cast<DWORD_PTR>(tracking));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

thread_local SkinnedPopupMenu::Impl* SkinnedPopupMenu::Impl::tracking = nullptr;

SkinnedPopupMenu::SkinnedPopupMenu(const std::vector<PopupItem>& items) : impl_(std::make_unique<Impl>()) {
    impl_->menu.reset(CreatePopupMenu());
    for (const PopupItem& item : items) {
        if (!item.visible) {
            continue;
        }
        const bool separator = item.id == 0;
        impl_->entries.push_back(Impl::Entry{item.id, Widen(item.caption), separator});
        Impl::Entry& entry = impl_->entries.back();
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_DATA;
        info.fType = MFT_OWNERDRAW | (separator ? MFT_SEPARATOR : 0);
        info.wID = static_cast<UINT>(item.id);
        info.dwItemData = impl_->entries.size() - 1;
        if (!separator) {
            // The caption stays readable for screen readers and for GetMenuString.
            info.fMask |= MIIM_STRING;
            info.dwTypeData = entry.caption.data();
        }
        InsertMenuItemW(impl_->menu.get(), static_cast<UINT>(impl_->entries.size() - 1), TRUE, &info);
    }
}

SkinnedPopupMenu::~SkinnedPopupMenu() = default;

HMENU SkinnedPopupMenu::Handle() const {
    return impl_->menu.get();
}

int SkinnedPopupMenu::Popup(HWND owner, POINT screenPoint) {
    return Run(owner, screenPoint, nullptr);
}

int SkinnedPopupMenu::PopupFromKeyboard(HWND owner, POINT screenPoint, const RECT& avoid) {
    return Run(owner, screenPoint, &avoid);
}

int SkinnedPopupMenu::Run(HWND owner, POINT screenPoint, const RECT* keyboardAvoid) {
    Impl& impl = *impl_;
    if (!impl.menu || Impl::tracking != nullptr) {
        return 0;
    }
    impl.PrepareFont(owner);
    Impl::OwnerWindow ownerWindow(impl);
    ownerWindow.Create(owner);
    if (ownerWindow.Handle() == nullptr) {
        return 0;
    }
    Impl::tracking = &impl;
    impl.hook = SetWindowsHookExW(WH_CALLWNDPROC, &Impl::CallWndProc, nullptr, GetCurrentThreadId());
    const int chosen = Track(ownerWindow.Handle(), screenPoint, keyboardAvoid);
    if (impl.hook != nullptr) {
        UnhookWindowsHookEx(impl.hook);
        impl.hook = nullptr;
    }
    Impl::tracking = nullptr;
    impl.font.reset();
    return chosen;
}

int SkinnedPopupMenu::Track(HWND ownerWindow, POINT screenPoint, const RECT* keyboardAvoid) {
    TPMPARAMS params{};
    params.cbSize = sizeof(params);
    UINT flags = TPM_RETURNCMD | TPM_RIGHTBUTTON; // left- and top-aligned: both flags are 0
    if (keyboardAvoid != nullptr) {
        params.rcExclude = *keyboardAvoid;
        // A menu opened from the keyboard starts with its first item selected, as the menu
        // loop does for a Down key that waits in the queue when it begins.
        PostMessageW(ownerWindow, WM_KEYDOWN, VK_DOWN, 0);
        flags |= TPM_VERTICAL; // moved up or down, not sideways, to keep clear of the control
    }
    return static_cast<int>(TrackPopupMenuEx(impl_->menu.get(), flags, screenPoint.x, screenPoint.y, ownerWindow,
                                             keyboardAvoid != nullptr ? &params : nullptr));
}

} // namespace kestro
