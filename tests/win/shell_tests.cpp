// How the program hands files and web addresses to the shell: web pages through the desktop's
// shell, so that the browser runs with the user's normal rights and not the program's.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "global/services_win.h"
#include "global/shell_launch_win.h"
#include "global/winstr_win.h"

namespace kestro {
namespace {

struct Launch {
    HWND owner;
    std::wstring verb;
    std::wstring file;
    bool operator==(const Launch&) const = default;
};

class FakeLauncher final : public ShellLauncher {
public:
    explicit FakeLauncher(bool answers) : answers_(answers) {}
    bool Launch(HWND owner, const std::wstring& verb, const std::wstring& file) override {
        launches.push_back({owner, verb, file});
        return answers_;
    }
    std::vector<struct Launch> launches;

private:
    bool answers_;
};

struct RouteCase {
    const char* file;
    bool desktopAnswers;
    bool desktopAsked;
    bool directAsked;
};

TEST(SystemShell, WebAddressesGoThroughTheDesktopShellAndEverythingElseDirectly) {
    const RouteCase cases[] = {
        {"https://www.kestro-software.example/refindor/", true, true, false},
        {"http://www.kestro-software.example/", true, true, false},
        {"HTTPS://EXAMPLE.ORG/", true, true, false},
        {" https://example.org/", true, true, false},
        // The Store opens in the user's own session too.
        {"ms-windows-store://pdp/?ProductId=9N26S50LN705", true, true, false},
        {"ms-windows-store://pdp/?ProductId=9N26S50LN705", false, true, true},
        // No desktop shell answers (Wine, Explorer not running): the program's own shell call.
        {"https://www.kestro-software.example/donate/", false, true, true},
        // Folders (Show Files) and anything that is not a web page: as before.
        {"E:\\out\\Recovery_20240101_120000", true, false, true},
        {"C:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE", true, false, true},
        {"-", true, false, true},
        {"", true, false, true},
        {"https:", true, false, true},
        {"httpx://example.org/", true, false, true},
        {"file://C:/x", true, false, true},
        {"ms-windows-store:", true, false, true},
    };
    HWND owner = reinterpret_cast<HWND>(static_cast<LONG_PTR>(0x1234));
    for (const RouteCase& c : cases) {
        SCOPED_TRACE(c.file);
        FakeLauncher desktop(c.desktopAnswers);
        FakeLauncher direct(true);
        SystemShell shell(desktop, direct);
        shell.Open(owner, "Open", c.file);
        const struct Launch expected { owner, L"Open", Widen(c.file) };
        ASSERT_EQ(desktop.launches.size(), c.desktopAsked ? 1u : 0u);
        if (c.desktopAsked) {
            EXPECT_EQ(desktop.launches[0], expected);
        }
        ASSERT_EQ(direct.launches.size(), c.directAsked ? 1u : 0u);
        if (c.directAsked) {
            EXPECT_EQ(direct.launches[0], expected) << "the same request, with the owner window";
        }
    }
}

} // namespace
} // namespace kestro
