#include "support/language_check.h"

#include <commctrl.h>

#include <memory>

#include <gtest/gtest.h>

#include "app/main_window_win.h"
#include "app/popup_menu_win.h"
#include "base/text.h"
#include "dialogs/about_dialog_win.h"
#include "dialogs/advanced_options_dialog_win.h"
#include "dialogs/scan_dialog_win.h"
#include "dialogs/scan_texts.h"
#include "platform/locale_win.h"
#include "platform/winstr_win.h"
#include "runner/tool_runner_win.h"
#include "support/fakes.h"
#include "support/text_fit.h"
#include "support/wine_helpers.h"
#include "ui/application_win.h"
#include "ui/display_win.h"
#include "ui/graphic_controls_win.h"
#include "ui/language_win.h"
#include "ui/link_label_win.h"

namespace kestro::testing_win {

namespace {

void Add(std::vector<std::string>& to, const std::string& where, const std::vector<std::string>& misfits) {
    for (const std::string& m : misfits) {
        to.push_back(where + ": " + m);
    }
}

RECT PixelsInPanel(const GraphicControl& control) {
    return control.ClientRect();
}

// The windowless texts of the title band and the menu label, against their neighbours.
void CheckWindowless(MainWindow& w, int dpi, std::vector<std::string>& misfits) {
    auto& c = w.Ctl();
    const auto S = [dpi](int v) { return MulDiv(v, dpi, 96); };
    const int iconLeft = PixelsInPanel(*c.updateIcon).left;
    const auto check = [&](const Label& label, int right, int limit, const char* what) {
        const std::wstring text = Widen(label.Caption());
        if (right > limit) {
            misfits.push_back("title band: \"" + label.Caption() + "\" " + what + " ends at " + std::to_string(right) +
                              ", room to " + std::to_string(limit));
        }
        const std::wstring missing = MissingGlyphs(label.ActiveFont(), text);
        if (!missing.empty()) {
            misfits.push_back("\"" + label.Caption() + "\": no glyphs for \"" + Narrow(missing) + "\"");
        }
    };
    const RECT title = PixelsInPanel(*c.titleLabel);
    check(*c.titleLabel, title.left + TextWidth(c.titleLabel->ActiveFont(), Widen(c.titleLabel->Caption())),
          iconLeft - S(2), "(title)");
    const RECT subtitle = PixelsInPanel(*c.subtitleLabel);
    const int subtitleWidth = TextWidth(c.subtitleLabel->ActiveFont(), Widen(c.subtitleLabel->Caption()));
    check(*c.subtitleLabel, subtitle.left + subtitleWidth, std::min<int>(subtitle.right, iconLeft - S(4)),
          "(subtitle)");
    check(*c.updateLink, PixelsInPanel(*c.updateLink).right, S(460), "(update link)");
    RECT start{};
    GetWindowRect(c.startButton, &start);
    MapWindowPoints(HWND_DESKTOP, c.mainPanel->Handle(), reinterpret_cast<POINT*>(&start), 2);
    check(*c.menuLabel, PixelsInPanel(*c.menuLabel).right, start.left, "(menu label)");
}

// The fonts of menus and captions at the DPI, as the menu itself takes them.
NONCLIENTMETRICSW MetricsAt(int dpi) {
    NONCLIENTMETRICSW metrics;
    NonClientMetricsAt(dpi, metrics);
    return metrics;
}

// The category check boxes stay clear of the file-types picture beside them (windowless, so not
// among the controls that TextMisfits sees).
void CheckFileTypesPicture(MainWindow& w, std::vector<std::string>& misfits) {
    auto& c = w.Ctl();
    const RECT picture = c.fileTypesPicture->ClientRect();
    for (HWND box : c.categoryChecks) {
        RECT r{};
        GetWindowRect(box, &r);
        MapWindowPoints(HWND_DESKTOP, c.fileTypeGroup->Handle(), reinterpret_cast<POINT*>(&r), 2);
        RECT overlap{};
        if (IntersectRect(&overlap, &r, &picture)) {
            misfits.push_back("\"" + GetText(box) + "\": runs into the file-types picture by " +
                              std::to_string(overlap.right - overlap.left));
        }
    }
}

struct MenuMeasure {
    HMENU menu = nullptr;
    std::vector<std::pair<std::wstring, RECT>> items;
    bool done = false;
};
MenuMeasure* openMenu = nullptr;

void CALLBACK MeasureOpenMenu(HWND, UINT, UINT_PTR, DWORD) {
    HWND window = ThisThreadsMenuWindow();
    if (window == nullptr || openMenu == nullptr || openMenu->done) {
        return;
    }
    for (int i = 0; i < GetMenuItemCount(openMenu->menu); ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(openMenu->menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        RECT item{};
        GetMenuItemRect(nullptr, openMenu->menu, static_cast<UINT>(i), &item);
        openMenu->items.emplace_back(text, item);
    }
    openMenu->done = true;
    EndMenu();
}

// Each caption of the popup menu, in the menu's font, beside the side bar and clear of the edge.
void CheckMenu(MainWindow& w, int dpi, std::vector<std::string>& misfits) {
    MenuMeasure measure;
    measure.menu = w.PopupMenu().Handle();
    openMenu = &measure;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, MeasureOpenMenu);
    w.PopupMenu().Popup(w.Handle(), POINT{100, 100});
    KillTimer(nullptr, timer);
    openMenu = nullptr;
    if (measure.items.empty()) {
        misfits.push_back("menu: did not open");
        return;
    }
    NONCLIENTMETRICSW metrics = MetricsAt(dpi);
    UseProgramFace(metrics.lfMenuFont);
    const UniqueFont font(CreateFontIndirectW(&metrics.lfMenuFont));
    for (const auto& [text, item] : measure.items) {
        if (text.empty()) {
            continue;
        }
        // The side bar (26), the indent (8) and the margin (16), at the DPI.
        const int need = TextWidth(font.get(), text, true) + MulDiv(26 + 8 + 16, dpi, 96);
        if (need > item.right - item.left) {
            misfits.push_back("menu: \"" + Narrow(text) + "\" " + std::to_string(need) + " in " +
                              std::to_string(item.right - item.left));
        }
        const std::wstring missing = MissingGlyphs(font.get(), text);
        if (!missing.empty()) {
            misfits.push_back("menu: \"" + Narrow(text) + "\": no glyphs for \"" + Narrow(missing) + "\"");
        }
    }
}

HFONT CaptionFont(int dpi, UniqueFont& holder) {
    NONCLIENTMETRICSW metrics = MetricsAt(dpi);
    holder.reset(CreateFontIndirectW(&metrics.lfCaptionFont));
    return holder.get();
}

void CheckAbout(HWND owner, int dpi, std::vector<std::string>& misfits) {
    AboutDialog about(owner);
    ShowWindow(about.Handle(), SW_SHOWNA);
    Add(misfits, "About", TextMisfits(about.Handle(), dpi, about.Font()));
    // Its lines end where the separator line below them ends.
    RECT separator{};
    GetWindowRect(GetDlgItem(about.Handle(), 1005), &separator);
    for (const int id : {1002, 1003, 1004}) {
        RECT line{};
        GetWindowRect(GetDlgItem(about.Handle(), id), &line);
        if (line.right > separator.right) {
            misfits.push_back("About: \"" + GetText(GetDlgItem(about.Handle(), id)) + "\" ends " +
                              std::to_string(line.right - separator.right) + " beyond the separator");
        }
    }
    // The caption beside the icon-less frame's close box.
    UniqueFont font;
    RECT frame{};
    GetWindowRect(about.Handle(), &frame);
    const int need = TextWidth(CaptionFont(dpi, font), Widen(LoadText(IDS_ABOUT_CAPTION))) + MulDiv(40, dpi, 96);
    if (need > frame.right - frame.left) {
        misfits.push_back("About: caption " + std::to_string(need) + " in " + std::to_string(frame.right - frame.left));
    }
    ShowWindow(about.Handle(), SW_HIDE);
}

// The captions of the Advanced options dialog against their controls, its caption against the title
// bar, and its hints in glyphs of the language.
void CheckAdvancedOptions(HWND owner, int dpi, std::vector<std::string>& misfits) {
    AdvancedOptionsDialog dialog(owner, ToolOptions{});
    ShowWindow(dialog.Handle(), SW_SHOWNA);
    Add(misfits, "Advanced options", TextMisfits(dialog.Handle(), dpi, dialog.Font()));
    UniqueFont font;
    RECT frame{};
    GetWindowRect(dialog.Handle(), &frame);
    const int need = TextWidth(CaptionFont(dpi, font), Widen(LoadText(IDS_ADVANCED_CAPTION))) + MulDiv(40, dpi, 96);
    if (need > frame.right - frame.left) {
        misfits.push_back("Advanced options: caption " + std::to_string(need) + " in " +
                          std::to_string(frame.right - frame.left));
    }
    HFONT tipFont = reinterpret_cast<HFONT>(SendMessageW(dialog.Tooltip(), WM_GETFONT, 0, 0));
    for (const int hint : {IDS_HINT_UNDELETED, IDS_HINT_SYSTEM_FILES, IDS_HINT_NO_PRIMARY_STREAM, IDS_HINT_KEEP_BOTH,
                           IDS_HINT_NEVER_OVERWRITE, IDS_HINT_ALWAYS_OVERWRITE}) {
        const std::wstring missing = MissingGlyphs(tipFont, Widen(LoadText(hint)));
        if (!missing.empty()) {
            misfits.push_back("tip \"" + LoadText(hint) + "\": no glyphs for \"" + Narrow(missing) + "\"");
        }
    }
    ShowWindow(dialog.Handle(), SW_HIDE);
}

// A long line of the elapsed text: half a day gone, the longest time left, and the files so far of
// a large recovery.
std::string LongElapsedLine() {
    std::string left = FormatText(LoadText(IDS_LEFT_HOURS_MINUTES), {"23", "59"});
    for (const int id : {IDS_LEFT_UNDER_A_MINUTE, IDS_LEFT_MINUTES, IDS_LEFT_HOURS}) {
        const std::string other = FormatText(LoadText(id), {"59"});
        left = Widen(other).size() > Widen(left).size() ? other : left;
    }
    return ElapsedLineText("12:34:56", left, LocaleGroupedNumber(123456), LocaleGroupedNumber(123456));
}

void CheckScanning(HWND owner, int dpi, const std::wstring& shot, std::vector<std::string>& misfits) {
    auto runner = std::make_shared<ToolRunner>();
    ScanDialog dialog(owner, RunRequest{.destination = "D:\\"}, runner);
    // Shown without its show handler, which would start the tool.
    ShowWindow(dialog.Handle(), SW_SHOWNA);
    SetText(dialog.ElapsedText(), LongElapsedLine());
    for (const int status : {IDS_RECOVERING_FILES, IDS_SCANNING_DISK}) {
        SetText(dialog.StatusText(), LoadText(status));
        Add(misfits, "Scanning", TextMisfits(dialog.Handle(), dpi, dialog.Font()));
    }
    if (!shot.empty()) {
        SetText(dialog.ElapsedText(), ElapsedLineText("0:01:23", FormatText(LoadText(IDS_LEFT_MINUTES), {"4"}), "", ""));
        SendMessageW(dialog.ProgressBar(), PBM_SETPOS, 450, 0);
        RedrawWindow(dialog.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        PumpUntil([] { return false; }, 150);
        SaveWindowBitmap(dialog.Handle(), shot);
    }
    ShowWindow(dialog.Handle(), SW_HIDE);
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) {
        all += "\n  " + line;
    }
    return all;
}

} // namespace

void ExpectEveryTextFits(const LanguageInfo& info, int dpi, const std::filesystem::path* shots) {
    const LanguageCheck check = CheckLanguage(info.language, shots);
    EXPECT_EQ(check.dpi, dpi);
    EXPECT_TRUE(check.misfits.empty()) << info.code << Joined(check.misfits);
    // The windows were really made in the language, and English is back afterwards.
    ASSERT_EQ(check.captions.size(), 2u);
    EXPECT_EQ(check.captions[0], TextIn(info.language, IDS_START));
    EXPECT_EQ(check.captions[1], TextIn(info.language, IDS_TITLE));
    EXPECT_EQ(TextLanguage(), Language::English);
    EXPECT_EQ(LoadText(IDS_START), "Start...");
}

std::string TestNameOf(const LanguageInfo& info) {
    std::string name = info.code;
    std::erase(name, '-');
    return name;
}

LanguageCheck CheckLanguage(Language language, const std::filesystem::path* shots) {
    SetTextLanguage(language);
    LanguageCheck check;
    {
        RecordingBoxes boxes;
        FakeDrives drives;
        drives.drives = {{"C:\\", "System", "NTFS"}, {"D:\\", "Data", "NTFS"}, {"E:\\", "Stick", "FAT32"}};
        TempDir dir(L"language");
        MainWindowServices services;
        services.drives = &drives;
        services.settingsFile = [&dir] { return dir.Utf8() + "\\settings.ini"; };
        services.workArea = [] { return RECT{0, 0, 1920, 1560}; };
        MainWindow w(services);
        w.Show();
        PumpUntil([] { return false; }, 50);
        check.dpi = w.Dpi();
        check.captions = {GetText(w.Ctl().startButton), w.Ctl().titleLabel->Caption()};
        const std::wstring code = Widen(InfoOf(language).code);
        for (const Filter filter : {Filter::FileType, Filter::Wildcard, Filter::SpecificFile, Filter::AllDeleted}) {
            w.SetFilter(filter);
            PumpUntil([] { return false; }, 20);
            Add(check.misfits, "main window, filter " + std::to_string(IndexOfFilter(filter)),
                TextMisfits(w.Handle(), check.dpi, w.Font()));
        }
        w.SetFilter(Filter::FileType);
        CheckFileTypesPicture(w, check.misfits);
        w.SetFilter(Filter::AllDeleted);
        CheckWindowless(w, check.dpi, check.misfits);
        // The tips are drawn with glyphs of the language too.
        HFONT tipFont = reinterpret_cast<HFONT>(SendMessageW(w.Tooltip(), WM_GETFONT, 0, 0));
        for (const int hint : {IDS_HINT_DESTINATION, IDS_HINT_MENU}) {
            const std::wstring missing = MissingGlyphs(tipFont, Widen(LoadText(hint)));
            if (!missing.empty()) {
                check.misfits.push_back("tip \"" + LoadText(hint) + "\": no glyphs for \"" + Narrow(missing) + "\"");
            }
        }
        CheckMenu(w, check.dpi, check.misfits);
        CheckAbout(w.Handle(), check.dpi, check.misfits);
        CheckAdvancedOptions(w.Handle(), check.dpi, check.misfits);
        std::wstring scanningShot;
        if (shots != nullptr) {
            std::filesystem::create_directories(*shots);
            RedrawWindow(w.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            PumpUntil([] { return false; }, 100);
            SaveWindowBitmap(w.Handle(), (*shots / (L"lang-" + code + L"-main.bmp")).wstring());
            scanningShot = (*shots / (L"lang-" + code + L"-scanning.bmp")).wstring();
        }
        CheckScanning(w.Handle(), check.dpi, scanningShot, check.misfits);
    }
    SetTextLanguage(Language::English);
    return check;
}

} // namespace kestro::testing_win
