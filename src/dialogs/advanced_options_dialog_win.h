#pragma once
// AdvancedOptionsDialog: the tool's own switches for those who need them, in a small modal dialog
// of standard controls (which screen readers name by their own captions).
#include <array>
#include <memory>

#include "job/tool_options.h"
#include "ui/form_win.h"

namespace kestro {

class GroupBox;

class AdvancedOptionsDialog : public Form {
public:
    // Shows options whenever it is shown; OK keeps what it shows then, Cancel and the close box
    // keep them as they were.
    AdvancedOptionsDialog(HWND owner, const ToolOptions& options);
    ~AdvancedOptionsDialog() override;

    // The options: as given, or as shown when OK was pressed.
    const ToolOptions& Options() const noexcept { return options_; }

    // In keyboard order; each label (the group box) before the controls it names.
    struct Controls {
        HWND undeletedFiles = nullptr;
        HWND systemFiles = nullptr;
        HWND noPrimaryStream = nullptr;
        HWND overwriteGroup = nullptr;   // a panel that draws its frame and caption
        std::array<HWND, 3> overwrite{}; // Keep both, Never, Always: children of the group
        HWND restoreDefaults = nullptr;
        HWND ok = nullptr;
        HWND cancel = nullptr;
    };
    const Controls& Ctl() const noexcept { return c_; }

    bool PreTranslateMessage(MSG& msg) override;

protected:
    void OnShow() override;

private:
    void CreateChecks();
    void CreateOverwriteChoice();
    void CreateButtons();
    void SetHints();
    void ShowOptions(const ToolOptions& options);
    void ShowOverwrite(Overwrite overwrite);
    ToolOptions Shown() const;

    HWND owner_;
    ToolOptions options_;
    std::unique_ptr<GroupBox> overwriteGroup_;
    Controls c_;
};

} // namespace kestro
