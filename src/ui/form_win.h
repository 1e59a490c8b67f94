#pragma once
// A Form is a top-level Container with the program's form behaviour: show, activate, close, the
// modal run, hints, one font, and layout in 96-DPI units that follows the window's DPI.
#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/handles_win.h"
#include "ui/container_win.h"
#include "ui/disabled_windows_win.h"
#include "ui/display_win.h"
#include "ui/hints_win.h"

namespace kestro {

class GraphicControl;

// A place on a parent window in 96-DPI pixels.
struct Bounds96 {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// What a child control is made of, field by field, so that every call says what each value is.
struct ControlArgs {
    const wchar_t* className = nullptr;
    std::wstring text;
    DWORD style = 0; // WS_CHILD is always added
    DWORD exStyle = 0;
    Bounds96 bounds;
    int id = 0;
};

class Form : public ControlHost, public Container {
public:
    Form();
    ~Form() override;

    // The form's own 96-DPI scale: every place and size given in 96-DPI pixels goes through it.
    int Dpi() const noexcept override { return dpi_; }
    // Lays the form out again for another DPI: its font, every placed control, the
    // windowless controls, the hints and the client size (then Relayout).
    void ApplyDpi(int dpi);
    int S(int value) const noexcept override { return MulDiv(value, dpi_, 96); }
    HFONT Font() const noexcept override { return font_.get(); }
    // A font of the form's DPI in the face of the program's texts (ProgramTextFace): height in
    // 96-DPI pixels (negative: character height).
    UniqueFont MakeFont(int height96, int weight, bool underline) const override;

    // Creates a child control on parent, with the form's font.
    HWND AddControl(Container& parent, const ControlArgs& args);
    // Makes a label or check box as wide as its text in its font, plus extraWidth96 (a check
    // mark and its gap), and with fitHeight as high; measured again whenever the DPI changes or
    // FitToText is called again (after a new text), since text does not scale in proportion.
    void FitToText(HWND control, int extraWidth96, bool fitHeight);
    // The width of a text in the form's font, in 96-DPI pixels.
    int TextWidth96(const std::wstring& text) const;
    // Moves a child window; the place is kept in 96-DPI pixels and applied scaled.
    void Place(HWND control, int x, int y, int width, int height) override;
    RECT DesignRect(HWND control) const;
    void SetTop(HWND control, int top);
    void SetLeft(HWND control, int left);

    // Command handlers by control id (ids are unique within a form).
    void OnCommand(int id, std::function<void(int notifyCode)> handler);
    // Text colour of an edit, static or check box (CLR_INVALID: the system colour).
    void SetTextColor(HWND control, Color color);
    Color TextColor(HWND control) const;

    // Tooltips.
    void SetHint(HWND control, const std::string& hint) { hints_.Set(control, hint); }
    void SetHint(GraphicControl& control, const std::string& hint) { hints_.Set(control, hint); }
    void UpdateHintRect(GraphicControl& control) override { hints_.UpdateRect(control); }
    HWND ReportWindow() const override { return Handle(); }
    HWND Tooltip() const noexcept { return hints_.Handle(); }

    void SetClientSize(int width96, int height96);
    SIZE ClientSize96() const;
    void CenterOnScreen();
    void CenterOver(HWND owner);

    // Runs the form modally over its owner: the other windows of the program are
    // disabled, OnShow runs, then the loop until ModalResult is set. Returns it.
    int ShowModal();
    int ModalResult() const noexcept { return modalResult_; }
    void SetModalResult(int result) noexcept { modalResult_ = result; }
    bool IsModal() const noexcept { return inModalLoop_; }

    // Shows the form modelessly (the main window): OnShow, then visible and active.
    void Show();
    // The path of the close box, the system menu and Alt+F4.
    void Close();

    // Keyboard navigation for this form; true when the message was used. Windowless controls that
    // take the focus (GraphicControl::Focusable) are reached with Tab and Shift+Tab in their place
    // among the controls (GraphicControl::SetPlaceBefore) and activated with Enter or Space.
    virtual bool PreTranslateMessage(MSG& msg);

    static Form* ActiveForm() noexcept { return activeForm_; }

protected:
    void CreateForm(const wchar_t* className, HWND owner, DWORD style, DWORD exStyle, const std::wstring& caption,
                    int clientWidth96, int clientHeight96);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    virtual void OnShow() {}
    // Runs when this form becomes the program's focused form, coming from another
    // of the program's forms (or at first): not after a message box or another program.
    virtual void OnActivate() {}
    // Runs when a modal run ends or a modeless form is closed.
    virtual void OnClose() {}
    virtual void OnDestroy() {}
    // A form's own handling of a message before the framework's; true when it answered it.
    virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The form's own sizing after a DPI change (the client size is already set again).
    virtual void Relayout() {}

private:
    bool HandleFormMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool RunCommand(WPARAM wParam);
    bool HandleCtlColor(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnActivateMessage(WPARAM wParam);
    void OnDpiChanged(int dpi, const RECT& suggested);
    void OnDestroyMessage();
    void SystemColorsChanged();
    void RunModalLoop();
    void FinishModalRun(HWND previous);
    void MeasureFitted(HWND control);
    void PlaceAgain(const std::vector<HWND>& children);
    void FitComboHeight(HWND control, int x, int y, int width, int height);

    // The keyboard among windowless controls (form_keyboard_win.cpp).
    bool OnWindowlessKey(const MSG& msg);
    bool TabFromWindow(HWND focus, bool back);
    void TabFromGraphic(GraphicControl& control, bool back);
    std::vector<GraphicControl*> GraphicsBefore(HWND stop) const;
    HWND KeyboardStopOf(const GraphicControl& control) const;
    HWND TabStopHolding(HWND focus) const;
    void FocusByKeyboard(HWND window);
    void FocusByKeyboard(GraphicControl& control);

    int dpi_ = 96;
    SIZE clientSize96_{};
    UniqueFont font_;
    std::map<HWND, RECT> design_;
    std::map<int, std::function<void(int)>> commands_;
    std::map<HWND, Color> textColors_;
    struct TextFit {
        int extraWidth96;
        bool fitHeight;
    };
    std::map<HWND, TextFit> fitted_;
    Hints hints_{*this};
    int modalResult_ = 0;
    bool inModalLoop_ = false;
    std::optional<OtherWindowsDisabled> disabledDuringModalRun_;
    HWND lastFocus_ = nullptr;

    static Form* activeForm_;
};

// Modal results, as the toolkit numbers them.
constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;
constexpr int mrAbort = 3;

// The child windows of a window, parents before their children.
std::vector<HWND> ChildWindows(HWND window);

} // namespace kestro
