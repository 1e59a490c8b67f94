#include "ui/application_win.h"

#include <optional>
#include <string_view>

#include "base/failures.h"
#include "base/text.h"
#include "platform/clipboard_win.h"
#include "platform/winstr_win.h"
#include "ui/form_win.h"

namespace kestro {

namespace {
constexpr wchar_t kAppClass[] = L"KestroApplication";
// While the taskbar button flashes: the program looks whether it is in front again.
constexpr UINT_PTR kCallBackTimer = 1;
constexpr UINT kCallBackCheckMs = 500;
} // namespace

Application& Application::Get() {
    static Application app;
    return app;
}

Application::Application() : boxes_(&systemBoxes_), shell_(&systemShell_), taskbar_(&systemTaskbar_) {
    systemShell_.SetUnopenedPage([this](HWND owner, const std::string& address) { HandOverPage(owner, address); });
}

void Application::HandOverPage(HWND owner, const std::string& address) {
    const bool copied = PutTextOnClipboard(owner, Widen(address));
    MessageBox(FormatText(LoadText(copied ? IDS_PAGE_ADDRESS_COPIED : IDS_PAGE_ADDRESS_TO_TYPE), {address}),
               LoadText(IDS_PRODUCT_NAME), MB_OK | MB_ICONINFORMATION);
}

void Application::SetBoxes(MessageBoxes* boxes) noexcept { boxes_ = boxes != nullptr ? boxes : &systemBoxes_; }

void Application::SetShell(ShellOpener* shell) noexcept { shell_ = shell != nullptr ? shell : &systemShell_; }

void Application::SetTaskbar(TaskbarProgress* taskbar) noexcept {
    taskbar_ = taskbar != nullptr ? taskbar : &systemTaskbar_;
}

void Application::Initialize(HINSTANCE instance) {
    instance_ = instance;
    if (handle_ != nullptr) {
        return;
    }
    SetFailureDebugOutput([](const std::string& record) { OutputDebugStringW(Widen(record + "\n").c_str()); });
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = AppWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kAppClass;
    RegisterClassExW(&wc);
    // A captioned popup without size in the middle of the screen: it carries the
    // taskbar button and the title, while the main window (owned by it) carries
    // its own caption.
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
    const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
    handle_ = CreateWindowExW(0, kAppClass, Widen(title_).c_str(),
                              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, x, y, 0, 0,
                              nullptr, nullptr, instance, nullptr);
    // This window carries the taskbar button, so it is the one Explorer tells when the button
    // exists; only then can the taskbar object be made.
    AllowTaskbarButtonCreated(handle_);
    systemTaskbar_.Attach(handle_);
}

void Application::SetTitle(const std::string& title) {
    title_ = title;
    if (handle_ != nullptr) {
        SetWindowTextW(handle_, Widen(title).c_str());
    }
}

int Application::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
    HWND owner = GetActiveWindow();
    if (owner == nullptr || owner == handle_) {
        owner = mainForm_ != nullptr ? mainForm_->Handle() : nullptr;
    }
    return boxes_->Show(owner, text, caption, flags | MB_OK);
}

void Application::ShowException(const std::string& message) {
    std::string text = message;
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') {
        text.push_back('.');
    }
    MessageBox(text, title_, MB_OK | MB_ICONERROR);
}

bool Application::PreTranslate(MSG& msg) {
    if (msg.hwnd == nullptr) {
        return false;
    }
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    auto* form = dynamic_cast<Form*>(Window::FromHandle(root));
    return form != nullptr && form->PreTranslateMessage(msg);
}

int Application::Run() {
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        if (!PreTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

void Application::Minimize() {
    if (handle_ != nullptr) {
        ShowWindow(handle_, SW_MINIMIZE);
    }
}

void Application::CallUserBack() noexcept {
    if (handle_ != nullptr && !ProgramInForeground()) {
        flash_.Start(handle_);
        SetTimer(handle_, kCallBackTimer, kCallBackCheckMs, nullptr);
    }
}

// WM_ACTIVATEAPP alone does not tell: a window the program activates while it is in the background
// (the main window again, once a dialog over it has closed) may bring it one although another
// program stays in front, and the user then coming back brings none. So the foreground window
// decides, looked at on each activation and on a timer while the button flashes.
void Application::StopCallingBackInFront() noexcept {
    if (flash_.Flashing() && ProgramInForeground()) {
        flash_.Stop();
        KillTimer(handle_, kCallBackTimer);
    }
}

void Application::BringToFront() {
    if (handle_ != nullptr && IsIconic(handle_)) {
        ShowWindow(handle_, SW_RESTORE);
    }
    HWND target = handle_ != nullptr ? GetLastActivePopup(handle_) : nullptr;
    if (target == nullptr || target == handle_) {
        target = mainForm_ != nullptr ? mainForm_->Handle() : nullptr;
    }
    if (target != nullptr && IsWindowVisible(target) && IsWindowEnabled(target)) {
        SetForegroundWindow(target);
    }
}

LRESULT CALLBACK Application::AppWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    Application& app = Get();
    if (msg == TaskbarButtonCreatedMessage() && msg != 0) {
        app.systemTaskbar_.ButtonCreated();
        return 0;
    }
    switch (msg) {
    case WM_ACTIVATEAPP:
        // Every top-level window of the program hears of it, whichever of them the user comes back to.
        if (wParam != FALSE) {
            app.StopCallingBackInFront();
        }
        break;
    case WM_TIMER:
        if (wParam == kCallBackTimer) {
            app.StopCallingBackInFront();
            return 0;
        }
        break;
    case WM_ACTIVATE:
        // The application window never keeps the focus: hand it to the last
        // active window of the program (the main window or a dialog over it).
        if (LOWORD(wParam) != WA_INACTIVE && !IsIconic(hwnd)) {
            HWND popup = GetLastActivePopup(hwnd);
            if (popup != nullptr && popup != hwnd && IsWindowEnabled(popup)) {
                SetActiveWindow(popup);
                return 0;
            }
        }
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE && app.mainForm_ != nullptr) {
            // "Close window" on the taskbar button closes the main window.
            if (IsWindowEnabled(app.mainForm_->Handle())) {
                PostMessageW(app.mainForm_->Handle(), WM_CLOSE, 0, 0);
            }
            return 0;
        }
        break;
    case WM_CLOSE:
        // End task and taskkill ask this window. The main window decides what closing means
        // while a recovery runs.
        if (app.mainForm_ != nullptr) {
            PostMessageW(app.mainForm_->Handle(), WM_CLOSE, 0, 0);
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

namespace {

// The entry of a string table block in one language, as the resource holds it: sixteen counted
// strings, an empty one for an id that is not there.
std::optional<std::wstring_view> StringResource(HMODULE module, int id, LANGID language) {
    HRSRC block = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    HGLOBAL loaded = block != nullptr ? LoadResource(module, block) : nullptr;
    const auto* p = static_cast<const wchar_t*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (p == nullptr) {
        return std::nullopt;
    }
    const wchar_t* end = p + SizeofResource(module, block) / sizeof(wchar_t);
    for (int i = 0; i < id % 16 && p < end; ++i) {
        p += 1 + *p;
    }
    if (p >= end || *p == 0 || *p > end - p - 1) {
        return std::nullopt;
    }
    return std::wstring_view(p + 1, *p);
}

HMODULE TextModule() {
    return Application::Get().Instance() != nullptr ? Application::Get().Instance() : GetModuleHandleW(nullptr);
}

} // namespace

std::string LoadText(int id) {
    const LANGID chosen = InfoOf(TextLanguage()).languageId;
    const LANGID english = InfoOf(Language::English).languageId;
    for (const LANGID language : {chosen, english}) {
        if (const std::optional<std::wstring_view> text = StringResource(TextModule(), id, language)) {
            return Narrow(*text);
        }
    }
    return {};
}

std::string LoadTextIn(Language language, int id) {
    const std::optional<std::wstring_view> text = StringResource(TextModule(), id, InfoOf(language).languageId);
    return text ? Narrow(*text) : std::string();
}

void ReportUnhandled(const char* message) noexcept {
    try {
        Application::Get().ShowException(message != nullptr ? std::string(message) : LoadText(IDS_UNKNOWN_ERROR));
    } catch (...) {
        // Not even the box could be shown; nothing more can be done from inside a window procedure.
        SwallowedFailure("ReportUnhandled");
    }
}

} // namespace kestro
