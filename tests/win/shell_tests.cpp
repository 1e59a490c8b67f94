// How the program hands files and web addresses to the shell: web pages through the desktop's
// shell, so that the browser runs with the user's normal rights and not the program's.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/services_win.h"
#include "platform/shell_launch_win.h"
#include "platform/winstr_win.h"
#include "support/fakes.h"
#include "support/wine_helpers.h"
#include "ui/application_win.h"

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
    bool elevated;
    bool desktopAsked;
    bool directAsked;
    bool handedToUser; // the address went to the user instead
};

TEST(SystemShell, WebAddressesGoThroughTheDesktopShellAndEverythingElseDirectly) {
    const RouteCase cases[] = {
        {"https://www.kestro-software.example/refindor/", true, true, true, false, false},
        {"http://www.kestro-software.example/", true, true, true, false, false},
        {"HTTPS://EXAMPLE.ORG/", true, true, true, false, false},
        {" https://example.org/", true, true, true, false, false},
        // The Store opens in the user's own session too.
        {"ms-windows-store://pdp/?ProductId=9N26S50LN705", true, true, true, false, false},
        // No desktop shell answers (Explorer not running, or the program was elevated with another
        // account's password): a browser started from here would have administrator rights, so the
        // address goes to the user; without those rights the program's own shell call is as good.
        {"ms-windows-store://pdp/?ProductId=9N26S50LN705", false, true, true, false, true},
        {"https://www.kestro-software.example/donate/", false, true, true, false, true},
        {"https://www.kestro-software.example/donate/", false, false, true, true, false},
        // Folders (Show Files) and anything that is not a web page: as before.
        {"E:\\out\\Recovery_20240101_120000", true, true, false, true, false},
        {"C:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE", true, true, false, true, false},
        {"-", true, true, false, true, false},
        {"", true, true, false, true, false},
        {"https:", true, true, false, true, false},
        {"httpx://example.org/", true, true, false, true, false},
        {"file://C:/x", false, true, false, true, false},
        {"ms-windows-store:", true, true, false, true, false},
    };
    HWND owner = reinterpret_cast<HWND>(static_cast<LONG_PTR>(0x1234));
    for (const RouteCase& c : cases) {
        SCOPED_TRACE(c.file);
        FakeLauncher desktop(c.desktopAnswers);
        FakeLauncher direct(true);
        SystemShell shell(desktop, direct);
        shell.SetElevated([&] { return c.elevated; });
        std::vector<std::string> handed;
        shell.SetUnopenedPage([&](HWND from, const std::string& address) {
            EXPECT_EQ(from, owner);
            handed.push_back(address);
        });
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
        EXPECT_EQ(handed, c.handedToUser ? std::vector<std::string>{c.file} : std::vector<std::string>{});
    }
}

// The application hands such a page to the user: its address on the clipboard, and a box that
// says so, with the address in it.
TEST(SystemShell, APageThatCannotBeOpenedWithoutTheProgramsRightsIsCopiedForTheUser) {
    Application::Get().Initialize(GetModuleHandleW(nullptr));
    testing_win::RecordingBoxes boxes;
    testing_win::ClearClipboard();
    const std::string address = "https://www.kestro-software.example/refindor/update/";
    Application::Get().HandOverPage(nullptr, address);
    EXPECT_EQ(testing_win::ClipboardText(), address);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "The web page could not be opened without giving your browser this program's "
                                   "administrator rights. Its address has been copied to the clipboard; paste it into "
                                   "your browser:\r\n" + address);
    EXPECT_EQ(boxes.boxes[0].Icon(), static_cast<UINT>(MB_ICONINFORMATION));
}

} // namespace
} // namespace kestro
