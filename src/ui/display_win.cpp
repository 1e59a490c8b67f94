#include "ui/display_win.h"

#include "platform/handles_win.h"
#include "platform/optional_api_win.h"

namespace kestro {

namespace {
int highContrastOverride = -1;
}

int WindowDpi(HWND hwnd) {
    const GetDpiForWindowFunction getDpiForWindow = GetDpiForWindowFn();
    if (hwnd != nullptr && getDpiForWindow != nullptr) {
        if (const UINT dpi = getDpiForWindow(hwnd); dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    const ScopedDc screen(nullptr);
    const int dpi = GetDeviceCaps(screen.Get(), LOGPIXELSY);
    return dpi > 0 ? dpi : 96;
}

bool NonClientMetricsAt(int dpi, NONCLIENTMETRICSW& metrics) {
    metrics = NONCLIENTMETRICSW{};
    metrics.cbSize = sizeof(metrics);
    const SystemParametersInfoForDpiFunction forDpi = SystemParametersInfoForDpiFn();
    const BOOL got = forDpi != nullptr
                         ? forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, static_cast<UINT>(dpi))
                         : SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    return got != FALSE;
}

bool HighContrastOn() {
    if (highContrastOverride >= 0) {
        return highContrastOverride != 0;
    }
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

void OverrideHighContrast(int on) noexcept {
    highContrastOverride = on < 0 ? -1 : (on != 0 ? 1 : 0);
}

SIZE TextExtent(HDC dc, HFONT font, std::wstring_view text) {
    SelectGuard selected(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    if (text.empty() || size.cy == 0) {
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        size.cy = metrics.tmHeight;
    }
    return size;
}

SIZE TextExtent(HWND window, HFONT font, std::wstring_view text) {
    const ScopedDc dc(window);
    return TextExtent(dc.Get(), font, text);
}

} // namespace kestro
