// What the user does to the main window's inputs, under Wine: the file name's placeholder, text
// colours after a switch of the system colours or a move to another DPI, the custom file types,
// Show Files, the folder pickers, folders dropped from Explorer, and the links and menu items.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_window_win.h"
#include "base/texts.h"
#include "platform/handles_win.h"
#include "platform/winstr_win.h"
#include "support/main_window_fixture.h"
#include "ui/display_win.h"
#include "ui/graphic_controls_win.h"
#include "ui/link_label_win.h"
#include "ui/subclass_win.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

// The colour an edit's text is painted in: what its parent answers to WM_CTLCOLOREDIT.
COLORREF PaintedTextColor(HWND edit) {
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageW(GetParent(edit), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit));
    const COLORREF color = GetTextColor(dc);
    DeleteDC(dc);
    return color;
}

TEST_F(MainWindowTest, FileNamePlaceholderClearsOnTheFirstMouseClickOnly) {
    MainWindow& w = Open();
    HWND edit = w.Ctl().fileNameEdit;
    w.SetFilter(Filter::SpecificFile);
    EXPECT_TRUE(w.FileNamePlaceholderShown());
    EXPECT_EQ(PaintedTextColor(edit), RGB(192, 192, 192));
    Click(edit);
    EXPECT_EQ(EditText(edit), "");
    EXPECT_FALSE(w.FileNamePlaceholderShown());
    EXPECT_EQ(PaintedTextColor(edit), GetSysColor(COLOR_WINDOWTEXT));
    SetText(edit, "report.docx");
    Click(edit);
    EXPECT_EQ(EditText(edit), "report.docx");
}

// A switch to or from a high-contrast theme changes the system colours under a running program.
TEST_F(MainWindowTest, TextColoursFollowASwitchOfTheSystemColours) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    w.SetFilter(Filter::SpecificFile);
    std::vector<HWND> told;
    Subclass(c.sourceLabel, [&](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT&) {
        if (msg == WM_SYSCOLORCHANGE) {
            told.push_back(hwnd);
        }
        return false;
    });
    {
        const SystemColors dark({{COLOR_WINDOW, RGB(0, 0, 0)}, {COLOR_WINDOWTEXT, RGB(255, 255, 0)}});
        EXPECT_EQ(PaintedTextColor(c.fileNameEdit), RGB(192, 192, 192)) << "the placeholder stays grey";
        Click(c.fileNameEdit);
        EXPECT_EQ(PaintedTextColor(c.fileNameEdit), RGB(255, 255, 0));
        EXPECT_EQ(PaintedTextColor(c.wildcardEdit), RGB(255, 255, 0));
        EXPECT_EQ(told, std::vector<HWND>{c.sourceLabel}) << "the controls are told of the new colours";
    }
    EXPECT_EQ(PaintedTextColor(c.fileNameEdit), GetSysColor(COLOR_WINDOWTEXT)) << "and back";
    // "Menu" lies on the system's background: in high contrast it takes the link colour.
    OverrideHighContrast(1);
    EXPECT_EQ(c.menuLabel->PaintColor(), GetSysColor(COLOR_HOTLIGHT));
    EXPECT_EQ(c.titleLabel->PaintColor(), RGB(255, 255, 255)) << "on the title picture it stays white";
    OverrideHighContrast(-1);
    EXPECT_EQ(c.menuLabel->PaintColor(), RGB(0, 0, 255));
}

// Text does not scale in proportion with the DPI: captions are measured again at the new DPI.
TEST_F(MainWindowTest, CaptionsFitAfterMovingToAnotherDpiAndBack) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    RECT suggested{40, 30, 800, 700};
    const auto moveTo = [&](int dpi) {
        SendMessageW(w.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        ASSERT_EQ(w.Dpi(), dpi);
        EXPECT_EQ(ClippedCaptions(w.Handle(), dpi), std::vector<std::string>{}) << "at " << dpi;
        // The windowless labels sized to their text, each measured in the font it is drawn with.
        struct Drawn {
            Label* label;
            int height;
            int weight;
            bool underline;
        };
        const Drawn labels[] = {{c.titleLabel.get(), -15, FW_BOLD, false},
                                {c.updateLink.get(), -12, FW_NORMAL, true},
                                {c.menuLabel.get(), -11, FW_BOLD, true}};
        for (const Drawn& d : labels) {
            const auto font = w.MakeFont(d.height, d.weight, d.underline);
            const ScopedDc dc(w.Handle());
            const std::wstring text = Widen(d.label->Caption());
            SIZE size{};
            {
                SelectGuard selected(dc.Get(), font.get());
                GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
            }
            const RECT r = d.label->ClientRect();
            EXPECT_GE(r.right - r.left, size.cx) << d.label->Caption() << " at " << dpi;
            EXPECT_GE(r.bottom - r.top, size.cy) << d.label->Caption() << " at " << dpi;
        }
        // Every font a control holds is alive.
        EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(SendMessageW(c.sourceLabel, WM_GETFONT, 0, 0))),
                  static_cast<DWORD>(OBJ_FONT));
        EXPECT_EQ(GetObjectType(w.Font()), static_cast<DWORD>(OBJ_FONT));
    };
    w.SetFilter(Filter::FileType);
    EXPECT_EQ(ClippedCaptions(w.Handle(), 96), std::vector<std::string>{});
    moveTo(144);
    moveTo(96);
    const DWORD gdi = GdiObjectCount();
    for (int round = 0; round < 2; ++round) {
        moveTo(144);
        moveTo(96);
    }
    // Wine does not count GDI objects; Windows does.
    EXPECT_LE(GdiObjectCount(), gdi);
    w.SetFilter(Filter::AllDeleted);
}

TEST_F(MainWindowTest, TextTypedWhileSilverIsErasedByTheFirstClick) {
    MainWindow& w = Open();
    HWND edit = w.Ctl().fileNameEdit;
    w.SetFilter(Filter::SpecificFile);
    SetFocus(edit);
    SendMessageW(edit, WM_CHAR, 'x', 0);
    EXPECT_NE(EditText(edit), "");
    Click(edit);
    EXPECT_EQ(EditText(edit), "");
}

TEST_F(MainWindowTest, CustomFileTypesCheckBox) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    w.SetFilter(Filter::FileType);
    SendMessageW(c.customTypesCheck, BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(c.customTypesEdit));
    EXPECT_EQ(EditText(c.customTypesEdit), "") << "the first tick clears the example";
    EXPECT_EQ(GetFocus(), c.customTypesEdit);
    SetText(c.customTypesEdit, ".log");
    SendMessageW(c.customTypesCheck, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(c.customTypesCheck, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(IsWindowEnabled(c.customTypesEdit)) << "unticking never disables it again";
    EXPECT_EQ(EditText(c.customTypesEdit), ".log");
    SetFocus(c.startButton);
    SendMessageW(c.customTypesCheck, BM_CLICK, 0, 0);
    EXPECT_EQ(EditText(c.customTypesEdit), ".log");
    EXPECT_EQ(GetFocus(), c.customTypesEdit);
}

TEST_F(MainWindowTest, ShowFilesWithoutAnExistingFolder) {
    MainWindow& w = Open();
    SetText(w.Ctl().destinationEdit, "");
    w.OnShowFilesClicked();
    SetText(w.Ctl().destinationEdit, "Q:\\Out");
    w.OnShowFilesClicked();
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text, ", the output directory does not exist.");
    EXPECT_EQ(boxes.boxes[1].text, "Q:\\Out, the output directory does not exist.");
    for (const auto& box : boxes.boxes) {
        EXPECT_EQ(box.caption, "Kestro Refindor");
        EXPECT_EQ(box.Icon(), static_cast<UINT>(MB_ICONERROR));
    }
    EXPECT_EQ(w.Remembered().destination, "Q:\\Out") << "remembered even when it does not exist";
    EXPECT_TRUE(shell.calls.empty());
}

TEST_F(MainWindowTest, ShowFilesOpensAnExistingFolder) {
    TempDir out(L"\u0424\u043e\u0442\u043e out");
    MainWindow& w = Open();
    SetText(w.Ctl().destinationEdit, out.Utf8());
    SendMessageW(w.Ctl().showFilesButton, BM_CLICK, 0, 0);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].verb, "Open");
    EXPECT_EQ(shell.calls[0].file, out.Utf8());
    EXPECT_EQ(shell.calls[0].owner, w.Handle());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainWindowTest, FolderPickersFillTheirEdits) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    pickerAnswer = "E:\\Rettung\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE 2024";
    SendMessageW(c.destinationButton, BM_CLICK, 0, 0);
    EXPECT_EQ(EditText(c.destinationEdit), pickerAnswer);
    EXPECT_EQ(w.Remembered().destination, pickerAnswer);
    pickerAnswer = "C:\\Users";
    SendMessageW(c.sourceFolderButton, BM_CLICK, 0, 0);
    EXPECT_EQ(EditText(c.sourceFolderEdit), "C:\\Users");
    EXPECT_EQ(w.Remembered().sourceFolder, "C:\\Users");
    EXPECT_EQ(SendMessageW(c.sourceFolderCheck, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "the box is not ticked";
    pickerAnswer.clear(); // cancelled
    SendMessageW(c.destinationButton, BM_CLICK, 0, 0);
    EXPECT_EQ(EditText(c.destinationEdit), "E:\\Rettung\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE 2024");
    ASSERT_EQ(pickerTitles.size(), 3u);
    EXPECT_EQ(pickerTitles[0], "Please select the directory to add");
}

TEST_F(MainWindowTest, MenuItemsOpenTheirPages) {
    MainWindow& w = Open();
    w.OpenProductPage();
    w.OpenDonatePage();
    w.OpenMakerHomePage();
    w.OpenHelpPage();
    w.OpenUpdatePage();
    ASSERT_EQ(shell.calls.size(), 5u);
    EXPECT_EQ(shell.calls[0].file, LoadText(IDS_URL_PRODUCT));
    EXPECT_EQ(shell.calls[1].file, LoadText(IDS_URL_DONATE));
    EXPECT_EQ(shell.calls[2].file, LoadText(IDS_URL_HOME));
    EXPECT_NE(shell.calls[3].file.find("support.microsoft.com"), std::string::npos);
    EXPECT_EQ(shell.calls[4].file, LoadText(IDS_URL_UPDATE));
    for (const auto& call : shell.calls) {
        EXPECT_EQ(call.verb, "Open");
        EXPECT_EQ(call.owner, w.Handle());
    }
}

TEST_F(MainWindowTest, TitleBandClicksGoThroughTheWindow) {
    MainWindow& w = Open();
    auto& c = w.Ctl();
    auto clickAt = [&](GraphicControl& control) {
        const RECT r = control.ClientRect();
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(control.Parent().Handle(), WM_MOUSEMOVE, 0, at);
        SendMessageW(control.Parent().Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(control.Parent().Handle(), WM_LBUTTONUP, 0, at);
    };
    clickAt(*c.productIcon);
    clickAt(*c.titleLabel);
    clickAt(*c.subtitleLabel);
    clickAt(*c.updateLink);
    ASSERT_EQ(shell.calls.size(), 4u);
    EXPECT_EQ(shell.calls[0].file, LoadText(IDS_URL_HOME));
    EXPECT_NE(shell.calls[1].file.find("support.microsoft.com"), std::string::npos);
    EXPECT_EQ(shell.calls[2].file, LoadText(IDS_URL_HOME));
    EXPECT_EQ(shell.calls[3].file, LoadText(IDS_URL_UPDATE)) << "one click, one page: no link target of its own";
}

// A drop of one path, as Explorer hands it over.
HDROP MakeDrop(const std::wstring& path) {
    const std::size_t chars = path.size() + 2; // the path's zero and the list's
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(MainWindowTest, DroppedFoldersFillTheFolderEdits) {
    TempDir folder(L"drop \u0424\u043e\u0442\u043e");
    const std::filesystem::path file = folder.Path() / L"report.docx";
    { std::ofstream(file) << "x"; }
    MainWindow& w = Open();
    auto& c = w.Ctl();
    EXPECT_TRUE(GetWindowLongPtrW(c.destinationEdit, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    SendMessageW(c.destinationEdit, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(folder.Path().wstring())), 0);
    EXPECT_EQ(GetText(c.destinationEdit), folder.Utf8());
    EXPECT_EQ(w.Remembered().destination, folder.Utf8());
    SetText(c.sourceFolderEdit, "");
    SendMessageW(c.sourceFolderEdit, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(file.wstring())), 0);
    EXPECT_EQ(GetText(c.sourceFolderEdit), folder.Utf8()) << "a file stands for its folder";
    EXPECT_EQ(w.Remembered().sourceFolder, folder.Utf8());
    SendMessageW(c.sourceFolderEdit, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(L"Q:\\gone\\nothing")), 0);
    EXPECT_EQ(GetText(c.sourceFolderEdit), folder.Utf8()) << "anything else is ignored";
    EXPECT_EQ(SendMessageW(c.sourceFolderCheck, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

} // namespace
