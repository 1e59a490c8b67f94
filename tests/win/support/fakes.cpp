#include "support/fakes.h"

#include <cstdio>
#include <vector>

#include "platform/handles_win.h"

namespace kestro::testing_win {

bool SaveWindowBitmap(HWND window, const std::wstring& path) {
    RECT client{};
    GetClientRect(window, &client);
    const int w = client.right;
    const int h = client.bottom;
    if (w <= 0 || h <= 0) {
        return false;
    }
    const ScopedDc screen(window);
    HDC windowDc = screen.Get();
    HDC memory = CreateCompatibleDC(windowDc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    // What the screen shows of the client area (the window is on top in the test display).
    BitBlt(memory, 0, 0, w, h, windowDc, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
    const DWORD imageSize = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    bool ok = false;
    if (FILE* f = _wfopen(path.c_str(), L"wb")) {
        ok = fwrite(&file, sizeof(file), 1, f) == 1 && fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, f) == 1 &&
             fwrite(bits, imageSize, 1, f) == 1;
        fclose(f);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    return ok;
}

} // namespace kestro::testing_win
