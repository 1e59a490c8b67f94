#pragma once
// A window that hosts child controls and windowless graphic controls: it paints the graphic
// controls over its background, tells them of the mouse, and passes its child controls'
// notifications on to the top-level window it lives on (its host).
#include <windows.h>

#include <vector>

#include "platform/handles_win.h"
#include "ui/window_win.h"

namespace kestro {

class GraphicControl;
class WindowlessAccessible;

// What a container and its windowless controls ask of the top-level window they live on: where
// the controls' notifications go, the scale of places given in 96-DPI pixels, the font, and the
// tooltips.
class ControlHost {
public:
    // The window that handles the controls' notifications.
    virtual HWND ReportWindow() const = 0;
    virtual int Dpi() const noexcept = 0;
    // A length in 96-DPI pixels at the host's DPI.
    virtual int S(int value) const noexcept = 0;
    // Moves a child window; the place is kept in 96-DPI pixels and applied again at another DPI.
    virtual void Place(HWND control, int x, int y, int width, int height) = 0;
    virtual HFONT Font() const noexcept = 0;
    // A font of the host's DPI: height in 96-DPI pixels (negative: character height).
    virtual UniqueFont MakeFont(int height96, int weight, bool underline) const = 0;
    // A windowless control moved or resized: its tooltip follows.
    virtual void UpdateHintRect(GraphicControl& control) = 0;

protected:
    ~ControlHost() = default;
};

class Container : public Window {
public:
    explicit Container(ControlHost* host);
    ~Container() override;

    ControlHost& Host() const { return *host_; }

    // Creates a borderless child panel (the program's "KestroPanel" class).
    void CreatePanel(Container& parent, int x, int y, int width, int height, DWORD extraStyle = 0);

    // Graphic controls register themselves here; painted in order, hit-tested last first.
    void AddGraphic(GraphicControl* control);
    void RemoveGraphic(GraphicControl* control);
    const std::vector<GraphicControl*>& Graphics() const { return graphics_; }
    GraphicControl* GraphicAt(POINT clientPoint) const;
    GraphicControl* HoveredGraphic() const { return hovered_; }

    // The keyboard focus on a windowless control: the container's window holds the focus and the
    // control shows a focus rectangle. FocusGraphic gives it the focus (and tells screen readers);
    // FocusedGraphic is the control that has it, null while the window does not have the focus.
    void FocusGraphic(GraphicControl& control);
    GraphicControl* FocusedGraphic() const;
    // The control's click from the keyboard or an assistive technology (GraphicControl::Activate),
    // once the messages waiting now have been handled; false when it cannot be arranged.
    bool RequestActivation(GraphicControl& control);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    virtual void PaintBackground(HDC dc, const RECT& area);
    void OnHandleDestroyed() override;

    ControlHost* host_;

private:
    LRESULT OnEraseOrPrint(UINT msg, HDC dc);
    void OnPaint();
    void OnMouseLeave();
    // Buttons: 0 left, 1 right, 2 middle.
    void OnButtonDown(int button, POINT point);
    void OnButtonUp(int button, WPARAM keys, POINT point);
    bool OnSetCursor(HWND hit, UINT hitTest);
    bool HandleAccessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    LRESULT OnGetObject(WPARAM wParam, LPARAM objectId);
    void OnFocusChanged(bool gained);
    void OnActivationRequest(LPARAM control);
    bool Owns(const GraphicControl* control) const;
    void ShowFocus();
    void InvalidateFocusFrame() const;
    void DisconnectAccessible() noexcept;
    bool ReportsToHost() const;
    void UpdateHover(POINT clientPoint);
    void PaintGraphics(HDC dc, const RECT& area);

    std::vector<GraphicControl*> graphics_;
    GraphicControl* hovered_ = nullptr;
    GraphicControl* pressed_ = nullptr;
    bool tracking_ = false;
    // The control that has the focus whenever the window has it; kept while the focus is elsewhere.
    GraphicControl* focused_ = nullptr;
    // What screen readers are given for the client area, made when first asked for.
    ComPtr<WindowlessAccessible> accessible_;
};

} // namespace kestro
