#include "ui/hints_win.h"

#include <commctrl.h>

#include "platform/winstr_win.h"
#include "ui/display_win.h"
#include "ui/form_win.h"
#include "ui/graphic_controls_win.h"
#include "ui/language_win.h"

namespace kestro {

namespace {
constexpr int kMaxTipWidth96 = 320;
}

Hints::~Hints() {
    if (tooltip_ != nullptr) {
        DestroyWindow(tooltip_);
        tooltip_ = nullptr;
    }
}

void Hints::Ensure() {
    if (tooltip_ != nullptr) {
        return;
    }
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form_.Handle(), nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, form_.S(kMaxTipWidth96));
    ApplyFont();
}

// The system's tip font of the form's DPI; for Chinese and Japanese, in a face of the script.
void Hints::ApplyFont() {
    font_.reset();
    if (ProgramTextFace().ownScript) {
        NONCLIENTMETRICSW metrics;
        if (NonClientMetricsAt(form_.Dpi(), metrics)) {
            UseProgramFace(metrics.lfStatusFont);
            font_.reset(CreateFontIndirectW(&metrics.lfStatusFont));
        }
    }
    SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
}

void Hints::Set(HWND control, const std::string& hint) {
    Ensure();
    std::wstring text = Widen(hint);
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(control);
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = text.data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void Hints::Set(GraphicControl& control, const std::string& hint) {
    Ensure();
    std::wstring text = Widen(hint);
    const UINT_PTR id = nextToolId_++;
    graphicTools_[&control] = id;
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_SUBCLASS;
    info.hwnd = control.Parent().Handle();
    info.uId = id;
    info.rect = control.ClientRect();
    info.lpszText = text.data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void Hints::UpdateRect(GraphicControl& control) {
    const auto it = graphicTools_.find(&control);
    if (it == graphicTools_.end() || tooltip_ == nullptr) {
        return;
    }
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = control.Parent().Handle();
    info.uId = it->second;
    info.rect = control.ClientRect();
    SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
}

void Hints::DpiChanged() {
    if (tooltip_ != nullptr) {
        SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, form_.S(kMaxTipWidth96));
        ApplyFont();
    }
}

} // namespace kestro
