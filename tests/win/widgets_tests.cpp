// The link label and the hover image, driven through their parent's mouse
// messages as the system delivers them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ui/application_win.h"
#include "ui/form_win.h"
#include "ui/graphic_controls_win.h"
#include "resource_ids.h"
#include "support/wine_helpers.h"
#include "ui/hover_image_win.h"
#include "ui/link_label_win.h"

using namespace kestro;

namespace {

class HostForm : public Form {
public:
    HostForm() {
        CreateForm(L"WidgetsTestHost", nullptr, WS_OVERLAPPEDWINDOW, 0, L"Widgets", 300, 200);
        ShowWindow(Handle(), SW_SHOWNOACTIVATE);
    }
};

// Shell calls and click handlers in the order they happen.
class RecordingShell : public ShellOpener {
public:
    explicit RecordingShell(std::vector<std::string>& log) : log_(log) {}
    void Open(HWND owner, const std::string& verb, const std::string& file) override {
        owners.push_back(owner);
        log_.push_back("shell " + verb + " [" + file + "]");
    }
    std::vector<HWND> owners;

private:
    std::vector<std::string>& log_;
};

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGreen = RGB(0, 128, 0);

class WidgetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Application::Get().Initialize(GetModuleHandleW(nullptr)); }
    void SetUp() override { Application::Get().SetShell(&shell_); }
    void TearDown() override { Application::Get().SetShell(nullptr); }

    void Send(UINT msg, WPARAM keys, POINT at) { SendMessageW(host_->Handle(), msg, keys, MAKELPARAM(at.x, at.y)); }
    void MoveTo(POINT at) { Send(WM_MOUSEMOVE, 0, at); }
    void MouseLeavesWindow() { SendMessageW(host_->Handle(), WM_MOUSELEAVE, 0, 0); }
    void LeftClick(POINT at) {
        MoveTo(at);
        Send(WM_LBUTTONDOWN, MK_LBUTTON, at);
        Send(WM_LBUTTONUP, 0, at);
    }

    std::vector<std::string> log_;
    RecordingShell shell_{log_};
    std::unique_ptr<HostForm> host_ = std::make_unique<HostForm>();
};

class URLLabelTest : public WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        label_ = std::make_unique<LinkLabel>(*host_);
        label_->SetBounds(40, 30, 0, 0);
        label_->SetCaption("Check for updates...");
        label_->OnClick = [this](GraphicControl& sender) {
            log_.push_back(&sender == label_.get() ? "OnClick" : "OnClick from another sender");
        };
    }
    void TearDown() override {
        label_.reset();
        WidgetTest::TearDown();
    }

    POINT Inside() const { return POINT{label_->Left() + 3, label_->Top() + 3}; }
    static POINT Outside() { return POINT{250, 180}; }

    std::unique_ptr<LinkLabel> label_;
};

} // namespace

TEST_F(URLLabelTest, TakesTheHoverColourWhileTheMouseIsOverIt) {
    EXPECT_EQ(label_->Cursor(), LoadCursorW(nullptr, IDC_HAND));
    MoveTo(Inside());
    EXPECT_EQ(label_->FontColor(), kRed);
    MoveTo(Outside());
    EXPECT_EQ(label_->FontColor(), kBlue);

    label_->SetFontLinkColor(kWhite); // as the main window's update link
    EXPECT_EQ(label_->FontColor(), kWhite) << "the link colour shows at once";

    MoveTo(Inside());
    EXPECT_EQ(label_->FontColor(), kRed);
    MoveTo(POINT{Inside().x + 1, Inside().y});
    EXPECT_EQ(label_->FontColor(), kRed) << "moving on the label keeps it";
    MoveTo(Outside());
    EXPECT_EQ(label_->FontColor(), kWhite);

    MoveTo(Inside());
    EXPECT_EQ(label_->FontColor(), kRed);
    MouseLeavesWindow();
    EXPECT_EQ(label_->FontColor(), kWhite) << "leaving the window leaves the label";

    label_->SetEnabled(false);
    MoveTo(Inside());
    EXPECT_EQ(label_->FontColor(), kRed) << "hovering ignores Enabled";
    MoveTo(Outside());
    EXPECT_EQ(label_->FontColor(), kWhite);
}

TEST_F(URLLabelTest, ANewHoverColourWaitsForTheNextEnter) {
    MoveTo(Inside());
    label_->SetFontHoverColor(kGreen);
    EXPECT_EQ(label_->FontColor(), kRed) << "the colour in use is not changed";
    MoveTo(Outside());
    EXPECT_EQ(label_->FontColor(), kBlue);
    MoveTo(Inside());
    EXPECT_EQ(label_->FontColor(), kGreen);
}

TEST_F(URLLabelTest, AFontColourSetAfterTheLinkColourStaysUntilTheFirstLeave) {
    label_->SetFontLinkColor(kWhite);
    label_->SetFontColor(kBlue);
    EXPECT_EQ(label_->FontColor(), kBlue);
    MoveTo(POINT{5, 5}); // elsewhere on the window: no leave of the label
    EXPECT_EQ(label_->FontColor(), kBlue);
    MoveTo(Inside());
    EXPECT_EQ(label_->FontColor(), kRed);
    MoveTo(Outside());
    EXPECT_EQ(label_->FontColor(), kWhite);
}

TEST_F(URLLabelTest, AClickAsksTheShellFirstUnlessTheURLIsBlank) {
    struct Case {
        std::string url;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"", {"OnClick"}},
        {"   ", {"OnClick"}},
        {" \t\r\n", {"OnClick"}},
        {"-", {"shell open [-]", "OnClick"}},
        {"https://www.kestro-software.example/", {"shell open [https://www.kestro-software.example/]", "OnClick"}},
        {"  https://x.example/a b  ", {"shell open [  https://x.example/a b  ]", "OnClick"}},
    };
    for (const Case& c : cases) {
        log_.clear();
        shell_.owners.clear();
        label_->SetURL(c.url);
        LeftClick(Inside());
        EXPECT_EQ(log_, c.log) << '"' << c.url << '"';
        for (HWND owner : shell_.owners) {
            EXPECT_EQ(owner, nullptr) << "the label hands the address over without an owner window";
        }
    }
}

namespace {

class ShiftImageTest : public WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        image_ = std::make_unique<HoverImage>(*host_);
        image_->SetBounds(100, 60, 32, 32);
        image_->SetPicture(resting_);
        image_->SetNoFocusedPicture(left_);
        image_->SetFocusedPicture(focused_);
        image_->OnMouseEnter = [this](GraphicControl& sender) { Record("enter", sender); };
        image_->OnMouseLeave = [this](GraphicControl& sender) { Record("leave", sender); };
        image_->OnClick = [this](GraphicControl&) { log_.push_back("click"); };
    }
    void TearDown() override {
        image_.reset();
        WidgetTest::TearDown();
    }

    // Which picture shows when the event is raised: it must still be the old one.
    void Record(const char* event, GraphicControl& sender) {
        log_.push_back(std::string(event) + (&sender == image_.get() ? "" : " (wrong sender)") + " showing " +
                       Showing());
    }
    std::string Showing() const {
        const void* id = image_->GetPicture().Id();
        return id == resting_.Id() ? "resting" : id == focused_.Id() ? "focused" : id == left_.Id() ? "left" : "?";
    }

    POINT Inside() const { return POINT{110, 70}; }

    Picture resting_ = Picture::FromIconResource(IDI_MENU, 32, 32);
    Picture focused_ = Picture::FromIconResource(IDI_MENU_HOVER, 32, 32);
    Picture left_ = Picture::FromIconResource(IDI_MENU, 32, 32);
    std::unique_ptr<HoverImage> image_;
};

} // namespace

TEST_F(ShiftImageTest, ShowsTheFocusedPictureWhileTheMouseIsOverIt) {
    ASSERT_FALSE(resting_.Empty());
    ASSERT_FALSE(focused_.Empty());
    ASSERT_NE(resting_.Id(), left_.Id()) << "three distinguishable pictures";
    EXPECT_EQ(Showing(), "resting");

    MoveTo(Inside());
    EXPECT_EQ(Showing(), "focused");
    MoveTo(POINT{5, 5});
    EXPECT_EQ(Showing(), "left");
    MoveTo(Inside());
    MouseLeavesWindow();
    EXPECT_EQ(Showing(), "left");
    const std::vector<std::string> expected = {"enter showing resting", "leave showing focused", "enter showing left",
                                               "leave showing focused"};
    EXPECT_EQ(log_, expected);
}

TEST_F(ShiftImageTest, WhenDisabledRaisesTheEventsButKeepsItsPicture) {
    image_->SetEnabled(false);
    MoveTo(Inside());
    MoveTo(POINT{5, 5});
    EXPECT_EQ(Showing(), "resting");
    const std::vector<std::string> expected = {"enter showing resting", "leave showing resting"};
    EXPECT_EQ(log_, expected);
}

TEST_F(ShiftImageTest, SitsTwoPixelsRightAndDownWhileAnyButtonIsHeld) {
    struct Button {
        const char* name;
        UINT down;
        UINT up;
        WPARAM keys;
    };
    const Button buttons[] = {
        {"left", WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON},
        {"right", WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON},
        {"middle", WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON},
    };
    for (const Button& b : buttons) {
        MoveTo(Inside());
        Send(b.down, b.keys, Inside());
        EXPECT_EQ(image_->Left(), 102) << b.name;
        EXPECT_EQ(image_->Top(), 62) << b.name;
        EXPECT_EQ(image_->ClientRect().left, 102) << "drawn there: " << b.name;
        Send(WM_MOUSEMOVE, b.keys, POINT{112, 72});
        EXPECT_EQ(image_->Left(), 102) << "stays while held: " << b.name;
        Send(b.up, 0, POINT{112, 72});
        EXPECT_EQ(image_->Left(), 100) << b.name;
        EXPECT_EQ(image_->Top(), 60) << b.name;
        EXPECT_EQ(image_->Width(), 32);
        EXPECT_EQ(image_->Height(), 32);
    }
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "click"), 1) << "only the left button clicks";

    // Released away from the image: back all the same, and no click.
    log_.clear();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Inside());
    Send(WM_LBUTTONUP, 0, POINT{250, 180});
    EXPECT_EQ(image_->Left(), 100);
    EXPECT_EQ(image_->Top(), 60);
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "click"), 0);
}

TEST_F(ShiftImageTest, ComesBackWhenTwoButtonsArePressedAndReleasedTogether) {
    MoveTo(Inside());
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Inside());
    Send(WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, Inside());
    Send(WM_LBUTTONUP, MK_RBUTTON, Inside());
    Send(WM_RBUTTONUP, 0, Inside());
    EXPECT_EQ(image_->Left(), 100);
    EXPECT_EQ(image_->Top(), 60);
}

namespace {

// Labels read the system's colours when they paint, so a switch to a high-contrast theme shows
// at once; a colour of their own stays, except on the system's background in high contrast.
TEST_F(WidgetTest, LabelsTakeTheSystemColoursAtEveryPainting) {
    Label plain(*host_);
    plain.SetCaption("Source drive:");
    Label link(*host_);
    link.SetFontColor(kBlue);
    link.SetCaption("Menu");
    Label onPicture(*host_);
    onPicture.SetTransparent(true);
    onPicture.SetFontColor(kWhite);
    onPicture.SetCaption("Windows File Recovery Gui");
    EXPECT_EQ(plain.PaintColor(), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(link.PaintColor(), kBlue);
    {
        const testing_win::SystemColors dark({{COLOR_BTNFACE, RGB(0, 0, 0)},
                                              {COLOR_WINDOWTEXT, RGB(255, 255, 0)},
                                              {COLOR_HOTLIGHT, RGB(0, 255, 255)}});
        EXPECT_EQ(plain.PaintColor(), RGB(255, 255, 0));
        EXPECT_EQ(link.PaintColor(), kBlue) << "no high contrast: the label's own colour";
        OverrideHighContrast(1);
        EXPECT_EQ(link.PaintColor(), RGB(0, 255, 255)) << "blue on black would be unreadable";
        EXPECT_EQ(onPicture.PaintColor(), kWhite) << "on a picture the colour stays";
        link.SetEnabled(false);
        EXPECT_EQ(link.PaintColor(), GetSysColor(COLOR_GRAYTEXT));
        OverrideHighContrast(-1);
    }
    EXPECT_EQ(plain.PaintColor(), GetSysColor(COLOR_WINDOWTEXT));
}

} // namespace
