// The main window's life under Wine: activation after the folder picker, WM_SHOWMAIN from other
// programs, minimising, and closing with its settings written and its runner freed.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/main_window_win.h"
#include "platform/message_filter_win.h"
#include "platform/winstr_win.h"
#include "support/main_window_fixture.h"
#include "support/remote.h"
#include "ui/application_win.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

// The real folder picker, with another program's window on the screen: when the picker closes,
// the main window is active and in front again, not the other program.
HWND gPickerSeen = nullptr;
HWND gPickerOwner = nullptr;

BOOL CALLBACK CancelPicker(HWND hwnd, LPARAM) {
    wchar_t name[16] = {};
    GetClassNameW(hwnd, name, 16);
    if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(hwnd)) {
        return TRUE;
    }
    gPickerSeen = hwnd;
    gPickerOwner = GetWindow(hwnd, GW_OWNER);
    PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
    return FALSE;
}

void CALLBACK AnswerPicker(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), CancelPicker, 0);
}

TEST_F(MainWindowTest, TheMainWindowIsInFrontAgainAfterTheFolderPicker) {
    realPicker = true;
    MainWindow& w = Open();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION other{};
    std::wstring line = L"\"" + (ExeFolder() / L"bench-minimal-window.exe").wstring() + L"\"";
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &other));
    HWND otherWindow = WaitForWindow(other.dwProcessId, L"Kestro Bench Minimal Window", L"", 10000);
    EXPECT_NE(otherWindow, nullptr);
    for (HWND button : {w.Ctl().destinationButton, w.Ctl().sourceFolderButton}) {
        SetForegroundWindow(w.Handle());
        ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == w.Handle(); }, 3000));
        SetFocus(button);
        gPickerSeen = nullptr;
        const UINT_PTR timer = SetTimer(nullptr, 0, 200, AnswerPicker);
        SendMessageW(button, BM_CLICK, 0, 0);
        KillTimer(nullptr, timer);
        ASSERT_NE(gPickerSeen, nullptr);
        EXPECT_EQ(gPickerOwner, Application::Get().Handle());
        PumpUntil([] { return false; }, 300);
        EXPECT_TRUE(IsWindowEnabled(w.Handle()));
        EXPECT_EQ(GetForegroundWindow(), w.Handle());
        EXPECT_EQ(GetActiveWindow(), w.Handle());
        EXPECT_EQ(GetFocus(), button) << "the focus is back where it was";
    }
    TerminateProcess(other.hProcess, 0);
    WaitForSingleObject(other.hProcess, 5000);
    CloseHandle(other.hProcess);
    CloseHandle(other.hThread);
}

// ---------------------------------------------------------------------------
// Activation, WM_SHOWMAIN, closing

TEST_F(MainWindowTest, NoVersionWarningOnWindows10) {
    Open();
    PumpUntil([] { return false; }, 100);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainWindowTest, ShowMainRestoresAMinimisedProgram) {
    MainWindow& w = Open();
    ShowWindow(Application::Get().Handle(), SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(Application::Get().Handle()));
    SendMessageW(w.Handle(), WM_SHOWMAIN, 0, 0);
    EXPECT_FALSE(IsIconic(Application::Get().Handle()));
    EXPECT_TRUE(IsWindowVisible(w.Handle()));
}

// The program runs elevated; the integrity filter would drop WM_SHOWMAIN from an ordinary program.
struct FilterCall {
    HWND window;
    UINT message;
    DWORD action;
};
std::vector<FilterCall> filterCalls;

BOOL WINAPI RecordFilter(HWND window, UINT message, DWORD action, PCHANGEFILTERSTRUCT) {
    filterCalls.push_back({window, message, action});
    return TRUE;
}

TEST_F(MainWindowTest, ShowMainIsLetThroughFromLessPrivilegedPrograms) {
    filterCalls.clear();
    SetMessageFilterFunction(&RecordFilter);
    MainWindow& w = Open();
    SetMessageFilterFunction(nullptr);
    const bool allowed = std::any_of(filterCalls.begin(), filterCalls.end(), [&](const FilterCall& call) {
        return call.window == w.Handle() && call.message == WM_SHOWMAIN && call.action == MSGFLT_ALLOW;
    });
    EXPECT_TRUE(allowed);
}

TEST_F(MainWindowTest, MinimiseBoxMinimisesTheProgram) {
    MainWindow& w = Open();
    SendMessageW(w.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(Application::Get().Handle()));
    SendMessageW(w.Handle(), WM_SHOWMAIN, 0, 0);
    EXPECT_FALSE(IsIconic(Application::Get().Handle()));
}

TEST_F(MainWindowTest, ClosingWritesTheSettingsAndFreesTheRunner) {
    TempDir out(L"close-out");
    MainWindow& w = Open();
    ASSERT_NE(w.Runner(), nullptr);
    SetText(w.Ctl().destinationEdit, out.Utf8());
    SendMessageW(w.Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(w.Handle()));
    EXPECT_EQ(w.Runner(), nullptr);
    wchar_t value[512] = {};
    GetPrivateProfileStringW(L"Options", L"OutputDirectory", L"", value, 512, settingsPath.c_str());
    EXPECT_EQ(Narrow(value), out.Utf8());
    GetPrivateProfileStringW(L"Options", L"SourceDrive", L"", value, 512, settingsPath.c_str());
    EXPECT_STREQ(value, L"0");
}

TEST_F(MainWindowTest, AFailedSettingsWriteStillFreesTheRunner) {
    // A settings file inside a folder that does not exist cannot be written.
    settingsPath = (settingsDir.Path() / L"missing" / L"deeper" / L"settings.ini").wstring();
    MainWindow& w = Open();
    SendMessageW(w.Ctl().exitButton, BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindow(w.Handle()));
    EXPECT_EQ(w.Runner(), nullptr);
    EXPECT_TRUE(boxes.boxes.empty()) << "the failure is swallowed";
}

} // namespace
