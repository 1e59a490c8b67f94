// The main window's popup menu: its items, its owner-drawn measures and look,
// and the choice it returns, driven from inside its modal loop.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/popup_menu_win.h"
#include "platform/handles_win.h"
#include "platform/winstr_win.h"
#include "support/wine_helpers.h"

using namespace kestro;

namespace {

const std::vector<PopupItem> kMainMenu = {
    {1, "&Home Page", true}, {0, "", true}, {2, "&Donate", true},   {0, "", true},
    {3, "Options", false},   {0, "", true}, {4, "&About...", true},
};

// What runs inside the menu's loop: one step per timer tick, each given the
// menu window; a tick without a step left closes the menu, so no test hangs.
struct Script {
    std::vector<std::function<void(HWND menuWindow)>> steps;
    std::size_t next = 0;
    int idleTicks = 0;
};
Script* g_script = nullptr;

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
    HWND menuWindow = testing_win::ThisThreadsMenuWindow();
    if (menuWindow == nullptr) {
        return; // not on screen yet
    }
    if (g_script->next < g_script->steps.size()) {
        g_script->steps[g_script->next++](menuWindow);
    } else if (++g_script->idleTicks > 40) {
        EndMenu();
    }
}

class PopupMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PopupMenuTestOwner";
        RegisterClassW(&wc);
        owner_ = CreateWindowExW(0, L"PopupMenuTestOwner", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300,
                                 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(owner_, nullptr);
        SetForegroundWindow(owner_);
    }
    void TearDown() override { DestroyWindow(owner_); }

    int Run(SkinnedPopupMenu& menu, std::vector<std::function<void(HWND)>> steps, POINT at = {200, 150},
            const RECT* fromKeyboard = nullptr) {
        Script script{std::move(steps)};
        g_script = &script;
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, OnTick);
        const int chosen = fromKeyboard != nullptr ? menu.PopupFromKeyboard(owner_, at, *fromKeyboard)
                                                   : menu.Popup(owner_, at);
        KillTimer(nullptr, timer);
        g_script = nullptr;
        EXPECT_EQ(script.next, script.steps.size()) << "the menu closed before the script ended";
        return chosen;
    }

    static void Key(HWND menuWindow, WPARAM key) {
        PostMessageW(menuWindow, WM_KEYDOWN, key, 1);
        PostMessageW(menuWindow, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    }
    static void Char(HWND menuWindow, wchar_t c) { PostMessageW(menuWindow, WM_CHAR, c, 1); }

    HWND owner_ = nullptr;
};

struct Capture {
    std::vector<COLORREF> pixels;
    int width = 0;
    int height = 0;
    COLORREF At(int x, int y) const { return pixels.at(static_cast<std::size_t>(y * width + x)); }
};

Capture Snapshot(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ERASE);
    RECT r;
    GetWindowRect(window, &r);
    Capture capture;
    capture.width = r.right - r.left;
    capture.height = r.bottom - r.top;
    const ScopedDc windowDc(window, true);
    HDC source = windowDc.Get();
    UniqueDc memory(CreateCompatibleDC(source));
    UniqueBitmap bitmap(CreateCompatibleBitmap(source, capture.width, capture.height));
    {
        SelectGuard selected(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, capture.width, capture.height, source, 0, 0, SRCCOPY);
        for (int y = 0; y < capture.height; ++y) {
            for (int x = 0; x < capture.width; ++x) {
                capture.pixels.push_back(GetPixel(memory.get(), x, y));
            }
        }
    }
    return capture;
}

// An item's place within the menu window.
RECT ItemRect(HWND menuWindow, HMENU menu, int position) {
    RECT window;
    GetWindowRect(menuWindow, &window);
    RECT item{};
    GetMenuItemRect(nullptr, menu, static_cast<UINT>(position), &item);
    OffsetRect(&item, -window.left, -window.top);
    return item;
}

} // namespace

TEST_F(PopupMenuTest, HoldsTheVisibleItemsInOrderWithTheSeparatorsAroundTheHiddenOne) {
    SkinnedPopupMenu menu(kMainMenu);
    HMENU h = menu.Handle();
    struct Expected {
        UINT id;
        const char* caption;
        bool separator;
    };
    const Expected expected[] = {
        {1, "&Home Page", false}, {0, "", true}, {2, "&Donate", false}, {0, "", true}, {0, "", true},
        {4, "&About...", false},
    };
    ASSERT_EQ(GetMenuItemCount(h), 6);
    for (int i = 0; i < 6; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID;
        ASSERT_TRUE(GetMenuItemInfoW(h, static_cast<UINT>(i), TRUE, &info));
        EXPECT_EQ(info.wID, expected[i].id) << i;
        EXPECT_EQ((info.fType & MFT_SEPARATOR) != 0, expected[i].separator) << i;
        EXPECT_NE(info.fType & MFT_OWNERDRAW, 0u) << "every item is drawn in the skin, separators too: " << i;
        wchar_t text[64] = {};
        GetMenuStringW(h, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        EXPECT_EQ(Narrow(text), expected[i].caption) << i;
    }
}

TEST_F(PopupMenuTest, OpensAtThePointWithItemsOf21AndSeparatorsOf5Pixels) {
    SkinnedPopupMenu menu(kMainMenu);
    std::vector<RECT> items;
    RECT window{};
    Run(menu, {[&](HWND menuWindow) {
            GetWindowRect(menuWindow, &window);
            for (int i = 0; i < 6; ++i) {
                items.push_back(ItemRect(menuWindow, menu.Handle(), i));
            }
            EndMenu();
        }},
        POINT{210, 160});
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(window.left, 210);
    EXPECT_EQ(window.top, 160);
    const int heights[] = {21, 5, 21, 5, 5, 21};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(items[i].bottom - items[i].top, heights[i]) << i;
        EXPECT_EQ(items[i].right - items[i].left, items[0].right - items[0].left) << i;
        if (i > 0) {
            EXPECT_EQ(items[i].top, items[i - 1].bottom) << "one below the other: " << i;
        }
    }
    EXPECT_GT(items[0].right - items[0].left, 26 + 40) << "room for the side bar and the widest caption";
}

TEST_F(PopupMenuTest, ReturnsTheChosenItemOrZero) {
    struct Case {
        const char* what;
        std::function<void(HWND)> keys;
        int expected;
    };
    const Case cases[] = {
        {"first item",
         [](HWND w) {
             Key(w, VK_DOWN);
             Key(w, VK_RETURN);
         },
         1},
        {"down over the separator",
         [](HWND w) {
             Key(w, VK_DOWN);
             Key(w, VK_DOWN);
             Key(w, VK_RETURN);
         },
         2},
        {"over both separators",
         [](HWND w) {
             Key(w, VK_DOWN);
             Key(w, VK_DOWN);
             Key(w, VK_DOWN);
             Key(w, VK_RETURN);
         },
         4},
        {"up wraps to the last",
         [](HWND w) {
             Key(w, VK_UP);
             Key(w, VK_RETURN);
         },
         4},
        {"mnemonic H", [](HWND w) { Char(w, L'h'); }, 1},
        {"mnemonic D", [](HWND w) { Char(w, L'D'); }, 2},
        {"mnemonic A", [](HWND w) { Char(w, L'a'); }, 4},
        {"Escape", [](HWND w) { Key(w, VK_ESCAPE); }, 0},
        {"dismissed", [](HWND) { EndMenu(); }, 0},
    };
    for (const Case& c : cases) {
        SkinnedPopupMenu menu(kMainMenu);
        EXPECT_EQ(Run(menu, {c.keys}), c.expected) << c.what;
    }
}

// Opened from the keyboard, the menu starts with its first item selected; one opened by the
// mouse starts with none.
TEST_F(PopupMenuTest, FromTheKeyboardTheFirstItemIsSelected) {
    const RECT label{200, 130, 240, 150};
    const auto selected = [](HMENU menu) {
        std::vector<int> items;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            if ((GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_HILITE) != 0) {
                items.push_back(i);
            }
        }
        return items;
    };
    {
        SkinnedPopupMenu menu(kMainMenu);
        std::vector<int> atStart;
        RECT place{};
        EXPECT_EQ(Run(menu,
                      {[&](HWND w) {
                           atStart = selected(menu.Handle());
                           GetWindowRect(w, &place);
                       },
                       [](HWND w) { Key(w, VK_DOWN); },
                       [](HWND w) { Key(w, VK_RETURN); }},
                      POINT{200, 150}, &label),
                  2)
            << "Down from the first item goes to the second";
        EXPECT_EQ(atStart, std::vector<int>{0});
        EXPECT_TRUE(place.top >= label.bottom || place.bottom <= label.top) << "the label stays visible";
    }
    {
        SkinnedPopupMenu menu(kMainMenu);
        std::vector<int> atStart{-1};
        EXPECT_EQ(Run(menu, {[&](HWND) { atStart = selected(menu.Handle()); }, [](HWND w) { Key(w, VK_ESCAPE); }}),
                  0);
        EXPECT_EQ(atStart, std::vector<int>{}) << "opened by the mouse";
    }
}

TEST_F(PopupMenuTest, AnswersMenuCharWithThePositionOfTheItem) {
    SkinnedPopupMenu menu(kMainMenu);
    std::vector<LRESULT> answers;
    Run(menu, {[&](HWND) {
            HWND ownerWindow = FindWindowExW(HWND_MESSAGE, nullptr, L"KestroPopupMenuOwner", nullptr);
            if (ownerWindow == nullptr) {
                ownerWindow = FindWindowW(L"KestroPopupMenuOwner", nullptr);
            }
            ASSERT_NE(ownerWindow, nullptr);
            EXPECT_EQ(GetWindowThreadProcessId(ownerWindow, nullptr), GetCurrentThreadId());
            EXPECT_FALSE(IsWindowVisible(ownerWindow));
            const LPARAM handle = reinterpret_cast<LPARAM>(menu.Handle());
            for (const wchar_t key : {L'h', L'D', L'a', L'o', L'x'}) {
                answers.push_back(SendMessageW(ownerWindow, WM_MENUCHAR, MAKEWPARAM(key, MF_POPUP), handle));
            }
            EndMenu();
        }});
    ASSERT_EQ(answers.size(), 5u);
    EXPECT_EQ(answers[0], MAKELRESULT(0, MNC_EXECUTE));
    EXPECT_EQ(answers[1], MAKELRESULT(2, MNC_EXECUTE));
    EXPECT_EQ(answers[2], MAKELRESULT(5, MNC_EXECUTE)) << "a position in the menu, not the command id";
    EXPECT_EQ(HIWORD(answers[3]), MNC_IGNORE) << "the hidden Options item is not in the menu";
    EXPECT_EQ(HIWORD(answers[4]), MNC_IGNORE);
}

namespace {

// The skin's colours.
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kSideBar = RGB(214, 211, 206);
constexpr COLORREF kGrey = RGB(132, 130, 132);
constexpr COLORREF kBlue = RGB(68, 74, 160);

// The menu with nothing selected: items[0] is "Home Page", items[1] the separator below it.
void ExpectPlainLook(const Capture& plain, const std::vector<RECT>& items) {
    // Outer border: black all round.
    EXPECT_EQ(plain.At(0, 0), kBlack);
    EXPECT_EQ(plain.At(plain.width - 1, plain.height - 1), kBlack);
    EXPECT_EQ(plain.At(plain.width / 2, 0), kBlack);
    EXPECT_EQ(plain.At(0, plain.height / 2), kBlack);

    const RECT& home = items[0];
    const int middle = (home.top + home.bottom) / 2;
    EXPECT_EQ(plain.At(home.left + 3, middle), kSideBar);
    EXPECT_EQ(plain.At(home.left + 25, middle), kSideBar);
    EXPECT_EQ(plain.At(home.left + 27, home.top + 1), kWhite);
    EXPECT_EQ(plain.At(home.right - 3, middle), kWhite);
    // The side bar continues between the items and the border.
    EXPECT_EQ(plain.At(1 + (home.left + 26 - 1) / 2, 1), kSideBar);

    const RECT& separator = items[1];
    const int line = separator.top + 2;
    EXPECT_EQ(plain.At(separator.right - 10, line), kGrey);
    EXPECT_EQ(plain.At(separator.right - 10, separator.top), kWhite);
    EXPECT_EQ(plain.At(separator.left + 3, line), kSideBar);
}

// The menu with its first item selected, against the plain one.
void ExpectSelectedLook(const Capture& selected, const Capture& plain, const std::vector<RECT>& items) {
    // The selected item: dark blue throughout, white text on it.
    const RECT& home = items[0];
    const int middle = (home.top + home.bottom) / 2;
    EXPECT_EQ(selected.At(home.left, home.top), kBlue);
    EXPECT_EQ(selected.At(home.right - 1, home.bottom - 1), kBlue);
    EXPECT_EQ(selected.At(home.left + 3, middle), kBlue);
    EXPECT_EQ(selected.At(home.right - 3, middle), kBlue);
    int whiteInText = 0;
    int blackInText = 0;
    for (int x = home.left + 26; x < home.right; ++x) {
        for (int y = home.top; y < home.bottom; ++y) {
            whiteInText += selected.At(x, y) == kWhite ? 1 : 0;
            blackInText += plain.At(x, y) == kBlack ? 1 : 0;
        }
    }
    EXPECT_GT(whiteInText, 20) << "the caption in white";
    EXPECT_GT(blackInText, 20) << "the caption in black before";
    // The next item is not selected.
    EXPECT_EQ(selected.At(items[2].right - 3, (items[2].top + items[2].bottom) / 2), kWhite);
}

} // namespace

TEST_F(PopupMenuTest, IsDrawnInTheDeepBlueLook) {
    SkinnedPopupMenu menu(kMainMenu);
    Capture plain;
    Capture selected;
    std::vector<RECT> items;
    Run(menu, {
                  [&](HWND menuWindow) {
                      for (int i = 0; i < 6; ++i) {
                          items.push_back(ItemRect(menuWindow, menu.Handle(), i));
                      }
                      plain = Snapshot(menuWindow);
                      Key(menuWindow, VK_DOWN);
                  },
                  [&](HWND menuWindow) {
                      selected = Snapshot(menuWindow);
                      EndMenu();
                  },
              });
    ASSERT_EQ(items.size(), 6u);
    ASSERT_GT(plain.width, 0);
    ExpectPlainLook(plain, items);
    ExpectSelectedLook(selected, plain, items);
}
