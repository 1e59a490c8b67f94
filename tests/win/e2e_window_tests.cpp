// Tarvask.exe's main window driven from outside, as a user would, with the simulator playing winfr:
// a destination on the source drive, the filter choice resizing the window, the choices kept over
// a restart, the menu opened by mouse and keyboard, and the Advanced options dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/handles_win.h"
#include "platform/winstr_win.h"
#include "support/outside_run.h"
#include "support/remote.h"
#include "support/wine_helpers.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

TEST(EndToEnd, TheSourceDriveNeverBecomesTheDestination) {
    Program program(L"quick");
    ASSERT_TRUE(program.Started());
    HWND main = nullptr;
    // The first entry, C:, is the source.
    HWND box = FirstBoxAfterStart(program, L"C:\\windows", main);
    ASSERT_NE(main, nullptr);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(BoxText(box), "Source and Destination cannot refer to the same physical partition.");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(20000));
}

TEST(EndToEnd, FilterChoiceResizesTheWindow) {
    Program program(L"quick");
    ASSERT_TRUE(program.Started());
    HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ClientOf(main).cx, 460);
    EXPECT_EQ(ClientOf(main).cy, 299);
    const struct {
        const wchar_t* item;
        int height;
    } cases[] = {{L"Specific file", 398}, {L"Deleted file type", 553}, {L"Wildcard", 398}, {L"All deleted files", 299}};
    for (const auto& k : cases) {
        HWND radio = Child(main, L"Button", k.item);
        ASSERT_NE(radio, nullptr);
        SendMessageW(radio, BM_CLICK, 0, 0);
        EXPECT_TRUE(PumpUntil([&] { return ClientOf(main).cy == k.height; }, 3000)) << Narrow(k.item);
        EXPECT_EQ(ClientOf(main).cx, 460);
    }
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(20000));
}

TEST(EndToEnd, ChoicesSurviveARestartAndTheMenuOpensTheAboutDialog) {
    const TempDir folder(L"E:\\", L"e2e-keep");
    const std::filesystem::path& destination = folder.Path();
    {
        Program program(L"quick");
        ASSERT_TRUE(program.Started());
        HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
        ASSERT_NE(main, nullptr);
        SetDestination(main, destination);
        SendMessageW(Child(main, L"Button", L"Source file path:"), BM_SETCHECK, BST_CHECKED, 0);
        PostMessageW(main, WM_CLOSE, 0, 0);
        ASSERT_TRUE(program.WaitForExit(20000));
    }
    // Started again, with the settings file kept.
    Program again(L"quick", false);
    ASSERT_TRUE(again.Started());
    HWND main = WaitForWindow(again.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    HWND edit = DestinationEdit(main);
    EXPECT_EQ(ControlText(edit), Narrow(destination.wstring()));
    EXPECT_EQ(SendMessageW(Child(main, L"Button", L"Source file path:"), BM_GETCHECK, 0, 0), BST_CHECKED);

    // A click on the "Menu" label (8 px below the button row, 51 px from the panel's left)
    // opens the popup menu; its last item opens the About dialog.
    HWND menu = OpenMainMenu(again.Id(), main, 96);
    ASSERT_NE(menu, nullptr);
    PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    HWND about = WaitForWindow(again.Id(), L"KestroAboutDialog", L"About Refindor", 5000);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(ClientOf(about).cx, 360);
    EXPECT_EQ(ClientOf(about).cy, 237);
    EXPECT_NE(Child(about, L"Static", L"Kestro Refindor"), nullptr);
    EXPECT_NE(Child(about, L"Static", L"Version: 2.0  Build 20230428"), nullptr);
    EXPECT_NE(Child(about, L"Button", L"&OK"), nullptr);
    Screenshot(about, L"e2e-about.bmp");
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(about); }, 5000));
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(again.WaitForExit(20000));
}

// Keys pressed on the keyboard, as the user presses them (they go to the foreground window).
void PressKeys(std::initializer_list<std::pair<WORD, bool>> keys) {
    std::vector<INPUT> inputs;
    for (const auto& [key, down] : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void Tap(WORD key) {
    PressKeys({{key, true}, {key, false}});
}

// A click posted to a control of the program, then time for it to take the focus.
void PostClick(HWND control) {
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PumpUntil([] { return false; }, 200);
}

// Shift+F10, then the popup menu that opens, or null.
HWND OpenMenuWithShiftF10(DWORD process) {
    PressKeys({{VK_SHIFT, true}, {VK_F10, true}, {VK_F10, false}, {VK_SHIFT, false}});
    return WaitForMenu(process, 5000);
}

bool MenuClosed(DWORD process) {
    return PumpUntil([&] { return WaitForMenu(process, 0) == nullptr; }, 3000);
}

// What an open popup menu of the program shows (menus of another process cannot be asked for
// their items under Wine): whether it is the program's own skinned menu, with its grey side bar,
// and whether its first item is selected, drawn in the skin's dark blue.
struct MenuLook {
    bool skinned = false;
    bool firstSelected = false;
};

MenuLook LookAt(HWND menuWindow) {
    PumpUntil([] { return false; }, 300);
    RECT r{};
    GetClientRect(menuWindow, &r);
    const ScopedDc menuDc(menuWindow);
    HDC dc = menuDc.Get();
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, r.right, r.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
    MenuLook look;
    const int firstItemBottom = 4 + 21;
    for (int y = 0; y < r.bottom; ++y) {
        for (int x = 0; x < r.right; x += 2) {
            const COLORREF pixel = GetPixel(memory, x, y);
            look.skinned = look.skinned || pixel == RGB(214, 211, 206);
            look.firstSelected = look.firstSelected || (y < firstItemBottom && pixel == RGB(68, 74, 160));
        }
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return look;
}

TEST(EndToEnd, TheMenuOpensFromTheKeyboard) {
    ClearClipboard();
    Program program(L"quick");
    ASSERT_TRUE(program.Started());
    HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == main; }, 5000));
    // The keyboard focus on a button: Shift+F10 opens the program's menu below "Menu", with
    // "&Home Page" selected; Up three times and Return then choose "Copy winfr command".
    PostClick(Child(main, L"Button", L"All deleted files"));
    HWND menu = OpenMenuWithShiftF10(program.Id());
    ASSERT_NE(menu, nullptr);
    const MenuLook look = LookAt(menu);
    EXPECT_TRUE(look.skinned);
    EXPECT_TRUE(look.firstSelected);
    RECT menuPlace{};
    GetWindowRect(menu, &menuPlace);
    HWND start = Child(main, L"Button", L"Start...");
    RECT row{};
    GetWindowRect(start, &row);
    // Below the "Menu" label (8 px under the top of the button row, 13 px high), or above it
    // where the screen ends.
    EXPECT_TRUE(menuPlace.top >= row.top + 8 + 13 || menuPlace.bottom <= row.top + 8) << menuPlace.top;
    Tap(VK_UP);
    Tap(VK_UP);
    Tap(VK_UP);
    Tap(VK_RETURN);
    const std::string copied = WaitForClipboardText(5000);
    EXPECT_FALSE(copied.empty());
    EXPECT_EQ(copied, "winfr C: D: /regular /o:b /a /e:*.mm1");
    EXPECT_TRUE(MenuClosed(program.Id()));

    // The Applications key does the same; Escape closes the menu again.
    Tap(VK_APPS);
    menu = WaitForMenu(program.Id(), 5000);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(LookAt(menu).skinned);
    EXPECT_TRUE(LookAt(menu).firstSelected);
    Tap(VK_ESCAPE);
    EXPECT_TRUE(MenuClosed(program.Id()));

    // In an edit the keys open the edit's own menu.
    PostClick(DestinationEdit(main));
    menu = OpenMenuWithShiftF10(program.Id());
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(LookAt(menu).skinned);
    Tap(VK_ESCAPE);
    EXPECT_TRUE(MenuClosed(program.Id()));

    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(20000));
}

// The item of the main window's popup menu that is `up` places above its first one (the menu wraps
// round: 1 is About, 2 Advanced options..., 3 Copy winfr command).
bool ChooseFromMenu(const Program& program, HWND main, int up) {
    HWND menu = OpenMainMenu(program.Id(), main, 96);
    if (menu == nullptr) {
        return false;
    }
    for (int i = 0; i < up; ++i) {
        PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
    }
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    return true;
}

std::string CopiedCommand(const Program& program, HWND main) {
    ClearClipboard();
    return ChooseFromMenu(program, main, 3) ? WaitForClipboardText(5000) : "(no menu)";
}

HWND OpenAdvancedOptions(const Program& program, HWND main) {
    return ChooseFromMenu(program, main, 2)
               ? WaitForWindow(program.Id(), L"KestroAdvancedOptionsDialog", L"Advanced options", 5000)
               : nullptr;
}

constexpr const wchar_t* kOptionCaptions[] = {L"Recover &undeleted files too (Recycle Bin)",
                                              L"Recover &system files",
                                              L"Recover files without their primary &data stream",
                                              L"&Keep both",
                                              L"&Never overwrite",
                                              L"&Always overwrite"};

// The check boxes and the overwrite choice as the dialog shows them: "1" for each ticked one, "0"
// for each other, in the order of kOptionCaptions.
std::string Shown(HWND dialog) {
    std::string shown;
    for (const wchar_t* caption : kOptionCaptions) {
        HWND button = Child(dialog, L"Button", caption);
        shown += button == nullptr ? "?" : SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "0";
    }
    return shown;
}

// Clicks the dialog's buttons of these captions, in order.
void Click(HWND dialog, std::initializer_list<const wchar_t*> captions) {
    for (const wchar_t* caption : captions) {
        HWND button = Child(dialog, L"Button", caption);
        EXPECT_NE(button, nullptr) << Narrow(caption);
        PostMessageW(button, BM_CLICK, 0, 0);
    }
}

bool Closed(HWND dialog) {
    return PumpUntil([&] { return !IsWindow(dialog); }, 5000);
}

// The Advanced options through the program's own windows: OK keeps what is ticked for the copied
// command and the next start, Cancel leaves everything as it was, Restore defaults brings back the
// command line the program has always passed.
TEST(EndToEnd, TheAdvancedOptionsChangeTheCommandOnOkAndSurviveARestart) {
    const TempDir folder(L"E:\\", L"e2e-options");
    const std::string head = "winfr C: " + Narrow(folder.Path().wstring()) + " /regular ";
    {
        Program program(L"quick");
        ASSERT_TRUE(program.Started());
        HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
        ASSERT_NE(main, nullptr);
        SetDestination(main, folder.Path());
        EXPECT_EQ(CopiedCommand(program, main), head + "/o:b /a /e:*.mm1");

        HWND dialog = OpenAdvancedOptions(program, main);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(Shown(dialog), "000100");
        Screenshot(dialog, L"e2e-advanced-options.bmp");
        Click(dialog,
              {L"Recover &undeleted files too (Recycle Bin)", L"Recover &system files", L"&Never overwrite", L"&OK"});
        ASSERT_TRUE(Closed(dialog));
        EXPECT_EQ(CopiedCommand(program, main), head + "/o:n /a /e:*.mm1 /u /k");

        dialog = OpenAdvancedOptions(program, main);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(Shown(dialog), "110010");
        Click(dialog, {L"Recover files without their primary &data stream", L"&Always overwrite", L"Cancel"});
        ASSERT_TRUE(Closed(dialog));
        EXPECT_EQ(CopiedCommand(program, main), head + "/o:n /a /e:*.mm1 /u /k") << "Cancel changes nothing";
        PostMessageW(main, WM_CLOSE, 0, 0);
        ASSERT_TRUE(program.WaitForExit(20000));
    }
    Program again(L"quick", false);
    ASSERT_TRUE(again.Started());
    HWND main = WaitForWindow(again.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(CopiedCommand(again, main), head + "/o:n /a /e:*.mm1 /u /k");
    HWND dialog = OpenAdvancedOptions(again, main);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Shown(dialog), "110010");
    Click(dialog, {L"&Restore defaults"});
    EXPECT_TRUE(PumpUntil([&] { return Shown(dialog) == "000100"; }, 3000)) << Shown(dialog);
    Click(dialog, {L"&OK"});
    ASSERT_TRUE(Closed(dialog));
    EXPECT_EQ(CopiedCommand(again, main), head + "/o:b /a /e:*.mm1");
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(again.WaitForExit(20000));
    // Back at their defaults, the options leave no key in the file.
    wchar_t keys[512] = {};
    GetPrivateProfileStringW(L"Options", nullptr, L"", keys, 512, SettingsIni().c_str());
    for (const wchar_t* key = keys; *key != L'\0'; key += wcslen(key) + 1) {
        for (const wchar_t* option : {L"UndeletedFiles", L"SystemFiles", L"NoPrimaryStream", L"Overwrite"}) {
            EXPECT_NE(std::wstring(key), option);
        }
    }
}

} // namespace
