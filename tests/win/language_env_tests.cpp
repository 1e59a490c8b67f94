// The program started from outside in the language of the user's session. CTest runs this program
// twice: under LANG=de_DE.UTF-8 and under LANG=en_US.UTF-8, with KESTRO_EXPECT_LANGUAGE naming the
// language expected ("de" or "en"). Wine takes the display language from the Unix locale.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/texts.h"
#include "platform/winstr_win.h"
#include "support/remote.h"
#include "support/wine_helpers.h"
#include "ui/language_win.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

Language Expected() {
    const char* code = std::getenv("KESTRO_EXPECT_LANGUAGE");
    return LanguageOfName(code != nullptr ? code : "").value_or(Language::English);
}

// The control's place in the main window's client area.
POINT PlaceInWindow(HWND control, HWND main) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, main, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top};
}

TEST(SessionLanguage, TheProgramShowsTheSessionsLanguageInTheDescribedPlaces) {
    const Language language = Expected();
    ASSERT_EQ(ProgramLanguage(""), language) << "display languages: " << UserDisplayLanguages().front();
    Program program(L"quick");
    ASSERT_TRUE(program.Started());
    HWND main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    HWND start = Child(main, L"Button", Widen(TextIn(language, IDS_START)).c_str());
    ASSERT_NE(start, nullptr) << TextIn(language, IDS_START);
    EXPECT_EQ(PlaceInWindow(start, main).x, 166);
    EXPECT_EQ(PlaceInWindow(start, main).y, 260);
    for (const TextId id : {IDS_SHOW_FILES, IDS_EXIT, IDS_BROWSE, IDS_SOURCE_FOLDER_CHECK, IDS_FILTER_ALL_DELETED,
                            IDS_FILTER_SPECIFIC_FILE, IDS_FILTER_WILDCARD, IDS_FILTER_FILE_TYPE}) {
        EXPECT_NE(Child(main, L"Button", Widen(TextIn(language, id)).c_str()), nullptr) << TextIn(language, id);
    }
    EXPECT_NE(Child(main, L"Static", Widen(TextIn(language, IDS_SOURCE_DRIVE)).c_str()), nullptr);
    // Neither the caption nor the class name is translated.
    wchar_t caption[64] = {};
    GetWindowTextW(main, caption, 64);
    EXPECT_EQ(Narrow(caption), "Kestro Refindor 2.0");
    Screenshot(main, (L"lang-session-" + Widen(InfoOf(language).code) + L".bmp").c_str());
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(10000));
}

// The Language setting wins over the session's language, and stays in the file.
TEST(SessionLanguage, TheLanguageSettingWins) {
    const Language set = Expected() == Language::English ? Language::French : Language::English;
    Program first(L"quick");
    ASSERT_TRUE(first.Started());
    HWND main = WaitForWindow(first.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(first.WaitForExit(10000));
    const std::wstring ini = SettingsIni().wstring();
    ASSERT_TRUE(WritePrivateProfileStringW(L"Options", L"Language", Widen(InfoOf(set).code).c_str(), ini.c_str()));

    Program program(L"quick", false);
    ASSERT_TRUE(program.Started());
    main = WaitForWindow(program.Id(), kMainClass, L"", 20000);
    ASSERT_NE(main, nullptr);
    EXPECT_NE(Child(main, L"Button", Widen(TextIn(set, IDS_START)).c_str()), nullptr) << TextIn(set, IDS_START);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit(10000));
    wchar_t kept[16] = {};
    GetPrivateProfileStringW(L"Options", L"Language", L"", kept, 16, ini.c_str());
    EXPECT_EQ(Narrow(kept), InfoOf(set).code);
    std::error_code ec;
    std::filesystem::remove(SettingsIni(), ec);
}

} // namespace
