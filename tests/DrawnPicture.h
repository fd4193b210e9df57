// What a window drew, read back pixel by pixel, for the tests that check it.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <vector>

#include <windows.h>

// Pixels as 0xRRGGBB, top row first.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
    bool operator==(const Picture& other) const { return width == other.width && pixels == other.pixels; }
};

// What draw(memoryDC) puts into a 32-bit bitmap of width x height made for
// dc; no pixels when no bitmap could be made. GUI thread only.
template <typename Draw>
Picture DrawnPicture(HDC dc, int width, int height, Draw draw)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    HDC memory = CreateCompatibleDC(dc);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        draw(memory);
        GdiFlush();
        const uint32_t* first = static_cast<const uint32_t*>(bits);
        picture.pixels.assign(first, first + static_cast<size_t>(width) * height);
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    return picture;
}
