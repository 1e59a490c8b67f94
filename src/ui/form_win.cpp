#include "ui/form_win.h"

#include <commctrl.h>

#include <exception>

#include "platform/messages_win.h"
#include "ui/application_win.h"
#include "ui/language_win.h"

namespace kestro {

Form* Form::activeForm_ = nullptr;

Form::Form() : Container(this) {}

Form::~Form() {
    if (activeForm_ == this) {
        activeForm_ = nullptr;
    }
}

UniqueFont Form::MakeFont(int height96, int weight, bool underline) const {
    const TextFace& face = ProgramTextFace();
    return UniqueFont(CreateFontW(S(height96), 0, 0, 0, weight, FALSE, underline ? TRUE : FALSE, FALSE, face.charset,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                  face.face.c_str()));
}

void Form::CreateForm(const wchar_t* className, HWND owner, DWORD style, DWORD exStyle, const std::wstring& caption,
                      int clientWidth96, int clientHeight96) {
    // Laid out for the owner's DPI (or the system's) from the start; a window that
    // turns out to be on another monitor's DPI is laid out again below.
    dpi_ = WindowDpi(owner);
    font_ = MakeFont(-11, FW_NORMAL, false);
    CreateWindowFor(className, exStyle | WS_EX_CONTROLPARENT, caption, style | WS_CLIPCHILDREN, CW_USEDEFAULT,
                    CW_USEDEFAULT, 100, 100, owner, nullptr);
    dpi_ = WindowDpi(hwnd_);
    font_ = MakeFont(-11, FW_NORMAL, false);
    SetClientSize(clientWidth96, clientHeight96);
}

void Form::OnCommand(int id, std::function<void(int)> handler) {
    commands_[id] = std::move(handler);
}

void Form::SetTextColor(HWND control, Color color) {
    if (color == CLR_INVALID) {
        textColors_.erase(control);
    } else {
        textColors_[control] = color;
    }
    InvalidateRect(control, nullptr, TRUE);
}

Color Form::TextColor(HWND control) const {
    const auto it = textColors_.find(control);
    return it == textColors_.end() ? CLR_INVALID : it->second;
}

int Form::ShowModal() {
    HWND previous = GetActiveWindow();
    modalResult_ = mrNone;
    inModalLoop_ = true;
    disabledDuringModalRun_.emplace(hwnd_);
    try {
        OnShow();
    } catch (const std::exception& e) {
        // As the toolkit does for an error in a show handler: reported, and the form is shown all the same.
        Application::Get().ShowException(e.what());
    }
    if (hwnd_ != nullptr && modalResult_ == mrNone) {
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        SetActiveWindow(hwnd_);
    }
    RunModalLoop();
    FinishModalRun(previous);
    return modalResult_;
}

void Form::RunModalLoop() {
    MSG msg;
    while (modalResult_ == mrNone && hwnd_ != nullptr) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            modalResult_ = mrCancel;
            break;
        }
        if (got == -1) {
            break;
        }
        if (!Application::Get().PreTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void Form::FinishModalRun(HWND previous) {
    try {
        OnClose();
    } catch (const std::exception& e) {
        Application::Get().ShowException(e.what());
    }
    // Re-enable the other windows before hiding, so the focus goes back to the owner.
    disabledDuringModalRun_.reset();
    if (hwnd_ != nullptr) {
        SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (previous != nullptr && IsWindow(previous) && IsWindowVisible(previous)) {
        SetActiveWindow(previous);
    }
    inModalLoop_ = false;
}

void Form::Show() {
    OnShow();
    HWND app = Application::Get().Handle();
    if (app != nullptr && !IsWindowVisible(app) && GetWindow(hwnd_, GW_OWNER) == app) {
        ShowWindow(app, SW_SHOWNOACTIVATE);
    }
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    SetActiveWindow(hwnd_);
}

void Form::Close() {
    if (inModalLoop_) {
        if (modalResult_ == mrNone) {
            modalResult_ = mrCancel;
        }
        return;
    }
    OnClose();
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
}

bool Form::PreTranslateMessage(MSG& msg) {
    if (hwnd_ == nullptr) {
        return false;
    }
    if (OnWindowlessKey(msg)) {
        return true;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
        // Enter toggles a focused check box, as Space does.
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus) && HasClass(focus, WC_BUTTONW)) {
            const LONG_PTR type = GetWindowLongPtrW(focus, GWL_STYLE) & BS_TYPEMASK;
            if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX) {
                SendMessageW(focus, BM_CLICK, 0, 0);
                return true;
            }
        }
    }
    return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

bool Form::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

// Only top-level windows hear of new system colours; the common controls among the children
// must be told, and everything drawn again with the colours read at paint time.
void Form::SystemColorsChanged() {
    if (hwnd_ == nullptr) {
        return;
    }
    for (HWND child : ChildWindows(hwnd_)) {
        SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
    }
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

LRESULT Form::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnMessage(msg, wParam, lParam, result) || HandleFormMessage(msg, wParam, lParam, result)) {
        return result;
    }
    return Container::HandleMessage(msg, wParam, lParam);
}

// True when the message is answered (result set); otherwise it goes on to the container.
bool Form::HandleFormMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_COMMAND:
        return RunCommand(wParam);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        return HandleCtlColor(msg, wParam, lParam, result);
    case WM_ACTIVATE:
        return OnActivateMessage(wParam);
    case WM_KESTRO_ACTIVATE:
        OnActivate();
        return true;
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        // A switch to or from a high-contrast theme arrives as these (and a settings change).
        SystemColorsChanged();
        return false;
    case WM_SETTINGCHANGE:
        if (wParam == SPI_SETHIGHCONTRAST) {
            SystemColorsChanged();
        }
        return false;
    case WM_DPICHANGED:
        OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return true;
    case WM_CLOSE:
        Close();
        return true;
    case WM_DESTROY:
        OnDestroyMessage();
        return false;
    default:
        return false;
    }
}

bool Form::RunCommand(WPARAM wParam) {
    const auto it = commands_.find(LOWORD(wParam));
    if (it == commands_.end()) {
        return false;
    }
    // Copy: the handler may replace itself.
    auto handler = it->second;
    handler(HIWORD(wParam));
    return true;
}

bool Form::HandleCtlColor(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    HWND control = reinterpret_cast<HWND>(lParam);
    const Color color = TextColor(control);
    if (color == CLR_INVALID) {
        return false;
    }
    ::SetTextColor(dc, color);
    const int background = msg == WM_CTLCOLOREDIT ? COLOR_WINDOW : COLOR_BTNFACE;
    SetBkColor(dc, GetSysColor(background));
    result = reinterpret_cast<LRESULT>(GetSysColorBrush(background));
    return true;
}

// Leaving: the focused control is remembered. Coming back: OnActivate follows when the form comes
// from another of the program's forms, and the focus goes back to where it was.
bool Form::OnActivateMessage(WPARAM wParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus)) {
            lastFocus_ = focus;
        }
        return false;
    }
    if (activeForm_ != this) {
        activeForm_ = this;
        PostMessageW(hwnd_, WM_KESTRO_ACTIVATE, 0, 0);
    }
    if (HIWORD(wParam) != 0) {
        return false; // minimised
    }
    HWND target = lastFocus_;
    if (target == nullptr || !IsWindow(target) || !IsChild(hwnd_, target) || !IsWindowVisible(target) ||
        !IsWindowEnabled(target)) {
        target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    }
    if (target == nullptr) {
        return false;
    }
    SetFocus(target);
    return true;
}

// Moved to a monitor of another DPI (or its scale changed): lay out again and take the place the
// system suggests.
void Form::OnDpiChanged(int dpi, const RECT& suggested) {
    ApplyDpi(dpi);
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::OnDestroyMessage() {
    if (activeForm_ == this) {
        activeForm_ = nullptr;
    }
    OnDestroy();
    if (Application::Get().MainForm() == this) {
        PostQuitMessage(0);
    }
}

} // namespace kestro
