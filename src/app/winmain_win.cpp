// The entry routine: the application object with its title, the main window,
// and the message loop until the main window closes.
#include <windows.h>
#include <commctrl.h>

#include "app/main_window_win.h"
#include "app/settings_win.h"
#include "platform/optional_api_win.h"
#include "ui/application_win.h"
#include "ui/language_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // The program runs elevated: load system libraries only from the system folder. Looked up,
    // not imported, so that a system without it still starts and shows the version warning.
    kestro::RestrictDllSearchToSystemFolder();
    SetErrorMode(SEM_FAILCRITICALERRORS);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    kestro::Application& app = kestro::Application::Get();
    app.Initialize(instance);
    app.SetTitle("Kestro Refindor");
    // The texts speak the user's language from the first window on.
    kestro::RememberedChoices settings;
    kestro::ReadSettings(kestro::SettingsFile(), settings);
    kestro::SetTextLanguage(kestro::ProgramLanguage(settings.language));
    int exitCode = 0;
    {
        kestro::MainWindow main;
        app.SetMainForm(&main);
        main.Show();
        exitCode = app.Run();
        app.SetMainForm(nullptr);
    }
    // COM was started on this thread when first needed (the taskbar's progress, a web page, the
    // folder picker), and every object of it is gone with the main window.
    kestro::EndCom();
    return exitCode;
}
