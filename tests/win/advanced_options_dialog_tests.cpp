// The Advanced options dialog: its controls, their keyboard order and hints, and the ways it closes,
// each keeping or leaving the options it was given. What screen readers find in it is checked with
// the other windows' trees (support/accessible_tables).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/texts.h"
#include "dialogs/advanced_options_dialog_win.h"
#include "platform/winstr_win.h"
#include "support/fakes.h"
#include "ui/application_win.h"
#include "ui/control_state_win.h"

using namespace kestro;
using namespace kestro::testing_win;

namespace {

constexpr ToolOptions kAllSet{true, true, true, Overwrite::Never};

// Steps run one per timer tick inside the dialog's modal loop.
std::vector<std::function<void()>>* g_steps = nullptr;
std::size_t g_next = 0;

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_steps != nullptr && g_next < g_steps->size()) {
        (*g_steps)[g_next++]();
    }
}

// The windows under parent, each followed by its own children.
void WalkChildren(HWND parent, std::vector<HWND>& walked) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        walked.push_back(child);
        WalkChildren(child, walked);
    }
}

std::wstring TipOf(HWND form, HWND tooltip, HWND control) {
    wchar_t text[512] = {};
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = form;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = text;
    SendMessageW(tooltip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&info));
    return text;
}

void PostKey(WPARAM key) {
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    PostMessageW(GetFocus(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

// Alt and a letter, as the keyboard sends them.
void PostAltKey(wchar_t letter) {
    PostMessageW(GetFocus(), WM_SYSCHAR, letter, static_cast<LPARAM>(0x20000001u));
}

class AdvancedOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"AdvancedOptionsTestOwner";
        RegisterClassW(&wc);
        owner_ = CreateWindowExW(0, L"AdvancedOptionsTestOwner", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 150, 120,
                                 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(owner_, nullptr);
        SetForegroundWindow(owner_);
    }

    void TearDown() override {
        dialog_.reset();
        DestroyWindow(owner_);
        EXPECT_TRUE(boxes_.boxes.empty()) << boxes_.boxes.front().text;
    }

    AdvancedOptionsDialog& Make(const ToolOptions& options) {
        dialog_ = std::make_unique<AdvancedOptionsDialog>(owner_, options);
        return *dialog_;
    }

    // Runs the dialog with the steps; a last step closes it when they did not, so no test hangs.
    int Run(std::vector<std::function<void()>> steps) {
        steps.push_back([this] { dialog_->SetModalResult(mrAbort); });
        g_steps = &steps;
        g_next = 0;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, OnTick);
        const int result = dialog_->ShowModal();
        KillTimer(nullptr, timer);
        g_steps = nullptr;
        return result;
    }

    ToolOptions ShownNow() const {
        const auto& c = dialog_->Ctl();
        ToolOptions shown{IsChecked(c.undeletedFiles), IsChecked(c.systemFiles), IsChecked(c.noPrimaryStream)};
        for (std::size_t i = 0; i < c.overwrite.size(); ++i) {
            if (IsChecked(c.overwrite[i])) {
                shown.overwrite = static_cast<Overwrite>(i);
            }
        }
        return shown;
    }

    HWND owner_ = nullptr;
    std::unique_ptr<AdvancedOptionsDialog> dialog_;
    RecordingBoxes boxes_;
};

} // namespace

TEST_F(AdvancedOptionsTest, EachControlHasItsCaptionAndHintInKeyboardOrder) {
    AdvancedOptionsDialog& dialog = Make(kAllSet);
    const auto& c = dialog.Ctl();
    EXPECT_EQ(GetText(dialog.Handle()), "Advanced options");
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(dialog.Handle(), GWL_STYLE));
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u) << "a fixed dialog";
    const struct {
        HWND control;
        const char* caption;
        int hint; // 0: none
    } controls[] = {
        {c.undeletedFiles, "Recover &undeleted files too (Recycle Bin)", IDS_HINT_UNDELETED},
        {c.systemFiles, "Recover &system files", IDS_HINT_SYSTEM_FILES},
        {c.noPrimaryStream, "Recover files without their primary &data stream", IDS_HINT_NO_PRIMARY_STREAM},
        {c.overwriteGroup, "If a recovered file already exists:", 0},
        {c.overwrite[0], "&Keep both", IDS_HINT_KEEP_BOTH},
        {c.overwrite[1], "&Never overwrite", IDS_HINT_NEVER_OVERWRITE},
        {c.overwrite[2], "&Always overwrite", IDS_HINT_ALWAYS_OVERWRITE},
        {c.restoreDefaults, "&Restore defaults", 0},
        {c.ok, "&OK", 0},
        {c.cancel, "Cancel", 0},
    };
    std::vector<HWND> listed;
    for (const auto& control : controls) {
        ASSERT_NE(control.control, nullptr) << control.caption;
        listed.push_back(control.control);
        EXPECT_EQ(GetText(control.control), control.caption);
        const std::wstring tip = TipOf(dialog.Handle(), dialog.Tooltip(), control.control);
        EXPECT_EQ(Narrow(tip), control.hint != 0 ? LoadText(control.hint) : "") << control.caption;
    }
    // In the order a screen reader walks the windows, each label before what it labels, the
    // overwrite choices inside their group.
    std::vector<HWND> walked;
    WalkChildren(dialog.Handle(), walked);
    EXPECT_EQ(walked, listed);
    for (HWND choice : c.overwrite) {
        EXPECT_EQ(GetParent(choice), c.overwriteGroup);
    }
}

// Tab goes through the check boxes, into the overwrite choice at the chosen button, then the
// buttons, and round again.
TEST_F(AdvancedOptionsTest, TabVisitsEveryControlOnceAndEntersTheChoiceAtTheChosenButton) {
    Make(kAllSet);
    const auto& c = dialog_->Ctl();
    std::vector<HWND> visited;
    std::vector<std::function<void()>> steps;
    steps.push_back([&] { visited.push_back(GetFocus()); });
    for (int i = 0; i < 7; ++i) {
        steps.push_back([] { PostKey(VK_TAB); });
        steps.push_back([&] { visited.push_back(GetFocus()); });
    }
    Run(steps);
    const std::vector<HWND> expected = {c.undeletedFiles,  c.systemFiles, c.noPrimaryStream, c.overwrite[1],
                                        c.restoreDefaults, c.ok,          c.cancel,          c.undeletedFiles};
    EXPECT_EQ(visited, expected);
}

TEST_F(AdvancedOptionsTest, OkKeepsWhatItShowsAndEveryOtherWayLeavesTheOptionsAsTheyWere) {
    const auto click = [this](HWND AdvancedOptionsDialog::Controls::*control) {
        return [this, control] { PostMessageW(dialog_->Ctl().*control, BM_CLICK, 0, 0); };
    };
    const auto clickOverwrite = [this](Overwrite overwrite) {
        return [this, overwrite] {
            PostMessageW(dialog_->Ctl().overwrite[static_cast<std::size_t>(overwrite)], BM_CLICK, 0, 0);
        };
    };
    using C = AdvancedOptionsDialog::Controls;
    struct Case {
        const char* name;
        ToolOptions given;
        std::vector<std::function<void()>> steps;
        int result;
        ToolOptions kept;
    };
    const Case cases[] = {
        {"tick and OK",
         {},
         {click(&C::undeletedFiles), click(&C::systemFiles), clickOverwrite(Overwrite::Never), click(&C::ok)},
         mrOk,
         {true, true, false, Overwrite::Never}},
        {"tick and Cancel",
         {.undeletedFiles = true},
         {click(&C::noPrimaryStream), clickOverwrite(Overwrite::Always), click(&C::cancel)},
         mrCancel,
         {.undeletedFiles = true}},
        {"tick and Esc", {}, {click(&C::systemFiles), [] { PostKey(VK_ESCAPE); }}, mrCancel, {}},
        {"tick and the close box",
         {},
         {click(&C::systemFiles), [this] { PostMessageW(dialog_->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
         mrCancel,
         {}},
        {"restore defaults and OK", kAllSet, {click(&C::restoreDefaults), click(&C::ok)}, mrOk, {}},
        {"restore defaults and Cancel", kAllSet, {click(&C::restoreDefaults), click(&C::cancel)}, mrCancel, kAllSet},
        // Enter is OK also on a focused check box, which it does not tick.
        {"Enter on a check box",
         {},
         {[this] { SetFocus(dialog_->Ctl().systemFiles); }, [] { PostKey(VK_SPACE); }, [] { PostKey(VK_RETURN); }},
         mrOk,
         {.systemFiles = true}},
        {"access keys and Enter",
         {},
         {[] { PostAltKey(L'u'); }, [] { PostAltKey(L'd'); }, [] { PostAltKey(L'a'); }, [] { PostKey(VK_RETURN); }},
         mrOk,
         {.undeletedFiles = true, .noPrimaryStream = true, .overwrite = Overwrite::Always}},
    };
    for (const Case& c : cases) {
        Make(c.given);
        ToolOptions shownFirst;
        std::vector<std::function<void()>> steps = {[&] { shownFirst = ShownNow(); }};
        steps.insert(steps.end(), c.steps.begin(), c.steps.end());
        EXPECT_EQ(Run(steps), c.result) << c.name;
        EXPECT_EQ(shownFirst, c.given) << c.name;
        EXPECT_EQ(dialog_->Options(), c.kept) << c.name;
        EXPECT_TRUE(IsWindowEnabled(owner_)) << c.name;
    }
}

// Restore defaults shows the defaults at once; nothing is kept before OK.
TEST_F(AdvancedOptionsTest, RestoreDefaultsShowsTheDefaultsAndMovesTheChoiceToKeepBoth) {
    Make(kAllSet);
    ToolOptions shown = kAllSet;
    bool keepBothIsTheTabStop = false;
    Run({[this] { PostMessageW(dialog_->Ctl().restoreDefaults, BM_CLICK, 0, 0); },
         [&] {
             shown = ShownNow();
             const auto& c = dialog_->Ctl();
             keepBothIsTheTabStop = (GetWindowLongPtrW(c.overwrite[0], GWL_STYLE) & WS_TABSTOP) != 0 &&
                                    (GetWindowLongPtrW(c.overwrite[1], GWL_STYLE) & WS_TABSTOP) == 0;
         }});
    EXPECT_EQ(shown, ToolOptions{});
    EXPECT_TRUE(keepBothIsTheTabStop);
    EXPECT_EQ(dialog_->Options(), kAllSet);
}
