// Tarvask.exe itself, driven from outside as a user would: the simulator plays
// winfr (where Windows keeps it for the account), the window is found by its class
// name, the destination is typed, Start is clicked, the outcome box is read off
// the screen and answered, and the settings are read after closing.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <utility>
#include <string>
#include <vector>

#include "platform/winstr_win.h"
#include "support/fakes.h"
#include "support/remote.h"
#include "support/wine_helpers.h"
#include "ui/form_win.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

// The destination edit: the control after the first "Browser..." button.
HWND DestinationEdit(HWND main) {
    return GetWindow(Child(main, L"Button", L"Browser..."), GW_HWNDNEXT);
}

void SetDestination(HWND main, const std::filesystem::path& destination) {
    SendMessageW(DestinationEdit(main), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(destination.c_str()));
}

void PressStart(HWND main) {
    PostMessageW(Child(main, L"Button", L"Start..."), BM_CLICK, 0, 0);
}

TEST(EndToEnd, AQuickScanFromStartToItsEnd) {
    // A destination on drive D: of the test prefix, the source being C:.
    const std::filesystem::path destination = L"D:\\e2e-\u0424\u043e\u0442\u043e-" + std::to_wstring(GetTickCount64());
    std::filesystem::create_directories(destination);
    TempDir records(L"e2e-record");
    const std::filesystem::path record = records.Path() / L"command.txt";
    SetEnvironmentVariableW(L"WINFR_SIM_RECORD", record.c_str());
    Program program(L"quick");
    SetEnvironmentVariableW(L"WINFR_SIM_RECORD", nullptr);
    ASSERT_TRUE(program.Started());
    HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(GetText(main), "Kestro Refindor 2.0");
    Screenshot(main, L"e2e-main.bmp");
    // Every control is a real window with its text.
    HWND start = Child(main, L"Button", L"Start...");
    HWND combo = Child(main, L"ComboBox");
    ASSERT_NE(start, nullptr);
    ASSERT_NE(combo, nullptr);
    EXPECT_NE(Child(main, L"Button", L"Show Files..."), nullptr);
    EXPECT_NE(Child(main, L"Static", L"Save to:"), nullptr);
    HWND edit = nullptr;
    {
        // The destination edit is the one beside "Save to:" (the first Edit in keyboard order).
        HWND saveTo = Child(main, L"Button", L"Browser...");
        ASSERT_NE(saveTo, nullptr);
        edit = GetWindow(saveTo, GW_HWNDNEXT);
    }
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(destination.c_str()));

    PostMessageW(start, BM_CLICK, 0, 0);
    HWND scanning = WaitForWindow(program.Id(), L"KestroScanDialog", L"Kestro Refindor", 10000);
    ASSERT_NE(scanning, nullptr);
    Screenshot(scanning, L"e2e-scanning.bmp");

    // The completed outcome, read off the screen.
    HWND box = WaitForWindow(program.Id(), L"#32770", L"Kestro Refindor", 30000);
    ASSERT_NE(box, nullptr);
    const std::string text = BoxText(box);
    EXPECT_EQ(text.rfind("Quick scan completed. 12 files were found.\r\nThe recovered files have been saved in ", 0),
              0u)
        << text;
    EXPECT_NE(text.find(Narrow(destination.wstring()) + "\\Recovery_"), std::string::npos) << text;
    HWND bar = Child(scanning, PROGRESS_CLASSW);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 1000);
    Screenshot(box, L"e2e-completed.bmp");
    PostMessageW(box, WM_COMMAND, IDOK, 0);

    // The tool exits; the dialog closes itself.
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(scanning) || !IsWindowVisible(scanning); }, 20000));
    // The command line the tool received.
    std::ifstream in(record);
    std::string commandLine;
    std::getline(in, commandLine);
    EXPECT_EQ(commandLine, "winfr C: " + Narrow(destination.wstring()) + " /regular /o:b /a /e:*.mm1");
    bool recovered = false;
    for (const auto& entry : std::filesystem::directory_iterator(destination)) {
        recovered = recovered || entry.path().filename().wstring().rfind(L"Recovery_", 0) == 0;
    }
    EXPECT_TRUE(recovered);

    // Closing by the close box saves the settings.
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.WaitForExit(20000));
    const std::filesystem::path ini = SettingsIni();
    ASSERT_TRUE(std::filesystem::exists(ini));
    wchar_t value[512] = {};
    GetPrivateProfileStringW(L"Options", L"OutputDirectory", L"", value, 512, ini.c_str());
    EXPECT_EQ(std::wstring(value), destination.wstring());
    std::error_code ec;
    std::filesystem::remove_all(destination, ec);
}

// A recovery started through the window; the Scanning dialog and the tool are found from outside.
struct OutsideRun {
    HWND main = nullptr;
    HWND scanning = nullptr;
    DWORD tool = 0;
};

// Types the destination, presses Start and waits until the dialog shows the bar at least at
// barAtLeast (the hanging scenario stops at 300); a negative one: the tool is not looked for.
OutsideRun StartThroughTheWindow(const Program& program, const std::filesystem::path& destination, int barAtLeast) {
    OutsideRun run;
    run.main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    if (run.main == nullptr) {
        return run;
    }
    SetDestination(run.main, destination);
    PressStart(run.main);
    run.scanning = WaitForWindow(program.Id(), L"KestroScanDialog", L"Kestro Refindor", 10000);
    if (run.scanning == nullptr) {
        return run;
    }
    if (barAtLeast < 0) {
        return run;
    }
    run.tool = WaitForChildProcess(program.Id(), L"winfr.exe", 10000);
    HWND bar = Child(run.scanning, PROGRESS_CLASSW);
    PumpUntil([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) >= barAtLeast; }, 10000);
    return run;
}

std::wstring SavedDestination() {
    wchar_t value[512] = {};
    GetPrivateProfileStringW(L"Options", L"OutputDirectory", L"", value, 512, SettingsIni().c_str());
    return value;
}

// Task Manager's "End task", taskkill without /F and logoff tools ask the taskbar window to close.
TEST(EndToEnd, ClosingTheTaskbarWindowDuringARunEndsToolAndProgramCleanly) {
    const std::filesystem::path destination = L"D:\\e2e-close-" + std::to_wstring(GetTickCount64());
    std::filesystem::create_directories(destination);
    Program program(L"hang");
    ASSERT_TRUE(program.Started());
    const OutsideRun run = StartThroughTheWindow(program, destination, 300);
    ASSERT_NE(run.scanning, nullptr);
    ASSERT_NE(run.tool, 0u);
    HWND taskbarWindow = WaitForWindow(program.Id(), L"KestroApplication", L"Kestro Refindor", 5000);
    ASSERT_NE(taskbarWindow, nullptr);
    RECT size{};
    GetWindowRect(taskbarWindow, &size);
    EXPECT_EQ(size.right - size.left, 0) << "the taskbar window has no size";

    PostMessageW(taskbarWindow, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.WaitForExit(20000)) << "a close request must end the program without a question";
    EXPECT_EQ(program.ExitCode(), 0u);
    EXPECT_TRUE(ProcessGone(run.tool, 5000)) << "the tool outlived the program";
    EXPECT_EQ(SavedDestination(), destination.wstring()) << "the settings were not written";
    std::error_code ec;
    std::filesystem::remove_all(destination, ec);
}

TEST(EndToEnd, AForcedEndOfTheProgramAlsoEndsTheTool) {
    const std::filesystem::path destination = L"D:\\e2e-kill-" + std::to_wstring(GetTickCount64());
    std::filesystem::create_directories(destination);
    Program program(L"hang");
    ASSERT_TRUE(program.Started());
    const OutsideRun run = StartThroughTheWindow(program, destination, 300);
    ASSERT_NE(run.scanning, nullptr);
    ASSERT_NE(run.tool, 0u);
    program.Kill();
    ASSERT_TRUE(program.WaitForExit(10000));
    EXPECT_TRUE(ProcessGone(run.tool, 5000)) << "the hidden, elevated tool outlived the program";
    std::error_code ec;
    std::filesystem::remove_all(destination, ec);
}

// A crash, and an end from outside (Task Manager's "End process": exit code 1) after progress, are
// told with the exit code, never as a finished run.
TEST(EndToEnd, AToolThatEndsAbnormallyAfterProgressIsReportedWithItsExitCode) {
    const struct {
        const wchar_t* scenario;
        const char* box;
        int bar;
    } cases[] = {{L"crash", "The recovery tool stopped unexpectedly (exit code 0xC0000005).", 400},
                 {L"killed", "The recovery tool stopped unexpectedly (exit code 0x00000001).", 300}};
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.scenario));
        const std::filesystem::path destination = L"D:\\e2e-crash-" + std::to_wstring(GetTickCount64());
        std::filesystem::create_directories(destination);
        Program program(c.scenario);
        ASSERT_TRUE(program.Started());
        const OutsideRun run = StartThroughTheWindow(program, destination, -1);
        ASSERT_NE(run.scanning, nullptr);
        HWND box = WaitForWindow(program.Id(), L"#32770", L"Kestro Refindor", 20000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(BoxText(box), c.box);
        HWND bar = Child(run.scanning, PROGRESS_CLASSW);
        EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), c.bar) << "the progress reported before the end";
        Screenshot(box, (L"e2e-" + std::wstring(c.scenario) + L".bmp").c_str());
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(PumpUntil([&] { return !IsWindow(run.scanning) || !IsWindowVisible(run.scanning); }, 10000));
        PostMessageW(run.main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.WaitForExit(20000));
        std::error_code ec;
        std::filesystem::remove_all(destination, ec);
    }
}

TEST(EndToEnd, TheSourceDriveNeverBecomesTheDestination) {
    Program program(L"quick");
    ASSERT_TRUE(program.Started());
    HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    HWND edit = DestinationEdit(main);
    // The first entry, C:, is the source.
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"C:\\windows"));
    PressStart(main);
    HWND box = WaitForWindow(program.Id(), L"#32770", L"Kestro Refindor", 10000);
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
    const std::filesystem::path destination = L"E:\\e2e-keep-" + std::to_wstring(GetTickCount64());
    std::filesystem::create_directories(destination);
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
    std::error_code ec;
    std::filesystem::remove_all(destination, ec);
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
    // "&Home Page" selected; Up, Up and Return then choose "Copy winfr command".
    HWND radio = Child(main, L"Button", L"All deleted files");
    PostMessageW(radio, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(radio, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PumpUntil([] { return false; }, 200);
    PressKeys({{VK_SHIFT, true}, {VK_F10, true}, {VK_F10, false}, {VK_SHIFT, false}});
    HWND menu = WaitForMenu(program.Id(), 5000);
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
    Tap(VK_RETURN);
    std::string copied;
    EXPECT_TRUE(PumpUntil(
        [&] {
            copied = ClipboardText();
            return !copied.empty();
        },
        5000));
    EXPECT_EQ(copied, "winfr C: D: /regular /o:b /a /e:*.mm1");
    EXPECT_TRUE(PumpUntil([&] { return WaitForMenu(program.Id(), 0) == nullptr; }, 3000));

    // The Applications key does the same; Escape closes the menu again.
    Tap(VK_APPS);
    menu = WaitForMenu(program.Id(), 5000);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(LookAt(menu).skinned);
    EXPECT_TRUE(LookAt(menu).firstSelected);
    Tap(VK_ESCAPE);
    EXPECT_TRUE(PumpUntil([&] { return WaitForMenu(program.Id(), 0) == nullptr; }, 3000));

    // In an edit the keys open the edit's own menu.
    HWND edit = DestinationEdit(main);
    PostMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(edit, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PumpUntil([] { return false; }, 200);
    PressKeys({{VK_SHIFT, true}, {VK_F10, true}, {VK_F10, false}, {VK_SHIFT, false}});
    menu = WaitForMenu(program.Id(), 5000);
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(LookAt(menu).skinned);
    Tap(VK_ESCAPE);
    EXPECT_TRUE(PumpUntil([&] { return WaitForMenu(program.Id(), 0) == nullptr; }, 3000));

    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(20000));
}

// Blanks pasted after a trailing comma in the custom types: a tab or a no-break space must not
// become a pattern of its own ("*" and a blank would recover every file).
TEST(EndToEnd, PastedBlanksInTheCustomTypesPassNoPatternOfTheirOwn) {
    const std::filesystem::path destination = L"D:\\e2e-types-" + std::to_wstring(GetTickCount64());
    std::filesystem::create_directories(destination);
    TempDir records(L"e2e-types");
    const std::filesystem::path record = records.Path() / L"command.txt";
    SetEnvironmentVariableW(L"WINFR_SIM_RECORD", record.c_str());
    Program program(L"quick");
    SetEnvironmentVariableW(L"WINFR_SIM_RECORD", nullptr);
    ASSERT_TRUE(program.Started());
    HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    SetDestination(main, destination);
    SendMessageW(Child(main, L"Button", L"Deleted file type"), BM_CLICK, 0, 0);
    HWND custom = Child(main, L"Button", L"Custom file types");
    ASSERT_NE(custom, nullptr);
    SendMessageW(custom, BM_CLICK, 0, 0);
    HWND types = GetWindow(custom, GW_HWNDNEXT);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(types) != FALSE; }, 3000));
    for (const wchar_t* text : {L".log,\t", L".log,\u00A0"}) {
        std::filesystem::remove(record);
        SendMessageW(types, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        PressStart(main);
        HWND box = WaitForWindow(program.Id(), L"#32770", L"Kestro Refindor", 30000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(BoxText(box).rfind("Quick scan completed.", 0), 0u) << BoxText(box);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        HWND scanning = WaitForWindow(program.Id(), L"KestroScanDialog", L"Kestro Refindor", 1000);
        EXPECT_TRUE(PumpUntil([&] { return scanning == nullptr || !IsWindowVisible(scanning); }, 20000));
        // The command line, then the arguments as the tool read them.
        std::ifstream in(record);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[0], "winfr C: " + Narrow(destination.wstring()) + " /regular /o:b /a /e:*.mm1 /n *.log");
        EXPECT_EQ(lines[lines.size() - 2], "/n");
        EXPECT_EQ(lines.back(), "*.log") << "nothing after *.log";
    }
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(20000));
    std::error_code ec;
    std::filesystem::remove_all(destination, ec);
}

// A copy of the program in a folder of its own, with whatever stands there as winfr.exe.
class LoneProgram {
public:
    explicit LoneProgram(const char* winfrText) : folder_(L"e2e-lone") {
        std::filesystem::copy_file(ExeFolder() / L"Tarvask.exe", folder_.Path() / L"Tarvask.exe");
        if (winfrText != nullptr) {
            std::ofstream(folder_.Path() / L"winfr.exe", std::ios::binary) << winfrText;
        }
    }
    std::filesystem::path Exe() const { return folder_.Path() / L"Tarvask.exe"; }
    std::filesystem::path Folder() const { return folder_.Path(); }

private:
    TempDir folder_;
};

// The account's winfr.exe (the simulator in the test prefix) made to look different for as long as
// this lives: gone, or something else in its place.
class AccountsWinfr {
public:
    explicit AccountsWinfr(const char* replacement) {
        wchar_t* local = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local))) {
            file_ = std::filesystem::path(local) / L"Microsoft" / L"WindowsApps" / L"winfr.exe";
        }
        CoTaskMemFree(local);
        saved_ = file_;
        saved_ += L".kept";
        std::filesystem::rename(file_, saved_);
        if (replacement != nullptr) {
            std::ofstream(file_, std::ios::binary) << replacement;
        }
    }
    ~AccountsWinfr() {
        std::error_code ec;
        std::filesystem::remove(file_, ec);
        std::filesystem::rename(saved_, file_, ec);
    }
    AccountsWinfr(const AccountsWinfr&) = delete;
    AccountsWinfr& operator=(const AccountsWinfr&) = delete;

private:
    std::filesystem::path file_;
    std::filesystem::path saved_;
};

// Many who start the program have no Windows File Recovery yet. A winfr.exe beside the program is
// not theirs: it does not count.
TEST(EndToEnd, WithoutWinfrAnywhereStartOffersTheStoreAndNoReturnsToTheMainWindow) {
    const std::filesystem::path destination = L"D:\\e2e-store-" + std::to_wstring(GetTickCount64());
    std::filesystem::create_directories(destination);
    const AccountsWinfr none(nullptr);
    const LoneProgram lone("This is not the account's winfr.\r\n");
    {
        Program program(L"quick", true, lone.Exe());
        ASSERT_TRUE(program.Started());
        HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
        ASSERT_NE(main, nullptr);
        SetDestination(main, destination);
        PressStart(main);
        HWND box = WaitForWindow(program.Id(), L"#32770", L"Kestro Refindor", 10000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(BoxText(box), "Windows File Recovery (winfr) is not installed for this Windows account.\r\n"
                                "It is free in Microsoft Store. Open Microsoft Store now?");
        EXPECT_NE(Child(box, L"Button", L"&No"), nullptr);
        EXPECT_EQ(WaitForWindow(program.Id(), L"KestroScanDialog", L"", 300), nullptr) << "no Scanning dialog";
        Screenshot(box, L"e2e-store-offer.bmp");
        PostMessageW(box, WM_COMMAND, IDNO, 0);
        EXPECT_TRUE(PumpUntil([&] { return !IsWindow(box); }, 5000));
        EXPECT_TRUE(PumpUntil([&] { return IsWindowEnabled(main) != FALSE; }, 5000)) << "back to the main window";
        EXPECT_EQ(WaitForWindow(program.Id(), L"KestroScanDialog", L"", 300), nullptr);
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.WaitForExit(20000));
    }
    std::error_code ec;
    std::filesystem::remove_all(destination, ec);
}

// A winfr.exe that is there but cannot be started keeps the error and its number.
TEST(EndToEnd, AWinfrThatIsNotAProgramGivesTheSystemsErrorNumber) {
    const std::filesystem::path destination = L"D:\\e2e-bad-" + std::to_wstring(GetTickCount64());
    std::filesystem::create_directories(destination);
    const AccountsWinfr bad("This is not a program.\r\n");
    {
        Program program(L"quick");
        ASSERT_TRUE(program.Started());
        HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
        ASSERT_NE(main, nullptr);
        SetDestination(main, destination);
        PressStart(main);
        // The Scanning dialog reports it as it opens: the tool was found, so no Store offer.
        HWND box = WaitForWindow(program.Id(), L"#32770", L"Kestro Refindor", 10000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(BoxText(box), "Error while creating restore process!193.");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        HWND scanning = WaitForWindow(program.Id(), L"KestroScanDialog", L"Kestro Refindor", 5000);
        if (scanning != nullptr) {
            PostMessageW(Child(scanning, L"Button", L"Stop"), BM_CLICK, 0, 0);
        }
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.WaitForExit(20000));
    }
    std::error_code ec;
    std::filesystem::remove_all(destination, ec);
}

// The program runs elevated: a winfr.exe left beside it (a Downloads folder) or in a folder on PATH
// would run with administrator rights. Copies of the simulator there record every run, as does the
// account's own; only the account's runs, and without a console window (where Windows Terminal is
// the default terminal, a hidden one would show, and closing it would end the tool).
TEST(EndToEnd, OnlyTheAccountsWinfrRunsWithoutAConsoleWindowNeverOneBesideTheProgramOrOnThePath) {
    const std::filesystem::path destination = L"D:\\e2e-only-" + std::to_wstring(GetTickCount64());
    std::filesystem::create_directories(destination);
    const LoneProgram lone(nullptr);
    std::filesystem::copy_file(ExeFolder() / L"winfr-sim.exe", lone.Folder() / L"winfr.exe");
    TempDir onPath(L"e2e-path");
    std::filesystem::copy_file(ExeFolder() / L"winfr-sim.exe", onPath.Path() / L"winfr.exe");
    TempDir records(L"e2e-runs");
    const std::filesystem::path runs = records.Path() / L"runs.txt";
    wchar_t path[32768] = {};
    GetEnvironmentVariableW(L"PATH", path, 32768);
    // What WINEPATH adds to a Windows program's PATH, inherited by the program.
    SetEnvironmentVariableW(L"PATH", (onPath.Path().wstring() + L";" + path).c_str());
    SetEnvironmentVariableW(L"WINFR_SIM_RUNS", runs.c_str());
    Program program(L"quick", true, lone.Exe());
    SetEnvironmentVariableW(L"PATH", path);
    SetEnvironmentVariableW(L"WINFR_SIM_RUNS", nullptr);
    ASSERT_TRUE(program.Started());
    const OutsideRun run = StartThroughTheWindow(program, destination, -1);
    ASSERT_NE(run.scanning, nullptr);
    HWND box = WaitForWindow(program.Id(), L"#32770", L"Kestro Refindor", 30000);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(BoxText(box).starts_with("Quick scan completed. 12 files were found.")) << BoxText(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(run.scanning) || !IsWindowVisible(run.scanning); }, 20000));
    PostMessageW(run.main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(20000));

    std::ifstream in(runs);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 1u) << "exactly one run of one winfr";
    const std::string tab = "\t";
    const std::string ran = lines[0].substr(0, lines[0].find(tab));
    EXPECT_TRUE(ran.ends_with("\\AppData\\Local\\Microsoft\\WindowsApps\\winfr.exe")) << lines[0];
    EXPECT_TRUE(lines[0].ends_with(tab + "no console window")) << lines[0];
    std::error_code ec;
    std::filesystem::remove_all(destination, ec);
}

// The static of the Scanning dialog whose text begins with "Elapsed".
std::string ElapsedLine(HWND scanning) {
    for (HWND child = Child(scanning, L"Static"); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::string text = ControlText(child);
        if (text.starts_with("Elapsed")) {
            return text;
        }
    }
    return {};
}

TEST(EndToEnd, ASlowRunShowsTheTimeLeftAndLeavesOneLogBesideTheRecoveredFiles) {
    const std::filesystem::path destination = L"D:\\e2e-log-" + std::to_wstring(GetTickCount64());
    std::filesystem::create_directories(destination);
    TempDir scripts(L"e2e-log-script");
    const std::filesystem::path script = scripts.Path() / L"slow.txt";
    std::vector<std::string> printed = {"Windows File Recovery", "Pass 1: Scanning and processing disk"};
    {
        std::ofstream out(script, std::ios::binary);
        out << "line " << printed[0] << "\nline " << printed[1] << "\n";
        for (int percent = 0; percent <= 60; percent += 2) {
            printed.push_back("Scanning disk: " + std::to_string(percent) + "%");
            out << "line " << printed.back() << "\nsleep 400\n";
        }
        // A progress line redrawn 5,000 times, in one write.
        out << "raw ";
        for (int i = 0; i < 5000; ++i) {
            out << "Scanning disk: 61%<CR><LF>";
        }
        out << "\n";
        printed.push_back("Scanning disk: 61%");
        printed.push_back("(repeated 4999 times)");
        out << "line Scanning disk: 62%\n";
        printed.push_back("Scanning disk: 62%");
        out << "hang\n";
    }
    const std::filesystem::path record = scripts.Path() / L"command.txt";
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", script.c_str());
    SetEnvironmentVariableW(L"WINFR_SIM_RECORD", record.c_str());
    Program program(L"quick");
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO_FILE", nullptr);
    SetEnvironmentVariableW(L"WINFR_SIM_RECORD", nullptr);
    ASSERT_TRUE(program.Started());
    const OutsideRun run = StartThroughTheWindow(program, destination, -1);
    ASSERT_NE(run.scanning, nullptr);
    std::string line;
    EXPECT_TRUE(PumpUntil([&] { return (line = ElapsedLine(run.scanning)).find(" left") != std::string::npos; }, 25000))
        << line;
    EXPECT_TRUE(line.starts_with("Elapsed 0:00:1")) << line;
    Screenshot(run.scanning, L"e2e-time-left.bmp");
    // Wait for the last line the tool prints, then stop.
    HWND bar = Child(run.scanning, PROGRESS_CLASSW);
    EXPECT_TRUE(PumpUntil([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) >= 620; }, 20000));
    PostMessageW(Child(run.scanning, L"Button", L"Stop"), BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(run.scanning) || !IsWindowVisible(run.scanning); }, 10000));

    std::vector<std::filesystem::path> logs;
    for (const auto& entry : std::filesystem::directory_iterator(destination)) {
        if (entry.path().extension() == L".log") {
            logs.push_back(entry.path());
        }
    }
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_TRUE(logs[0].filename().wstring().starts_with(L"Kestro Refindor "));
    std::ifstream in(logs[0], std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ifstream recorded(record);
    std::string commandLine;
    std::getline(recorded, commandLine);
    ASSERT_FALSE(commandLine.empty());
    EXPECT_NE(text.find("Command line: " + commandLine + "\r\n"), std::string::npos) << text;
    std::size_t from = 0;
    for (const std::string& printedLine : printed) {
        const std::size_t at = text.find("] " + printedLine + "\r\n", from);
        ASSERT_NE(at, std::string::npos) << printedLine << " in\n" << text;
        from = at;
    }
    EXPECT_NE(text.find("Ended: stopped before the tool finished\r\n", from), std::string::npos) << text;
    EXPECT_EQ(text.find("Scanning disk: 61%"), text.rfind("Scanning disk: 61%")) << "one line for 5,000";

    PostMessageW(run.main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(20000));
    std::error_code ec;
    std::filesystem::remove_all(destination, ec);
}

} // namespace
