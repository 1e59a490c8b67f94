#include "support/accessible_tables.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/main_window_win.h"
#include "dialogs/about_dialog_win.h"
#include "dialogs/advanced_options_dialog_win.h"
#include "dialogs/scan_dialog_win.h"
#include "runner/tool_runner_win.h"
#include "support/fakes.h"
#include "support/wine_helpers.h"
#include "ui/accessible_win.h"
#include "ui/application_win.h"

namespace kestro::testing_win {

namespace {

constexpr long kLinkState = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED;

ExpectedPart Link(const char* english, const char* german, RECT place) {
    return {true, ROLE_SYSTEM_LINK, english, german, Action::Click, kLinkState, nullptr, place};
}

ExpectedPart Picture(RECT place) {
    return {true, ROLE_SYSTEM_GRAPHIC, "", "", Action::None, STATE_SYSTEM_READONLY, nullptr, place};
}

ExpectedPart Control(const char* english, const char* german, RECT place) {
    return {false, 0, english, german, Action::None, 0, nullptr, place};
}

// The menu image and "Menu" as one menu button: from the image's top left to its bottom, past the
// text's end.
ExpectedPart MenuButton(int rowTop) {
    return {true,         ROLE_SYSTEM_BUTTONMENU,
            "Menu",       "Menü",
            Action::Open, STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_HASPOPUP,
            nullptr,      RECT{25, 56 + rowTop - 9, -1, 56 + rowTop + 23}};
}

void AddButtonRow(std::vector<ExpectedPart>& parts, int rowTop) {
    const int top = 56 + rowTop;
    parts.push_back(MenuButton(rowTop));
    parts.push_back(Control("Start...", "Starten...", {166, top, 246, top + 23}));
    parts.push_back(Control("Show Files...", "Anzeigen...", {262, top, 342, top + 23}));
    parts.push_back(Control("Exit", "Beenden", {359, top, 439, top + 23}));
}

// The group of the filter's own fields stands 194 pixels down the panel.
void AddFileTypeGroup(std::vector<ExpectedPart>& parts) {
    const struct {
        const char* english;
        const char* german;
        int top;
    } checks[] = {
        {"Documents (.txt, .doc, .docx, .wps, .xls, .xlsx, .pdf, .ppt, ...)",
         "Dokumente (.txt, .doc, .docx, .wps, .xls, .xlsx, .pdf, .ppt, ...)", 24},
        {"Photos (.bmp, .cur, .ico, .jpg, .jpeg, .png, .gif, .psd, .svg, ...)",
         "Fotos (.bmp, .cur, .ico, .jpg, .jpeg, .png, .gif, .psd, .svg, ...)", 54},
        {"Videos (.mpeg, .mp4, .avi, .wmv, .3gp, .rm, .flv, .rmvb, ...)",
         "Videos (.mpeg, .mp4, .avi, .wmv, .3gp, .rm, .flv, .rmvb, ...)", 85},
        {"Audios ( .aac, .cda, .wav, .mp3, .wma, .ogg, .flac, .m4a, ...)",
         "Audio (.aac, .cda, .wav, .mp3, .wma, .ogg, .flac, .m4a, ...)", 116},
        {"Web pages (.htm, .html, .mht, .xhtml, .asp, .aspx, ...)",
         "Webseiten (.htm, .html, .mht, .xhtml, .asp, .aspx, ...)", 147},
        {"Compressed files (.7z, .arj, .exe, .iso, .jar, .rar, .tar, .zip, ...)",
         "Komprimierte Dateien (.7z, .arj, .exe, .iso, .jar, .rar, .tar, .zip, ...)", 178},
        {"Custom file types", "Eigene Typen", 209},
    };
    const int groupTop = 56 + 194;
    for (const auto& check : checks) {
        parts.push_back(
            Control(check.english, check.german, {32, groupTop + check.top, -1, groupTop + check.top + 19}));
    }
    parts.push_back(Control("Custom file types", "Eigene Typen", {139, groupTop + 210, 324, groupTop + 229}));
    parts.push_back(Picture({376, groupTop + 104, 408, groupTop + 145}));
}

// The button row's top in the panel for each filter.
int RowTopOf(Filter filter) {
    switch (filter) {
    case Filter::AllDeleted:
        return 204;
    case Filter::FileType:
        return 458;
    default:
        return 303;
    }
}

std::string ActionText(Action action, Language language) {
    const bool german = language == Language::German;
    switch (action) {
    case Action::Click:
        return german ? "Klicken" : "Click";
    case Action::Open:
        return german ? "Öffnen" : "Open";
    case Action::None:
        break;
    }
    return "";
}

std::string Listing(const std::vector<AccessiblePart>& parts) {
    std::string all;
    for (const AccessiblePart& part : parts) {
        all += "\n  " + std::to_string(part.role) + " \"" + part.name + "\" " + part.className;
    }
    return all;
}

void ExpectPlace(const RECT& seen, const RECT& expected96, int dpi, const std::string& where) {
    const LONG seenEdges[4] = {seen.left, seen.top, seen.right, seen.bottom};
    const LONG expectedEdges[4] = {expected96.left, expected96.top, expected96.right, expected96.bottom};
    for (int i = 0; i < 4; ++i) {
        if (expectedEdges[i] >= 0) {
            EXPECT_NEAR(seenEdges[i], MulDiv(expectedEdges[i], dpi, 96), 2) << where << ", edge " << i;
        }
    }
}

} // namespace

std::vector<ExpectedPart> MainWindowParts(Filter filter) {
    std::vector<ExpectedPart> parts = {
        Link("Windows File Recovery Gui", "Windows File Recovery GUI", {65, 8, -1, -1}),
        Link("Recover lost files from your local storage device", "Verlorene Dateien von lokalen Laufwerken retten",
             {0, 0, 460, 50}),
        Picture({-1, 24, -1, 40}),
        Link("Check for updates...", "Nach Updates suchen...", {-1, 24, 450, -1}),
        Control("Source drive", "Quelle", {87, 64, 217, -1}),
        Control("Recovery mode", "Scanmodus", {352, 60, 444, -1}),
        Control("Browser...", "Durchsuchen...", {366, 95, 446, 118}),
        Control("Save to", "Ziel", {67, 97, 345, 117}),
        Control("Source file path:", "Quellordner:", {16, 147, -1, 164}),
        Control("Source file path", "Quellordner", {122, 147, 344, 167}),
        Control("Browser...", "Durchsuchen...", {366, 145, 446, 168}),
        Control("All deleted files", "Alle Dateien", {24, 197, 129, 236}),
        Control("Specific file", "Bestimmte Datei", {129, 197, 234, 236}),
        Control("Wildcard", "Platzhalter", {234, 197, 339, 236}),
        Control("Deleted file type", "Dateitypen", {339, 197, 444, 236}),
    };
    AddButtonRow(parts, RowTopOf(filter));
    if (filter == Filter::SpecificFile) {
        parts.push_back(Control("File name", "Dateiname", {92, 302, 280, 321}));
    } else if (filter == Filter::Wildcard) {
        parts.push_back(Control("Wildcard", "Muster", {85, 302, 273, 321}));
    } else if (filter == Filter::FileType) {
        AddFileTypeGroup(parts);
    }
    return parts;
}

std::vector<ExpectedPart> AboutParts() {
    return {
        Link("Kestro Refindor", "Kestro Refindor", {0, 0, 360, 50}),
        Picture({20, 61, 52, 93}),
        Link("www.kestro-software.example", "www.kestro-software.example", {80, 182, -1, -1}),
        Control("OK", "OK", {260, 201, 339, 224}),
    };
}

// The overwrite choices are walked inside their group, which itself says nothing.
std::vector<ExpectedPart> AdvancedOptionsParts() {
    return {
        Control("Recover undeleted files too (Recycle Bin)",
                "Auch nicht gelöschte Dateien wiederherstellen (Papierkorb)", {12, 12, 388, 29}),
        Control("Recover system files", "Systemdateien wiederherstellen", {12, 35, 388, 52}),
        Control("Recover files without their primary data stream", "Dateien ohne primären Datenstrom wiederherstellen",
                {12, 58, 388, 75}),
        Control("Keep both", "Beide behalten", {24, 106, 376, 123}),
        Control("Never overwrite", "Nie überschreiben", {24, 128, 376, 145}),
        Control("Always overwrite", "Immer überschreiben", {24, 150, 376, 167}),
        Control("Restore defaults", "Zurücksetzen", {12, 188, 142, 211}),
        Control("OK", "OK", {228, 188, 303, 211}),
        Control("Cancel", "Abbrechen", {313, 188, 388, 211}),
    };
}

std::vector<ExpectedPart> ScanningParts() {
    ExpectedPart bar = Control("Recovering files", "Dateien werden wiederhergestellt", {16, 45, 353, 57});
    bar.role = ROLE_SYSTEM_PROGRESSBAR;
    bar.value = "60%";
    return {bar, Control("Stop", "Abbrechen", {152, 83, 232, 110})};
}

void ExpectParts(const std::vector<AccessiblePart>& seen, const std::vector<ExpectedPart>& expected, Language language,
                 int dpi, const std::string& where) {
    ASSERT_EQ(seen.size(), expected.size()) << where << Listing(seen);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        const AccessiblePart& s = seen[i];
        const ExpectedPart& e = expected[i];
        const std::string at = where + ", part " + std::to_string(i) + " \"" + s.name + "\"";
        EXPECT_EQ(s.name, language == Language::German ? e.german : e.english) << at;
        EXPECT_EQ(s.windowless, e.windowless) << at;
        if (e.role != 0) {
            EXPECT_EQ(s.role, e.role) << at;
        }
        if (e.windowless) {
            EXPECT_EQ(s.action, ActionText(e.action, language)) << at;
            EXPECT_EQ(s.state, e.state) << at;
        }
        if (e.value != nullptr) {
            EXPECT_EQ(s.value, e.value) << at;
        }
        ExpectPlace(s.place, e.place, dpi, at);
    }
}

void ExpectAccessibleTrees(Language language, int dpi) {
    SetTextLanguage(language);
    {
        RecordingBoxes boxes;
        FakeDrives drives;
        drives.drives = {{"C:\\", "System", "NTFS"}, {"D:\\", "Data", "NTFS"}};
        TempDir dir(L"accessible");
        MainWindowServices services;
        services.drives = &drives;
        services.settingsFile = [&dir] { return dir.Utf8() + "\\settings.ini"; };
        services.workArea = [] { return RECT{0, 0, 1920, 1560}; };
        MainWindow w(services);
        w.Show();
        ASSERT_EQ(w.Dpi(), dpi);
        const std::string code = InfoOf(language).code;
        for (const Filter filter : {Filter::AllDeleted, Filter::SpecificFile, Filter::Wildcard, Filter::FileType}) {
            w.SetFilter(filter);
            ExpectParts(WalkFromAnotherThread(w.Handle()), MainWindowParts(filter), language, dpi,
                        code + " main window, filter " + std::to_string(IndexOfFilter(filter)));
        }
        w.SetFilter(Filter::AllDeleted);
        AboutDialog about(w.Handle());
        ShowWindow(about.Handle(), SW_SHOWNA);
        ExpectParts(WalkFromAnotherThread(about.Handle()), AboutParts(), language, dpi, code + " About");
        ShowWindow(about.Handle(), SW_HIDE);
        AdvancedOptionsDialog options(w.Handle(), ToolOptions{});
        ShowWindow(options.Handle(), SW_SHOWNA);
        ExpectParts(WalkFromAnotherThread(options.Handle()), AdvancedOptionsParts(), language, dpi,
                    code + " Advanced options");
        ShowWindow(options.Handle(), SW_HIDE);
        ScanDialog scanning(w.Handle(), RunRequest{.destination = "D:\\"}, std::make_shared<ToolRunner>());
        // Shown without its show handler, which would start the tool.
        ShowWindow(scanning.Handle(), SW_SHOWNA);
        SetText(scanning.StatusText(), LoadText(IDS_RECOVERING_FILES));
        SendMessageW(scanning.ProgressBar(), PBM_SETPOS, 600, 0);
        ExpectParts(WalkFromAnotherThread(scanning.Handle()), ScanningParts(), language, dpi, code + " Scanning");
    }
    SetTextLanguage(Language::English);
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(LiveAccessibleObjects(), 0) << "every object given out was released with its window";
}

} // namespace kestro::testing_win
