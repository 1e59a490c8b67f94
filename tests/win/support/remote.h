#pragma once
// Driving Tarvask.exe from outside, as a user or another program would: finding
// its windows by class and title, reading controls of another process, taking
// screenshots.
#include <windows.h>

#include <filesystem>
#include <string>

namespace kestro::testing_win {

constexpr wchar_t kMainClass[] = L"Kestro Refindor Made by Kestro Software";

// A visible top-level window of the process with that class (and title, when given).
HWND WaitForWindow(DWORD process, const wchar_t* className, const std::wstring& title, DWORD timeoutMs);
// The first descendant of parent with that class (and text, when given).
HWND Child(HWND parent, const wchar_t* className, const wchar_t* text = L"");
// A control's text in another process: GetWindowText would give its creation caption.
std::string ControlText(HWND control);
// The text of a message box: its static control with id 0xFFFF.
std::string BoxText(HWND box);
// Lets the program paint the window, then saves what the screen shows of it under
// <build>/screenshots.
void Screenshot(HWND window, const wchar_t* name);
// The program's settings file in the test prefix.
std::filesystem::path SettingsIni();
// The client size of a window.
SIZE ClientOf(HWND window);
// A visible popup menu window of the process, or null.
HWND WaitForMenu(DWORD process, DWORD timeoutMs);

// The id of a running process started by parent from a program of that file name (such as
// L"winfr.exe"), once one appears within the time given; 0 when none does.
DWORD WaitForChildProcess(DWORD parent, const wchar_t* exeName, DWORD timeoutMs);

// Clicks the main window's "Menu" label (8 px below the button row, 51 px from its panel's
// left, in 96-DPI pixels scaled to dpi) and returns the popup menu that opens, or null.
HWND OpenMainMenu(DWORD process, HWND main, int dpi);

// Tarvask.exe from the test program's folder, with the simulator playing a scenario.
class Program {
public:
    // freshSettings: the settings file is removed first, so the run starts as a first run.
    // exe: another copy of the program (default: the one beside the test program).
    explicit Program(const std::wstring& scenario, bool freshSettings = true, const std::filesystem::path& exe = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    bool Started() const { return started_; }
    DWORD Id() const { return info_.dwProcessId; }
    bool WaitForExit(DWORD ms) const;
    // The exit code once it has ended (STILL_ACTIVE before).
    DWORD ExitCode() const;
    // Ends it at once, as Task Manager's "End process" does.
    void Kill() const;

private:
    PROCESS_INFORMATION info_{};
    bool started_ = false;
};

} // namespace kestro::testing_win
