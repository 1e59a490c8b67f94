#pragma once
// A window that hosts child controls and windowless graphic controls: it paints the graphic
// controls over its background, tells them of the mouse, and passes its child controls'
// notifications on to its form.
#include <windows.h>

#include <vector>

#include "global/window_win.h"

namespace kestro {

class Form;
class GraphicControl;

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
    LRESULT OnEraseOrPrint(UINT msg, HDC dc);
    void OnPaint();
    void OnMouseLeave();
    // Buttons: 0 left, 1 right, 2 middle.
    void OnButtonDown(int button, POINT point);
    void OnButtonUp(int button, WPARAM keys, POINT point);
    bool OnSetCursor(HWND hit, UINT hitTest);
    bool ReportsToForm() const;
    void UpdateHover(POINT clientPoint);
    void PaintGraphics(HDC dc, const RECT& area);

    std::vector<GraphicControl*> graphics_;
    GraphicControl* hovered_ = nullptr;
    GraphicControl* pressed_ = nullptr;
    bool tracking_ = false;
};

} // namespace kestro
