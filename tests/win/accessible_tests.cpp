// The windows as screen readers and the keyboard reach them: the accessible trees against their
// tables in English and German, Tab and Shift+Tab through the windowless controls with the focus
// rectangle and focus events, Enter, Space and the default action doing what a click does, hit
// testing, navigation and the objects' lives. The same trees at 144 DPI are dpi144_tests' job; the
// percent bar's value and events are the Scanning dialog's tests'.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window_win.h"
#include "dialogs/about_dialog_win.h"
#include "platform/handles_win.h"
#include "platform/winstr_win.h"
#include "support/accessibility.h"
#include "support/accessible_tables.h"
#include "support/main_window_fixture.h"
#include "support/remote.h"
#include "ui/accessible_win.h"
#include "ui/application_win.h"
#include "ui/hover_image_win.h"
#include "ui/link_label_win.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

// Active Accessibility costs nothing until a screen reader asks: the program's windows come up
// without oleacc.dll, which is then loaded from the system folder. First in this program, before any
// test has asked.
TEST_F(MainWindowTest, ActiveAccessibilityIsLoadedOnlyWhenAskedFor) {
    MainWindow& w = Open();
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(GetModuleHandleW(L"oleacc.dll"), nullptr);
    ComPtr<IAccessible> client(ClientObject(w.Handle()));
    ASSERT_TRUE(client);
    wchar_t loaded[MAX_PATH] = {};
    wchar_t systemFolder[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(L"oleacc.dll"), loaded, MAX_PATH);
    GetSystemDirectoryW(systemFolder, MAX_PATH);
    EXPECT_EQ(std::filesystem::path(loaded).parent_path(), std::filesystem::path(systemFolder));
}

TEST(AccessibleTrees, MatchTheTablesInEnglishAndGermanAt96Dpi) {
    ExpectAccessibleTrees(Language::English, 96);
    ExpectAccessibleTrees(Language::German, 96);
}

// A key pressed as the program's message loop sees it: sent to the window with the focus, through
// the form's keyboard handling first; Shift held where asked.
void Press(WPARAM key, bool shift = false) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    MSG msg{GetFocus(), WM_KEYDOWN, key, 1, 0, {}};
    if (!Application::Get().PreTranslate(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

std::vector<std::string> FocusAfterKeys(HWND window, WPARAM key, bool shift, int count) {
    std::vector<std::string> seen;
    for (int i = 0; i < count; ++i) {
        Press(key, shift);
        seen.push_back(FocusedName(window));
    }
    return seen;
}

TEST_F(MainWindowTest, TabAndShiftTabReachTheWindowlessControlsInTheirPlaces) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    SetFocus(c.exitButton);
    const std::vector<std::string> forward = {"Windows File Recovery Gui",
                                              "Recover lost files from your local storage device",
                                              "Check for updates...",
                                              "Source drive",
                                              "Recovery mode",
                                              "Browser...",
                                              "Save to",
                                              "Source file path:",
                                              "Source file path",
                                              "Browser...",
                                              "All deleted files",
                                              "Menu",
                                              "Start...",
                                              "Show Files...",
                                              "Exit",
                                              "Windows File Recovery Gui"};
    EXPECT_EQ(FocusAfterKeys(w.Handle(), VK_TAB, false, 16), forward);
    std::vector<std::string> backward(forward.rbegin() + 1, forward.rend());
    backward.push_back("Exit");
    EXPECT_EQ(FocusAfterKeys(w.Handle(), VK_TAB, true, 16), backward);
    // A link that is disabled is passed by.
    SetFocus(c.sourceCombo);
    c.updateLink->SetEnabled(false);
    EXPECT_EQ(FocusAfterKeys(w.Handle(), VK_TAB, true, 1), std::vector<std::string>{forward[1]});
    c.updateLink->SetEnabled(true);
}

TEST_F(MainWindowTest, TheFocusedWindowlessControlShowsAFocusRectangleAndTellsScreenReaders) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    HWND panel = c.mainPanel->Handle();
    SetFocus(c.startButton);
    const std::vector<COLORREF> unfocused = PrintClient(panel);
    WinEvents events(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS);
    Press(VK_TAB, true);
    PumpUntil([] { return false; }, 50);
    ComPtr<IAccessible> client(ClientObject(panel));
    ASSERT_TRUE(client);
    const long menu = FocusedChild(client.Get());
    ASSERT_GT(menu, 0);
    EXPECT_EQ(NameOf(client.Get(), menu), "Menu");
    EXPECT_NE(StateOf(client.Get(), menu) & STATE_SYSTEM_FOCUSED, 0);
    const auto told = events.Of(EVENT_OBJECT_FOCUS, panel);
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back().child, menu);

    // The dotted frame runs one pixel outside the label; nothing else changes, and it goes with
    // the focus.
    const std::vector<COLORREF> focused = PrintClient(panel);
    RECT client96{};
    GetClientRect(panel, &client96);
    const RECT label = c.menuLabel->ClientRect();
    int changedOnFrame = 0;
    for (std::size_t i = 0; i < focused.size(); ++i) {
        const POINT at{static_cast<LONG>(i % static_cast<std::size_t>(client96.right)),
                       static_cast<LONG>(i / static_cast<std::size_t>(client96.right))};
        const bool onFrame =
            (at.x == label.left - 1 || at.x == label.right || at.y == label.top - 1 || at.y == label.bottom) &&
            at.x >= label.left - 1 && at.x <= label.right && at.y >= label.top - 1 && at.y <= label.bottom;
        if (focused[i] != unfocused[i]) {
            EXPECT_TRUE(onFrame) << at.x << "," << at.y;
            changedOnFrame += onFrame ? 1 : 0;
        }
    }
    EXPECT_GT(changedOnFrame, 10);
    const std::filesystem::path shots = std::filesystem::path(KESTRO_BUILD_DIR) / "screenshots";
    std::filesystem::create_directories(shots);
    RedrawWindow(w.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SaveWindowBitmap(w.Handle(), (shots / L"focus-menu.bmp").wstring());
    Press(VK_TAB);
    EXPECT_EQ(PrintClient(panel), unfocused);
    EXPECT_EQ(StateOf(client.Get(), menu) & STATE_SYSTEM_FOCUSED, 0);
}

HWND openedMenu = nullptr;

void CALLBACK CloseOpenedMenu(HWND, UINT, UINT_PTR, DWORD) {
    if (openedMenu == nullptr && (openedMenu = ThisThreadsMenuWindow()) != nullptr) {
        EndMenu();
    }
}

// The popup menu that opens while body runs, closed again at once; null when none opened.
HWND MenuOpenedBy(const std::function<void()>& body) {
    openedMenu = nullptr;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, CloseOpenedMenu);
    body();
    PumpUntil([] { return openedMenu != nullptr; }, 2000);
    KillTimer(nullptr, timer);
    return openedMenu;
}

// The child id of the part named name in window's client object; 0 when there is none.
long IdOf(IAccessible* client, const std::string& name) {
    long count = 0;
    client->get_accChildCount(&count);
    for (long id = 1; id <= count; ++id) {
        if (NameOf(client, id) == name) {
            return id;
        }
    }
    return 0;
}

void DoDefaultAction(HWND window, const std::string& name) {
    ComPtr<IAccessible> client(ClientObject(window));
    ASSERT_TRUE(client);
    const long id = IdOf(client.Get(), name);
    ASSERT_GT(id, 0) << name;
    EXPECT_EQ(client->accDoDefaultAction(Id(id)), S_OK) << name;
    PumpUntil([] { return false; }, 30);
}

void ClickOn(GraphicControl& control) {
    const RECT r = control.ClientRect();
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(control.Parent().Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(control.Parent().Handle(), WM_LBUTTONUP, 0, at);
}

// Each link the same way three times: a mouse click, the default action (which waits for the
// client's call to return) and Enter or Space with the focus on it.
TEST_F(MainWindowTest, EnterSpaceAndTheDefaultActionDoWhatAClickDoes) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    const struct {
        GraphicControl* control;
        std::string address;
        WPARAM key;
    } links[] = {
        {c.titleLabel.get(), "https://support.microsoft.com/", VK_SPACE},
        {c.subtitleLabel.get(), LoadText(IDS_URL_HOME), VK_RETURN},
        {c.updateLink.get(), LoadText(IDS_URL_UPDATE), VK_SPACE},
    };
    for (const auto& link : links) {
        const std::string name = link.control->AccessibleName();
        shell.calls.clear();
        ClickOn(*link.control);
        DoDefaultAction(w.Handle(), name);
        link.control->Parent().FocusGraphic(*link.control);
        Press(link.key);
        ASSERT_EQ(shell.calls.size(), 3u) << name;
        EXPECT_EQ(shell.calls[1].file, shell.calls[0].file) << name;
        EXPECT_EQ(shell.calls[2].file, shell.calls[0].file) << name;
        EXPECT_EQ(shell.calls[0].file.rfind(link.address, 0), 0u) << shell.calls[0].file;
    }
    EXPECT_NE(MenuOpenedBy([&] { ClickOn(*c.menuImage); }), nullptr);
    EXPECT_NE(MenuOpenedBy([&] { DoDefaultAction(c.mainPanel->Handle(), "Menu"); }), nullptr);
    c.mainPanel->FocusGraphic(*c.menuLabel);
    EXPECT_NE(MenuOpenedBy([&] { Press(VK_RETURN); }), nullptr);
}

TEST_F(MainWindowTest, AboutDialogLinksTakeTheFocusBeforeOkAndOpenTheirPages) {
    MainWindow& w = Open();
    AboutDialog about(w.Handle());
    ShowWindow(about.Handle(), SW_SHOW);
    SetActiveWindow(about.Handle());
    PumpUntil([] { return false; }, 30);
    const std::vector<std::string> order = {"Kestro Refindor", "www.kestro-software.example", "OK", "Kestro Refindor"};
    EXPECT_EQ(FocusAfterKeys(about.Handle(), VK_TAB, false, 4), order);
    shell.calls.clear();
    Press(VK_RETURN);
    DoDefaultAction(about.Handle(), "www.kestro-software.example");
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[0].file, LoadText(IDS_URL_HOME));
    EXPECT_EQ(shell.calls[1].file, LoadText(IDS_URL_PRODUCT));
    EXPECT_EQ(about.ModalResult(), mrNone) << "Enter on a link is the link's, not OK's";
}

TEST_F(MainWindowTest, HitTestingAndNavigationFindTheWindowlessControls) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    ComPtr<IAccessible> panel(ClientObject(c.mainPanel->Handle()));
    ComPtr<IAccessible> main(ClientObject(w.Handle()));
    ASSERT_TRUE(panel && main);
    const auto screen = [](const GraphicControl& control, int dx, int dy) {
        POINT p{control.ClientRect().left + dx, control.ClientRect().top + dy};
        ClientToScreen(control.Parent().Handle(), &p);
        return p;
    };
    VARIANT hit;
    // The menu picture is found as the menu button; the bare title picture as the home page link.
    POINT at = screen(*c.menuImage, 4, 4);
    ASSERT_EQ(panel->accHitTest(at.x, at.y, &hit), S_OK);
    EXPECT_EQ(hit.vt, VT_I4);
    EXPECT_EQ(NameOf(panel.Get(), hit.lVal), "Menu");
    at = screen(*c.titleBanner, 2, 45);
    ASSERT_EQ(main->accHitTest(at.x, at.y, &hit), S_OK);
    EXPECT_EQ(NameOf(main.Get(), hit.lVal), "Recover lost files from your local storage device");
    RECT start{};
    GetWindowRect(c.startButton, &start);
    ASSERT_EQ(panel->accHitTest(start.left + 3, start.top + 3, &hit), S_OK);
    EXPECT_EQ(TakeWindow(hit), c.startButton);
    EXPECT_EQ(main->accHitTest(-5000, -5000, &hit), S_FALSE);

    VARIANT to;
    ASSERT_EQ(main->accNavigate(NAVDIR_FIRSTCHILD, Id(CHILDID_SELF), &to), S_OK);
    EXPECT_EQ(NameOf(main.Get(), to.lVal), "Windows File Recovery Gui");
    ASSERT_EQ(main->accNavigate(NAVDIR_NEXT, to, &to), S_OK);
    EXPECT_EQ(NameOf(main.Get(), to.lVal), "Recover lost files from your local storage device");
    EXPECT_EQ(main->accNavigate(NAVDIR_PREVIOUS, Id(1), &to), S_FALSE);
    ASSERT_EQ(main->accNavigate(NAVDIR_LASTCHILD, Id(CHILDID_SELF), &to), S_OK);
    EXPECT_EQ(TakeWindow(to), c.mainPanel->Handle());
    const long menu = IdOf(panel.Get(), "Menu");
    ASSERT_EQ(panel->accNavigate(NAVDIR_NEXT, Id(menu), &to), S_OK);
    EXPECT_EQ(TakeWindow(to), c.startButton);

    // A screen reader may move the focus itself.
    const long update = IdOf(main.Get(), "Check for updates...");
    EXPECT_EQ(main->accSelect(SELFLAG_TAKEFOCUS, Id(update)), S_OK);
    EXPECT_EQ(FocusedChild(main.Get()), update);
    c.updateLink->SetEnabled(false);
    // Disabled, it can neither take nor keep the focus.
    EXPECT_EQ(StateOf(main.Get(), update), STATE_SYSTEM_LINKED | STATE_SYSTEM_UNAVAILABLE);
}

// A client may hold an object longer than its window lives: it then fails, without touching what
// is gone, and is freed when the client lets go.
TEST(AccessibleObjects, OutliveTheirWindowHarmlesslyAndAreFreedWhenReleased) {
    const long before = LiveAccessibleObjects();
    ComPtr<IAccessible> held;
    {
        RecordingShell shell;
        AboutDialog about(nullptr);
        held = ComPtr<IAccessible>(ClientObject(about.Handle()));
        ASSERT_TRUE(held);
        long count = 0;
        EXPECT_EQ(held->get_accChildCount(&count), S_OK);
        EXPECT_GT(count, 3);
    }
    long count = 0;
    EXPECT_TRUE(FAILED(held->get_accChildCount(&count)));
    BSTR name = nullptr;
    EXPECT_TRUE(FAILED(held->get_accName(Id(1), &name)));
    EXPECT_EQ(held->accDoDefaultAction(Id(1)), E_INVALIDARG);
    held.Reset();
    EXPECT_EQ(LiveAccessibleObjects(), before);
}

// ---------------------------------------------------------------------------
// A run with the keyboard alone: real key presses (SendInput) from another thread, which watches
// the windows the way a screen reader does, while this thread runs the program's message loop.

class KeyboardUser {
public:
    explicit KeyboardUser(DWORD guiThread) : guiThread_(guiThread) {}

    void Press(WORD key, bool shift = false) {
        std::vector<INPUT> inputs;
        const auto add = [&](WORD vk, DWORD flags) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = vk;
            input.ki.dwFlags = flags;
            inputs.push_back(input);
        };
        if (shift) {
            add(VK_SHIFT, 0);
        }
        add(key, 0);
        add(key, KEYEVENTF_KEYUP);
        if (shift) {
            add(VK_SHIFT, KEYEVENTF_KEYUP);
        }
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
        Sleep(60);
    }

    void Type(const std::wstring& text) {
        for (const wchar_t ch : text) {
            INPUT input[2] = {};
            for (INPUT& i : input) {
                i.type = INPUT_KEYBOARD;
                i.ki.wScan = ch;
                i.ki.dwFlags = KEYEVENTF_UNICODE;
            }
            input[1].ki.dwFlags |= KEYEVENTF_KEYUP;
            SendInput(2, input, sizeof(INPUT));
        }
        Sleep(100);
    }

    // Waits until what holds; a step that never comes is noted, and the journey goes on no further.
    bool Sees(const std::function<bool()>& what, const std::string& step) {
        if (!failures.empty()) {
            return false;
        }
        const ULONGLONG end = GetTickCount64() + 10000;
        while (!what()) {
            if (GetTickCount64() > end) {
                failures.push_back(step + " (the focus on " + FocusDescription() + ")");
                return false;
            }
            Sleep(20);
        }
        return true;
    }

    HWND Focus() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(guiThread_, &info);
        return info.hwndFocus;
    }
    // The class and id of the window with the focus, and the id of its parent.
    std::string FocusDescription() const {
        wchar_t name[64] = {};
        GetClassNameW(Focus(), name, 64);
        return Narrow(name) + " " + std::to_string(GetDlgCtrlID(Focus())) + " in " +
               std::to_string(GetDlgCtrlID(GetParent(Focus())));
    }
    bool FocusIn(HWND control) const { return Focus() == control || GetParent(Focus()) == control; }
    bool Hears(HWND window, const std::string& name) const { return FocusedName(window) == name; }

    std::vector<std::string> failures;

private:
    DWORD guiThread_;
};

// The program's own message loop (Application::Run), keys through the forms' keyboard handling,
// until done or the time is up.
void RunProgramUntil(const std::atomic<bool>& done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, nullptr);
    MSG msg;
    while (!done.load() && GetTickCount64() <= end && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!Application::Get().PreTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    KillTimer(nullptr, timer);
}

struct JourneyWindows {
    HWND main;
    MainWindow::Controls* controls;
    std::wstring destination;
};

bool Visible(const wchar_t* className) {
    HWND window = FindWindowW(className, nullptr);
    return window != nullptr && IsWindowVisible(window);
}

// A drive, a destination, Deep Scan and the documents among the file types.
void ChooseEverything(KeyboardUser& user, const JourneyWindows& w) {
    MainWindow::Controls& c = *w.controls;
    user.Sees([&] { return user.FocusIn(c.sourceCombo); }, "the drive list has the focus");
    user.Press(VK_DOWN);
    user.Sees([&] { return SendMessageW(c.sourceCombo, CB_GETCURSEL, 0, 0) == 1; }, "drive D: chosen");
    user.Press(VK_TAB);
    user.Press(VK_DOWN);
    user.Sees([&] { return SendMessageW(c.modeCombo, CB_GETCURSEL, 0, 0) == 1; }, "Deep Scan chosen");
    user.Press(VK_TAB);
    user.Press(VK_TAB);
    user.Sees([&] { return user.Focus() == c.destinationEdit; }, "the destination has the focus");
    user.Type(w.destination);
    user.Sees([&] { return Widen(ControlText(c.destinationEdit)) == w.destination; }, "the destination typed");
    for (int i = 0; i < 4; ++i) {
        user.Press(VK_TAB);
    }
    for (int i = 0; i < 3; ++i) {
        user.Press(VK_RIGHT);
    }
    user.Sees([&] { return SendMessageW(c.filterButtons[3], BM_GETCHECK, 0, 0) == BST_CHECKED; }, "file types");
    user.Press(VK_TAB);
    user.Sees([&] { return user.Hears(w.main, "Menu"); }, "the menu button after the filter");
    for (int i = 0; i < 4; ++i) {
        user.Press(VK_TAB);
    }
    user.Press(VK_SPACE);
    user.Sees([&] { return SendMessageW(c.categoryChecks[0], BM_GETCHECK, 0, 0) == BST_CHECKED; }, "documents");
}

void StartAndStop(KeyboardUser& user, const JourneyWindows& w) {
    for (int i = 0; i < 3; ++i) {
        user.Press(VK_TAB, true);
    }
    user.Sees([&] { return user.Focus() == w.controls->startButton; }, "back on Start");
    user.Press(VK_RETURN);
    user.Sees([] { return Visible(L"KestroScanDialog"); }, "the Scanning dialog");
    HWND scanning = FindWindowW(L"KestroScanDialog", nullptr);
    user.Sees([&] { return !ControlText(Child(scanning, L"Static")).empty(); }, "the run under way");
    user.Sees([&] { return user.Hears(scanning, "Stop"); }, "Stop has the focus");
    user.Press(VK_SPACE);
    user.Sees([] { return !Visible(L"KestroScanDialog"); }, "the run stopped");
}

void MenuAndAbout(KeyboardUser& user, const JourneyWindows& w) {
    user.Sees([&] { return user.Focus() == w.controls->startButton; }, "Start again after the run");
    user.Press(VK_TAB, true);
    user.Sees([&] { return user.Hears(w.main, "Menu"); }, "the menu button before Start");
    user.Press(VK_APPS);
    user.Sees([] { return Visible(L"#32768"); }, "the Applications key opens the menu");
    user.Press(VK_ESCAPE);
    user.Sees([] { return !Visible(L"#32768"); }, "Escape closes it");
    user.Press(VK_F10, true);
    user.Sees([] { return Visible(L"#32768"); }, "Shift+F10 opens the menu");
    user.Press(VK_ESCAPE);
    user.Sees([] { return !Visible(L"#32768"); }, "Escape closes it again");
    user.Press(VK_RETURN);
    user.Sees([] { return Visible(L"#32768"); }, "Enter opens the menu");
    user.Press(VK_UP);
    user.Press(VK_RETURN);
    user.Sees([] { return Visible(L"KestroAboutDialog"); }, "the About dialog");
    HWND about = FindWindowW(L"KestroAboutDialog", nullptr);
    user.Press(VK_TAB);
    user.Sees([&] { return user.Hears(about, "Kestro Refindor"); }, "the banner link");
    user.Press(VK_TAB);
    user.Press(VK_TAB);
    user.Sees([&] { return user.Hears(about, "OK"); }, "OK");
    user.Press(VK_RETURN);
    user.Sees([] { return !Visible(L"KestroAboutDialog"); }, "the About dialog closed");
    user.Sees([&] { return user.Hears(w.main, "Menu"); }, "the focus back on the menu button");
}

std::vector<std::string> TabToTheUpdateLink(KeyboardUser& user, HWND main) {
    std::vector<std::string> heard;
    for (int i = 0; i < 20 && user.failures.empty(); ++i) {
        user.Press(VK_TAB);
        heard.push_back(FocusedName(main));
        if (heard.back() == "Check for updates...") {
            break;
        }
    }
    return heard;
}

TEST(KeyboardJourney, ARecoveryFromChoicesToStopThenTheMenuAndTheAboutDialog) {
    RecordingBoxes boxes;
    RecordingShell shell;
    FakeDrives drives;
    drives.drives = {{"C:\\", "System", "NTFS"}, {"D:\\", "Data", "NTFS"}, {"E:\\", "Rescue", "NTFS"}};
    const TempDir destination(L"E:\\", L"journey");
    FakeJobSystem system;
    system.defaultFileSystem = "NTFS";
    system.directories = {destination.Utf8()};
    system.volumes = {{destination.Utf8(), "E"}, {"D:\\", "D"}};
    const TempDir settings(L"journey-settings");
    MainWindowServices services;
    services.drives = &drives;
    services.jobSystem = &system;
    services.settingsFile = [&] { return settings.Utf8() + "\\settings.ini"; };
    services.workArea = [] { return RECT{0, 0, 1280, 1040}; };
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", L"hang");
    MainWindow window(services);
    window.Show();
    const JourneyWindows w{window.Handle(), &window.Ctl(), destination.Path().wstring()};

    KeyboardUser user(GetCurrentThreadId());
    std::vector<std::string> heard;
    std::atomic<bool> done{false};
    std::thread outside([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ChooseEverything(user, w);
        StartAndStop(user, w);
        MenuAndAbout(user, w);
        heard = TabToTheUpdateLink(user, w.main);
        CoUninitialize();
        done = true;
    });
    RunProgramUntil(done, 120000);
    outside.join();
    SetEnvironmentVariableW(L"WINFR_SIM_SCENARIO", nullptr);

    EXPECT_TRUE(user.failures.empty()) << "did not come: " << user.failures.front();
    const std::vector<std::string> expected = {"Start...",
                                               "Show Files...",
                                               "Exit",
                                               "Documents (.txt, .doc, .docx, .wps, .xls, .xlsx, .pdf, .ppt, ...)",
                                               "Photos (.bmp, .cur, .ico, .jpg, .jpeg, .png, .gif, .psd, .svg, ...)",
                                               "Videos (.mpeg, .mp4, .avi, .wmv, .3gp, .rm, .flv, .rmvb, ...)",
                                               "Audios ( .aac, .cda, .wav, .mp3, .wma, .ogg, .flac, .m4a, ...)",
                                               "Web pages (.htm, .html, .mht, .xhtml, .asp, .aspx, ...)",
                                               "Compressed files (.7z, .arj, .exe, .iso, .jar, .rar, .tar, .zip, ...)",
                                               "Custom file types",
                                               "Windows File Recovery Gui",
                                               "Recover lost files from your local storage device",
                                               "Check for updates..."};
    EXPECT_EQ(heard, expected);
    // The run was the one chosen: its log names the command line.
    const std::vector<std::filesystem::path> logs = LogsIn(destination.Path());
    ASSERT_EQ(logs.size(), 1u);
    const std::string log = FileText(logs[0]);
    EXPECT_NE(log.find(" D: " + destination.Utf8() + " /extensive"), std::string::npos) << log;
    EXPECT_NE(log.find("*.docx"), std::string::npos) << log;
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text;
}

} // namespace
