#include "support/text_fit.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/handles_win.h"
#include "platform/winstr_win.h"

namespace kestro::testing_win {

namespace {

std::wstring WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(length, 0)));
    return text;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

HFONT FontOf(HWND hwnd) {
    return reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
}

// A caption without its "&" marks, "&&" read as one ampersand.
std::wstring WithoutPrefixes(const std::wstring& text) {
    std::wstring shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) {
            ++i;
        }
        shown += text[i];
    }
    return shown;
}

RECT RectInParent(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

struct Collector {
    int dpi;
    HFONT panelFont;
    std::vector<std::string> misfits;

    int S(int value) const { return MulDiv(value, dpi, 96); }

    void Note(const std::wstring& text, const std::string& what, int need, int room) {
        misfits.push_back("\"" + Narrow(text) + "\": " + what + " " + std::to_string(need) + " in " +
                          std::to_string(room));
    }

    void Glyphs(HFONT font, const std::wstring& text) {
        const std::wstring missing = MissingGlyphs(font, text);
        if (!missing.empty()) {
            misfits.push_back("\"" + Narrow(text) + "\": no glyphs for \"" + Narrow(missing) + "\"");
        }
    }

    // The width of the control's text against the room it has; returns whether it was a text
    // control that is sized to its text (labels and check boxes), whose place must stay clear.
    bool Measure(HWND control) {
        const std::wstring name = ClassOf(control);
        const std::wstring text = WindowText(control);
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
        RECT client{};
        GetClientRect(control, &client);
        HFONT font = FontOf(control);
        if (lstrcmpiW(name.c_str(), WC_COMBOBOXW) == 0) {
            MeasureItems(control);
            return false;
        }
        if (text.empty() || lstrcmpiW(name.c_str(), WC_EDITW) == 0) {
            return false;
        }
        if (lstrcmpiW(name.c_str(), WC_STATICW) == 0) {
            const DWORD type = style & SS_TYPEMASK;
            if (type != SS_LEFT && type != SS_LEFTNOWORDWRAP && type != SS_CENTER && type != SS_RIGHT) {
                return false;
            }
            Glyphs(font, text);
            const int width = TextWidth(font, text, (style & SS_NOPREFIX) == 0);
            if (width > client.right) {
                Note(text, "label", width, client.right);
            }
            return true;
        }
        if (lstrcmpiW(name.c_str(), WC_BUTTONW) == 0) {
            Glyphs(font, text);
            const DWORD type = style & BS_TYPEMASK;
            const int width = TextWidth(font, text, true);
            if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
                // Clear of the border and its shadow on both sides.
                if (width > client.right - S(6)) {
                    Note(text, "button", width, client.right - S(6));
                }
                return false;
            }
            // The mark (13 pixels at 96 DPI) and the gap before the text.
            const int room = client.right - S(16) - S(3);
            if (width > room) {
                Note(text, "check or radio item", width, room);
            }
            return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX;
        }
        if (lstrcmpiW(name.c_str(), PROGRESS_CLASSW) != 0) {
            // A panel with a caption: a group box, its caption on the frame's top line.
            font = font != nullptr ? font : panelFont;
            Glyphs(font, text);
            const int width = TextWidth(font, text);
            if (width > client.right - S(16)) {
                Note(text, "group caption", width, client.right - S(16));
            }
        }
        return false;
    }

    void MeasureItems(HWND combo) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        if (!GetComboBoxInfo(combo, &info)) {
            return;
        }
        const int room = info.rcItem.right - info.rcItem.left;
        const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            const auto length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
            std::wstring item(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
            SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
            item.resize(static_cast<std::size_t>(std::max<LRESULT>(length, 0)));
            Glyphs(FontOf(combo), item);
            const int width = TextWidth(FontOf(combo), item);
            if (width > room) {
                Note(item, "list item", width, room);
            }
        }
    }

    // A control sized to its text stays inside its parent and clear of its visible siblings.
    void Clearance(HWND control) {
        const RECT place = RectInParent(control);
        RECT parent{};
        GetClientRect(GetParent(control), &parent);
        if (place.right > parent.right) {
            Note(WindowText(control), "reaches out of its panel at", place.right, parent.right);
        }
        for (HWND sibling = GetWindow(GetParent(control), GW_CHILD); sibling != nullptr;
             sibling = GetWindow(sibling, GW_HWNDNEXT)) {
            RECT other = RectInParent(sibling);
            RECT overlap{};
            if (sibling != control && IsWindowVisible(sibling) && IntersectRect(&overlap, &place, &other)) {
                Note(WindowText(control), "runs into \"" + Narrow(WindowText(sibling)) + "\" by",
                     overlap.right - overlap.left, 0);
            }
        }
    }
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

} // namespace

int TextWidth(HFONT font, const std::wstring& text, bool prefixed) {
    const std::wstring shown = prefixed ? WithoutPrefixes(text) : text;
    ScopedDc dc(nullptr);
    SelectGuard selected(dc.Get(), font);
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), shown.c_str(), static_cast<int>(shown.size()), &size);
    return size.cx;
}

std::wstring MissingGlyphs(HFONT font, const std::wstring& text) {
    ScopedDc dc(nullptr);
    SelectGuard selected(dc.Get(), font);
    std::vector<WORD> glyphs(text.size());
    if (GetGlyphIndicesW(dc.Get(), text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                         GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR) {
        return {};
    }
    std::wstring missing;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Line breaks and other controls have no glyph in any font.
        if (glyphs[i] == 0xFFFF && text[i] >= L' ') {
            missing += text[i];
        }
    }
    return missing;
}

std::vector<std::string> TextMisfits(HWND window, int dpi, HFONT panelFont) {
    std::vector<HWND> children;
    EnumChildWindows(window, CollectWindow, reinterpret_cast<LPARAM>(&children));
    Collector collector{dpi, panelFont, {}};
    for (HWND child : children) {
        if (IsWindowVisible(child) && collector.Measure(child)) {
            collector.Clearance(child);
        }
    }
    return collector.misfits;
}

} // namespace kestro::testing_win
