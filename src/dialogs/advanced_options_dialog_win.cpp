#include "dialogs/advanced_options_dialog_win.h"

#include <commctrl.h>

#include "base/texts.h"
#include "platform/winstr_win.h"
#include "ui/application_win.h"
#include "ui/control_state_win.h"
#include "ui/group_box_win.h"

namespace kestro {

namespace {

constexpr int idUndeletedFiles = 1001;
constexpr int idSystemFiles = 1002;
constexpr int idNoPrimaryStream = 1003;
constexpr int idOverwriteFirst = 1005; // and the two after it, in the order of Overwrite
constexpr int idRestoreDefaults = 1008;

constexpr int kClientWidth = 400;
constexpr int kClientHeight = 223;
constexpr int kMargin = 12;
constexpr int kRowHeight = 17;

constexpr TextId kOverwriteTexts[] = {IDS_OVERWRITE_KEEP_BOTH, IDS_OVERWRITE_NEVER, IDS_OVERWRITE_ALWAYS};

std::size_t IndexOf(Overwrite overwrite) {
    return static_cast<std::size_t>(overwrite);
}

} // namespace

AdvancedOptionsDialog::AdvancedOptionsDialog(HWND owner, const ToolOptions& options)
    : owner_(owner), options_(options) {
    CreateForm(L"KestroAdvancedOptionsDialog", owner, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS,
               WS_EX_DLGMODALFRAME, Widen(LoadText(IDS_ADVANCED_CAPTION)), kClientWidth, kClientHeight);
    // A dialog frame carries no icon; the framework's classes all get the program's.
    SetClassLongPtrW(Handle(), GCLP_HICON, 0);
    SetClassLongPtrW(Handle(), GCLP_HICONSM, 0);
    CreateChecks();
    CreateOverwriteChoice();
    CreateButtons();
    SetHints();
    OnCommand(IDOK, [this](int) {
        options_ = Shown();
        SetModalResult(mrOk);
    });
    // Esc and Cancel: the way of the close box.
    OnCommand(IDCANCEL, [this](int) { Close(); });
    OnCommand(idRestoreDefaults, [this](int) { ShowOptions(ToolOptions{}); });
    for (std::size_t i = 0; i < c_.overwrite.size(); ++i) {
        OnCommand(idOverwriteFirst + static_cast<int>(i), [this, i](int notifyCode) {
            if (notifyCode == BN_CLICKED) {
                ShowOverwrite(static_cast<Overwrite>(i));
            }
        });
    }
}

AdvancedOptionsDialog::~AdvancedOptionsDialog() = default;

void AdvancedOptionsDialog::CreateChecks() {
    const auto check = [this](TextId text, int y, DWORD group, int id) {
        return AddControl(*this, {.className = WC_BUTTONW,
                                  .text = Widen(LoadText(text)),
                                  .style = WS_VISIBLE | WS_TABSTOP | group | BS_AUTOCHECKBOX,
                                  .bounds = {kMargin, y, kClientWidth - 2 * kMargin, kRowHeight},
                                  .id = id});
    };
    c_.undeletedFiles = check(IDS_OPTION_UNDELETED, 12, WS_GROUP, idUndeletedFiles);
    c_.systemFiles = check(IDS_OPTION_SYSTEM_FILES, 35, 0, idSystemFiles);
    c_.noPrimaryStream = check(IDS_OPTION_NO_PRIMARY_STREAM, 58, 0, idNoPrimaryStream);
}

// The group is made before its buttons: its caption names them for screen readers, and in the
// order of the windows a label comes before what it labels.
void AdvancedOptionsDialog::CreateOverwriteChoice() {
    overwriteGroup_ = std::make_unique<GroupBox>(this);
    overwriteGroup_->CreateGroup(*this, LoadText(IDS_OVERWRITE_GROUP), kMargin, 86, kClientWidth - 2 * kMargin, 90);
    c_.overwriteGroup = overwriteGroup_->Handle();
    for (std::size_t i = 0; i < c_.overwrite.size(); ++i) {
        const int row = static_cast<int>(i);
        // The arrow keys move within the group, which starts at its first button.
        const DWORD group = i == 0 ? WS_GROUP : 0;
        c_.overwrite[i] =
            AddControl(*overwriteGroup_, {.className = WC_BUTTONW,
                                          .text = Widen(LoadText(kOverwriteTexts[i])),
                                          .style = WS_VISIBLE | BS_AUTORADIOBUTTON | group,
                                          .bounds = {kMargin, 20 + 22 * row, kClientWidth - 4 * kMargin, kRowHeight},
                                          .id = idOverwriteFirst + row});
    }
}

void AdvancedOptionsDialog::CreateButtons() {
    constexpr int top = 188;
    constexpr int height = 23;
    c_.restoreDefaults = AddControl(*this, {.className = WC_BUTTONW,
                                            .text = Widen(LoadText(IDS_RESTORE_DEFAULTS)),
                                            .style = WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON,
                                            .bounds = {kMargin, top, 130, height},
                                            .id = idRestoreDefaults});
    c_.ok = AddControl(*this, {.className = WC_BUTTONW,
                               .text = Widen(LoadText(IDS_OK)),
                               .style = WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                               .bounds = {kClientWidth - kMargin - 2 * 75 - 10, top, 75, height},
                               .id = IDOK});
    c_.cancel = AddControl(*this, {.className = WC_BUTTONW,
                                   .text = Widen(LoadText(IDS_CANCEL)),
                                   .style = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                   .bounds = {kClientWidth - kMargin - 75, top, 75, height},
                                   .id = IDCANCEL});
}

void AdvancedOptionsDialog::SetHints() {
    SetHint(c_.undeletedFiles, LoadText(IDS_HINT_UNDELETED));
    SetHint(c_.systemFiles, LoadText(IDS_HINT_SYSTEM_FILES));
    SetHint(c_.noPrimaryStream, LoadText(IDS_HINT_NO_PRIMARY_STREAM));
    SetHint(c_.overwrite[IndexOf(Overwrite::KeepBoth)], LoadText(IDS_HINT_KEEP_BOTH));
    SetHint(c_.overwrite[IndexOf(Overwrite::Never)], LoadText(IDS_HINT_NEVER_OVERWRITE));
    SetHint(c_.overwrite[IndexOf(Overwrite::Always)], LoadText(IDS_HINT_ALWAYS_OVERWRITE));
}

void AdvancedOptionsDialog::OnShow() {
    CenterOver(owner_);
    ShowOptions(options_);
}

void AdvancedOptionsDialog::ShowOptions(const ToolOptions& options) {
    SetChecked(c_.undeletedFiles, options.undeletedFiles);
    SetChecked(c_.systemFiles, options.systemFiles);
    SetChecked(c_.noPrimaryStream, options.noPrimaryStream);
    ShowOverwrite(options.overwrite);
}

// Tab enters the group at the chosen button, as it does in the system's own dialogs.
void AdvancedOptionsDialog::ShowOverwrite(Overwrite overwrite) {
    for (std::size_t i = 0; i < c_.overwrite.size(); ++i) {
        const bool chosen = i == IndexOf(overwrite);
        SetChecked(c_.overwrite[i], chosen);
        const LONG_PTR style = GetWindowLongPtrW(c_.overwrite[i], GWL_STYLE);
        SetWindowLongPtrW(c_.overwrite[i], GWL_STYLE, chosen ? style | WS_TABSTOP : style & ~LONG_PTR{WS_TABSTOP});
    }
}

ToolOptions AdvancedOptionsDialog::Shown() const {
    ToolOptions shown;
    shown.undeletedFiles = IsChecked(c_.undeletedFiles);
    shown.systemFiles = IsChecked(c_.systemFiles);
    shown.noPrimaryStream = IsChecked(c_.noPrimaryStream);
    for (std::size_t i = 0; i < c_.overwrite.size(); ++i) {
        if (IsChecked(c_.overwrite[i])) {
            shown.overwrite = static_cast<Overwrite>(i);
        }
    }
    return shown;
}

// Enter means OK wherever the focus is, as in the system's dialogs: the framework's rule that Enter
// ticks a focused check box would otherwise keep it from closing.
bool AdvancedOptionsDialog::PreTranslateMessage(MSG& msg) {
    if (hwnd_ != nullptr && msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
        return IsDialogMessageW(hwnd_, &msg) != FALSE;
    }
    return Form::PreTranslateMessage(msg);
}

} // namespace kestro
