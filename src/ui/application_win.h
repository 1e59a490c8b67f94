#pragma once
// The application object: its title and hidden top-level window (which carries
// the taskbar button, as the toolkit's application window does), the message
// loop, the message box and shell services, and the default error display.
#include <windows.h>

#include <string>

#include "base/texts.h"
#include "platform/services_win.h"
#include "platform/taskbar_win.h"

namespace kestro {

class Form;

class Application {
public:
    static Application& Get();

    // Creates the application window; call once, before any form.
    void Initialize(HINSTANCE instance);
    HINSTANCE Instance() const noexcept { return instance_; }
    // The application's top-level window (owner of the main form, holder of the taskbar button).
    HWND Handle() const noexcept { return handle_; }

    const std::string& Title() const noexcept { return title_; }
    void SetTitle(const std::string& title);

    Form* MainForm() const noexcept { return mainForm_; }
    void SetMainForm(Form* form) noexcept { mainForm_ = form; }

    MessageBoxes& Boxes() noexcept { return *boxes_; }
    // Replaces the message box service (tests); null restores the system's.
    void SetBoxes(MessageBoxes* boxes) noexcept;
    ShellOpener& Shell() noexcept { return *shell_; }
    void SetShell(ShellOpener* shell) noexcept;
    // Progress on the taskbar button of Handle().
    TaskbarProgress& Taskbar() noexcept { return *taskbar_; }
    // Replaces the taskbar service (tests); null restores the system's.
    void SetTaskbar(TaskbarProgress* taskbar) noexcept;

    // The application's modal message box, owned by the program's active window.
    int MessageBox(const std::string& text, const std::string& caption, UINT flags);
    // The default error display: the message (with a full stop added when its last
    // character sorts after "."), the application title as caption, the error icon.
    void ShowException(const std::string& message);
    // A web page that only a browser with this program's administrator rights could open: its
    // address goes on the clipboard where possible, and a box tells the user.
    void HandOverPage(HWND owner, const std::string& address);
    // Runs the message loop until WM_QUIT.
    int Run();
    // Keyboard handling of the form that holds msg.hwnd; true when used.
    bool PreTranslate(MSG& msg);
    // Tells a user who is elsewhere that something has ended: the taskbar button flashes until the
    // program is in front again. Nothing when it is in front already.
    void CallUserBack() noexcept;
    bool CallingUserBack() const noexcept { return flash_.Flashing(); }
    // Restores the program when it is minimised and brings its last active window to the front.
    void BringToFront();
    void Minimize();

private:
    Application();
    static LRESULT CALLBACK AppWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    void StopCallingBackInFront() noexcept;

    HINSTANCE instance_ = nullptr;
    HWND handle_ = nullptr;
    std::string title_;
    Form* mainForm_ = nullptr;
    SystemMessageBoxes systemBoxes_;
    SystemShell systemShell_;
    SystemTaskbar systemTaskbar_;
    TaskbarFlash flash_;
    MessageBoxes* boxes_;
    ShellOpener* shell_;
    TaskbarProgress* taskbar_;
};

// A text of the program's string table (UTF-8) in the language of the texts (TextLanguage), or in
// English where that table lacks it; empty when both lack it.
std::string LoadText(int id);
// The text of one language's string table alone; empty when it lacks it.
std::string LoadTextIn(Language language, int id);

// Reports a failure that escaped a handler through the default error display; without a
// message, as an unknown error.
void ReportUnhandled(const char* message) noexcept;

} // namespace kestro
