// What the chart and the overview strip paint with: colours as 0xRRGGBB.
#pragma once
#include <stdint.h>

#include <windows.h>

inline COLORREF Colour(uint32_t rgb)
{
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

inline void FillBox(HDC dc, int left, int top, int right, int bottom, uint32_t rgb)
{
    RECT box = { left, top, right, bottom };
    HBRUSH brush = CreateSolidBrush(Colour(rgb));
    FillRect(dc, &box, brush);
    DeleteObject(brush);
}
