#pragma once
// The one window pattern of the program. A Window owns its HWND; its static
// window procedure finds the C++ object (stored at WM_NCCREATE) and calls the
// virtual HandleMessage, never letting an exception escape. A Container is a
// window that holds child controls and windowless graphic controls; a Form is a
// top-level Container with the program's form behaviour (show, activate, close,
// modal run, hints, one font, layout in 96-DPI units).
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "global/handles_win.h"

namespace kestro {

class Form;
class GraphicControl;

// Private messages of the window framework.
constexpr UINT WM_KESTRO_ACTIVATE = WM_APP + 0x100;

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const noexcept { return hwnd_; }

    // The C++ object of a window created by this class, or null.
    static Window* FromHandle(HWND hwnd) noexcept;

protected:
    // Registers the class once per process (background: button face) and creates the window.
    HWND CreateWindowFor(const wchar_t* className, DWORD exStyle, const std::wstring& text, DWORD style, int x, int y,
                         int width, int height, HWND parent, HMENU menuOrId);
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam) { return DefWindowProcW(hwnd_, msg, wParam, lParam); }
    // Called after WM_NCDESTROY; the handle is gone.
    virtual void OnHandleDestroyed() {}

    HWND hwnd_ = nullptr;

private:
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
};

// A window that hosts child controls and windowless graphic controls. Child
// panels pass their controls' notifications on to their form.
class Container : public Window {
public:
    explicit Container(Form* form) : form_(form) {}
    ~Container() override;

    Form& OwnerForm() const { return *form_; }

    // Creates a borderless child panel (the program's "KestroPanel" class).
    void CreatePanel(Container& parent, int x, int y, int width, int height, DWORD extraStyle = 0);

    // Graphic controls register themselves here; painted in order, hit-tested last first.
    void AddGraphic(GraphicControl* control);
    void RemoveGraphic(GraphicControl* control);
    const std::vector<GraphicControl*>& Graphics() const { return graphics_; }
    GraphicControl* GraphicAt(POINT clientPoint) const;
    GraphicControl* HoveredGraphic() const { return hovered_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    virtual void PaintBackground(HDC dc, const RECT& area);
    void OnHandleDestroyed() override;

    Form* form_;

private:
    void UpdateHover(POINT clientPoint);
    void PaintGraphics(HDC dc, const RECT& area);

    std::vector<GraphicControl*> graphics_;
    GraphicControl* hovered_ = nullptr;
    GraphicControl* pressed_ = nullptr;
    bool tracking_ = false;
};

// A framed group with a caption, drawn by the panel itself: a group-box control
// leaves its inside unpainted, so a panel drawing its own frame is the one way
// the frame never covers, or is covered by, the controls inside it. The caption
// is also the panel's window text.
class GroupBox : public Container {
public:
    using Container::Container;
    void CreateGroup(Container& parent, const std::string& caption, int x, int y, int width, int height);

protected:
    void PaintBackground(HDC dc, const RECT& area) override;
};

// Colours given in the Windows layout 0x00BBGGRR.
using Color = COLORREF;

// The DPI a window is shown at (the system's when it cannot tell; 96 on old systems).
int WindowDpi(HWND hwnd);

// A high-contrast theme is in force (asked at every call: the user may switch at any time).
bool HighContrastOn();
// Tests decide what HighContrastOn answers: 1 on, 0 off, -1 the system's answer again.
void OverrideHighContrast(int on) noexcept;

// A window's text as UTF-8, and back.
std::string GetText(HWND hwnd);
void SetText(HWND hwnd, const std::string& text);

// Sees a control's messages before the control does. The handler returns true
// when it answered the message itself (result set); call CallOriginal for the
// control's own handling inside the handler when it must come first.
using SubclassHandler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT&)>;
void Subclass(HWND control, SubclassHandler handler);
LRESULT CallOriginal(HWND control, UINT msg, WPARAM wParam, LPARAM lParam);

class Form : public Container {
public:
    Form();
    ~Form() override;

    // The form's own 96-DPI scale: every place and size given in 96-DPI pixels goes through it.
    int Dpi() const noexcept { return dpi_; }
    // Lays the form out again for another DPI: its font, every placed control, the
    // windowless controls, the hints and the client size (then Relayout).
    void ApplyDpi(int dpi);
    int S(int value) const noexcept { return MulDiv(value, dpi_, 96); }
    HFONT Font() const noexcept { return font_.get(); }
    // A font of the form's DPI: height in 96-DPI pixels (negative: character height).
    UniqueFont MakeFont(int height96, int weight, bool underline, const wchar_t* face = L"MS Sans Serif") const;

    // Creates a child control on parent at a place in 96-DPI pixels, with the form's font.
    HWND AddControl(Container& parent, const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle,
                    int x, int y, int width, int height, int id);
    // Makes a label or check box as wide as its text in its font, plus extraWidth96 (a check
    // mark and its gap), and with fitHeight as high; measured again whenever the DPI changes or
    // FitToText is called again (after a new text), since text does not scale in proportion.
    void FitToText(HWND control, int extraWidth96, bool fitHeight);
    // The width of a text in the form's font, in 96-DPI pixels.
    int TextWidth96(const std::wstring& text) const;
    // Moves a child window; the place is kept in 96-DPI pixels and applied scaled.
    void Place(HWND control, int x, int y, int width, int height);
    RECT DesignRect(HWND control) const;
    void SetTop(HWND control, int top);
    void SetLeft(HWND control, int left);

    // Command handlers by control id (ids are unique within a form).
    void OnCommand(int id, std::function<void(int notifyCode)> handler);
    // Text colour of an edit, static or check box (CLR_INVALID: the system colour).
    void SetTextColor(HWND control, Color color);
    Color TextColor(HWND control) const;

    // Tooltips.
    void SetHint(HWND control, const std::string& hint);
    void SetHint(GraphicControl& control, const std::string& hint);
    void UpdateHintRect(GraphicControl& control);
    HWND Tooltip() const noexcept { return tooltip_; }

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

    // Keyboard navigation for this form; true when the message was used.
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
    virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The form's own sizing after a DPI change (the client size is already set again).
    virtual void Relayout() {}

private:
    bool HandleCtlColor(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void MeasureFitted(HWND control);
    void SystemColorsChanged();
    void EnsureTooltip();
    void DisableOtherWindows();
    void EnableOtherWindows();

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
    HWND tooltip_ = nullptr;
    UINT_PTR nextToolId_ = 1;
    std::map<GraphicControl*, UINT_PTR> graphicTools_;
    int modalResult_ = 0;
    bool inModalLoop_ = false;
    std::vector<HWND> disabledWindows_;
    HWND lastFocus_ = nullptr;

    static Form* activeForm_;
};

// Modal results, as the toolkit numbers them.
constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;
constexpr int mrAbort = 3;

} // namespace kestro
