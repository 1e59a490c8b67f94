// The About dialog: its texts and places, the pages its clickable parts open,
// and the ways it closes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/texts.h"
#include "dialogs/about_dialog_win.h"
#include "platform/winstr_win.h"
#include "ui/application_win.h"
#include "ui/graphic_controls_win.h"

using namespace kestro;

namespace {

POINT CentreOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}


struct ShellCall {
    HWND owner;
    std::string verb;
    std::string file;
};

class RecordingShell : public ShellOpener {
public:
    void Open(HWND owner, const std::string& verb, const std::string& file) override {
        calls.push_back({owner, verb, file});
    }
    std::vector<ShellCall> calls;
};

class RecordingBoxes : public MessageBoxes {
public:
    int Show(HWND, const std::string& text, const std::string&, UINT) override {
        texts.push_back(text);
        return IDOK;
    }
    std::vector<std::string> texts;
};

std::string WindowText(HWND hwnd) {
    wchar_t buffer[256] = {};
    GetWindowTextW(hwnd, buffer, 256);
    return Narrow(buffer);
}

// A child's place in its form's client area.
RECT PlaceOf(HWND form, HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Steps run one per timer tick inside the dialog's modal loop.
std::vector<std::function<void()>>* g_steps = nullptr;
std::size_t g_next = 0;

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_steps != nullptr && g_next < g_steps->size()) {
        (*g_steps)[g_next++]();
    }
}

class AboutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Application::Get().Initialize(GetModuleHandleW(nullptr));
        Application::Get().SetTitle("Kestro Refindor");
    }

    void SetUp() override {
        Application::Get().SetShell(&shell_);
        Application::Get().SetBoxes(&boxes_);
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"AboutTestOwner";
        RegisterClassW(&wc);
        owner_ = CreateWindowExW(0, L"AboutTestOwner", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 150, 120, 640, 480,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(owner_, nullptr);
        about_ = std::make_unique<AboutDialog>(owner_);
        ASSERT_NE(about_->Handle(), nullptr);
    }

    void TearDown() override {
        about_.reset();
        DestroyWindow(owner_);
        Application::Get().SetShell(nullptr);
        Application::Get().SetBoxes(nullptr);
        EXPECT_TRUE(boxes_.texts.empty()) << boxes_.texts.front();
    }

    HWND Item(int id) const { return GetDlgItem(about_->Handle(), id); }

    int ShowModal(std::vector<std::function<void()>> steps) {
        g_steps = &steps;
        g_next = 0;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, OnTick);
        const int result = about_->ShowModal();
        KillTimer(nullptr, timer);
        g_steps = nullptr;
        return result;
    }

    void Click(POINT at, UINT down = WM_LBUTTONDOWN, UINT up = WM_LBUTTONUP) {
        const LPARAM where = MAKELPARAM(at.x, at.y);
        SendMessageW(about_->Handle(), WM_MOUSEMOVE, 0, where);
        SendMessageW(about_->Handle(), down, down == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON, where);
        SendMessageW(about_->Handle(), up, 0, where);
    }

    RecordingShell shell_;
    RecordingBoxes boxes_;
    HWND owner_ = nullptr;
    std::unique_ptr<AboutDialog> about_;
};

} // namespace

TEST_F(AboutTest, IsAFixedDialogOf360By237WithItsTextsInPlace) {
    HWND form = about_->Handle();
    EXPECT_EQ(WindowText(form), "About Refindor");
    RECT client;
    GetClientRect(form, &client);
    EXPECT_EQ(client.right, 360);
    EXPECT_EQ(client.bottom, 237);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(form, GWL_STYLE));
    EXPECT_NE(style & WS_SYSMENU, 0u) << "the close box";
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);
    EXPECT_EQ(GetWindow(form, GW_OWNER), owner_);

    struct Expected {
        int id;
        const char* text;
        int left, top;
    };
    const Expected labels[] = {
        {1002, "Version: 2.0  Build 20230428", 80, 87},
        {1003, "Copyright \xC2\xA9 2023 Kestro Software. All rights reserved.", 80, 112},
        {1004, "Email: support@kestro-software.example", 80, 137},
    };
    for (const Expected& e : labels) {
        HWND label = Item(e.id);
        ASSERT_NE(label, nullptr) << e.text;
        EXPECT_EQ(WindowText(label), e.text);
        const RECT r = PlaceOf(form, label);
        EXPECT_EQ(r.left, e.left) << e.text;
        EXPECT_EQ(r.top, e.top) << e.text;
        EXPECT_LE(r.bottom, e.top + 25) << "one line, clear of the next: " << e.text;

        EXPECT_GE(r.right - r.left, 100) << "sized to its text: " << e.text;
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)), sizeof(font), &font);
        EXPECT_EQ(std::wstring(font.lfFaceName), L"MS Sans Serif");
        EXPECT_EQ(font.lfHeight, -11) << "8 point";
    }

    const RECT label1 = PlaceOf(form, Item(1001));
    EXPECT_EQ(label1.left, 80);
    EXPECT_EQ(label1.top, 62);

    const RECT panel = PlaceOf(form, Item(1005));
    EXPECT_EQ(panel.left, 80);
    EXPECT_EQ(panel.top, 166);
    EXPECT_EQ(panel.right - panel.left, 262);
    EXPECT_EQ(panel.bottom - panel.top, 2);

    HWND ok = Item(IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(WindowText(ok), "&OK");
    const RECT button = PlaceOf(form, ok);
    EXPECT_EQ(button.left, 260);
    EXPECT_EQ(button.top, 201);
    EXPECT_EQ(button.right - button.left, 79);
    EXPECT_EQ(button.bottom - button.top, 23);
    EXPECT_EQ(GetWindowLongPtrW(ok, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
}

TEST_F(AboutTest, HasTheBannerTheIconAndTheAddressLabelAsGraphicControls) {
    auto* banner = dynamic_cast<Image*>(about_->GraphicAt(POINT{5, 5}));
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(about_->GraphicAt(POINT{355, 45}), banner);
    EXPECT_EQ(banner->ClientRect().right, 360);
    EXPECT_EQ(banner->ClientRect().bottom, 50);
    EXPECT_EQ(banner->GetPicture().Width(), 360) << "the banner picture is decoded";
    EXPECT_EQ(banner->GetPicture().Height(), 50);
    EXPECT_EQ(banner->Cursor(), LoadCursorW(nullptr, IDC_HAND));

    auto* icon = dynamic_cast<Image*>(about_->GraphicAt(POINT{21, 62}));
    ASSERT_NE(icon, nullptr);
    EXPECT_NE(icon, banner);
    const RECT iconPlace = icon->ClientRect();
    EXPECT_EQ(iconPlace.left, 20);
    EXPECT_EQ(iconPlace.top, 61);
    EXPECT_EQ(iconPlace.right - iconPlace.left, 32);
    EXPECT_EQ(iconPlace.bottom - iconPlace.top, 32);
    EXPECT_FALSE(icon->GetPicture().Empty());
    EXPECT_EQ(icon->Cursor(), nullptr) << "the icon is not clickable";

    auto* address = dynamic_cast<Label*>(about_->GraphicAt(POINT{81, 183}));
    ASSERT_NE(address, nullptr);
    EXPECT_EQ(address->Caption(), "www.kestro-software.example");
    EXPECT_EQ(address->Left(), 80);
    EXPECT_EQ(address->Top(), 182);
    EXPECT_EQ(address->FontColor(), RGB(0, 0, 255));
    EXPECT_EQ(address->Cursor(), LoadCursorW(nullptr, IDC_HAND));
    EXPECT_LE(address->ClientRect().right, 260) << "clear of the OK button";
}

TEST_F(AboutTest, TheBannerOpensTheHomePageAndTheAddressTheProductPage) {
    Click(POINT{180, 25});
    Click(POINT{90, 188});
    Click(POINT{30, 70});                                // the icon
    Click(POINT{180, 25}, WM_RBUTTONDOWN, WM_RBUTTONUP); // a right click
    ASSERT_EQ(shell_.calls.size(), 2u);
    EXPECT_EQ(shell_.calls[0].owner, about_->Handle());
    EXPECT_EQ(shell_.calls[0].verb, "Open");
    EXPECT_EQ(shell_.calls[0].file, LoadText(IDS_URL_HOME));
    EXPECT_EQ(shell_.calls[1].owner, about_->Handle());
    EXPECT_EQ(shell_.calls[1].verb, "Open");
    EXPECT_EQ(shell_.calls[1].file, LoadText(IDS_URL_PRODUCT));
    EXPECT_NE(shell_.calls[0].file, shell_.calls[1].file);
    EXPECT_EQ(shell_.calls[1].file, Text(IDS_URL_PRODUCT)) << "the string table is compiled in";
}

TEST_F(AboutTest, SetsTheProductNameAndCentresOverItsOwnerEachTimeItIsShown) {
    HWND label1 = Item(1001);
    EXPECT_EQ(WindowText(label1), "");
    std::string shownName;
    bool ownerDisabled = false;
    POINT centre{};
    POINT ownerCentre{};
    const int result = ShowModal({[&] {
        shownName = WindowText(label1);
        ownerDisabled = !IsWindowEnabled(owner_);
        centre = CentreOf(about_->Handle());
        ownerCentre = CentreOf(owner_);
        PostMessageW(Item(IDOK), BM_CLICK, 0, 0);
    }});
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(shownName, "Kestro Refindor");
    EXPECT_GE(PlaceOf(about_->Handle(), label1).right - 80, 60) << "sized to the name";
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_FALSE(IsWindowVisible(about_->Handle()));
    EXPECT_LE(std::abs(centre.x - ownerCentre.x), 1);
    EXPECT_LE(std::abs(centre.y - ownerCentre.y), 1);

    // Shown again, after the owner moved and the label was changed.
    SetWindowTextW(label1, L"changed");
    SetWindowPos(owner_, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowModal({[&] {
        shownName = WindowText(label1);
        centre = CentreOf(about_->Handle());
        ownerCentre = CentreOf(owner_);
        PostMessageW(Item(IDOK), BM_CLICK, 0, 0);
    }});
    EXPECT_EQ(shownName, "Kestro Refindor");
    EXPECT_LE(std::abs(centre.x - ownerCentre.x), 1);
    EXPECT_LE(std::abs(centre.y - ownerCentre.y), 1);
}

TEST_F(AboutTest, ClosesWithOkByTheButtonOrEnterAndWithCancelByEscOrTheCloseBox) {
    struct Case {
        const char* what;
        std::function<void(HWND form, HWND ok)> action;
        int result;
    };
    const Case cases[] = {
        {"OK button", [](HWND, HWND ok) { PostMessageW(ok, BM_CLICK, 0, 0); }, mrOk},
        {"Enter", [](HWND, HWND ok) { PostMessageW(ok, WM_KEYDOWN, VK_RETURN, 1); }, mrOk},
        {"Esc", [](HWND, HWND ok) { PostMessageW(ok, WM_KEYDOWN, VK_ESCAPE, 1); }, mrCancel},
        {"close box", [](HWND form, HWND) { PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0); }, mrCancel},
    };
    for (const Case& c : cases) {
        HWND focus = nullptr;
        const int result = ShowModal({[&] {
                                          focus = GetFocus();
                                          c.action(about_->Handle(), Item(IDOK));
                                      },
                                      // Not closed by the action: close it, so the test goes on.
                                      [&] { about_->SetModalResult(mrAbort); }});
        EXPECT_EQ(result, c.result) << c.what;
        EXPECT_EQ(focus, Item(IDOK)) << "the button has the focus when shown: " << c.what;
    }
}
