// The Windows version warning. This test program alone is told by the test
// prefix that it runs on Windows 7 (HKCU\Software\Wine\AppDefaults).
#include <windows.h>

#include <gtest/gtest.h>

#include "app/main_window_win.h"
#include "platform/version_win.h"
#include "platform/winstr_win.h"
#include "support/fakes.h"
#include "support/wine_helpers.h"
#include "ui/application_win.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

// Shows real message boxes (so the main window really loses and regains the
// focus) and answers each one shortly after it opens.
class AnsweringBoxes final : public MessageBoxes {
public:
    AnsweringBoxes() { Application::Get().SetBoxes(this); }
    ~AnsweringBoxes() override { Application::Get().SetBoxes(nullptr); }
    int Show(HWND owner, const std::string& text, const std::string& caption, UINT flags) override {
        texts.push_back(text);
        icons.push_back(flags & MB_ICONMASK);
        const UINT_PTR timer = SetTimer(nullptr, 0, 150, &AnsweringBoxes::Answer);
        const int result = MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), flags);
        KillTimer(nullptr, timer);
        return result;
    }
    std::vector<std::string> texts;
    std::vector<UINT> icons;

private:
    static BOOL CALLBACK AnswerBox(HWND hwnd, LPARAM) {
        wchar_t name[16] = {};
        GetClassNameW(hwnd, name, 16);
        if (lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(hwnd)) {
            PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
        }
        return TRUE;
    }
    static void CALLBACK Answer(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), AnswerBox, 0); }
};

// One of the program's own dialogs, closed from a timer once it runs.
class SmallDialog final : public Form {
public:
    explicit SmallDialog(HWND owner) {
        CreateForm(L"KestroTestDialog", owner, WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, L"Dialog", 200, 80);
    }

protected:
    void OnShow() override { SetTimer(hwnd_, 1, 150, nullptr); }
    bool OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) override {
        if (msg == WM_TIMER) {
            KillTimer(hwnd_, 1);
            SetModalResult(mrOk);
            result = 0;
            return true;
        }
        return false;
    }
};

TEST(VersionWarning, TheTestPrefixReportsWindows7) { EXPECT_FALSE(IsWin10OrLater()); }

TEST(VersionWarning, ShownAtStartAndAfterTheProgramsOwnDialogsOnly) {
    TempDir dir(L"version7");
    FakeDrives drives;
    drives.drives = {{"C:\\", "System", "NTFS"}};
    AnsweringBoxes boxes;
    MainWindowServices services;
    services.drives = &drives;
    services.settingsFile = [&] { return dir.Utf8() + "\\settings.ini"; };
    MainWindow main(services);
    main.Show();
    ASSERT_TRUE(PumpUntil([&] { return !boxes.texts.empty(); }, 3000));
    // Closing the warning gives the focus back to the main window: no second warning.
    PumpUntil([] { return false; }, 600);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "This app requires Windows 10 build 19041 or later.");
    EXPECT_EQ(boxes.icons[0], static_cast<UINT>(MB_ICONERROR));

    // Another window that is not one of the program's forms, and back: no warning.
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    SetActiveWindow(other);
    PumpUntil([] { return false; }, 100);
    SetActiveWindow(main.Handle());
    PumpUntil([] { return false; }, 300);
    DestroyWindow(other);
    EXPECT_EQ(boxes.texts.size(), 1u);

    // One of the program's own dialogs closing: the warning again.
    {
        SmallDialog dialog(main.Handle());
        dialog.ShowModal();
    }
    ASSERT_TRUE(PumpUntil([&] { return boxes.texts.size() >= 2; }, 3000));
    PumpUntil([] { return false; }, 600);
    EXPECT_EQ(boxes.texts.size(), 2u);
}

} // namespace
