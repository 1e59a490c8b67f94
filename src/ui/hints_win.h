#pragma once
// The tooltips of a form: one tooltip window for its controls and its windowless controls.
#include <windows.h>

#include <map>
#include <string>

#include "platform/handles_win.h"

namespace kestro {

class Form;
class GraphicControl;

class Hints {
public:
    explicit Hints(const Form& form) : form_(form) {}
    ~Hints();
    Hints(const Hints&) = delete;
    Hints& operator=(const Hints&) = delete;

    void Set(HWND control, const std::string& hint);
    void Set(GraphicControl& control, const std::string& hint);
    // The windowless control moved: its tool follows.
    void UpdateRect(GraphicControl& control);
    // The form's DPI changed: the tooltip takes the new system font and width.
    void DpiChanged();
    HWND Handle() const noexcept { return tooltip_; }

private:
    void Ensure();

    const Form& form_;
    void ApplyFont();

    HWND tooltip_ = nullptr;
    UniqueFont font_; // the tips' own font where the language needs a face of its script
    UINT_PTR nextToolId_ = 1;
    std::map<GraphicControl*, UINT_PTR> graphicTools_;
};

} // namespace kestro
