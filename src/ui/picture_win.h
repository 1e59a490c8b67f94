#pragma once
// Pictures of the windows: the decoded JPEG artwork and the icons, drawn at any size.
#include <windows.h>

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "platform/handles_win.h"

namespace kestro {

// An immutable picture: a 32-bit bitmap (decoded JPEG) or an icon. Copies share
// the same pixels.
class Picture {
public:
    Picture() = default;
    static Picture FromJpegResource(int resourceId);
    static Picture FromJpegBytes(const unsigned char* data, std::size_t size);
    static Picture FromIconResource(int resourceId, int width, int height);

    bool Empty() const noexcept { return !data_; }
    int Width() const noexcept;
    int Height() const noexcept;
    // Draws the picture into dest, stretched smoothly when the sizes differ.
    void Draw(HDC dc, const RECT& dest) const;
    // Identity of the shared pixels (for tests: which picture is shown).
    const void* Id() const noexcept { return data_.get(); }

private:
    struct Data {
        UniqueBitmap bitmap;
        UniqueIcon icon;
        int width = 0;
        int height = 0;
        int iconResource = 0;
        // The icon loaded again at the sizes it is drawn at (a larger DPI), so it stays crisp.
        mutable std::vector<std::pair<SIZE, UniqueIcon>> sized;
    };
    std::shared_ptr<const Data> data_;
};

} // namespace kestro
