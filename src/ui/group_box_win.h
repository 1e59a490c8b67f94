#pragma once
// A framed group with a caption, drawn by the panel itself: a group-box control leaves its inside
// unpainted, so a panel drawing its own frame is the one way the frame never covers, or is covered
// by, the controls inside it. The caption is also the panel's window text.
#include <string>

#include "ui/container_win.h"

namespace kestro {

class GroupBox : public Container {
public:
    using Container::Container;
    void CreateGroup(Container& parent, const std::string& caption, int x, int y, int width, int height);

protected:
    void PaintBackground(HDC dc, const RECT& area) override;

private:
    void PaintFrame(HDC dc, RECT frame);
    void PaintCaption(HDC dc, const std::wstring& caption, SIZE size);
};

} // namespace kestro
